#pragma once
// Writes the files of one output set (one clip, or one recording joined
// across clips and cards) in an output format. The importer calls Begin,
// then BeginPiece before every piece after the first, WriteFrame for every
// frame slot, and Finish; then it commits Files() as a set, or drops the
// writer, which discards whatever it had written (every file is a
// CUOutputFile, written as a partial, with its content digest made as it is
// written: CUOutputFile::Digest::kContent). Failures throw ImportError with the
// reason (a library's own text included). Used by one thread.
#include "ExportFrame.h"
#include "ExportStreamInfo.h"

#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {
class CUOutputFile;
}

namespace qzimport {

class OutputWriter {
public:
    virtual ~OutputWriter() = default;

    virtual void Begin(const ExportStreamInfo& stream) = 0;
    virtual void BeginPiece(const ExportPieceInfo& piece) { (void)piece; }
    virtual void WriteFrame(const ExportFrame& frame) = 0;
    // Completes every file (trailers, sizes in headers); nothing is renamed.
    virtual void Finish() = 0;
    // The files written, in the order they are to be committed.
    virtual std::vector<ComVantoVantoQZ64RADPlug::CUOutputFile*> Files() = 0;
    // Facts the writer adds to the output's JSON record under "outputFormat"
    // (e.g. the codec tag chosen); empty by default.
    virtual std::vector<std::pair<std::string, std::string>> RecordFacts() const { return {}; }
};

}  // namespace qzimport
