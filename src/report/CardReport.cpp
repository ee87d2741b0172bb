#include "CardReport.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUInterruption.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CardOpening.h"
#include "ValueTexts.h"
#include "FBC_Utl_PathInside.h"
#include "ClipSummary.h"
#include "ClipValues.h"
#include "ClipVerifier.h"
#include "CopyHistory.h"
#include "FBCClipValueTag.h"
#include "FBCContentValueTag.h"
#include "HostEventCycle.h"
#include "ImportError.h"
#include "PictureDecodeCheck.h"
#include "PluginHost.h"
#include "QzcardVersion.h"
#include "RecordingSpans.h"
#include "ReportError.h"
#include "ReportFolder.h"
#include "ReportPage.h"
#include "ThumbnailBatch.h"
#include "ThumbnailPoint.h"
#include "UnlistedFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kMaxThumbnails = 10;

ordered_json TextOrNull(const std::string& text) {
    return text.empty() || text == "-" ? ordered_json() : ordered_json(text);
}

// "1.23 GB"
std::string SizeText(uint64_t bytes) {
    char text[32];
    if (bytes < 1000000)
        std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
    else if (bytes < 1000000000)
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    else
        std::snprintf(text, sizeof text, "%.2f GB", bytes / 1e9);
    return text;
}

// "1:02:03.4" (hours:minutes:seconds and tenths, rounded down)
std::string SecondsText(double seconds) {
    const int64_t tenths = static_cast<int64_t>(seconds * 10);
    const int64_t whole = tenths / 10;
    char text[40];
    std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d.%d", whole / 3600, int(whole / 60 % 60),
                  int(whole % 60), int(tenths % 10));
    return text;
}

// The bytes of every file in the clip's folder.
uint64_t ClipFolderBytes(CFBCClip& clip) {
    CUSharedPtr<CUStringMac> cif = clip.GetCIFPath();
    std::error_code error;
    uint64_t bytes = 0;
    if (!cif) return 0;
    for (const auto& entry : fs::directory_iterator(fs::path(cif->Utf8()).parent_path(), error))
        if (entry.is_regular_file(error)) bytes += entry.file_size(error);
    return bytes;
}

std::string ValueString(CFBCClip& clip, _ClipValueTag tag) {
    const std::string text = qzimport::ClipValueText(clip, tag);
    return text == "-" ? std::string() : text;
}

// "Place, N35.68120 E139.76710, +40 m" of what the clip records.
std::string LocationText(CFBCClip& clip) {
    std::string location = ValueString(clip, kClipValuePlaceName);
    auto add = [&location](const std::string& part) {
        if (!part.empty()) location += (location.empty() ? "" : ", ") + part;
    };
    const std::string latitude = ValueString(clip, kClipValueLatitudeValue);
    const std::string longitude = ValueString(clip, kClipValueLongitudeValue);
    if (!latitude.empty() || !longitude.empty()) add(latitude + (latitude.empty() ? "" : " ") + longitude);
    const std::string altitude = ValueString(clip, kClipValueAltitude);
    if (!altitude.empty()) add(altitude + " m");
    return location;
}

struct ClipEntry {
    size_t card = 0;
    CUSharedPtr<CFBCClip> clip;
    qzimport::ClipSummary summary;
    std::string pointFailure;  // why --at names no picture of the clip
};

ordered_json ProblemJson(const qzimport::VerifyProblem& p) {
    return {{"frame", p.frame < 0 ? ordered_json() : ordered_json(p.frame)},
            {"timecode", TextOrNull(p.timecode)},
            {"check", p.check},
            {"detail", p.detail}};
}

// Each clip's verify result, pictures decoded too, through the plug-in as
// `verify --decode` runs it; the clips folder's unlisted entries.
class CardCheck {
public:
    explicit CardCheck(const ReportOptions& options) {
        try {
            m_host = std::make_unique<qzimport::PluginHost>(
                options.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : options.plugin,
                options.hostVersion);
        } catch (const qzimport::PluginHostError& e) {
            throw ReportError(std::string("--check: ") + e.what());
        }
    }

