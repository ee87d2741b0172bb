#include "Hasher.h"

#include "C4Hasher.h"
#include "EvpHasher.h"
#include "Xxh128Hasher.h"
#include "Xxh3Hasher.h"
#include "Xxh64Hasher.h"

namespace qzoffload {

std::unique_ptr<Hasher> Hasher::Create(HashFormat format) {
    switch (format) {
        case HashFormat::kC4:
            return std::make_unique<C4Hasher>();
        case HashFormat::kMd5:
        case HashFormat::kSha1:
            return std::make_unique<EvpHasher>(format);
        case HashFormat::kXxh128:
            return std::make_unique<Xxh128Hasher>();
        case HashFormat::kXxh3:
            return std::make_unique<Xxh3Hasher>();
        case HashFormat::kXxh64:
            break;
    }
    return std::make_unique<Xxh64Hasher>();
}

std::string Hasher::HexText(const unsigned char* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(size * 2, '0');
    for (size_t i = 0; i < size; ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    return text;
}

}  // namespace qzoffload
