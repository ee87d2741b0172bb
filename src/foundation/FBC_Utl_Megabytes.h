#pragma once
// Byte counts as messages give them: megabytes of 10^6 bytes with one
// decimal ("20.0 MB"), and where the exact figure matters the bytes beside
// them ("20.0 MB (20967424 bytes)"). Stateless; callable from any thread.
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_MegabytesText(uint64_t bytes);
std::string FBC_Utl_MegabytesAndBytesText(uint64_t bytes);

}  // namespace ComVantoVantoQZ64RADPlug
