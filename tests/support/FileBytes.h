#pragma once
// Patching the bytes of written files (read and written with TestFiles.h):
// local set items of header metadata replaced in place, big-endian values.
#include <cstdint>
#include <vector>

#include "MxfTestBytes.h"
#include "TestFiles.h"

namespace qztest {

// Every local set item `tag` of length `length` before `end` (the header
// metadata): its tag replaced by `newTag` and its value by `value` (when
// not empty). Returns how many items were patched.
inline int PatchItems(std::vector<uint8_t>& file, uint64_t end, uint16_t tag, uint16_t length,
                      uint16_t newTag, const std::vector<uint8_t>& value = {}) {
    int patched = 0;
    for (uint64_t at = 0; at + 4 + length <= end && at + 4 + length <= file.size(); ++at) {
        if (file[at] != (tag >> 8) || file[at + 1] != (tag & 0xFF) || file[at + 2] != (length >> 8) ||
            file[at + 3] != (length & 0xFF))
            continue;
        file[at] = static_cast<uint8_t>(newTag >> 8);
        file[at + 1] = static_cast<uint8_t>(newTag);
        for (size_t i = 0; i < value.size() && i < length; ++i) file[at + 4 + i] = value[i];
        ++patched;
    }
    return patched;
}

inline std::vector<uint8_t> BigEndian(uint64_t value, int bytes) {
    return mxftest::Bytes().be(value, bytes);
}

}  // namespace qztest
