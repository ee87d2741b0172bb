#pragma once
// An image the plug-in shows the host (a volume's icon): 8-bit RGBA pixels,
// row by row. Read from a PPM file ("P3" text or "P6" binary, maxval 255).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CUFailure.h"

namespace ComVantoVantoQZ64RADPlug {

class HostImage {
public:
    // A fully transparent image.
    static std::shared_ptr<HostImage> Blank(uint32_t width, uint32_t height);
    // Null with the reason in `why` when the file is missing or malformed
    // (every size is checked against the bytes present).
    static std::shared_ptr<HostImage> ImageWithContentsOfFile(const std::string& path, CUFailure* why = nullptr);

    // `rgba` must hold width x height x 4 bytes; otherwise the image is 0 x 0.
    HostImage(uint32_t width, uint32_t height, std::vector<uint8_t> rgba);

    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    const std::vector<uint8_t>& rgba() const { return m_rgba; }
    bool isBlank() const;  // every pixel transparent

private:
    uint32_t m_width;
    uint32_t m_height;
    std::vector<uint8_t> m_rgba;
};

}  // namespace ComVantoVantoQZ64RADPlug
