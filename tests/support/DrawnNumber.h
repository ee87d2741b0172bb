#pragma once
// Reading the number the card writer's picture encoder draws on every
// picture back from a decoded 8-bit luma frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qztest {

// The digits as the decoded picture must show them: 5x7 cells, bit 4 leftmost.
inline constexpr uint8_t kFont[10][7] = {
    {14, 17, 19, 21, 25, 17, 14}, {4, 12, 4, 4, 4, 4, 14},  {14, 17, 1, 2, 4, 8, 31},
    {31, 2, 4, 2, 1, 17, 14},     {2, 6, 10, 18, 31, 2, 2}, {31, 16, 30, 1, 1, 17, 14},
    {6, 8, 16, 30, 17, 17, 14},   {31, 1, 2, 4, 8, 8, 8},   {14, 17, 17, 14, 17, 17, 14},
    {14, 17, 17, 15, 1, 2, 12},
};

// Reads the six-digit number from a decoded luma frame; -1 if any digit is unreadable.
inline int64_t ReadNumber(const uint8_t* luma, int width, int height) {
    const int mbWidth = width / 16, mbRows = height / 16;
    const int cell = (mbWidth >= 70 && mbRows >= 14) ? 32 : 16;
    const int x0 = (mbWidth - 35 * cell / 16) / 2 * 16;
    const int y0 = std::max(0, (mbRows - 7 * cell / 16) / 2) * 16;
    int64_t number = 0;
    for (int d = 0; d < 6; ++d) {
        uint8_t rows[7] = {};
        for (int r = 0; r < 7; ++r) {
            for (int c = 0; c < 5; ++c) {
                const int x = x0 + (d * 6 + c) * cell + cell / 2;
                const int y = y0 + r * cell + cell / 2;
                if (luma[static_cast<size_t>(y) * width + x] < 96) rows[r] |= static_cast<uint8_t>(0x10 >> c);
            }
        }
        int digit = -1;
        for (int v = 0; v < 10; ++v) {
            if (std::equal(rows, rows + 7, kFont[v])) digit = v;
        }
        if (digit < 0) return -1;
        number = number * 10 + digit;
    }
    // The background around the digits must be light.
    if (luma[static_cast<size_t>(y0 / 2) * width + width / 2] < 96) return -1;
    return number;
}

}  // namespace qztest
