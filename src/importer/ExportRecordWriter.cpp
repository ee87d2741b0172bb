#include "ExportRecordWriter.h"

#include "ExportRecord.h"
#include "OrNull.h"
#include "QzcardVersion.h"

namespace qzimport {

using nlohmann::ordered_json;

namespace {

ordered_json PointJson(const ExportPointRecord& point, const char* movedKey) {
    return {{"requested", OrNull(point.requested)},
            {"requestedFrame", OrNull(point.requestedFrame)},
            {"frame", point.frame},
            {"timecode", OrNull(point.timecode)},
            {movedKey, point.moved}};
}

ordered_json PieceJson(const ExportPieceRecord& piece) {
    ordered_json json = {{"clipId", piece.clipId},
                         {"card", piece.card},
                         {"mediumId", piece.mediumId},
                         {"frames", piece.frames},
                         {"startTimecode", OrNull(piece.startTimecode)},
                         {"endTimecode", OrNull(piece.endTimecode)},
                         {"memberFiles", piece.memberFiles}};
    if (piece.continuesPrevious) json["continuesPrevious"] = *piece.continuesPrevious;
    return json;
}

}  // namespace

ordered_json ExportRecordWriter::Json(const ExportSetRecord& r) {
    ordered_json record;
    record["qzcardVersion"] = QzcardVersion();
    record["clipId"] = r.clipId;
    record["card"] = r.card;
    record["mediumId"] = r.mediumId;
    record["format"] = r.format;
    record["source"] = r.source;
    ordered_json outputs = ordered_json::array(), files = ordered_json::array();
    for (const auto& [name, facts] : r.files) {
        outputs.push_back(name);
        files.push_back(ExportRecord::FileEntry(name, facts));
    }
    outputs.push_back(r.recordName);
    record["outputs"] = outputs;
    record["files"] = files;
    record["inPoint"] = PointJson(r.inPoint, "movedBack");
    record["inPoint"]["leftOutPictures"] = r.leftOutPictures;
    record["outPoint"] = PointJson(r.outPoint, "movedOn");
    record["partial"] = ordered_json();
    if (r.partial)
        record["partial"] = {{"firstMissingFrame", r.partial->firstMissingFrame},
                             {"lastMissingFrame", r.partial->lastMissingFrame},
                             {"missingFrames", r.partial->missingFrames},
                             {"reason", r.partial->reason}};
    record["firstTimecode"] = OrNull(r.firstTimecode);
    record["lastTimecode"] = OrNull(r.lastTimecode);
    record["startTimecode"] = OrNull(r.startTimecode);
    record["endTimecode"] = OrNull(r.endTimecode);
    record["frames"] = r.frames;
    record["audioSamples"] = r.audioSamples;
    record["channelSamples"] = OrNull(r.channelSamples);
    record["soundTracks"] = r.soundTracks;
    record["timescale"] = r.timescale;
    record["frameDuration"] = r.frameDuration;
    record["memberFiles"] = r.memberFiles;
    if (r.recording) {
        record["cards"] = r.cards;
        record["pieces"] = ordered_json::array();
        for (const ExportPieceRecord& piece : r.pieces) record["pieces"].push_back(PieceJson(piece));
    }
    record["plugin"] = r.plugin;
    ordered_json facts = ordered_json::object();
    for (const auto& [key, value] : r.formatFacts) facts[key] = value;
    if (!facts.empty()) record["outputFormat"] = facts;
    record["values"] = r.values;
    record["valueTexts"] = r.valueTexts;
    return record;
}

}  // namespace qzimport
