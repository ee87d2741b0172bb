#pragma once
// The outputs of one recording that continues across clips and cards, made
// from its pieces' own exports (each written by ClipExporter into a scratch
// folder): one ID.m2v with the pieces' streams appended in order, one ID.wav
// and ID_chN.wav per channel with their samples appended, and one ID.json
// record listing the pieces, all named after the first clip and committed
// together. Used by one thread.
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qzimport {

struct JoinedPiece {
    std::string clipID;
    nlohmann::ordered_json record;  // the piece's own ID.json
};

// Joins the pieces' files in `scratchFolder` into `outputFolder` (existing
// outputs replaced only when `replace`). Returns the output names. Throws
// ImportError, leaving none of the joined outputs behind.
std::vector<std::string> JoinPieceOutputs(const std::string& scratchFolder,
                                          const std::vector<JoinedPiece>& pieces,
                                          const std::string& outputFolder, bool replace);

}  // namespace qzimport
