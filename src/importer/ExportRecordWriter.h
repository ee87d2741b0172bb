#pragma once
// The JSON record written beside an output set (ID.json), from the typed
// facts of the set as the export made it: what was asked and what was
// written, every value that may be absent an std::optional (null in the
// record). ExportRecord reads such records back. Stateless: any thread.
#include "CUOutputFile.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qzimport {

// An in or out point: as asked, and where the set starts or ends.
struct ExportPointRecord {
    std::optional<std::string> requested;  // as given
    std::optional<uint32_t> requestedFrame;
    uint32_t frame = 0;  // the frame slot the set starts at (in) or ends at (out)
    std::optional<std::string> timecode;
    bool moved = false;  // back to a key frame (in), on to the end of a group of pictures (out)
};

// One clip of a recording exported as one set.
struct ExportPieceRecord {
    std::string clipId;
    std::string card;  // as given
    std::string mediumId;
    uint64_t frames = 0;  // presented pictures of it
    std::optional<std::string> startTimecode, endTimecode;
    nlohmann::ordered_json memberFiles;
    std::optional<bool> continuesPrevious;  // from the second piece on
};

// What an output set written up to the last frame that could be read lacks.
struct ExportPartialRecord {
    uint32_t firstMissingFrame = 0;  // frame slots of the clip, both inclusive
    uint32_t lastMissingFrame = 0;
    uint64_t missingFrames = 0;
    std::string reason;  // why the first of them could not be read
};

struct ExportSetRecord {
    std::string clipId;  // of the first piece
    std::string card;
    std::string mediumId;
    std::string format;
    nlohmann::ordered_json source;  // ExportSource
    // The output files in the order written, by name, the record excluded.
    std::vector<std::pair<std::string, ComVantoVantoQZ64RADPlug::CUOutputFile::Facts>> files;
    std::string recordName;  // ID.json
    ExportPointRecord inPoint;
    uint32_t leftOutPictures = 0;
    ExportPointRecord outPoint;
    std::optional<std::string> firstTimecode, lastTimecode;  // of the pictures delivered (decode order)
    std::optional<std::string> startTimecode, endTimecode;   // of the set
    uint64_t frames = 0;
    uint64_t audioSamples = 0;               // stereo samples
    std::optional<uint64_t> channelSamples;  // per track, when the format writes every track
    uint32_t soundTracks = 0;
    int64_t timescale = 0;
    int64_t frameDuration = 0;
    nlohmann::ordered_json memberFiles;  // of the first piece
    std::vector<std::string> cards;      // of a recording's pieces (empty for one clip)
    std::vector<ExportPieceRecord> pieces;
    bool recording = false;         // a recording's set: "cards" and "pieces" are written
    nlohmann::ordered_json plugin;  // the plug-in's clip properties and target formats
    std::vector<std::pair<std::string, std::string>> formatFacts;  // "outputFormat", when any
    nlohmann::ordered_json values, valueTexts;
    std::optional<ExportPartialRecord> partial;  // none: the set is whole
};

class ExportRecordWriter {
public:
    static nlohmann::ordered_json Json(const ExportSetRecord& record);
};

}  // namespace qzimport
