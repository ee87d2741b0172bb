#include "FBC_Utl_Megabytes.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_MegabytesText(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string FBC_Utl_MegabytesAndBytesText(uint64_t bytes) {
    return FBC_Utl_MegabytesText(bytes) + " (" + std::to_string(bytes) + " bytes)";
}

}  // namespace ComVantoVantoQZ64RADPlug
