#include "PageView.h"

#include "FBC_Utl_CountText.h"

#include <filesystem>
#include <string>

namespace qzreport {

using nlohmann::ordered_json;

namespace {

using ComVantoVantoQZ64RADPlug::FBC_Utl_CountText;

// Lines of a clip's problems shown in its row before "… N more".
constexpr size_t kProblemLines = 12;

size_t Size(const ordered_json& value, const char* key) {
    const auto found = value.find(key);
    if (found == value.end()) return 0;
    if (found->is_array()) return found->size();
    return found->is_number_unsigned() ? found->get<size_t>() : 0;
}

std::string Text(const ordered_json& value, const char* key) {
    const auto found = value.find(key);
    return found != value.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// "drive/card" of "/media/drive/card": the copy's folder and the drive's.
std::string CopyLabel(const std::string& folder) {
    const std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
    std::filesystem::path tail = path.filename().empty() ? path.parent_path() : path;
    const std::string parent = tail.parent_path().filename().string();
    return (parent.empty() ? "" : parent + "/") + tail.filename().string();
}

// "incomplete: 1 file failed, 2 not on the copy".
std::string CopyShortfall(const ordered_json& copy) {
    std::string text = Text(copy, "status");
    std::string details;
    auto add = [&details](size_t n, const char* one, const char* many) {
        if (n) details += (details.empty() ? "" : ", ") + FBC_Utl_CountText(n, one, many);
    };
    add(Size(copy, "failedFiles"), "file failed", "files failed");
    add(Size(copy, "notVerifiedFiles"), "file not read back", "files not read back");
    add(Size(copy, "missingFiles"), "file not on the copy", "files not on the copy");
    if (!Text(copy, "unfinished").empty())
        details += (details.empty() ? "" : ", ") + Text(copy, "unfinished");
    if (!Text(copy, "failure").empty()) details += (details.empty() ? "" : ", ") + Text(copy, "failure");
    return details.empty() ? text : text + ": " + details;
}

void CopyTexts(ordered_json& copy) {
    copy["label"] = CopyLabel(Text(copy, "folder"));
    copy["shortfall"] = CopyShortfall(copy);
    copy["filesText"] =
        std::to_string(Size(copy, "verifiedFiles")) + " of " +
        FBC_Utl_CountText(Size(copy, "files"), copy["cardFiles"].is_null() ? "file" : "card file",
                          copy["cardFiles"].is_null() ? "files" : "card files") +
        " verified";
    copy["generationsText"] = FBC_Utl_CountText(Size(copy, "generations"), "generation", "generations");
}

struct Attention {
    ordered_json items = ordered_json::array();
    void Add(const std::string& text, const std::string& href) {
        items.push_back({{"text", text}, {"href", href}});
    }
};

// The clip's row: its anchor, its state's colour, its folded problems.
void ClipTexts(ordered_json& clip, const std::string& cardName, const std::string& cardAnchor, bool dailies,
               Attention& attention) {
    const std::string id = Text(clip, "clipId");
    const std::string anchor = cardAnchor + "-" + id;
    const std::string who = cardName + " " + id;
    clip["anchor"] = anchor;
    const bool offered = clip.value("offered", false);
    const ordered_json& check = clip["check"];
    const size_t problems = check.is_object() ? Size(check, "problemCount") : 0;
    // Ready is good news only when no check says otherwise.
    clip["stateClass"] = !offered ? "bad" : problems > 0 ? "plain" : "good";
    if (!offered)
        attention.Add(who + ": " + Text(clip, "state") +
                          (Text(clip, "stateReason").empty() ? "" : " (" + Text(clip, "stateReason") + ")"),
                      "#" + anchor);
    if (check.is_object()) {
        clip["checkText"] = problems == 0 ? "clean" : FBC_Utl_CountText(problems, "problem", "problems");
        ordered_json lines = ordered_json::array();
        const ordered_json& ranges = check["problemRanges"];
        for (size_t r = 0; r < ranges.size() && r < kProblemLines; ++r) lines.push_back(ranges[r]["text"]);
        if (ranges.size() > kProblemLines)
            lines.push_back("\u2026 " +
                            FBC_Utl_CountText(ranges.size() - kProblemLines, "more range", "more ranges") +
                            " in report.json");
        clip["problemLines"] = lines;
        if (problems > 0)
            attention.Add(
                who + ": " + FBC_Utl_CountText(problems, "problem", "problems") + ", " +
                    ranges[0]["text"].get<std::string>() +
                    (ranges.size() > 1 ? " and " + FBC_Utl_CountText(ranges.size() - 1, "more", "more") : ""),
                "#" + anchor);
    }
    if (dailies && clip["daily"].is_null())
        attention.Add(who + ": no daily in the dailies folder", "#" + anchor);
}

void CardTexts(ordered_json& card, size_t index, bool checked, bool dailies, Attention& attention) {
    const std::string name = Text(card, "name");
    const std::string anchor = "card-" + std::to_string(index);
    card["anchor"] = anchor;
    card["clipsText"] = FBC_Utl_CountText(Size(card, "clipCount"), "clip", "clips") + ", " +
                        std::to_string(Size(card, "offeredClipCount")) + " offered to a host";
    size_t problems = 0, notReady = 0;
    for (ordered_json& clip : card["clips"]) {
        ClipTexts(clip, name, anchor, dailies, attention);
        if (clip["check"].is_object()) problems += Size(clip["check"], "problemCount");
        notReady += !clip.value("offered", false);
    }
    const size_t unlisted = Size(card, "unlisted");
    if (unlisted)
        attention.Add(name + ": " + FBC_Utl_CountText(unlisted, "unlisted entry", "unlisted entries") +
                          " in its clips folder",
                      "#" + anchor);
    // The card's state in the overview: what is wrong, or what was found right.
    ordered_json state = ordered_json::array();
    auto add = [&state](const std::string& text, bool bad) {
        state.push_back({{"text", text}, {"bad", bad}});
    };
    if (notReady) add(FBC_Utl_CountText(notReady, "clip not ready", "clips not ready"), true);
    if (problems) add(FBC_Utl_CountText(problems, "problem", "problems"), true);
    if (unlisted) add(FBC_Utl_CountText(unlisted, "unlisted entry", "unlisted entries"), true);
    if (checked && !problems && !unlisted && !notReady) add("checked clean", false);
    if (!checked && !notReady) add("not checked", false);
    card["stateItems"] = state;
    for (ordered_json& copy : card["copies"]) {
        CopyTexts(copy);
        if (!copy.value("verified", false))
            attention.Add(name + ": copy " + Text(copy, "label") + " " + Text(copy, "shortfall"),
                          "#" + anchor);
    }
}

}  // namespace

ordered_json PageView::Of(const ordered_json& report) {
    ordered_json view = report;
    Attention attention;
    const bool checked = report.value("checked", false);
    const bool dailies = report["dailies"].is_string();
    const ordered_json& summary = report["summary"];
    std::string headline = FBC_Utl_CountText(Size(summary, "cards"), "card", "cards") + ", " +
                           FBC_Utl_CountText(Size(summary, "clips"), "clip", "clips") + ", " +
                           FBC_Utl_CountText(Size(summary, "thumbnails"), "thumbnail", "thumbnails");
    if (checked)
        headline += "; checked: " +
                    (Size(summary, "problems") == 0
                         ? std::string("no problem")
                         : FBC_Utl_CountText(Size(summary, "problems"), "problem", "problems")) +
                    ", " + FBC_Utl_CountText(Size(summary, "unlisted"), "unlisted entry", "unlisted entries");
    if (dailies) headline += "; " + FBC_Utl_CountText(Size(summary, "dailies"), "daily", "dailies");
    view["headline"] = headline;

    size_t index = 0;
    for (ordered_json& card : view["cards"]) CardTexts(card, ++index, checked, dailies, attention);
    for (ordered_json& copy : view["otherCopies"]) {
        CopyTexts(copy);
        if (!copy.value("verified", false))
            attention.Add("copy " + Text(copy, "label") + " (of no card given): " + Text(copy, "shortfall"),
                          "#copies");
    }
    ordered_json longer = ordered_json::array();
    size_t single = 0;
    for (const ordered_json& recording : report["recordings"]) {
        const size_t pieces = Size(recording, "pieceCount"), missing = Size(recording, "missingCount");
        if (pieces <= 1 && missing == 0) {
            ++single;
            continue;
        }
        ordered_json shown = recording;
        shown["captionText"] = "Recording from " + Text(recording, "firstClipId") + ": " +
                               FBC_Utl_CountText(pieces, "piece", "pieces") + ", " +
                               FBC_Utl_CountText(Size(recording, "framesPresent"), "frame", "frames") +
                               " present";
        shown["missingText"] = missing ? FBC_Utl_CountText(missing, "piece", "pieces") + " missing" : "";
        if (missing)
            attention.Add("recording from " + Text(recording, "firstClipId") + ": " +
                              std::to_string(missing) + " of " +
                              FBC_Utl_CountText(pieces, "piece", "pieces") + " on no card given",
                          "#recordings");
        longer.push_back(std::move(shown));
    }
    view["longRecordings"] = longer;
    view["singleRecordingsText"] =
        single == 0 ? ""
        : single == 1
            ? "1 clip is a recording of its own, shown in its card above."
            : std::to_string(single) + " clips are recordings of their own, shown in their cards above.";
    view["hasOtherCopies"] = !report["otherCopies"].empty();
    view["hasAttention"] = !attention.items.empty();
    view["attention"] = attention.items;
    if (attention.items.empty())
        view["nothingText"] =
            checked ? "Nothing found that needs attention: every clip is ready and checked clean."
                    : "Nothing found that needs attention; the clips were not checked (--check).";
    return view;
}

}  // namespace qzreport
