#pragma once
// A scratch folder per fuzz process and whole-file writes into it, for the
// targets whose readers take paths instead of streams.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qzfuzz {

// Made once under TMPDIR (or /tmp); `prefix` names it.
inline std::string MakeScratchFolder(const std::string& prefix) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) abort();
    return pattern;
}

inline void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    if (size && fwrite(data, 1, size, file) != size) abort();
    fclose(file);
}

// The big-endian number in the first `width` bytes.
inline size_t BigEndianPrefix(const uint8_t* data, int width) {
    size_t value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | data[i];
    return value;
}

}  // namespace qzfuzz
