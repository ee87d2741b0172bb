#pragma once
// One export run, as `qzcard export` asks for it: the cards opened through
// the plug-in, the output sets planned (ExportPlan), then, with the output
// folder locked against other exports, each set imported through the
// plug-in's ingest objects and written by the output format's writer, its
// files renamed into place together with its JSON record last. A set whose
// outputs already exist as its own complete outputs is "up to date"; one
// that fails leaves none of its files; an interrupting signal removes what
// was being written and ends the run. Used by one thread.
#include "ExportPlan.h"
#include "OutputFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

class ExportProgress;
class OutputAssembler;
class PluginHost;
struct ExportPieceRecord;
struct ExportSetRecord;
struct PreviousOutputs;

struct ExportSettings {
    std::vector<std::string> cards;  // one card, or with selection.join every card of the recordings
    ExportSelection selection;
    std::string outputFolder;
    bool force = false;    // replace existing outputs
    bool discard = false;  // import every frame, write nothing
    // Compare the outputs already in the output folder with what the cards
    // would make of them (OutputFormat::CheckOutputs), writing nothing.
    bool check = false;
    double waitSeconds = 0;  // for another export holding the output folder
    OutputOptions options;
};

struct OutputSetResult {
    // kPartial: written up to the last frame that could be read, the rest
    // of the clip missing (`failure` says which frames and why); never a
    // whole export. kMatches and kMismatched: the outputs of a check.
    enum class Status { kWritten, kUpToDate, kFailed, kPartial, kMatches, kMismatched };
    Status status = Status::kFailed;
    std::string baseName;
    std::string card;  // of its first piece, as given
    size_t pieces = 1;
    uint64_t frames = 0;             // presented pictures
    uint64_t samples = 0;            // per channel
    uint64_t bytes = 0;              // of essence delivered
    std::vector<std::string> files;  // names in the output folder, the record last
    // The first and last presented frame slot of the (first and last)
    // clip and their timecodes: what the outputs hold; none before a write.
    std::optional<uint32_t> firstFrame, lastFrame;
    std::optional<std::string> startTimecode, endTimecode;
    // What the output line adds: an in point moved back, the channels written.
    std::vector<std::string> notes;
    // kFailed: why nothing of it was written; kPartial: which frames are
    // missing and why.
    std::string failure;
    // A check's outputs: each value that differs from the original's.
    std::vector<std::string> mismatches;
};

// Where the run reports as it goes; the command prints.
class ExportObserver {
public:
    virtual ~ExportObserver() = default;
    virtual void Notice(const std::string& text) = 0;
    virtual void SetDone(const OutputSetResult& result) = 0;
};

struct ExportSummary {
    size_t sets = 0;
    size_t written = 0;
    size_t upToDate = 0;
    size_t failed = 0;
    size_t partial = 0;
    size_t matching = 0;  // checked
    size_t mismatched = 0;
    bool severalCards = false;
};

class Exporter {
public:
    Exporter(PluginHost& host, const OutputFormat& format, ExportProgress& progress);

    // Throws ImportError for what ends the run before or between sets: a
    // folder that is not a card (kNotACard), a clip the card lacks
    // (kNoSuchClip), a refused in or out point or an output folder inside
    // a card (kUsage), an output folder that cannot be made (kSetup) or is
    // busy (kBusy), an interruption (kInterrupted).
    ExportSummary Run(const ExportSettings& settings, ExportObserver& observer);

private:
    struct SetRun;

    // One set: up to date, written, or failed with its reason.
    OutputSetResult ExportSet(const OutputSetPlan& set, const std::vector<ExportCard>& cards,
                              const ExportSettings& settings);
    // Its steps: the preflight (files in the way, room), the ingest of every
    // piece, the notes of the output line, the record, the commit.
    void WriteSet(SetRun& run, OutputSetResult& result);
    // After a frame of a single clip could not be read: writes the set again
    // up to the last frame slot whose pictures are all stored before it, as
    // a partial set (kPartial); false when nothing before it can be had.
    bool WriteReadablePart(SetRun& run, OutputSetResult& result, const std::string& reason);
    // A set up to date: its counts and points as its record (`previous`) tells them.
    static void UpToDateResult(const PreviousOutputs& previous, OutputSetResult& result);
    void IngestPieces(SetRun& run, OutputAssembler& assembler, uint64_t frames,
                      std::vector<ExportPieceRecord>& pieces);
    void AddNotes(const SetRun& run, const OutputAssembler& assembler, OutputSetResult& result) const;
    void FillRecord(const SetRun& run, const OutputAssembler& assembler, OutputWriter& writer,
                    ExportSetRecord& record) const;
    // Reads the set's first record only: enough to know its stream.
    OutputSetResult CheckSet(const OutputSetPlan& set, const std::vector<ExportCard>& cards,
                             const ExportSettings& settings);

    PluginHost& m_host;
    const OutputFormat& m_format;
    ExportProgress& m_progress;
};

}  // namespace qzimport
