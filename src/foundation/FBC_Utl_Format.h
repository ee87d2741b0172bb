#pragma once
// printf-style formatting into a std::string, for the short texts of
// messages and value texts (at most 255 bytes; longer output is cut).
// Stateless: any thread.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ComVantoVantoQZ64RADPlug