    void Open(const std::string& card) {
        m_offered.clear();
        // A card the plug-in does not take offers no clip: each is then a problem.
        m_volume = m_host->PathIsValidVolume(card) ? m_host->VolumeWithPath(card) : nullptr;
        if (!m_volume) return;
        for (const auto& clip : m_host->Clips(m_volume)) {
            const std::optional<std::string> name = clip ? clip->name() : std::nullopt;
            if (name && !m_offered.count(*name)) m_offered[*name] = clip;
        }
    }

    ordered_json Verify(const ClipEntry& entry, size_t& problems) {
        HostEventCycle cycle;
        const auto found = m_offered.find(entry.summary.clipID);
        PictureDecodeCheck decoding;
        qzimport::ClipVerification result = qzimport::ClipVerifier::Verify(
            found == m_offered.end() ? nullptr : found->second.get(), *entry.clip, &decoding);
        if (found == m_offered.end())
            result.problems.insert(
                result.problems.begin(),
                {-1, std::string(), "offered",
                 "the plug-in does not offer it (" + entry.summary.state +
                     (entry.summary.stateReason.empty() ? "" : ": " + entry.summary.stateReason) + ")"});
        problems += result.problems.size();
        ordered_json list = ordered_json::array();
        for (const qzimport::VerifyProblem& p : result.problems) list.push_back(ProblemJson(p));
        return {{"clean", result.problems.empty()},
                {"frames", result.frames},
                {"picturesDecoded", decoding.PicturesChecked()},
                {"problemCount", result.problems.size()},
                {"problems", list}};
    }

private:
    std::unique_ptr<qzimport::PluginHost> m_host;
    std::shared_ptr<MIORADVolumeDataSourceProtocol> m_volume;
    std::map<std::string, std::shared_ptr<MIORADClipDataSourceProtocol>> m_offered;
};

}  // namespace

