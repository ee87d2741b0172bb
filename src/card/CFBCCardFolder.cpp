#include "CFBCCardFolder.h"

#include "CUStringMac.h"
#include "FBC_Utl_Format.h"
#include "MIFStream.h"
#include "MediaMetadata.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Why INDEX.MIF could not be read, from where a fresh read of it stops.
std::string IndexReadFailure(const CUSharedPtr<CUStringMac>& indexPath) {
    CUSharedPtr<MIFStream> index(new MIFStream());
    index->Init(indexPath);
    switch (index->FailedStep()) {
        case kMIFReadStepFile:
            return "the media index INDEX.MIF cannot be read";
        case kMIFReadStepMagic:
            return "bad magic in the media index INDEX.MIF (not \"MI\")";
        case kMIFReadStepHeader:
            return "the media index INDEX.MIF ends inside its header";
        case kMIFReadStepClipCount:
            if (index->StoredClipCount() > MIFStream::kMaxClipCount)
                return FBC_Utl_Format("the media index holds a clip count of %" PRIu32 " (at most %" PRIu32
                                      ")",
                                      index->StoredClipCount(), MIFStream::kMaxClipCount);
            return "the media index INDEX.MIF ends before its clip count";
        case kMIFReadStepClipIDTable:
            return "the media index holds an invalid clip identifier record (or ends inside the table)";
        case kMIFReadStepCIFTable:
            return "the media index INDEX.MIF ends inside its clip information table";
        case kMIFReadStepClip:
            return "a clip of the media index could not be made";
        case kMIFReadStepMediaMetadata:
            return "the media index has no media metadata block (\"MM\")";
        case kMIFReadStepExtension:
            return "the media index INDEX.MIF ends before its extension word";
        case kMIFReadStepNone:
        default:
            return "the media index INDEX.MIF cannot be read";
    }
}

// Whether `folder` holds a card's media index (the layout, not its bytes).
bool HoldsMediaIndex(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(
        folder / kContentsFolderName / kClipsFolderName / kMediaIndexFileName, error);
}

}  // namespace

std::string CFBCCardFolder::EnclosingCardRoot(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path at = fs::absolute(path, error).lexically_normal();
    if (error) return std::string();
    if (!at.has_filename()) at = at.parent_path();
    for (fs::path up = at.parent_path(); !up.empty() && up != at; at = up, up = up.parent_path()) {
        if (!HoldsMediaIndex(up)) continue;
        if (fs::path(path).is_absolute()) return up.string();
        const fs::path relative = fs::relative(up, error);
        return error || relative.empty() ? up.string() : relative.string();
    }
    return std::string();
}

std::string CFBCCardFolder::LayoutRefusal(const std::string& folder) {
    if (HoldsMediaIndex(folder)) return std::string();
    const std::string root = EnclosingCardRoot(folder);
    if (!root.empty()) return folder + " lies inside the card " + root + "; give " + root;
    std::error_code error;
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error))
        return folder + " is a file; the card is the folder that holds " + kContentsFolderName;
    return std::string();
}

CUSharedPtr<CFBCContent> CFBCCardFolder::Open(const std::string& folder, std::string* refusal) {
    std::string why = LayoutRefusal(folder);
    CUSharedPtr<CFBCContent> content;
    if (why.empty()) {
        content = CFBCContent::Create(CUStringMac::Create(folder.c_str()), CUStringMac::Create(""),
                                      kContentsMediaTypeCard);
        const std::string reason = NotACardReason(folder, content);
        if (reason.empty()) return content;
        why = folder + " is not a card: " + reason;
    }
    if (refusal) *refusal = why;
    return nullptr;
}

std::string CFBCCardFolder::NotACardReason(const std::string& folder,
                                           const CUSharedPtr<CFBCContent>& content) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return "no such folder";
    if (!content) {
        // Same paths as the content derives, without reading anything yet.
        CUSharedPtr<CFBCContent> paths(new CFBCContent());
        paths->Init(CUStringMac::Create(folder.c_str()), CUStringMac::Create(""), kContentsMediaTypeVirtual);
        if (!paths->GetIndexPath()) return "the card paths cannot be formed";
        if (!paths->ContentDataFileExist())
            return FBC_Utl_Format("no media index %s/%s/%s", kContentsFolderName, kClipsFolderName,
                                  kMediaIndexFileName);
        return IndexReadFailure(paths->GetIndexPath());
    }
    CUSharedPtr<MIFStream> index = content->GetMIFStream();
    switch (content->ContentState()) {
        case kContentStateReady:
            return std::string();
        case kContentStateUnsupported:
            if (index && (index->IndexVersion() >> 8) != MIFStream::kSupportedMajorVersion)
                return FBC_Utl_Format(
                    "unsupported media index version 0x%04X (major version %u; only 1 is read)",
                    index->IndexVersion(), index->IndexVersion() >> 8);
            if (index && index->GetMediaMetadata())
                return FBC_Utl_Format(
                    "unsupported media metadata version 0x%04X (only major version 1 is read)",
                    index->GetMediaMetadata()->MetadataVersion());
            return "unsupported media index version";
        case kContentStateBadSystem:
            if (index)
                return FBC_Utl_Format(
                    "frame-rate type not allowed: system bitmap 0x%02X gives type %u, which media "
                    "index version 0x%04X does not allow",
                    index->SystemBitmap(), index->SystemBitmap() & ((index->IndexVersion() & 0xFF) ? 7 : 3),
                    index->IndexVersion());
            return "frame-rate type not allowed";
        case kContentStateInvalid:
        default:
            return "the media index has no media metadata";
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
