#include "ExportRecord.h"

#include <filesystem>
#include <fstream>

namespace qzimport {

bool ExportRecord::UpToDate(const std::string& folder, const std::string& baseName,
                            const nlohmann::ordered_json& source, std::vector<std::string>* files) {
    const std::filesystem::path path = std::filesystem::path(folder) / (baseName + ".json");
    std::ifstream in(path);
    if (!in) return false;
    const nlohmann::ordered_json record = nlohmann::ordered_json::parse(in, nullptr, false);
    if (record.is_discarded() || !record.is_object() ||
        record.value("source", nlohmann::ordered_json()) != source)
        return false;
    const nlohmann::ordered_json listed = record.value("files", nlohmann::ordered_json());
    if (!listed.is_array() || listed.empty()) return false;
    std::vector<std::string> names;
    for (const auto& file : listed) {
        if (!file.is_object() || !file.contains("name") || !file["name"].is_string() ||
            !file.contains("bytes") || !file["bytes"].is_number_unsigned())
            return false;
        const std::string name = file["name"].get<std::string>();
        std::error_code error;
        const auto size = std::filesystem::file_size(std::filesystem::path(folder) / name, error);
        if (error || name.find('/') != std::string::npos || size != file["bytes"].get<uint64_t>())
            return false;
        names.push_back(name);
    }
    names.push_back(baseName + ".json");
    if (files) *files = names;
    return true;
}

}  // namespace qzimport
