#include "ExportRecord.h"

#include "CUContentDigest.h"
#include "CUFailure.h"
#include "CUFileStatus.h"
#include "ExportSource.h"
#include "ImportError.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

PreviousOutputs Outdated(const std::string& reason, std::vector<std::string> files) {
    return {PreviousOutputs::State::kOutdated, reason, std::move(files), {}};
}

PreviousOutputs Other(const std::string& what) {
    return {PreviousOutputs::State::kOther, what, {}, {}};
}

bool IsText(const ordered_json& entry, const char* key) {
    return entry.contains(key) && entry[key].is_string();
}

// Why the listed file `entry` is not what was written to `folder`; empty when it is.
std::string Difference(const std::string& folder, const ordered_json& entry) {
    const std::string name = entry["name"].get<std::string>();
    const std::string path = (std::filesystem::path(folder) / name).string();
    const std::optional<CUFileStatus> status = CUFileStatus::Of(path);
    if (!status || status->kind != CUFileStatus::Kind::kRegular) return name + " is missing";
    if (!entry.contains("bytes") || !entry["bytes"].is_number_unsigned() || !IsText(entry, "modified") ||
        !IsText(entry, "xxh3Blocks"))
        return "the record does not say what " + name + " held";
    if (status->size != entry["bytes"].get<uint64_t>() ||
        CUFileStatus::TimeText(status->modified) != entry["modified"].get<std::string>())
        return name + " changed since it was written";
    try {
        if (CUContentDigest::Text(CUContentDigest::OfFile(path)) != entry["xxh3Blocks"].get<std::string>())
            return name + " holds other bytes than were written";
    } catch (const CUError& e) {
        return name + " cannot be read: " + e.Failure().What();
    }
    return std::string();
}

}  // namespace

PreviousOutputs ExportRecord::Compare(const std::string& folder, const std::string& baseName,
                                      const ordered_json& source) {
    const std::filesystem::path path = std::filesystem::path(folder) / (baseName + ".json");
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) return {};
    std::ifstream in(path);
    const ordered_json record = in ? ordered_json::parse(in, nullptr, false) : ordered_json();
    if (record.is_discarded() || !record.is_object() || !record.contains("source"))
        return Other("whose record cannot be read");
    const ordered_json& recorded = record["source"];
    // Medium and clip IDs alone do not tell cards written apart from each
    // other: such outputs are not this set's to replace.
    if (!ExportSource::NamesClipFiles(recorded))
        return Other("whose record does not name the clips' UMIDs and files (an earlier qzcard's)");
    if (ExportSource::Request(recorded) != ExportSource::Request(source))
        return Other("an export of other clips or with other options");

    // The record of this set: what it lists may be replaced when anything differs.
    std::vector<std::string> names;
    const ordered_json listed = record.value("files", ordered_json());
    bool readable = listed.is_array() && !listed.empty();
    if (readable)
        for (const ordered_json& entry : listed) {
            const bool named = entry.is_object() && IsText(entry, "name");
            const std::string name = named ? entry["name"].get<std::string>() : std::string();
            // A name that leaves the folder is not the record's to replace.
            if (!named || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
                readable = false;
            else
                names.push_back(name);
        }
    names.push_back(baseName + ".json");
    if (!readable) return Outdated("its record does not list its files", names);
    if (recorded != source) {
        const std::string changed = ExportSource::ChangedFile(recorded, source);
        return Outdated((changed.empty() ? "a clip file" : changed) + " changed on the card since the export",
                        names);
    }
    for (const ordered_json& entry : listed) {
        const std::string why = Difference(folder, entry);
        if (!why.empty()) return Outdated(why, names);
    }
    return {PreviousOutputs::State::kUpToDate, std::string(), names, record};
}

void ExportRecord::RefuseExisting(const std::string& folder, const std::vector<std::string>& names,
                                  const PreviousOutputs& previous) {
    for (const std::string& name : names) {
        const bool replaceable =
            previous.state == PreviousOutputs::State::kOutdated &&
            std::find(previous.files.begin(), previous.files.end(), name) != previous.files.end();
        std::error_code error;
        if (!replaceable && (std::filesystem::exists(std::filesystem::path(folder) / name, error) || error))
            throw ImportError(
                name + " exists in " + folder +
                (previous.state == PreviousOutputs::State::kOther ? ", " + previous.reason : "") +
                " (--force replaces it)");
    }
}

ordered_json ExportRecord::FileEntry(const std::string& name, const CUOutputFile::Facts& facts) {
    return {
        {"name", name},
        {"bytes", facts.size},
        {"modified", CUFileStatus::TimeText(facts.modified)},
        {"xxh3Blocks", facts.digest ? ordered_json(CUContentDigest::Text(*facts.digest)) : ordered_json()}};
}

}  // namespace qzimport
