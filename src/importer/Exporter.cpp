#include "Exporter.h"

#include "CFBCContent.h"
#include "CUFailure.h"
#include "CUInterruption.h"
#include "CUNumber.h"
#include "CUOutputFile.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "ClipIngest.h"
#include "ClipValues.h"
#include "ExportProgress.h"
#include "ExportRecord.h"
#include "ExportSource.h"
#include "FBCClipTypes.h"
#include "FBCClipValueTag.h"
#include "ImportError.h"
#include "OutputAssembler.h"
#include "OutputFolderLock.h"
#include "PluginClipProperties.h"
#include "PluginHost.h"
#include "QzcardVersion.h"
#include "UMID.h"

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

std::string Megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
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

ordered_json TextOrNull(const std::string& text) {
    return text.empty() || text == "-" ? ordered_json() : ordered_json(text);
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

}  // namespace

Exporter::Exporter(PluginHost& host, const OutputFormat& format, ExportProgress& progress)
    : m_host(host), m_format(format), m_progress(progress) {}

ExportSummary Exporter::Run(const ExportSettings& settings, ExportObserver& observer) {
    const std::vector<ExportCard> cards = ExportPlan::OpenCards(m_host, settings.cards);
    if (!settings.discard)
        for (const ExportCard& card : cards)
            if (IsInsideFolder(settings.outputFolder, card.folder))
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
    const std::string& folder = settings.outputFolder;
    const ordered_json source = ExportSource::Of(set, cards, m_format.Name(), settings.options);
    PreviousOutputs previous;
    if (!settings.discard && !settings.force) {
        previous = ExportRecord::Compare(folder, set.baseName, source);
        if (previous.state == PreviousOutputs::State::kUpToDate) {
            result.files = previous.files;
            result.status = OutputSetResult::Status::kUpToDate;
            return result;
        }
    }
    uint64_t delivered = 0;
    std::optional<uint32_t> lastIndex;  // of the frame last delivered, for an interruption's message
    std::unique_ptr<ClipIngest> ingest;
    try {
        const PlannedPiece& first = set.pieces.front();
        ingest = std::make_unique<ClipIngest>(*first.descriptor, *first.clip);
        ingest->SetRange(set.inFrame, set.outFrame);
        // Every track is read for the formats that write them all, not for an
        // import that writes nothing.
        const bool tracks = !settings.discard && (m_format.Name() != "es" || settings.options.allChannels);
        ingest->ReadTrackSound(tracks);
        std::vector<std::string> names =
            m_format.FileNames(set.baseName, settings.options, ingest->SoundTracks());
        names.push_back(set.baseName + ".json");
        if (!settings.discard && !settings.force) ExportRecord::RefuseExisting(folder, names, previous);

        // What it will take, before anything is written: the pieces after
        // the first are whole clips, opened one at a time.
        const LaterPieces later = MeasureLaterPieces(set, *ingest);
        OutputSizeBasis size;
        size.pictureBytes = ingest->PictureBytes() + later.pictureBytes;
        size.frames = ingest->RecordCount() + later.frames;
        size.soundTracks = ingest->SoundTracks();
        size.bytesPerSample = ingest->BitsPerSample() / 8;
        const uint32_t decodeDelay = std::max(ingest->DecodeDelayFrames(), later.decodeDelay);
        const uint64_t laterFrames = later.frames;
        size.soundSamples = ingest->Clock().SampleAtFrame(static_cast<int64_t>(size.frames)).value_or(0) + 1;
        if (!settings.discard) {
            const uint64_t needed = m_format.ExpectedBytes(size, settings.options);
            std::error_code error;
            const std::filesystem::space_info space = std::filesystem::space(folder, error);
            if (!error && space.available < needed)
                throw ImportError("it needs " + Megabytes(needed) + " and the output file system has " +
                                  Megabytes(space.available) + " free");
        }

        std::unique_ptr<OutputWriter> writer =
            settings.discard ? nullptr : m_format.CreateWriter(folder, set.baseName, settings.options);
        OutputAssembler assembler(writer.get(), StreamOf(set, cards[first.card], *ingest, decodeDelay),
                                  laterFrames);
        const ordered_json targets = PluginTargetFormats(m_host.Plugin());
        ordered_json pieces = ordered_json::array();
        m_progress.StartClip(set.baseName, size.frames);
        uint64_t done = 0;
        for (size_t p = 0; p < set.pieces.size(); ++p) {
            const PlannedPiece& planned = set.pieces[p];
            if (p > 0) {
                ingest = std::make_unique<ClipIngest>(*planned.descriptor, *planned.clip);
                ingest->ReadTrackSound(tracks);
            }
            assembler.StartPiece(
                *ingest, {planned.clipId, cards[planned.card].folder, 0, {}, planned.continuesPrevious});
            const uint64_t before = assembler.PicturesPresented();
            lastIndex.reset();
            ingest->Run([&](const IngestRecord& record) {
                lastIndex = record.index;
                assembler.Add(record);
                delivered += record.pictureSize + record.stereoSize;
                m_progress.Frame(++done, delivered);
                return true;
            });
            assembler.FinishPiece();
            if (set.recording) {
                ordered_json piece = {
                    {"clipId", planned.clipId},
                    {"card", cards[planned.card].folder},
                    {"mediumId", cards[planned.card].mediumId},
                    {"frames", assembler.PicturesPresented() - before},
                    {"startTimecode", TextOrNull(ingest->TimecodeOfSlot(ingest->FirstIndex()))},
                    {"endTimecode", TextOrNull(ingest->TimecodeOfSlot(ingest->LastIndex()))},
                    {"memberFiles", ExportSource::MemberFiles(*planned.clip)}};
                if (p > 0) piece["continuesPrevious"] = planned.continuesPrevious;
                pieces.push_back(piece);
            }
        }
        m_progress.FinishClip();
        result.frames = assembler.PicturesPresented();
        result.samples = assembler.StereoSamples();
        result.bytes = delivered;

        const ExportStreamInfo& stream = assembler.Stream();
        const uint32_t firstSlot = assembler.FirstPresentedSlot();
        // The first piece's ingest is gone for a recording; its texts were kept.
        const std::string startTimecode = stream.startTimecode;
        if (set.inFrame && firstSlot != *set.inFrame && set.pieces.size() == 1)
            result.notes.push_back("from " + startTimecode + " (in point " +
                                   ingest->TimecodeOfSlot(*set.inFrame) + " moved back to its key frame)");
        const std::string endTimecode = ingest->TimecodeOfSlot(ingest->LastIndex());
        if (set.outFrame && ingest->LastIndex() > *set.outFrame)
            result.notes.push_back("to " + endTimecode + " (out point " +
                                   ingest->TimecodeOfSlot(*set.outFrame) +
                                   " moved on to the end of its group of pictures)");
        if (m_format.Name() == "es" && !settings.options.allChannels && stream.soundTracks > 2)
            result.notes.push_back("2 of " + std::to_string(stream.soundTracks) +
                                   " channels; --all-channels for all");
        if (settings.discard) {
            result.status = OutputSetResult::Status::kWritten;
            return result;
        }

        writer->Finish();
        std::vector<CUOutputFile*> files = writer->Files();
        ordered_json record;
        CFBCClip& firstClip = *first.clip;
        record["qzcardVersion"] = QzcardVersion();
        record["clipId"] = first.clipId;
        record["card"] = cards[first.card].folder;
        record["mediumId"] = cards[first.card].mediumId;
        record["format"] = m_format.Name();
        record["source"] = source;
        ordered_json outputs = ordered_json::array(), sizes = ordered_json::array();
        for (CUOutputFile* file : files) {
            const std::string name = std::filesystem::path(file->FinalPath()).filename().string();
            outputs.push_back(name);
            sizes.push_back(ExportRecord::FileEntry(name, file->Seal()));
        }
        outputs.push_back(set.baseName + ".json");
        record["outputs"] = outputs;
        record["files"] = sizes;
        record["inPoint"] = {{"requested", TextOrNull(set.inText)},
                             {"requestedFrame", set.inFrame ? ordered_json(*set.inFrame) : ordered_json()},
                             {"frame", firstSlot},
                             {"timecode", TextOrNull(startTimecode)},
                             {"movedBack", set.inFrame.has_value() && firstSlot != *set.inFrame},
                             {"leftOutPictures", assembler.LeftOutPictures()}};
        record["outPoint"] = {{"requested", TextOrNull(set.outText)},
                              {"requestedFrame", set.outFrame ? ordered_json(*set.outFrame) : ordered_json()},
                              {"frame", ingest->LastIndex()},
                              {"timecode", TextOrNull(endTimecode)},
                              {"movedOn", set.outFrame.has_value() && ingest->LastIndex() > *set.outFrame}};
        record["firstTimecode"] = TextOrNull(assembler.FirstDeliveredTimecode());
        record["lastTimecode"] = TextOrNull(assembler.LastDeliveredTimecode());
        record["startTimecode"] = TextOrNull(startTimecode);
        record["endTimecode"] = TextOrNull(endTimecode);
        record["frames"] = result.frames;
        record["audioSamples"] = assembler.StereoSamples();
        record["channelSamples"] =
            settings.options.allChannels || m_format.Name() != "es"
                ? ordered_json(assembler.TrackSamples() / std::max(stream.soundTracks, 1u))
                : ordered_json();
        record["soundTracks"] = stream.soundTracks;
        record["timescale"] = stream.timescale;
        record["frameDuration"] = stream.frameDuration;
        record["memberFiles"] = ExportSource::MemberFiles(firstClip);
        if (set.recording) {
            record["cards"] = ordered_json::array();
            for (const PlannedPiece& piece : set.pieces) record["cards"].push_back(cards[piece.card].folder);
            record["pieces"] = pieces;
        }
        ordered_json plugin = PluginClipProperties(*first.descriptor);
        plugin["targetFormats"] = targets;
        record["plugin"] = plugin;
        ordered_json facts = ordered_json::object();
        for (const auto& [key, value] : writer->RecordFacts()) facts[key] = value;
        if (!facts.empty()) record["outputFormat"] = facts;
        const ordered_json values = ClipValuesJson(firstClip);
        record["values"] = values["values"];
        record["valueTexts"] = values["valueTexts"];
        const std::string text = record.dump(2) + "\n";
        CUOutputFile json((std::filesystem::path(folder) / (set.baseName + ".json")).string());
        json.Write(text.data(), text.size());
        files.push_back(&json);
        const bool outdated = previous.state == PreviousOutputs::State::kOutdated;
        CommitSet(files, settings.force || outdated);
        if (outdated) result.notes.push_back("written again: " + previous.reason);
        for (CUOutputFile* file : files)
            result.files.push_back(std::filesystem::path(file->FinalPath()).filename().string());
        result.status = OutputSetResult::Status::kWritten;
    } catch (const ImportError& e) {
        result.failure = e.what();
    } catch (const CUError& e) {
        result.failure =
            e.Failure().Code() == kResultOutputExists
                ? e.Failure().What() + " (written meanwhile by another process; --force replaces it)"
                : e.Failure().What();
    } catch (const CUInterrupted& e) {
        m_progress.StopClip("interrupted");
        const std::string where = ingest && lastIndex ? " " + ingest->FrameText(*lastIndex) : std::string();
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

}  // namespace qzimport
