#pragma once
// Bytes as hexadecimal text, two digits a byte in the order given: lower
// case as hash lists and digests write them, upper case as the card's
// identifiers are shown. Stateless: any thread.
#include <cstddef>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

enum class FBC_Utl_HexCase { kLower, kUpper };

std::string FBC_Utl_HexText(const unsigned char* bytes, size_t count, FBC_Utl_HexCase letterCase);

}  // namespace ComVantoVantoQZ64RADPlug
