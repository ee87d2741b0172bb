#include "CardReport.h"
#include "FBC_Utl_CountText.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUInterruption.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CardCheck.h"
#include "CardOpening.h"
#include "ClipSummary.h"
#include "ClipSummaryWriter.h"
#include "ClipValues.h"
#include "CopyHistory.h"
#include "FBCClipValueTag.h"
#include "FBCContentValueTag.h"
#include "FBC_Utl_PathInside.h"
#include "ImportError.h"
#include "OrNull.h"
#include "PluginHost.h"
#include "ProblemRanges.h"
#include "QzcardVersion.h"
#include "RecordingSpans.h"
#include "ReportError.h"
#include "ReportFolder.h"
#include "ReportPage.h"
#include "ThumbnailBatch.h"
#include "ThumbnailPoint.h"
#include "UnlistedFiles.h"
#include "ValueTexts.h"

#include <nlohmann/json.hpp>

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;
using qzimport::OrNull;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kMaxThumbnails = 10;

// The importer's texts are empty for what a clip does not tell.
std::optional<std::string> Told(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::optional<int64_t> Frame(int64_t frame) {
    return frame < 0 ? std::nullopt : std::optional<int64_t>(frame);
}

// Clip value `tag` as text; absent when the clip does not hold it.
std::optional<std::string> ClipText(CFBCClip& clip, _ClipValueTag tag) {
    const CUSharedPtr<CUObject> value = clip.ValueForTag(tag);
    return value ? Told(qzimport::ValueText(value)) : std::nullopt;
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

// "Place, N35.68120 E139.76710, +40 m" of what the clip records; absent when it records none.
std::optional<std::string> LocationText(CFBCClip& clip) {
    std::string location = ClipText(clip, kClipValuePlaceName).value_or("");
    auto add = [&location](const std::string& part) { location += (location.empty() ? "" : ", ") + part; };
    const std::string latitude = ClipText(clip, kClipValueLatitudeValue).value_or("");
    const std::string longitude = ClipText(clip, kClipValueLongitudeValue).value_or("");
    if (!latitude.empty() || !longitude.empty()) add(latitude + (latitude.empty() ? "" : " ") + longitude);
    if (const std::optional<std::string> altitude = ClipText(clip, kClipValueAltitude)) add(*altitude + " m");
    return Told(location);
}

// A card given to the report: its folder as given, the name the page
// shows, its medium ID (absent when the card records none).
struct ReportCard {
    std::string folder;
    std::string name;
    std::optional<std::string> mediumId;
    CUSharedPtr<CFBCContent> content;
};

// A clip of a card and what is asked of it.
struct ClipEntry {
    size_t card = 0;
    size_t index = 0;  // in the card's clip list
    CUSharedPtr<CFBCClip> clip;
    qzimport::ClipSummary summary;
    uint64_t frames = 0;
    std::string pointFailure;  // why --at names no picture of the clip
};

// "card1", of "/media/card1/" as of "/media/card1".
std::string CardName(const std::string& folder) {
    const fs::path path = fs::path(folder).lexically_normal();
    const std::string name = path.filename().string();
    return name.empty() ? path.parent_path().filename().string() : name;
}

// The cards given, each once: a card given twice (the same medium, or the
// same folder) is shown once, where it is first given, as `spans` counts it.
std::vector<ReportCard> OpenCards(const ReportOptions& options) {
    std::vector<ReportCard> cards;
    std::set<std::string> media, folders;
    for (const std::string& folder : options.cards) {
        CUSharedPtr<CFBCContent> content = qzimport::OpenCard(folder);
        if (ComVantoVantoQZ64RADPlug::FBC_Utl_PathIsInside(options.output, folder))
            throw ReportError("the report folder " + options.output + " lies inside the card " + folder +
                                  "; nothing is written to a card",
                              CUFailureKind::kUsage);
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(folder, error);
        const std::optional<std::string> medium =
            Told(qzimport::UUIDText(content->ValueForTag(kContentValueMediaID)));
        if ((medium && media.count(*medium)) || (!error && folders.count(canonical.string()))) continue;
        if (medium) media.insert(*medium);
        if (!error) folders.insert(canonical.string());
        cards.push_back({folder, CardName(folder), medium, content});
    }
    return cards;
}

// Every clip of the cards, and the thumbnails asked of each (one request per clip, in the same order).
// The descriptor of each clip comes from `offered` (one per card).
std::vector<ClipEntry> GatherClips(const std::vector<ReportCard>& cards,
                                   const std::vector<OfferedClips>& offered, const ReportOptions& options,
                                   const ThumbnailPoint& at, const ReportFolder& folder,
                                   std::vector<ThumbnailRequest>& requests) {
    std::vector<ClipEntry> entries;
    for (size_t c = 0; c < cards.size(); ++c) {
        CUSharedPtr<CUArray> list = cards[c].content->ClipList();
        for (size_t i = 0; list && i < list->Count(); ++i) {
            ClipEntry entry;
            entry.card = c;
            entry.index = i;
            entry.clip = list->ObjectAtIndex(i);
            entry.summary = qzimport::SummarizeClip(*cards[c].content, i);
            ThumbnailRequest request;
            request.width = options.thumbnailWidth;
            request.clip = entry.clip;
            const auto descriptor = offered[c].clips.find(entry.summary.clipID);
            if (descriptor != offered[c].clips.end()) request.descriptor = descriptor->second;
            request.unoffered = "the plug-in does not offer it (" + entry.summary.state +
                                (entry.summary.stateReason ? ": " + *entry.summary.stateReason : "") + ")";

            CUSharedPtr<CUNumber> frames =
                entry.clip ? entry.clip->ValueForTag(kClipValueDurationFrames) : nullptr;
            const int64_t count = frames ? frames->SInt64Value() : 0;
            entry.frames = count > 0 ? static_cast<uint64_t>(count) : 0;
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
    return entries;
}

ordered_json ThumbnailJson(const Thumbnail& t, const ReportFolder& folder) {
    return {{"file", t.output.empty() ? ordered_json() : ordered_json(folder.PageRelative(t.output))},
            {"askedFrame", t.askedFrame},
            {"frame", OrNull(Frame(t.frame))},
            {"decodeFrame", OrNull(Frame(t.decodeFrame))},
            {"timecode", OrNull(Told(t.timecode))},
            {"width", t.width},
            {"height", t.height},
            {"interlaced", t.interlaced},
            {"damage", OrNull(Told(t.damage))},
            {"failure", OrNull(Told(t.failure))}};
}

ordered_json CheckJson(const ClipCheck& check) {
    const std::vector<qzimport::VerifyProblem>& problems = check.verification.problems;
    ordered_json list = ordered_json::array(), ranges = ordered_json::array();
    for (const qzimport::VerifyProblem& p : problems)
        list.push_back({{"frame", OrNull(Frame(p.frame))},
                        {"timecode", OrNull(Told(p.timecode))},
                        {"lastFrame", OrNull(Frame(p.lastFrame < 0 ? p.frame : p.lastFrame))},
                        {"lastTimecode", OrNull(Told(p.lastTimecode.empty() ? p.timecode : p.lastTimecode))},
                        {"check", p.check},
                        {"detail", p.detail}});
    for (const qzimport::VerifyProblem& p : problems)
        ranges.push_back(
            {{"firstFrame", OrNull(Frame(p.frame))},
             {"lastFrame", OrNull(Frame(p.lastFrame < 0 ? p.frame : p.lastFrame))},
             {"firstTimecode", OrNull(Told(p.timecode))},
             {"lastTimecode", OrNull(Told(p.lastTimecode.empty() ? p.timecode : p.lastTimecode))},
             {"check", p.check},
             {"detail", p.detail},
             {"count", std::max<int64_t>(1, qzimport::FramesCovered(p))},
             {"text", qzimport::ProblemText(p)}});
    return {{"clean", problems.empty()},
            {"frames", check.verification.frames},
            {"picturesDecoded", check.picturesDecoded},
            {"problemCount", problems.size()},
            {"problems", list},
            {"problemRanges", ranges}};
}

// The daily of a clip in `dailies` (an H.264 proxy export's folder): named
// as the export names the clip's files, with the card's name before the
// clip ID where clips of several cards share an ID. Absent when neither is there.
std::optional<std::string> FindDaily(const std::string& dailies, const std::string& cardName,
                                     const std::string& clipID) {
    std::error_code error;
    for (const std::string& name : {cardName + "_" + clipID + ".mov", clipID + ".mov"})
        if (fs::is_regular_file(fs::path(dailies) / name, error)) return (fs::path(dailies) / name).string();
    return std::nullopt;
}

// A daily as the page links it: relative to the page's folder, so the
// report and its dailies move together.
std::string PageLink(const std::string& file, const std::string& pageFolder) {
    std::error_code error;
    const fs::path from = fs::weakly_canonical(pageFolder, error);
    const fs::path to = fs::weakly_canonical(file, error);
    return error ? fs::absolute(file).string() : to.lexically_relative(from).generic_string();
}

// What the report gathers, step by step, for one run of Write().
class ReportRun {
public:
    explicit ReportRun(const ReportOptions& options)
        : m_options(options),
          m_at(ThumbnailPoint::Parse(options.at)),
          m_cards(OpenCards(options)),
          m_folder(options.output, options.waitSeconds) {}

    ReportResult Write() {
        // Pictures and checks reach the clips through the plug-in, as a host's do.
        try {
            m_host = std::make_unique<qzimport::PluginHost>(
                m_options.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : m_options.plugin,
                m_options.hostVersion);
        } catch (const qzimport::PluginHostError& e) {
            throw ReportError(std::string("the plug-in bundle: ") + e.what());
        }
        for (const ReportCard& card : m_cards) m_offered.push_back(OfferedClips::Of(*m_host, card.folder));
        std::vector<ThumbnailRequest> requests;
        m_entries = GatherClips(m_cards, m_offered, m_options, m_at, m_folder, requests);
        MakeThumbnails(requests);
        ReadCopies();
        if (m_options.check) {
            uint64_t frames = 0;
            for (const ClipEntry& entry : m_entries) frames += entry.frames;
            m_check = std::make_unique<CardCheck>(frames, m_options.progress);
        }
        ordered_json report = ReportJson();
        // Interrupted until here, nothing of this run is in place; from here on
        // the set is put in place whole.
        CUInterruption::ThrowIfRequested();
        const std::string json = report.dump(2) + "\n";
        const std::string page = ReportPage::Render(std::move(report));
        m_folder.Commit(m_pictures, json, page, m_referenced);
        return m_result;
    }

private:
    void Say(const std::string& line) const {
        if (m_options.progress) m_options.progress(line);
    }

    void MakeThumbnails(const std::vector<ThumbnailRequest>& requests) {
        size_t asked = 0;
        for (const ThumbnailRequest& r : requests) asked += !r.points.empty();
        Say("thumbnails of " + FBC_Utl_CountText(asked, "clip", "clips"));
        m_pictures = ThumbnailBatch::Run(requests, m_options.threads, [this](size_t done, size_t all) {
            if (done % 50 == 0 || done == all)
                Say("thumbnails: " + std::to_string(done) + " of " + FBC_Utl_CountText(all, "clip", "clips"));
        });
    }

    void ReadCopies() {
        for (const std::string& copy : m_options.copies) {
            m_copies.push_back(CopyHistory::Read(copy));
            if (!m_copies.back().Verified()) ++m_result.failedCopies;
        }
    }

    ordered_json ClipJson(const ClipEntry& entry, const ClipPictures& pictures) {
        ordered_json clip = qzimport::ClipSummaryWriter::Json(entry.summary);
        if (clip.is_null()) clip = {{"clipId", entry.summary.clipID}, {"state", entry.summary.state}};
        // Every key on every clip, so that the page never shows a card's value for a clip's.
        for (const char* key : {"endTimecode", "creator", "description", "location", "sizeText"})
            clip[key] = nullptr;
        clip["bytes"] = 0;
        clip["valueTexts"] = ordered_json::object();
        if (entry.clip) {
            CFBCClip& source = *entry.clip;
            const uint64_t folderBytes = ClipFolderBytes(source);
            clip["endTimecode"] =
                OrNull(Told(qzimport::TimecodeText(source.ValueForTag(kClipValueEndTimecode))));
            clip["creator"] = OrNull(ClipText(source, kClipValueCreator));
            clip["description"] = OrNull(ClipText(source, kClipValueDescription));
            clip["location"] = OrNull(LocationText(source));
            clip["bytes"] = folderBytes;
            clip["sizeText"] = SizeText(folderBytes);
            clip["valueTexts"] = qzimport::ClipValuesJson(source)["valueTexts"];
        }
        ordered_json thumbnails = ordered_json::array();
        for (const Thumbnail& t : pictures.thumbnails) {
            thumbnails.push_back(ThumbnailJson(t, m_folder));
            if (t.output.empty()) continue;
            m_referenced.insert(fs::path(t.output).filename().string());
            ++m_result.thumbnails;
        }
        clip["thumbnails"] = thumbnails;
        clip["thumbnailFailure"] =
            OrNull(Told(!entry.pointFailure.empty() ? entry.pointFailure : pictures.failure));
        clip["check"] = nullptr;
        if (m_check && entry.clip) {
            const ClipCheck check =
                m_check->Verify(*entry.clip, entry.summary.clipID, entry.frames, entry.summary.state,
                                entry.summary.stateReason.value_or(""));
            m_result.problems += check.verification.problems.size();
            clip["check"] = CheckJson(check);
        }
        if (!m_options.dailies.empty()) {
            const std::optional<std::string> daily =
                FindDaily(m_options.dailies, m_cards[entry.card].name, entry.summary.clipID);
            clip["daily"] =
                OrNull(daily ? std::optional<std::string>(PageLink(*daily, m_options.output)) : std::nullopt);
            if (daily) ++m_result.dailies;
        }
        return clip;
    }

    ordered_json CardJson(size_t c) {
        const ReportCard& reportCard = m_cards[c];
        ordered_json card = {{"card", reportCard.folder},
                             {"name", reportCard.name},
                             {"mediumId", OrNull(reportCard.mediumId)}};
        if (m_check) {
            Say("checking " + reportCard.folder);
            m_check->Open(reportCard.folder, m_offered[c]);
        }
        ordered_json clips = ordered_json::array();
        double seconds = 0;
        uint64_t bytes = 0;
        std::set<std::string> rates, devices;
        std::optional<std::string> firstShot, lastShot, firstShotText, lastShotText;
        size_t offered = 0;
        for (size_t e = 0; e < m_entries.size(); ++e) {
            if (m_entries[e].card != c) continue;
            const ClipEntry& entry = m_entries[e];
            const ClipPictures& pictures = m_pictures[e];
            ordered_json clip = ClipJson(entry, pictures);
            if (entry.summary.ready) ++offered;
            if (pictures.timescale > 0)
                seconds += double(pictures.frames) * pictures.frameDuration / pictures.timescale;
            if (clip.value("frameRate", ordered_json()).is_string())
                rates.insert(clip["frameRate"].get<std::string>());
            if (const auto device = qzimport::ClipSummaryWriter::DeviceText(entry.summary.device))
                devices.insert(*device);
            const ordered_json& shot = clip.value("shootingDateTime", ordered_json());
            if (shot.is_string()) {
                const std::string utc = shot.get<std::string>();
                const std::string text = qzimport::ClipSummaryWriter::ShotText(entry.summary).value_or("-");
                if (!firstShot || utc < *firstShot) firstShot = utc, firstShotText = text;
                if (!lastShot || utc > *lastShot) lastShot = utc, lastShotText = text;
            }
            bytes += clip["bytes"].get<uint64_t>();
            clips.push_back(std::move(clip));
        }
        card["clipCount"] = clips.size();
        card["offeredClipCount"] = offered;
        card["durationSeconds"] = seconds;
        card["duration"] = SecondsText(seconds);
        card["bytes"] = bytes;
        card["sizeText"] = SizeText(bytes);
        card["frameRates"] = ordered_json(std::vector<std::string>(rates.begin(), rates.end()));
        card["firstShot"] = OrNull(firstShotText);
        card["lastShot"] = OrNull(lastShotText);
        card["devices"] = ordered_json(std::vector<std::string>(devices.begin(), devices.end()));
        card["unlisted"] = nullptr;
        if (m_check) {
            card["unlisted"] = ordered_json::array();
            for (const qzimport::UnlistedEntry& u : qzimport::FindUnlisted(*reportCard.content))
                card["unlisted"].push_back({{"path", u.path}, {"folder", u.folder}, {"what", u.what}});
            m_result.unlisted += card["unlisted"].size();
        }
        card["copies"] = ordered_json::array();
        for (size_t k = 0; k < m_copies.size(); ++k)
            if (reportCard.mediumId && m_copies[k].mediumId == *reportCard.mediumId) {
                card["copies"].push_back(m_copies[k].Json());
                m_copyMatched[k] = true;
            }
        card["clips"] = std::move(clips);
        return card;
    }

    ordered_json ReportJson() {
        m_result.cards = m_cards.size();
        m_result.clips = m_entries.size();
        m_result.thumbnailFolder = m_folder.ThumbnailFolder();
        m_result.page = m_folder.PagePath();
        m_result.json = m_folder.JsonPath();
        m_copyMatched.assign(m_copies.size(), false);

        ordered_json report;
        report["qzcardVersion"] = qzimport::QzcardVersion();
        report["generated"] = qzimport::HostDateText(static_cast<double>(std::time(nullptr)));
        report["thumbnailsPerClip"] = m_options.thumbnails;
        report["thumbnailPoint"] = m_at.Text();
        report["checked"] = m_options.check;
        report["dailies"] = m_options.dailies.empty() ? ordered_json() : ordered_json(m_options.dailies);
        report["cards"] = ordered_json::array();
        for (size_t c = 0; c < m_cards.size(); ++c) report["cards"].push_back(CardJson(c));
        report["otherCopies"] = ordered_json::array();
        for (size_t k = 0; k < m_copies.size(); ++k)
            if (!m_copyMatched[k]) report["otherCopies"].push_back(m_copies[k].Json());

        std::vector<std::string> folders;
        std::vector<CUSharedPtr<CFBCContent>> contents;
        for (const ReportCard& card : m_cards)
            folders.push_back(card.folder), contents.push_back(card.content);
        report["recordings"] = ordered_json::array();
        for (const qzimport::Recording& r : qzimport::FindRecordings(folders, contents))
            report["recordings"].push_back(qzimport::RecordingJson(r));
        const bool check = m_options.check;
        report["summary"] = {
            {"cards", m_result.cards},
            {"clips", m_result.clips},
            {"thumbnails", m_result.thumbnails},
            {"problems", check ? ordered_json(m_result.problems) : ordered_json()},
            {"unlisted", check ? ordered_json(m_result.unlisted) : ordered_json()},
            {"copies", m_copies.size()},
            {"failedCopies", m_result.failedCopies},
            {"dailies", m_options.dailies.empty() ? ordered_json() : ordered_json(m_result.dailies)}};
        return report;
    }

    const ReportOptions& m_options;
    const ThumbnailPoint m_at;
    const std::vector<ReportCard> m_cards;
    ReportFolder m_folder;
    std::vector<ClipEntry> m_entries;
    std::vector<ClipPictures> m_pictures;  // one per entry
    std::vector<CopyHistory> m_copies;
    std::vector<bool> m_copyMatched;  // a card given holds the copy
    std::unique_ptr<qzimport::PluginHost> m_host;
    std::vector<OfferedClips> m_offered;  // one per card
    std::unique_ptr<CardCheck> m_check;
    std::set<std::string> m_referenced;  // thumbnail file names the page shows
    ReportResult m_result;
};

}  // namespace

ReportResult CardReport::Write(const ReportOptions& options) {
    if (options.cards.empty()) throw ReportError("give at least one card", CUFailureKind::kUsage);
    if (options.thumbnails > kMaxThumbnails)
        throw ReportError("--thumbnails takes 0 to " + std::to_string(kMaxThumbnails), CUFailureKind::kUsage);
    if (!options.dailies.empty() && !fs::is_directory(options.dailies))
        throw ReportError("--dailies " + options.dailies + " is not a folder", CUFailureKind::kUsage);
    return ReportRun(options).Write();
}

}  // namespace qzreport
