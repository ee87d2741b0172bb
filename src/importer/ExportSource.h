#pragma once
// What an output set is made from, as its record's "source" names it, so
// that a repeated export can tell its own outputs of the same clips, as
// they are now, from anything else: the format and options asked for, and
// per piece the card's medium ID, the clip's ID and UMID, and the clip's
// files (its member MXF files, clip information file and metadata
// document) with their sizes and modification times. Equal sources make
// equal outputs. Stateless; any thread.
#include "ExportPlan.h"
#include "OutputFormat.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qzimport {

class ExportSource {
public:
    static nlohmann::ordered_json Of(const OutputSetPlan& set, const std::vector<ExportCard>& cards,
                                     const std::string& format, const OutputOptions& options);
    // Whether every piece of `source` names its clip's UMID and files, as
    // records of earlier qzcards, which name the medium and clip IDs only,
    // do not.
    static bool NamesClipFiles(const nlohmann::ordered_json& source);
    // The source without its clip files: the same clips of the same media,
    // asked for in the same way.
    static nlohmann::ordered_json Request(const nlohmann::ordered_json& source);
    // The first clip file whose name, size or time differs between two
    // sources of one request ("CONTENTS/CLIPS001/QZ0001/QZ000101.MXF"), or
    // empty when none does.
    static std::string ChangedFile(const nlohmann::ordered_json& recorded,
                                   const nlohmann::ordered_json& current);
    // The clip's member MXF files, relative to its card, in order.
    static nlohmann::ordered_json MemberFiles(ComVantoVantoQZ64RADPlug::CFBCClip& clip);
};

}  // namespace qzimport
