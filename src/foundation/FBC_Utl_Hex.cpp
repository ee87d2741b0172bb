#include "FBC_Utl_Hex.h"

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_HexText(const unsigned char* bytes, size_t count, FBC_Utl_HexCase letterCase) {
    const char* digits = letterCase == FBC_Utl_HexCase::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text(count * 2, '0');
    for (size_t i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace ComVantoVantoQZ64RADPlug
