#pragma once
// What the MXF reader finds in one MXF file, for `mxf-info`: its partitions,
// operational pattern, essence containers, the material package's tracks
// with their descriptor values, the start timecode, the source package and
// sequence information, the index of every body partition and, when asked,
// every element of every edit unit. Each gathering opens its own stream of
// the file and never writes to it; calls may run on separate threads, and a
// gathered record is plain data.
#include <nlohmann/json.hpp>

#include <string>

namespace qzimport {

struct MxfFileInfo {
    std::string path;    // as given
    bool units = false;  // whether `info` holds "units"
    // file, size, partitions, operationalPattern, op1a, essenceContainers,
    // essenceBodySid, duration, tracks, startTimecode, sourcePackageUid,
    // sequenceInfo, bodyPartitions and, with units, units: the keys and
    // order of mxf-info's JSON; a value the file does not carry is left out.
    nlohmann::ordered_json info;
};

// Reads the file at `path`; with `units` every edit unit and its elements
// too. Throws ImportError: kUsage when `path` is a folder or cannot be
// opened ("<path> is a folder; give one MXF file", "cannot open <path>:
// <reason>"), kProblems when the reader cannot parse it ("<path> is not
// a readable MXF file: <reason>", naming what failed and at which byte).
MxfFileInfo GatherMxfFileInfo(const std::string& path, bool units);

// The record as mxf-info's JSON answer: qzcardVersion, then `info`.
nlohmann::ordered_json MxfFileInfoJson(const MxfFileInfo& gathered);

}  // namespace qzimport
