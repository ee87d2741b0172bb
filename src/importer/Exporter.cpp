#include "Exporter.h"

#include "CFBCContent.h"
#include "CUFailure.h"
#include "CUFileSystemSpace.h"
#include "CUInterruption.h"
#include "CUNumber.h"
#include "CUOutputFile.h"
#include "CUStringMac.h"
#include "ClipIngest.h"
#include "ClipValues.h"
#include "ExportProgress.h"
#include "ExportRecord.h"
#include "ExportRecordWriter.h"
#include "ExportSource.h"
#include "FBCClipTypes.h"
#include "FBCClipValueTag.h"
#include "FBC_Utl_Megabytes.h"
#include "FBC_Utl_PathInside.h"
#include "ImportError.h"
#include "OutputAssembler.h"
#include "OutputFolderLock.h"
#include "PluginClipProperties.h"
#include "PluginHost.h"
#include "UMID.h"
#include "ValueTexts.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

std::string Text(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUStringMac> text = value;
    return text && !text->IsNull() ? text->Utf8() : std::string();
}

std::optional<double> Number(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUNumber> number = value;
    if (!number) return std::nullopt;
    return number->doubleValue();
}

// The clip's place as ISO 6709 ("+35.6581+139.7414+40.0/"); empty without one.
std::string Location(CFBCClip& clip) {
    const std::optional<double> latitude = Number(clip.ValueForTag(kClipValueLatitudeValue));
    const std::optional<double> longitude = Number(clip.ValueForTag(kClipValueLongitudeValue));
    if (!latitude || !longitude || !std::isfinite(*latitude) || !std::isfinite(*longitude) ||
        std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return std::string();
    char text[64];
    const std::optional<double> altitude = Number(clip.ValueForTag(kClipValueAltitude));
    if (altitude && std::isfinite(*altitude))
        std::snprintf(text, sizeof text, "%+08.4f%+09.4f%+.1f/", *latitude, *longitude, *altitude);
    else
        std::snprintf(text, sizeof text, "%+08.4f%+09.4f/", *latitude, *longitude);
    return text;
}

// The stream as far as it is known before the first frame.
ExportStreamInfo StreamOf(const OutputSetPlan& set, const ExportCard& card, ClipIngest& ingest,
                          uint32_t decodeDelay) {
    CFBCClip& clip = ingest.Clip();
    MIORADClipDataSourceProtocol& descriptor = ingest.Descriptor();
    ExportStreamInfo stream;
    stream.baseName = set.baseName;
    stream.clipId = set.pieces.front().clipId;
    stream.timescale = ingest.Timescale();
    stream.frameDuration = ingest.FrameDuration();
    stream.decodeDelayFrames = decodeDelay;
    stream.width = descriptor.videoWidth();
    stream.height = descriptor.videoHeight();
    CUSharedPtr<CUNumber> rate = clip.ValueForTag(kClipValueFrameRate);
    const uint32_t rateCode = rate ? rate->UInt32Value() : 0;
    stream.interlaced = rateCode == kFrameRate5994i || rateCode == kFrameRate50i;
    stream.topFieldFirst = true;
    stream.hd = stream.height >= 720;
    stream.codecType = FourCCText(descriptor.sourceFormat());
    stream.bitRate = descriptor.videoBitrate() * 1000000u;
    stream.soundTracks = ingest.SoundTracks();
    stream.bitsPerSample = ingest.BitsPerSample();
    stream.sampleRate = ingest.SampleRate();
    const auto add = [&stream](const char* key, const std::string& value) {
        if (!value.empty()) stream.metadata.emplace_back(key, value);
    };
    add("title", Text(clip.ValueForTag(kClipValueTitle)));
    add("creator", Text(clip.ValueForTag(kClipValueCreator)));
    add("description", Text(clip.ValueForTag(kClipValueDescription)));
    add("clipId", stream.clipId);
    add("mediumId", card.mediumId);
    CUSharedPtr<UMID> umid = clip.FirstMxfUMID();
    add("umid", umid && umid->Length() > 0 ? umid->Description()->Utf8() : std::string());
    add("manufacturer", Text(clip.ValueForTag(kClipValueDeviceManufacturer)));
    add("model", Text(clip.ValueForTag(kClipValueDeviceModelName)));
    add("serialNumber", Text(clip.ValueForTag(kClipValueDeviceSerialNumber)));
    add("creationTime", DateTimeUTCText(clip.ValueForTag(kClipValueShootingDateTime)));
    add("location", Location(clip));
    return stream;
}

struct LaterPieces {
    uint64_t frames = 0;  // records of the pieces after the first
    uint64_t pictureBytes = 0;
    uint32_t decodeDelay = 0;
};

// The pieces after the first of a recording, opened one at a time. Throws
// ImportError for a piece coded otherwise than the first (`first`).
LaterPieces MeasureLaterPieces(const OutputSetPlan& set, ClipIngest& first) {
    LaterPieces later;
    for (size_t p = 1; p < set.pieces.size(); ++p) {
        ClipIngest piece(*set.pieces[p].descriptor, *set.pieces[p].clip);
        if (piece.SoundTracks() != first.SoundTracks() || piece.BitsPerSample() != first.BitsPerSample() ||
            piece.Timescale() != first.Timescale() || piece.FrameDuration() != first.FrameDuration())
            throw ImportError(set.pieces[p].clipId + " is coded otherwise than " + set.pieces.front().clipId +
                              " (rate or sound tracks); a recording's pieces join only when alike");
        later.pictureBytes += piece.PictureBytes();
        later.frames += piece.RecordCount();
        later.decodeDelay = std::max(later.decodeDelay, piece.DecodeDelayFrames());
    }
    return later;
}

// A set's result before any work: failed, with the plan's reason if it has one.
OutputSetResult UnfinishedResult(const OutputSetPlan& set, const std::vector<ExportCard>& cards) {
    OutputSetResult result;
    result.baseName = set.baseName;
    result.card = cards[set.pieces.front().card].folder;
    result.pieces = set.pieces.size();
    result.failure = set.failure;
    return result;
}

// Renames every file into place, the record last; on a failure the files
// already renamed are removed again, so the set appears whole or not at all.
void CommitSet(const std::vector<CUOutputFile*>& files, bool replace) {
    std::vector<std::string> committed;
    try {
        for (CUOutputFile* file : files) {
            file->Commit(replace);
            committed.push_back(file->FinalPath());
        }
    } catch (const CUError&) {
        for (const std::string& path : committed) std::filesystem::remove(path);
        throw;
    }
}

// What an output set will take, from its first piece's ingest and each
// later piece opened in turn: the pieces after the first are whole clips.
struct SetSize {
    OutputSizeBasis basis;
    uint32_t decodeDelay = 0;  // the largest of the pieces'
    uint64_t laterFrames = 0;  // of the pieces after the first
};

SetSize SizeOf(const OutputSetPlan& set, ClipIngest& first) {
    SetSize size;
    size.basis.pictureBytes = first.PictureBytes();
    size.basis.frames = first.RecordCount();
    size.basis.soundTracks = first.SoundTracks();
    size.basis.bytesPerSample = first.BitsPerSample() / 8;
    const LaterPieces later = MeasureLaterPieces(set, first);
    size.basis.pictureBytes += later.pictureBytes;
    size.basis.frames += later.frames;
    size.laterFrames = later.frames;
    size.decodeDelay = std::max(first.DecodeDelayFrames(), later.decodeDelay);
    size.basis.soundSamples =
        first.Clock().SampleAtFrame(static_cast<int64_t>(size.basis.frames)).value_or(0) + 1;
    return size;
}

// "DIR: no room: 66.1 MB needed, 40.2 MB free", the free space as the
// file system holding `folder` has it now (unknown: not said).
std::string NoRoomText(const std::string& folder, uint64_t needed) {
    const std::optional<CUFileSystemSpace> space = CUFileSystemSpace::Of(folder);
    return folder + ": no room: " + FBC_Utl_MegabytesText(needed) + " needed" +
           (space ? ", " + FBC_Utl_MegabytesText(space->available) + " free" : std::string());
}

// What a partial set's line and result say of the frames it lacks.
std::string PartialText(const ExportPartialRecord& partial) {
    return "partial: " + std::to_string(partial.missingFrames) +
           (partial.missingFrames == 1 ? " frame" : " frames") + " missing, " + partial.reason;
}

// Refuses a set whose files the output file system has no room for.
void CheckRoom(const std::string& folder, uint64_t needed) {
    const std::optional<CUFileSystemSpace> space = CUFileSystemSpace::Of(folder);
    if (space && space->available < needed) throw ImportError(NoRoomText(folder, needed));
}

// The last frame slot the set can end at so that every picture it needs
// is stored before decode index `unreadable` (the first frame the plug-in
// could not deliver); none when no picture can be had before it.
std::optional<uint32_t> ReadableEnd(ClipIngest& ingest, std::optional<uint32_t> inFrame,
                                    uint32_t unreadable) {
    ingest.SetRange(inFrame, std::nullopt);
    const uint32_t first = ingest.FirstIndex();
    for (uint32_t end = unreadable; end > first;) {
        --end;
        ingest.SetRange(inFrame, end);
        if (ingest.LastIndex() < unreadable && ingest.LastIndex() >= first) return end;
    }
    return std::nullopt;
}

std::optional<std::string> GivenText(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::string FileNameOf(const CUOutputFile& file) {
    return std::filesystem::path(file.FinalPath()).filename().string();
}

}  // namespace

// One set's export as it goes: what the steps of WriteSet hand on, and what
// an interruption's message names.
struct Exporter::SetRun {
    const OutputSetPlan& set;
    const std::vector<ExportCard>& cards;
    const ExportSettings& settings;
    const ordered_json source;
    SetRun(const OutputSetPlan& s, const std::vector<ExportCard>& c, const ExportSettings& e,
           ordered_json from)
        : set(s), cards(c), settings(e), source(std::move(from)) {}
    PreviousOutputs previous;
    bool everyTrack = false;             // every sound track is read
    std::unique_ptr<ClipIngest> ingest;  // of the piece being read, then of the last
    std::optional<uint32_t> lastIndex;   // of the frame last delivered
    uint64_t delivered = 0;              // bytes of essence
    uint64_t expectedBytes = 0;          // of the set's files, as the room was checked for
    // A frame the plug-in could not deliver ends the set's ingest with a
    // read failure; one that the writer refused, with a write failure.
    bool writeFailed = false;
    bool ingesting = false;  // left set when a piece's ingest throws
    // Written again up to this frame slot, the frames after it unreadable.
    std::optional<uint32_t> readableEnd;
    ExportPartialRecord partial;  // with readableEnd
    ordered_json targets;         // the plug-in's target formats
};

Exporter::Exporter(PluginHost& host, const OutputFormat& format, ExportProgress& progress)
    : m_host(host), m_format(format), m_progress(progress) {}

ExportSummary Exporter::Run(const ExportSettings& settings, ExportObserver& observer) {
    const std::vector<ExportCard> cards = ExportPlan::OpenCards(m_host, settings.cards);
    if (!settings.discard)
        for (const ExportCard& card : cards)
            if (FBC_Utl_PathIsInside(settings.outputFolder, card.folder))
                throw ImportError("--output " + settings.outputFolder + " lies inside the card " +
                                      card.folder + "; the importer never writes to a card",
                                  CUFailureKind::kUsage);
    const std::vector<OutputSetPlan> sets = ExportPlan::Build(cards, settings.selection);
    // Options the format cannot write for a clip end the run before any work.
    if (!settings.discard)
        for (const OutputSetPlan& set : sets) {
            const PlannedPiece& first = set.pieces.front();
            if (!set.failure.empty() || !first.descriptor) continue;
            const std::string refused = m_format.RefusedPicture(
                settings.options, first.descriptor->videoWidth(), first.descriptor->videoHeight());
            if (!refused.empty()) throw ImportError(set.baseName + ": " + refused, CUFailureKind::kUsage);
        }

    std::optional<OutputFolderLock> lock;
    // A check reads the output folder and writes nothing in it.
    if (!settings.discard && !settings.check) {
        std::error_code error;
        std::filesystem::create_directories(settings.outputFolder, error);
        if (error)
            throw ImportError(
                "cannot create the output folder " + settings.outputFolder + ": " + error.message(),
                CUFailureKind::kSetup);
        lock.emplace(settings.outputFolder, settings.waitSeconds);
        const std::vector<std::string> removed = CUOutputFile::RemoveStalePartials(settings.outputFolder);
        if (!removed.empty())
            observer.Notice("removed " + std::to_string(removed.size()) + " partial file" +
                            (removed.size() == 1 ? "" : "s") + " an interrupted export left in " +
                            settings.outputFolder);
    }

    ExportSummary summary;
    summary.severalCards = cards.size() > 1;
    summary.sets = sets.size();
    for (const OutputSetPlan& set : sets) {
        for (const std::string& notice : set.notices) observer.Notice(notice);
        const OutputSetResult result =
            settings.check ? CheckSet(set, cards, settings) : ExportSet(set, cards, settings);
        switch (result.status) {
            case OutputSetResult::Status::kWritten:
                ++summary.written;
                break;
            case OutputSetResult::Status::kUpToDate:
                ++summary.upToDate;
                break;
            case OutputSetResult::Status::kFailed:
                ++summary.failed;
                break;
            case OutputSetResult::Status::kPartial:
                ++summary.partial;
                break;
            case OutputSetResult::Status::kMatches:
                ++summary.matching;
                break;
            case OutputSetResult::Status::kMismatched:
                ++summary.mismatched;
                break;
        }
        observer.SetDone(result);
    }
    return summary;
}

OutputSetResult Exporter::ExportSet(const OutputSetPlan& set, const std::vector<ExportCard>& cards,
                                    const ExportSettings& settings) {
    OutputSetResult result = UnfinishedResult(set, cards);
    if (!set.failure.empty()) return result;
    SetRun run(set, cards, settings, ExportSource::Of(set, cards, m_format.Name(), settings.options));
    if (!settings.discard && !settings.force) {
        run.previous = ExportRecord::Compare(settings.outputFolder, set.baseName, run.source);
        if (run.previous.state == PreviousOutputs::State::kUpToDate) {
            UpToDateResult(run.previous, result);
            return result;
        }
    }
    try {
        try {
            WriteSet(run, result);
        } catch (const ImportError& e) {
            // What can be read of a clip cut short is written, and said to be partial.
            if (!WriteReadablePart(run, result, e.what())) throw;
        }
    } catch (const ImportError& e) {
        result.failure = e.what();
    } catch (const CUError& e) {
        // Told once the set's partials are gone, so the free space is what the drive has.
        if (e.Failure().Code() == kResultOutputNoRoom)
            result.failure =
                NoRoomText(settings.outputFolder, run.expectedBytes) + " (" + e.Failure().What() + ")";
        else
            result.failure =
                e.Failure().Code() == kResultOutputExists
                    ? e.Failure().What() + " (written meanwhile by another process; --force replaces it)"
                    : e.Failure().What();
    } catch (const CUInterrupted& e) {
        m_progress.StopClip("interrupted");
        const std::string where =
            run.ingest && run.lastIndex ? " " + run.ingest->FrameText(*run.lastIndex) : std::string();
        throw ImportError::Interrupted(
            "interrupted at " + set.baseName + where + "; nothing of " + set.baseName + " was written",
            e.Signal());
    }
    if (result.status == OutputSetResult::Status::kFailed) m_progress.StopClip("failed");
    return result;
}

OutputSetResult Exporter::CheckSet(const OutputSetPlan& set, const std::vector<ExportCard>& cards,
                                   const ExportSettings& settings) {
    OutputSetResult result = UnfinishedResult(set, cards);
    if (!set.failure.empty()) return result;
    try {
        const PlannedPiece& first = set.pieces.front();
        ClipIngest ingest(*first.descriptor, *first.clip);
        ingest.SetRange(set.inFrame, set.outFrame);
        ingest.ReadTrackSound(false);
        const LaterPieces later = MeasureLaterPieces(set, ingest);
        const uint32_t decodeDelay = std::max(ingest.DecodeDelayFrames(), later.decodeDelay);
        // The stream an export would begin its writer with: known at the
        // first record (which decides the first presented picture).
        OutputAssembler assembler(nullptr, StreamOf(set, cards[first.card], ingest, decodeDelay),
                                  later.frames);
        assembler.StartPiece(ingest, {first.clipId, cards[first.card].folder, 0, {}, true});
        ingest.Run([&assembler](const IngestRecord& record) {
            assembler.Add(record);
            return false;
        });
        const ExportStreamInfo& stream = assembler.Stream();
        result.frames = stream.frames;
        result.files = m_format.FileNames(set.baseName, settings.options, stream.soundTracks);
        result.mismatches =
            m_format.CheckOutputs(settings.outputFolder, set.baseName, settings.options, stream);
        result.status = result.mismatches.empty() ? OutputSetResult::Status::kMatches
                                                  : OutputSetResult::Status::kMismatched;
    } catch (const ImportError& e) {
        result.failure = e.what();
    } catch (const CUError& e) {
        result.failure = e.Failure().What();
    } catch (const CUInterrupted& e) {
        throw ImportError::Interrupted("interrupted at " + set.baseName, e.Signal());
    }
    return result;
}

void Exporter::WriteSet(SetRun& run, OutputSetResult& result) {
    const OutputSetPlan& set = run.set;
    const ExportSettings& settings = run.settings;
    const std::string& folder = settings.outputFolder;
    const PlannedPiece& first = set.pieces.front();
    run.ingest = std::make_unique<ClipIngest>(*first.descriptor, *first.clip);
    run.ingest->SetRange(set.inFrame, run.readableEnd ? run.readableEnd : set.outFrame);
    // Every track is read for the formats that write them all, not for an
    // import that writes nothing.
    run.everyTrack = !settings.discard && m_format.WritesEveryTrack(settings.options);
    run.ingest->ReadTrackSound(run.everyTrack);
    std::vector<std::string> names =
        m_format.FileNames(set.baseName, settings.options, run.ingest->SoundTracks());
    names.push_back(set.baseName + ".json");
    if (!settings.discard && !settings.force) ExportRecord::RefuseExisting(folder, names, run.previous);

    // What it will take, before anything is written.
    const SetSize size = SizeOf(set, *run.ingest);
    run.expectedBytes = m_format.ExpectedBytes(size.basis, settings.options);
    if (!settings.discard) CheckRoom(folder, run.expectedBytes);

    std::unique_ptr<OutputWriter> writer =
        settings.discard ? nullptr : m_format.CreateWriter(folder, set.baseName, settings.options);
    OutputAssembler assembler(
        writer.get(), StreamOf(set, run.cards[first.card], *run.ingest, size.decodeDelay), size.laterFrames);
    run.targets = PluginTargetFormats(m_host.Plugin());
    ExportSetRecord record;
    IngestPieces(run, assembler, size.basis.frames, record.pieces);
    result.frames = assembler.PicturesPresented();
    result.samples = assembler.StereoSamples();
    result.bytes = run.delivered;
    result.firstFrame = assembler.FirstPresentedSlot();
    result.lastFrame = run.ingest->LastIndex();
    result.startTimecode = assembler.StartTimecode();
    result.endTimecode = run.ingest->SlotTimecode(run.ingest->LastIndex());
    AddNotes(run, assembler, result);
    if (settings.discard) {
        result.status = OutputSetResult::Status::kWritten;
        return;
    }

    writer->Finish();
    std::vector<CUOutputFile*> files = writer->Files();
    FillRecord(run, assembler, *writer, record);
    const std::string text = ExportRecordWriter::Json(record).dump(2) + "\n";
    CUOutputFile json((std::filesystem::path(folder) / record.recordName).string());
    json.Write(text.data(), text.size());
    files.push_back(&json);
    const bool outdated = run.previous.state == PreviousOutputs::State::kOutdated;
    CommitSet(files, settings.force || outdated);
    if (outdated) result.notes.push_back("written again: " + run.previous.reason);
    for (CUOutputFile* file : files) result.files.push_back(FileNameOf(*file));
    result.status = run.readableEnd ? OutputSetResult::Status::kPartial : OutputSetResult::Status::kWritten;
    if (run.readableEnd) result.failure = PartialText(run.partial);
}

bool Exporter::WriteReadablePart(SetRun& run, OutputSetResult& result, const std::string& reason) {
    const OutputSetPlan& set = run.set;
    // A frame that could not be read of a single clip whose member file the
    // card model found cut short or broken at its end (list: "damaged"), on
    // the first try. A write that failed is no reason to write less; a clip
    // whose files look whole but hold a bad frame is not exported.
    const PlannedPiece& first = set.pieces.front();
    if (!run.ingesting || run.writeFailed || run.readableEnd || set.pieces.size() != 1 ||
        run.settings.discard || !first.clip->LastFailure().Failed())
        return false;
    ClipIngest probe(*first.descriptor, *first.clip);
    const uint32_t unreadable = run.lastIndex ? *run.lastIndex + 1 : probe.FirstIndex();
    const std::optional<uint32_t> end = ReadableEnd(probe, set.inFrame, unreadable);
    const uint32_t wanted = set.outFrame.value_or(probe.FrameCount() - 1);
    if (!end || *end >= wanted) return false;
    run.readableEnd = end;
    run.partial = {*end + 1, wanted, uint64_t{wanted} - *end,
                   "frames " + std::to_string(*end + 1) + "\u2013" + std::to_string(wanted) + " (" +
                       probe.TimecodeOfSlot(*end + 1) + "\u2013" + probe.TimecodeOfSlot(wanted) +
                       ") cannot be read: " + reason};
    run.lastIndex.reset();
    run.delivered = 0;
    run.ingesting = false;
    run.ingest.reset();
    result.notes.clear();
    WriteSet(run, result);
    return true;
}

void Exporter::UpToDateResult(const PreviousOutputs& previous, OutputSetResult& result) {
    const nlohmann::ordered_json& record = previous.record;
    result.files = previous.files;
    result.status = OutputSetResult::Status::kUpToDate;
    // The record is a file's bytes: each value is taken only when it is of its kind.
    const auto count = [](const nlohmann::ordered_json& json, const char* key) -> std::optional<uint64_t> {
        if (!json.is_object() || !json.contains(key) || !json[key].is_number_unsigned()) return std::nullopt;
        return json[key].get<uint64_t>();
    };
    const auto text = [](const nlohmann::ordered_json& json, const char* key) -> std::optional<std::string> {
        if (!json.is_object() || !json.contains(key) || !json[key].is_string()) return std::nullopt;
        return json[key].get<std::string>();
    };
    const auto slot = [&count](const nlohmann::ordered_json& point) -> std::optional<uint32_t> {
        const std::optional<uint64_t> frame = count(point, "frame");
        if (!frame || *frame > UINT32_MAX) return std::nullopt;
        return static_cast<uint32_t>(*frame);
    };
    result.frames = count(record, "frames").value_or(0);
    result.samples = count(record, "audioSamples").value_or(0);
    result.firstFrame = slot(record.value("inPoint", nlohmann::ordered_json()));
    result.lastFrame = slot(record.value("outPoint", nlohmann::ordered_json()));
    result.startTimecode = text(record, "startTimecode");
    result.endTimecode = text(record, "endTimecode");
    // Outputs written in part stay in part: said again on every run.
    const nlohmann::ordered_json partial = record.value("partial", nlohmann::ordered_json());
    if (partial.is_object()) {
        result.status = OutputSetResult::Status::kPartial;
        ExportPartialRecord lacking;
        lacking.missingFrames = count(partial, "missingFrames").value_or(0);
        lacking.reason = text(partial, "reason").value_or("frames of the clip cannot be read");
        result.failure = PartialText(lacking) + " (as an earlier run wrote it)";
    }
}

void Exporter::IngestPieces(SetRun& run, OutputAssembler& assembler, uint64_t frames,
                            std::vector<ExportPieceRecord>& pieces) {
    const OutputSetPlan& set = run.set;
    m_progress.StartClip(set.baseName, frames);
    uint64_t done = 0;
    for (size_t p = 0; p < set.pieces.size(); ++p) {
        const PlannedPiece& planned = set.pieces[p];
        if (p > 0) {
            run.ingest = std::make_unique<ClipIngest>(*planned.descriptor, *planned.clip);
            run.ingest->ReadTrackSound(run.everyTrack);
        }
        ClipIngest& ingest = *run.ingest;
        assembler.StartPiece(
            ingest, {planned.clipId, run.cards[planned.card].folder, 0, {}, planned.continuesPrevious});
        const uint64_t before = assembler.PicturesPresented();
        run.lastIndex.reset();
        run.ingesting = true;
        ingest.Run([&](const IngestRecord& record) {
            run.lastIndex = record.index;
            // Left set when the writer throws: the failure is the output's.
            run.writeFailed = true;
            assembler.Add(record);
            run.writeFailed = false;
            run.delivered += record.pictureSize + record.stereoSize;
            m_progress.Frame(++done, run.delivered);
            return true;
        });
        run.ingesting = false;
        assembler.FinishPiece();
        if (!set.recording) continue;
        ExportPieceRecord piece;
        piece.clipId = planned.clipId;
        piece.card = run.cards[planned.card].folder;
        piece.mediumId = run.cards[planned.card].mediumId;
        piece.frames = assembler.PicturesPresented() - before;
        piece.startTimecode = ingest.SlotTimecode(ingest.FirstIndex());
        piece.endTimecode = ingest.SlotTimecode(ingest.LastIndex());
        piece.memberFiles = ExportSource::MemberFiles(*planned.clip);
        if (p > 0) piece.continuesPrevious = planned.continuesPrevious;
        pieces.push_back(std::move(piece));
    }
    if (run.readableEnd)
        m_progress.StopClip("partial");
    else
        m_progress.FinishClip();
}

void Exporter::AddNotes(const SetRun& run, const OutputAssembler& assembler, OutputSetResult& result) const {
    const OutputSetPlan& set = run.set;
    ClipIngest& ingest = *run.ingest;  // of the last piece
    if (set.inFrame && assembler.FirstPresentedSlot() != *set.inFrame && set.pieces.size() == 1)
        result.notes.push_back("from " + assembler.Stream().startTimecode + " (in point " +
                               ingest.TimecodeOfSlot(*set.inFrame) + " moved back to its key frame)");
    if (set.outFrame && ingest.LastIndex() > *set.outFrame)
        result.notes.push_back("to " + ingest.TimecodeOfSlot(ingest.LastIndex()) + " (out point " +
                               ingest.TimecodeOfSlot(*set.outFrame) +
                               " moved on to the end of its group of pictures)");
    const uint32_t tracks = assembler.Stream().soundTracks;
    if (!m_format.WritesEveryTrack(run.settings.options) && tracks > 2)
        result.notes.push_back("2 of " + std::to_string(tracks) + " channels; --all-channels for all");
}

void Exporter::FillRecord(const SetRun& run, const OutputAssembler& assembler, OutputWriter& writer,
                          ExportSetRecord& record) const {
    if (run.readableEnd) record.partial = run.partial;
    const OutputSetPlan& set = run.set;
    const PlannedPiece& first = set.pieces.front();
    ClipIngest& ingest = *run.ingest;  // of the last piece
    const ExportStreamInfo& stream = assembler.Stream();
    const uint32_t firstSlot = assembler.FirstPresentedSlot();
    record.clipId = first.clipId;
    record.card = run.cards[first.card].folder;
    record.mediumId = run.cards[first.card].mediumId;
    record.format = m_format.Name();
    record.source = run.source;
    for (CUOutputFile* file : writer.Files()) record.files.emplace_back(FileNameOf(*file), file->Seal());
    record.recordName = set.baseName + ".json";
    record.inPoint = {GivenText(set.inText), set.inFrame, firstSlot, assembler.StartTimecode(),
                      set.inFrame.has_value() && firstSlot != *set.inFrame};
    record.leftOutPictures = assembler.LeftOutPictures();
    record.outPoint = {GivenText(set.outText), set.outFrame, ingest.LastIndex(),
                       ingest.SlotTimecode(ingest.LastIndex()),
                       set.outFrame.has_value() && ingest.LastIndex() > *set.outFrame};
    record.firstTimecode = assembler.FirstDeliveredTimecode();
    record.lastTimecode = assembler.LastDeliveredTimecode();
    record.startTimecode = record.inPoint.timecode;
    record.endTimecode = record.outPoint.timecode;
    record.frames = assembler.PicturesPresented();
    record.audioSamples = assembler.StereoSamples();
    if (m_format.WritesEveryTrack(run.settings.options))
        record.channelSamples = assembler.TrackSamples() / std::max(stream.soundTracks, 1u);
    record.soundTracks = stream.soundTracks;
    record.timescale = stream.timescale;
    record.frameDuration = stream.frameDuration;
    record.memberFiles = ExportSource::MemberFiles(*first.clip);
    record.recording = set.recording;
    if (set.recording)
        for (const PlannedPiece& piece : set.pieces) record.cards.push_back(run.cards[piece.card].folder);
    record.plugin = PluginClipProperties(*first.descriptor);
    record.plugin["targetFormats"] = run.targets;
    record.formatFacts = writer.RecordFacts();
    const ordered_json values = ClipValuesJson(*first.clip);
    record.values = values["values"];
    record.valueTexts = values["valueTexts"];
}

}  // namespace qzimport
