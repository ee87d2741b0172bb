#include "ClipStates.h"

#include "CFBCClip.h"
#include "CIFStream.h"
#include "CUArray.h"
#include "CUFailure.h"
#include "CUStringMac.h"
#include "FBCMovieStream.h"
#include "FBC_Utl_Format.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string FileName(const CUSharedPtr<CUStringMac>& path) {
    return path ? std::filesystem::path(path->Utf8()).filename().string() : std::string();
}

bool FileExists(const CUSharedPtr<CUStringMac>& path) {
    std::error_code error;
    return path && std::filesystem::exists(path->Utf8(), error);
}

// Which of the files an import opens first is not there.
std::string MissingFileReason(CFBCClip& clip) {
    if (!FileExists(clip.GetCIFPath()))
        return "the clip information file " + FileName(clip.GetCIFPath()) + " is missing";
    CUSharedPtr<CUArray> members = clip.AllMXFFilePath();
    if (!members || members->Count() == 0) return "the clip information lists no member files";
    for (size_t i = 0; i < members->Count(); ++i) {
        CUSharedPtr<CUStringMac> path = members->ObjectAtIndex(i);
        if (!path) return "member " + std::to_string(i + 1) + " of the clip information has no file name";
        if (!FileExists(path)) return "member file " + FileName(path) + " is missing";
    }
    return "its files were missing when the card was opened";
}

}  // namespace

std::string ClipStateText(const CFBCContent& content, size_t index) {
    CUSharedPtr<CUArray> clips = content.ClipList();
    CUSharedPtr<CFBCClip> clip = clips ? clips->ObjectAtIndex(index) : nullptr;
    if (!clip) return "missing";
    // Offered, but a file the import reads first fails the clip's checks:
    // the plug-in would refuse the clip or stop inside it.
    if (content.IsClipOffered(index)) return clip->LastFailure().Failed() ? "damaged" : "ready";
    const uint32_t check = content.ClipCheckResult(index);
    if (check != 0) return FBC_Utl_Format("check failed (0x%06" PRIX32 ")", check);
    switch (clip->GatClipState()) {
        case 0:
            return "missing files";
        case 2:
            return "unsupported";
        default:
            return "invalid";
    }
}

std::string ClipStateReason(const CFBCContent& content, size_t index) {
    CUSharedPtr<CUArray> clips = content.ClipList();
    CUSharedPtr<CFBCClip> clip = clips ? clips->ObjectAtIndex(index) : nullptr;
    if (!clip) return "the index entry gives no clip";
    const std::string state = ClipStateText(content, index);
    if (state == "ready") return std::string();
    if (state == "damaged") return clip->LastFailure().Describe();
    if (state == "missing files") return MissingFileReason(*clip);
    if (state == "unsupported") {
        CUSharedPtr<CIFStream> cif = clip->GetCIFStream();
        return cif ? FBC_Utl_Format(
                         "clip information version 0x%04X, clip metadata version 0x%04X (only major "
                         "version 1 is read)",
                         cif->CIFVersion(), cif->MetadataVersion())
                   : "unsupported clip information";
    }
    if (state == "invalid") return "the clip has no clip information";
    return "the clip's paths cannot be formed";
}

std::string MovieFailure(const FBCMovieStream& movie, const std::string& fallback) {
    const CUFailure failure = movie.LastFailure();
    return failure.Failed() ? failure.Describe() : fallback;
}

}  // namespace qzimport
