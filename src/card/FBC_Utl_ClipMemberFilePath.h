#pragma once
// Names of a clip's files inside its folder: "<clip ID>.CIF" and the other
// single files, and the numbered members "<clip ID>NN.MXF" / "<clip ID>NN.SIF"
// (NN = 01-99). Stateless; callable from any thread.
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUArray;
class CUStringMac;

// "%s%s": clip ID and extension (".CIF", ".XML", ".THM", ".CPF").
extern const char* const CFBCClip_FileNameFormat;
// "%s%02d.MXF" and "%s%02d.SIF": clip ID and member number.
extern const char* const CFBCClip_MXFFileNameFormat;
extern const char* const CFBCClip_SIFFileNameFormat;

constexpr uint32_t kClipMemberNumberMin = 1;
constexpr uint32_t kClipMemberNumberMax = 99;

// clipFolder / (format applied to clipID and number). Null when an argument
// is missing, the number lies outside 1-99, or the format is not one string
// conversion followed by one integer conversion (other text and "%%" allowed).
CUSharedPtr<CUStringMac> FBC_Utl_MakeClipMemberFilePath(const CUSharedPtr<CUStringMac>& clipFolder,
                                                        const char* format,
                                                        const CUSharedPtr<CUStringMac>& clipID,
                                                        uint32_t memberNumber);
// One element per element of `members` (MemberStreamInfo), in order: its
// path, or a null element where the entry is not a MemberStreamInfo or its
// number gives no path. Null when an argument is missing.
CUSharedPtr<CUArray> FBC_Utl_MakeClipMemberFilePathsFromMemberStreamInfo(
    const CUSharedPtr<CUStringMac>& clipFolder, const char* format, const CUSharedPtr<CUStringMac>& clipID,
    const CUSharedPtr<CUArray>& members);

}  // namespace ComVantoVantoQZ64RADPlug
