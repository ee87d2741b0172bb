#include "ExportSource.h"

#include "CUArray.h"
#include "CUFileStatus.h"
#include "CUStringMac.h"
#include "UMID.h"

#include <filesystem>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

constexpr const char* kClipFiles = "clipFiles";

// `path` relative to the card of `clip` (as it is when outside it).
std::string RelativeToCard(CFBCClip& clip, const std::string& path) {
    const CFBCContent* media = clip.GetMedia();
    const std::filesystem::path root = media && media->GetRootPath() ? media->GetRootPath()->Utf8() : "";
    const std::filesystem::path relative = std::filesystem::path(path).lexically_relative(root);
    return relative.empty() ? path : relative.string();
}

std::vector<std::string> MemberPaths(CFBCClip& clip) {
    std::vector<std::string> paths;
    CUSharedPtr<CUArray> list = clip.AllMXFFilePath();
    for (size_t i = 0; list && i < list->Count(); ++i) {
        CUSharedPtr<CUStringMac> path = list->ObjectAtIndex(i);
        if (path) paths.push_back(path->Utf8());
    }
    return paths;
}

// Every file of the clip an export reads, with its size and time as the
// card holds it now (null for a file that is not there).
ordered_json ClipFiles(CFBCClip& clip) {
    std::vector<std::string> paths = MemberPaths(clip);
    for (const CUSharedPtr<CUStringMac>& path : {clip.GetCIFPath(), clip.GetXMLPath()})
        if (path) paths.push_back(path->Utf8());
    ordered_json files = ordered_json::array();
    for (const std::string& path : paths) {
        const std::optional<CUFileStatus> status = CUFileStatus::Of(path);
        const bool present = status && status->kind == CUFileStatus::Kind::kRegular;
        files.push_back({{"name", RelativeToCard(clip, path)},
                         {"bytes", present ? ordered_json(status->size) : ordered_json()},
                         {"modified", present ? ordered_json(CUFileStatus::TimeText(status->modified))
                                              : ordered_json()}});
    }
    return files;
}

std::string NameOf(const ordered_json& file) {
    return file.is_object() && file.contains("name") && file["name"].is_string()
               ? file["name"].get<std::string>()
               : std::string();
}

const ordered_json& NoMembers() {
    static const ordered_json kNone = ordered_json::array();
    return kNone;
}

// The array `object` holds under `key`; an empty one when it holds none.
const ordered_json& Member(const ordered_json& object, const char* key) {
    return object.is_object() && object.contains(key) && object[key].is_array() ? object[key] : NoMembers();
}

}  // namespace

ordered_json ExportSource::Of(const OutputSetPlan& set, const std::vector<ExportCard>& cards,
                              const std::string& format, const OutputOptions& options) {
    ordered_json pieces = ordered_json::array();
    for (const PlannedPiece& piece : set.pieces) {
        CUSharedPtr<UMID> umid = piece.clip ? piece.clip->FirstMxfUMID() : nullptr;
        pieces.push_back({{"mediumId", cards[piece.card].mediumId},
                          {"clipId", piece.clipId},
                          {"umid", umid && umid->Length() > 0 ? ordered_json(umid->Description()->Utf8())
                                                              : ordered_json()},
                          {kClipFiles, piece.clip ? ClipFiles(*piece.clip) : ordered_json::array()}});
    }
    ordered_json source = {{"format", format},
                           {"pieces", pieces},
                           {"inPoint", set.inFrame ? ordered_json(*set.inFrame) : ordered_json()},
                           {"outPoint", set.outFrame ? ordered_json(*set.outFrame) : ordered_json()},
                           {"allChannels", options.allChannels},
                           {"audio", options.stereoPairs ? "pairs" : "mono"}};
    // A proxy's picture settings are part of what it is made from: changing
    // any of them makes the recorded output not up to date.
    if (!options.proxyCodec.empty()) {
        // A LUT and burn-in are named only when asked for, so a proxy
        // recorded without them stays up to date.
        ordered_json& proxy = source["proxy"] = {{"codec", options.proxyCodec}, {"size", options.proxySize}};
        if (!options.proxyLut.empty()) proxy["lut"] = options.proxyLutDigest;
        if (!options.proxyBurnIn.empty()) proxy["burnIn"] = options.proxyBurnIn;
    }
    return source;
}

bool ExportSource::NamesClipFiles(const ordered_json& source) {
    const ordered_json& pieces = Member(source, "pieces");
    for (const ordered_json& piece : pieces)
        if (!piece.is_object() || !piece.contains("umid") || !piece.contains(kClipFiles)) return false;
    return !pieces.empty();
}

ordered_json ExportSource::Request(const ordered_json& source) {
    ordered_json request = source;
    if (request.is_object() && request.contains("pieces") && request["pieces"].is_array())
        for (ordered_json& piece : request["pieces"])
            if (piece.is_object()) piece.erase(kClipFiles);
    return request;
}

std::string ExportSource::ChangedFile(const ordered_json& recorded, const ordered_json& current) {
    const ordered_json& was = Member(recorded, "pieces");
    const ordered_json& now = Member(current, "pieces");
    for (size_t p = 0; p < now.size(); ++p) {
        const ordered_json& files = Member(now[p], kClipFiles);
        const ordered_json& before = p < was.size() ? Member(was[p], kClipFiles) : NoMembers();
        for (size_t f = 0; f < files.size(); ++f)
            if (f >= before.size() || before[f] != files[f]) return NameOf(files[f]);
        if (before.size() > files.size()) return NameOf(before[files.size()]);
    }
    return std::string();
}

ordered_json ExportSource::MemberFiles(CFBCClip& clip) {
    ordered_json files = ordered_json::array();
    for (const std::string& path : MemberPaths(clip)) files.push_back(RelativeToCard(clip, path));
    return files;
}

}  // namespace qzimport
