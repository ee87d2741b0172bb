#include "VerifyRecordWriter.h"

#include "FBC_Utl_CountText.h"
#include "ProblemRanges.h"
#include "QzcardVersion.h"

namespace qzimport {

using ComVantoVantoQZ64RADPlug::FBC_Utl_CountText;
using nlohmann::ordered_json;

namespace {

// One problem: `lastFrame` and `lastTimecode` end its range (the frame's own
// for a problem of one frame; null for the clip as a whole).
ordered_json ProblemJson(const VerifyProblem& p) {
    if (p.frame < 0)
        return {{"frame", nullptr},        {"timecode", nullptr}, {"lastFrame", nullptr},
                {"lastTimecode", nullptr}, {"check", p.check},    {"detail", p.detail}};
    const bool range = p.lastFrame > p.frame;
    return {{"frame", p.frame},
            {"timecode", p.timecode},
            {"lastFrame", range ? p.lastFrame : p.frame},
            {"lastTimecode", range ? p.lastTimecode : p.timecode},
            {"check", p.check},
            {"detail", p.detail}};
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

}  // namespace

std::vector<std::string> VerifyRecordWriter::ClipLines(const VerifiedClip& clip) {
    const std::vector<VerifyProblem>& problems = clip.result.problems;
    std::string state = "clean";
    if (!problems.empty()) {
        int64_t framesWithProblems = 0;
        for (const VerifyProblem& p : problems) framesWithProblems += FramesCovered(p);
        state = FBC_Utl_CountText(problems.size(), "problem", "problems");
        if (framesWithProblems > static_cast<int64_t>(problems.size()))
            state += " over " + FBC_Utl_CountText(static_cast<size_t>(framesWithProblems), "frame", "frames");
    }
    std::vector<std::string> lines = {
        clip.clipId + "  " + FBC_Utl_CountText(clip.result.frames, "frame", "frames") + "  " + state};
    for (const VerifyProblem& p : problems) lines.push_back("  " + ProblemText(p, "  "));
    return lines;
}

std::vector<std::string> VerifyRecordWriter::UnlistedLines(const VerifyRecord& record) {
    std::vector<std::string> lines;
    for (const UnlistedEntry& entry : record.unlisted)
        lines.push_back("unlisted  " + entry.path + "  " + entry.what);
    return lines;
}

std::string VerifyRecordWriter::ClosingLine(const VerifyRecord& record) {
    if (record.Clean())
        return "card clean (" + Joined(record.Checked()) + "; " + Joined(record.NotChecked()) + ")";
    std::string summary;
    if (const size_t problems = record.Problems())
        summary = FBC_Utl_CountText(problems, "problem", "problems") + " found";
    if (!record.unlisted.empty())
        summary += (summary.empty() ? "" : ", ") +
                   FBC_Utl_CountText(record.unlisted.size(), "unlisted entry", "unlisted entries");
    return summary;
}

ordered_json VerifyRecordWriter::Json(const VerifyRecord& record) {
    ordered_json json = {
        {"qzcardVersion", QzcardVersion()}, {"card", record.card}, {"clips", ordered_json::array()}};
    for (const VerifiedClip& clip : record.clips) {
        ordered_json problems = ordered_json::array();
        for (const VerifyProblem& p : clip.result.problems) problems.push_back(ProblemJson(p));
        json["clips"].push_back(
            {{"clipId", clip.clipId}, {"frames", clip.result.frames}, {"problems", problems}});
        if (clip.picturesDecoded) json["clips"].back()["picturesDecoded"] = *clip.picturesDecoded;
    }
    json["unlisted"] = ordered_json::array();
    for (const UnlistedEntry& entry : record.unlisted)
        json["unlisted"].push_back({{"path", entry.path}, {"folder", entry.folder}, {"what", entry.what}});
    json["clean"] = record.Clean();
    json["checked"] = record.Checked();
    json["notChecked"] = record.NotChecked();
    return json;
}

}  // namespace qzimport
