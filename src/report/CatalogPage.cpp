#include "CatalogPage.h"

#include "CUFailure.h"
#include "CUOutputFile.h"
#include "FBC_Utl_CountText.h"
#include "MhlDate.h"
#include "PageTemplate.h"
#include "QzcardVersion.h"
#include "ReportError.h"

#include <filesystem>
#include <map>
#include <system_error>

namespace qzreport {

extern const unsigned char kCatalogTemplate[];  // UTF-8, NUL-terminated

namespace {

using ComVantoVantoQZ64RADPlug::FBC_Utl_CountText;
using nlohmann::ordered_json;

std::string Date(int64_t seconds) {
    return qzoffload::MhlDate::Format(seconds);
}

// "… and 12 more (qzcard catalog lacking lists them all)", or null when all are listed.
ordered_json MoreText(size_t all, const char* command) {
    if (all <= CatalogPage::kListed) return nullptr;
    return "… and " + std::to_string(all - CatalogPage::kListed) + " more (" + command + " lists them all)";
}

ordered_json LackingView(const qzcatalog::LackingAnswer& lacking,
                         const std::map<std::string, std::string>& anchors) {
    ordered_json clips = ordered_json::array();
    for (size_t i = 0; i < lacking.clips.size() && i < CatalogPage::kListed; ++i) {
        const qzcatalog::LackingClip& clip = lacking.clips[i];
        const auto anchor = anchors.find(clip.mediumId.value_or("") + "/" + clip.cardFolder);
        clips.push_back({{"card", clip.cardFolder},
                         {"cardAnchor", anchor == anchors.end() ? "" : anchor->second},
                         {"clipId", clip.clipId},
                         {"title", clip.title ? ordered_json(*clip.title) : ordered_json()},
                         {"filesLacking", clip.filesLacking},
                         {"fewestVolumes", clip.fewestVolumes}});
    }
    return clips;
}

ordered_json CardView(const qzcatalog::CardOverview& overview, const std::string& anchor) {
    const qzcatalog::CardRow& card = overview.card;
    const qzcatalog::ErasableAnswer& erasable = overview.erasable;
    ordered_json shortFiles = ordered_json::array();
    for (size_t i = 0; i < erasable.shortFiles.size() && i < CatalogPage::kListed; ++i) {
        const qzcatalog::ErasableFile& file = erasable.shortFiles[i];
        shortFiles.push_back({{"path", file.path},
                              {"volumes", file.volumes},
                              {"why", qzcatalog::ErasableQuestion::Why(file)}});
    }
    ordered_json volumes = ordered_json::array();
    for (const qzcatalog::ErasableVolume& volume : erasable.volumes)
        volumes.push_back(
            {{"name",
              qzcatalog::ErasableQuestion::VolumeName(volume.volumeKey, volume.label, volume.mountPoint)},
             {"mountPoint", volume.mountPoint ? ordered_json(*volume.mountPoint) : ordered_json()},
             {"filesText", FBC_Utl_CountText(volume.files, "file", "files") + " copied, " +
                               std::to_string(volume.counts) + " counting"},
             {"allCount", volume.counts == erasable.files}});
    // One line per check run (a kind at a time): "verify-decode, 2024-05-01T06:00:00Z: 3 clean, 1 problems".
    ordered_json checks = ordered_json::array();
    for (const qzcatalog::CheckCount& count : overview.checks) {
        const std::string when = Date(count.checkedAt);
        if (checks.empty() || checks.back()["kind"] != count.kind || checks.back()["checkedAt"] != when)
            checks.push_back({{"kind", count.kind}, {"checkedAt", when}, {"results", ""}, {"clean", true}});
        ordered_json& run = checks.back();
        run["results"] = run["results"].get<std::string>() +
                         (run["results"].get<std::string>().empty() ? "" : ", ") +
                         std::to_string(count.count) + " " + count.result;
        if (count.result != "clean") run["clean"] = false;
    }
    std::string outputs;
    for (const auto& [format, count] : overview.outputs)
        outputs += (outputs.empty() ? "" : ", ") + std::to_string(count) + " " + format;
    const std::string shortText = std::to_string(erasable.shortFiles.size()) + " of " +
                                  FBC_Utl_CountText(erasable.files, "file", "files") +
                                  " short of copies on " + std::to_string(erasable.copiesNeeded) + " volumes";
    return {{"anchor", anchor},
            {"name", card.folderName},
            {"mediumId", card.mediumId ? ordered_json(*card.mediumId) : ordered_json()},
            {"clips", card.clips},
            {"files", card.files},
            {"safeFiles", card.safeFiles},
            {"firstSeen", Date(card.firstSeen)},
            {"lastSeen", Date(card.lastSeen)},
            {"erasable", erasable.Erasable()},
            {"stateText", erasable.Erasable() ? "erasable" : "not erasable"},
            {"reasonText", erasable.Erasable() ? FBC_Utl_CountText(erasable.files, "file", "files") +
                                                     " with copies that count on " +
                                                     std::to_string(erasable.copiesNeeded) + " volumes"
                                               : shortText},
            {"hasShortFiles", !shortFiles.empty()},
            {"shortFiles", shortFiles},
            {"moreShortText", MoreText(erasable.shortFiles.size(), "qzcard catalog erasable")},
            {"hasVolumes", !volumes.empty()},
            {"volumes", volumes},
            {"hasChecks", !checks.empty()},
            {"checks", checks},
            {"outputsText", outputs.empty() ? ordered_json() : ordered_json(outputs)}};
}

}  // namespace

std::string CatalogPage::Render(const qzcatalog::CatalogState& state, int64_t now) {
    ordered_json cards = ordered_json::array();
    std::map<std::string, std::string> anchors;  // by medium ID and folder name
    size_t erasable = 0;
    for (size_t i = 0; i < state.cards.size(); ++i) {
        const qzcatalog::CardOverview& card = state.cards[i];
        const std::string anchor = "card-" + std::to_string(i + 1);
        anchors.emplace(card.card.mediumId.value_or("") + "/" + card.card.folderName, anchor);
        cards.push_back(CardView(card, anchor));
        if (card.erasable.Erasable()) ++erasable;
    }
    const size_t lackingFiles = state.lacking.files.size();
    const ordered_json view = {
        {"qzcardVersion", qzimport::QzcardVersion()},
        {"where", state.where},
        {"generated", Date(now)},
        {"copiesNeeded", state.copiesNeeded},
        {"headline",
         FBC_Utl_CountText(state.cards.size(), "card", "cards") + ", " + std::to_string(erasable) +
             " erasable; " +
             (lackingFiles == 0 ? std::string("no file lacks copies")
                                : FBC_Utl_CountText(lackingFiles, "file lacks", "files lack") + " copies") +
             " on " + std::to_string(state.copiesNeeded) + " volumes"},
        {"hasLacking", !state.lacking.clips.empty()},
        {"lacking", LackingView(state.lacking, anchors)},
        {"moreLackingText", MoreText(state.lacking.clips.size(), "qzcard catalog lacking")},
        {"cards", cards}};
    // The catalog keeps texts as they were read; the page is UTF-8, so bytes
    // that are not are shown as U+FFFD (the JSON library's replacement).
    const ordered_json utf8 =
        ordered_json::parse(view.dump(-1, ' ', false, ordered_json::error_handler_t::replace));
    return PageTemplate::Render(kCatalogTemplate, utf8);
}

std::string CatalogPage::Write(const qzcatalog::CatalogState& state, const std::string& folder, int64_t now) {
    const std::string path = (std::filesystem::path(folder) / "catalog.html").string();
    const std::string page = Render(state, now);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw ReportError("cannot make the folder " + folder + ": " + error.message());
    try {
        ComVantoVantoQZ64RADPlug::CUOutputFile file(path);
        file.Write(page.data(), page.size());
        file.Commit(true);
    } catch (const ComVantoVantoQZ64RADPlug::CUError& e) {
        throw ReportError(std::string("the catalog page cannot be written: ") + e.what());
    }
    return path;
}

}  // namespace qzreport
