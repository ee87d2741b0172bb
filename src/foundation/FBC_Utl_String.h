#pragma once
// String helpers of the card and clip model. A null pointer or a null string
// counts as a missing input and is answered with a null result, false or 0;
// none throws. They keep no state and may be called from any thread.
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

// a followed by b; null when either is missing.
CUSharedPtr<CUStringMac> FBC_Utl_AppendString(const CUSharedPtr<CUStringMac>& a,
                                              const CUSharedPtr<CUStringMac>& b);
// Exact equality (comparison 0); false when either is missing.
bool FBC_Utl_IsEqualString(const CUSharedPtr<CUStringMac>& a, const CUSharedPtr<CUStringMac>& b);
// The number of trailing U+0020 spaces; 0 for a missing or empty string.
uint32_t FBC_Utl_GetEndSpaceCount(const CUSharedPtr<CUStringMac>& s);
// s without its trailing spaces (three spaces give ""); null for a missing s.
CUSharedPtr<CUStringMac> FBC_Utl_DeleteEndSpace(const CUSharedPtr<CUStringMac>& s);

}  // namespace ComVantoVantoQZ64RADPlug
