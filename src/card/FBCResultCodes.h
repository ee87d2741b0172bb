#pragma once
// Result codes of the card and clip model. 0 is success; a code whose low
// 16 bits are non-zero is a failure.
#include "FBC_Utl_File.h"  // kResultNullArgument, kResultFileOperationFailure

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

constexpr uint32_t kResultNotReady = 0x140002;     // a member object could not be made
constexpr uint32_t kResultPathMissing = 0x141012;  // a card or clip path could not be formed
constexpr uint32_t kResultReadFailure = 0x141013;  // a card file is missing, unreadable or malformed

// True when the code reports a failure.
constexpr bool FBCResultFailed(uint32_t code) {
    return (code & 0xFFFFu) != 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
