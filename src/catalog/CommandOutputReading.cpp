#include "CommandOutputReading.h"

#include "CatalogError.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

namespace qzcatalog {

namespace {

using nlohmann::json;

// The records a command writes are a few kilobytes to a few megabytes (a
// report of thousands of clips); anything larger is not one of them.
constexpr std::uintmax_t kLargestJson = 256u << 20;

json ReadJson(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw CatalogError("cannot read " + path + ": " + error.message(), CUFailureKind::kProblems);
    if (size > kLargestJson)
        throw CatalogError(path + " is too large for a qzcard record", CUFailureKind::kProblems);
    std::ifstream in(path, std::ios::binary);
    json parsed =
        json::parse(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), nullptr, false);
    if (!in.good() && !in.eof()) throw CatalogError("cannot read " + path, CUFailureKind::kProblems);
    if (parsed.is_discarded() || !parsed.is_object())
        throw CatalogError(path + " is not a qzcard record (not a JSON object)", CUFailureKind::kProblems);
    return parsed;
}

std::string TextAt(const json& object, const char* key, const std::string& path) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string())
        throw CatalogError(path + ": no text \"" + key + "\"", CUFailureKind::kProblems);
    return found->get<std::string>();
}

std::optional<std::string> OptionalText(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

// A whole number a file or frame count can be: nothing for anything else.
std::optional<int64_t> OptionalCount(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) return std::nullopt;
    if (found->is_number_unsigned() &&
        found->get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return std::nullopt;
    return found->get<int64_t>();
}

std::optional<int64_t> FrameOf(const json& record, const char* point) {
    const auto found = record.find(point);
    return found != record.end() && found->is_object() ? OptionalCount(*found, "frame") : std::nullopt;
}

}  // namespace

std::vector<OutputSeen> CommandOutputReading::ExportOutputs(const std::string& recordPath,
                                                            int64_t exportedAt) {
    const json record = ReadJson(recordPath);
    const std::filesystem::path absolute = std::filesystem::absolute(recordPath).lexically_normal();
    const std::filesystem::path folder = absolute.parent_path();
    OutputSeen common;
    common.mediumId = TextAt(record, "mediumId", recordPath);
    common.clipId = TextAt(record, "clipId", recordPath);
    common.format = TextAt(record, "format", recordPath);
    common.inFrame = FrameOf(record, "inPoint");
    common.outFrame = FrameOf(record, "outPoint");
    common.recordPath = absolute.string();
    common.exportedAt = exportedAt;
    if (const auto facts = record.find("outputFormat"); facts != record.end() && facts->is_object()) {
        common.codec = OptionalText(*facts, "codec");
        common.pictureSize = OptionalText(*facts, "size");
    }
    const auto files = record.find("files");
    if (files == record.end() || !files->is_array())
        throw CatalogError(recordPath + ": no list \"files\"", CUFailureKind::kProblems);
    std::vector<OutputSeen> outputs;
    for (const json& file : *files) {
        if (!file.is_object())
            throw CatalogError(recordPath + ": a file entry is not an object", CUFailureKind::kProblems);
        const std::string name = TextAt(file, "name", recordPath);
        // A name in the folder, never a path leading elsewhere.
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            throw CatalogError(recordPath + ": the file name \"" + name + "\" is not in its folder",
                               CUFailureKind::kProblems);
        OutputSeen output = common;
        output.path = (folder / name).string();
        output.size = OptionalCount(file, "bytes");
        outputs.push_back(std::move(output));
    }
    return outputs;
}

std::vector<CheckSeen> CommandOutputReading::ReportChecks(const std::string& reportJsonPath,
                                                          int64_t checkedAt) {
    const json report = ReadJson(reportJsonPath);
    std::vector<CheckSeen> checks;
    const auto checked = report.find("checked");
    if (checked == report.end() || !checked->is_boolean() || !checked->get<bool>()) return checks;
    const auto cards = report.find("cards");
    if (cards == report.end() || !cards->is_array())
        throw CatalogError(reportJsonPath + ": no list \"cards\"", CUFailureKind::kProblems);
    for (const json& card : *cards) {
        if (!card.is_object()) continue;
        CheckSeen check;
        check.kind = "verify-decode";
        check.checkedAt = checkedAt;
        check.mediumId = OptionalText(card, "mediumId").value_or("");
        const auto clips = card.find("clips");
        if (check.mediumId.empty() || clips == card.end() || !clips->is_array()) continue;
        for (const json& clip : *clips) {
            if (!clip.is_object()) continue;
            const auto result = clip.find("check");
            const std::optional<std::string> clipId = OptionalText(clip, "clipId");
            if (!clipId || result == clip.end() || !result->is_object()) continue;
            const int64_t problems = OptionalCount(*result, "problemCount").value_or(0);
            const auto clean = result->find("clean");
            const bool isClean = clean != result->end() && clean->is_boolean() && clean->get<bool>();
            check.results.push_back(
                {*clipId, "", isClean ? "clean" : "problems",
                 isClean ? "" : std::to_string(problems) + (problems == 1 ? " problem" : " problems")});
        }
        checks.push_back(std::move(check));
    }
    return checks;
}

}  // namespace qzcatalog
