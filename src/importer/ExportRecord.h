#pragma once
// The JSON record written beside every output set (ID.json): what was
// exported (cards, clips, in and out points, format, its files with their
// sizes, times and content digests, timecodes, counts, the clip's values
// and what the plug-in says of it), and the "source" that names what the
// outputs are made from (ExportSource), so that a repeated export can tell
// its own complete outputs ("up to date") from outputs of the same clips
// that are no longer what was written (written again) and from anything
// else (kept). Stateless and thread safe.
#include "CUOutputFile.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qzimport {

// What a repeated export finds of a set in its output folder.
struct PreviousOutputs {
    enum class State {
        kNone,      // no record of the set
        kUpToDate,  // the record names this source and every file is what it records
        kOutdated,  // the record names the same request, but a clip file or an output changed
        kOther,     // a record of other clips, other options, or none that can be read
    };
    State state = State::kNone;
    std::string reason;              // kOutdated: what changed, for the output line; kOther: what it is
    std::vector<std::string> files;  // kUpToDate, kOutdated: the files listed, the record last
    nlohmann::ordered_json record;   // kUpToDate: the record as read (a hostile file's bytes)
};

class ExportRecord {
public:
    // What `folder`/`baseName`.json says of the set made from `source`.
    // Every file it lists is read again to compare its digest (up to date
    // only when every size, time and digest is as recorded).
    static PreviousOutputs Compare(const std::string& folder, const std::string& baseName,
                                   const nlohmann::ordered_json& source);
    // Throws ImportError when one of `names` exists in `folder` and is not
    // one of the outdated outputs `previous` lets the set replace.
    static void RefuseExisting(const std::string& folder, const std::vector<std::string>& names,
                               const PreviousOutputs& previous);
    // The record's entry for an output file: `name`, `bytes`, `modified`,
    // `xxh3Blocks` (the content digest, CUContentDigest).
    static nlohmann::ordered_json FileEntry(const std::string& name,
                                            const ComVantoVantoQZ64RADPlug::CUOutputFile::Facts& facts);
};

}  // namespace qzimport
