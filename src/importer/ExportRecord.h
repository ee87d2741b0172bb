#pragma once
// The JSON record written beside every output set (ID.json): what was
// exported (cards, clips, in and out points, format, its files and their
// sizes, timecodes, counts, the clip's values and what the plug-in says of
// it), and the "source" that names what the outputs are made from, so a
// repeated export can tell its own complete outputs ("up to date") from
// anything else. Stateless and thread safe.
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qzimport {

class ExportRecord {
public:
    // Whether `folder`/`baseName`.json names `source` and every file it
    // lists is there with the size it records; those files (the record
    // last) in `files`.
    static bool UpToDate(const std::string& folder, const std::string& baseName,
                         const nlohmann::ordered_json& source, std::vector<std::string>* files);
};

}  // namespace qzimport