ReportResult CardReport::Write(const ReportOptions& options) {
    if (options.cards.empty()) throw ReportError("give at least one card", CUFailureKind::kUsage);
    if (options.thumbnails > kMaxThumbnails)
        throw ReportError("--thumbnails takes 0 to " + std::to_string(kMaxThumbnails), CUFailureKind::kUsage);
    const ThumbnailPoint at = ThumbnailPoint::Parse(options.at);
    auto say = [&options](const std::string& line) {
        if (options.progress) options.progress(line);
    };

    std::vector<CUSharedPtr<CFBCContent>> contents;
    for (const std::string& card : options.cards) {
        contents.push_back(qzimport::OpenCard(card));
        if (ComVantoVantoQZ64RADPlug::FBC_Utl_PathIsInside(options.output, card))
            throw ReportError("the report folder " + options.output + " lies inside the card " + card +
                              "; nothing is written to a card");
    }
    ReportFolder folder(options.output, options.waitSeconds);

    // Every clip, and the thumbnails asked of it.
    std::vector<ClipEntry> entries;
    std::vector<ThumbnailRequest> requests;
    for (size_t c = 0; c < contents.size(); ++c) {
        CUSharedPtr<CUArray> list = contents[c]->ClipList();
        for (size_t i = 0; list && i < list->Count(); ++i) {
            ClipEntry entry;
            entry.card = c;
            entry.clip = list->ObjectAtIndex(i);
            entry.summary = qzimport::SummarizeClip(*contents[c], i);
            ThumbnailRequest request;
            request.width = options.thumbnailWidth;
            CUSharedPtr<CUStringMac> cif = entry.clip ? entry.clip->GetCIFPath() : nullptr;
            request.clipInformationFile = cif ? cif->Utf8() : std::string();
            CUSharedPtr<CUNumber> frames =
                entry.clip ? entry.clip->ValueForTag(kClipValueDurationFrames) : nullptr;
            const int64_t count = frames ? frames->SInt64Value() : 0;
            if (entry.clip && options.thumbnails > 0 && count > 0) {
                try {
                    const int64_t first = at.At(*entry.clip, count);
                    for (unsigned k = 0; k < options.thumbnails; ++k) {
                        request.points.push_back(first + (count - first) * k / options.thumbnails);
                        request.outputs.push_back(
                            folder.ThumbnailPath(c + 1, i + 1, entry.summary.clipID, k + 1));
                    }
                } catch (const qzimport::ImportError& e) {
                    entry.pointFailure = e.what();
                }
            }
            entries.push_back(std::move(entry));
            requests.push_back(std::move(request));
        }
    }

    say("thumbnails of " + std::to_string(entries.size()) + " clips");
    const std::vector<ClipPictures> pictures =
        ThumbnailBatch::Run(requests, options.threads, [&say](size_t done, size_t all) {
            if (done % 50 == 0 || done == all)
                say("thumbnails: " + std::to_string(done) + " of " + std::to_string(all) + " clips");
        });

    ReportResult result;
    result.cards = contents.size();
    result.clips = entries.size();
    result.thumbnailFolder = folder.ThumbnailFolder();
    result.page = folder.PagePath();
    result.json = folder.JsonPath();

    std::unique_ptr<CardCheck> check;
    if (options.check) check = std::make_unique<CardCheck>(options);

    std::vector<CopyHistory> copies;
    for (const std::string& copy : options.copies) {
        copies.push_back(CopyHistory::Read(copy));
        if (!copies.back().Verified()) ++result.failedCopies;
    }

    ordered_json report;
    report["qzcardVersion"] = qzimport::QzcardVersion();
    report["generated"] = qzimport::HostDateText(static_cast<double>(std::time(nullptr)));
    report["thumbnailsPerClip"] = options.thumbnails;
    report["thumbnailPoint"] = at.Text();
    report["checked"] = options.check;
    report["cards"] = ordered_json::array();
    std::set<std::string> referenced;
    std::vector<bool> copyMatched(copies.size(), false);
    for (size_t c = 0; c < contents.size(); ++c) {
        const CFBCContent& content = *contents[c];
        ordered_json card;
        card["card"] = options.cards[c];
        card["name"] = fs::path(options.cards[c]).lexically_normal().filename().string();
        if (card["name"].get<std::string>().empty())
            card["name"] = fs::path(options.cards[c]).lexically_normal().parent_path().filename().string();
        card["mediumId"] = TextOrNull(qzimport::UUIDText(content.ValueForTag(kContentValueMediaID)));
        if (check) {
            say("checking " + options.cards[c]);
            check->Open(options.cards[c]);
        }
        ordered_json clips = ordered_json::array();
        double seconds = 0;
        uint64_t bytes = 0;
        std::set<std::string> rates, devices;
        std::string firstShot, lastShot, firstShotText, lastShotText;
        size_t offered = 0;
        for (size_t e = 0; e < entries.size(); ++e) {
            if (entries[e].card != c) continue;
            const ClipEntry& entry = entries[e];
            const ClipPictures& clipPictures = pictures[e];
            ordered_json clip = entry.summary.json;
            if (clip.is_null()) clip = {{"clipId", entry.summary.clipID}, {"state", entry.summary.state}};
            if (entry.summary.ready) ++offered;
            if (clipPictures.timescale > 0)
                seconds += double(clipPictures.frames) * clipPictures.frameDuration / clipPictures.timescale;
            if (entry.summary.frameRate != "-") rates.insert(entry.summary.frameRate);
            if (entry.summary.device != "-") devices.insert(entry.summary.device);
            const std::string shotUtc = clip.value("shootingDateTime", ordered_json()).is_string()
                                            ? clip["shootingDateTime"].get<std::string>()
                                            : std::string();
            if (!shotUtc.empty() && (firstShot.empty() || shotUtc < firstShot))
                firstShot = shotUtc, firstShotText = entry.summary.shot;
            if (!shotUtc.empty() && (lastShot.empty() || shotUtc > lastShot))
                lastShot = shotUtc, lastShotText = entry.summary.shot;
            // Every key on every clip, so that the page never shows a card's value for a clip's.
            for (const char* key : {"endTimecode", "creator", "description", "location", "sizeText"})
                clip[key] = nullptr;
            clip["bytes"] = 0;
            clip["valueTexts"] = ordered_json::object();
            if (entry.clip) {
                CFBCClip& source = *entry.clip;
                const uint64_t folderBytes = ClipFolderBytes(source);
                bytes += folderBytes;
                clip["endTimecode"] =
                    TextOrNull(qzimport::TimecodeText(source.ValueForTag(kClipValueEndTimecode)));
                clip["creator"] = TextOrNull(ValueString(source, kClipValueCreator));
                clip["description"] = TextOrNull(ValueString(source, kClipValueDescription));
                clip["location"] = TextOrNull(LocationText(source));
                clip["bytes"] = folderBytes;
                clip["sizeText"] = SizeText(folderBytes);
                clip["valueTexts"] = qzimport::ClipValuesJson(source)["valueTexts"];
            }
            ordered_json thumbnails = ordered_json::array();
            for (const Thumbnail& t : clipPictures.thumbnails) {
                ordered_json j;
                j["file"] = t.output.empty() ? ordered_json() : ordered_json(folder.PageRelative(t.output));
                if (!t.output.empty()) referenced.insert(fs::path(t.output).filename().string());
                j["askedFrame"] = t.askedFrame;
                j["frame"] = t.frame < 0 ? ordered_json() : ordered_json(t.frame);
                j["decodeFrame"] = t.decodeFrame < 0 ? ordered_json() : ordered_json(t.decodeFrame);
                j["timecode"] = TextOrNull(t.timecode);
                j["width"] = t.width;
                j["height"] = t.height;
                j["interlaced"] = t.interlaced;
                j["damage"] = TextOrNull(t.damage);
                j["failure"] = TextOrNull(t.failure);
                thumbnails.push_back(j);
                if (!t.output.empty()) ++result.thumbnails;
            }
            clip["thumbnails"] = thumbnails;
            clip["thumbnailFailure"] =
                TextOrNull(!entry.pointFailure.empty() ? entry.pointFailure : clipPictures.failure);
            clip["check"] = check && entry.clip ? check->Verify(entry, result.problems) : ordered_json();
            clips.push_back(std::move(clip));
        }
        card["clipCount"] = clips.size();
        card["offeredClipCount"] = offered;
        card["durationSeconds"] = seconds;
        card["duration"] = SecondsText(seconds);
        card["bytes"] = bytes;
        card["sizeText"] = SizeText(bytes);
        card["frameRates"] = ordered_json(std::vector<std::string>(rates.begin(), rates.end()));
        card["firstShot"] = TextOrNull(firstShotText);
        card["lastShot"] = TextOrNull(lastShotText);
        card["devices"] = ordered_json(std::vector<std::string>(devices.begin(), devices.end()));
        if (check) {
            ordered_json unlisted = ordered_json::array();
            for (const qzimport::UnlistedEntry& u : qzimport::FindUnlisted(content))
                unlisted.push_back({{"path", u.path}, {"folder", u.folder}, {"what", u.what}});
            result.problems += unlisted.size();
            card["unlisted"] = unlisted;
        } else {
            card["unlisted"] = ordered_json();
        }
        card["copies"] = ordered_json::array();
        for (size_t k = 0; k < copies.size(); ++k)
            if (!copies[k].mediumId.empty() && copies[k].mediumId == card["mediumId"]) {
                card["copies"].push_back(copies[k].Json());
                copyMatched[k] = true;
            }
        card["clips"] = std::move(clips);
        report["cards"].push_back(std::move(card));
    }
    report["otherCopies"] = ordered_json::array();
    for (size_t k = 0; k < copies.size(); ++k)
        if (!copyMatched[k]) report["otherCopies"].push_back(copies[k].Json());

    report["recordings"] = ordered_json::array();
    for (const qzimport::Recording& r : qzimport::FindRecordings(options.cards, contents))
        report["recordings"].push_back(qzimport::RecordingJson(r));
    report["summary"] = {{"cards", result.cards},
                         {"clips", result.clips},
                         {"thumbnails", result.thumbnails},
                         {"problems", options.check ? ordered_json(result.problems) : ordered_json()},
                         {"copies", copies.size()},
                         {"failedCopies", result.failedCopies}};

    // Interrupted until here, nothing of this run is in place; from here on
    // the set is put in place whole.
    CUInterruption::ThrowIfRequested();
    folder.Commit(pictures, report.dump(2) + "\n", ReportPage::Render(report), referenced);
    return result;
}

}  // namespace qzreport
