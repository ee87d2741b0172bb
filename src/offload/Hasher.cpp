#include "Hasher.h"

#include "C4Hasher.h"
#include "EvpHasher.h"
#include "FBC_Utl_Hex.h"
#include "XxhHasher.h"

namespace qzoffload {

std::unique_ptr<Hasher> Hasher::Create(HashFormat format) {
    switch (format) {
        case HashFormat::kC4:
            return std::make_unique<C4Hasher>();
        case HashFormat::kMd5:
        case HashFormat::kSha1:
            return std::make_unique<EvpHasher>(format);
        case HashFormat::kXxh128:
        case HashFormat::kXxh3:
        case HashFormat::kXxh64:
            break;
    }
    return std::make_unique<XxhHasher>(format);
}

std::string Hasher::HexText(const unsigned char* bytes, size_t size) {
    return ComVantoVantoQZ64RADPlug::FBC_Utl_HexText(bytes, size,
                                                     ComVantoVantoQZ64RADPlug::FBC_Utl_HexCase::kLower);
}

}  // namespace qzoffload
