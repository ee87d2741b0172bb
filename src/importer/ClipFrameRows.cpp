#include "ClipFrameRows.h"

#include "CUStringMac.h"
#include "ClipStates.h"
#include "ValueTexts.h"
#include "FBCMovieSample.h"
#include "ImportError.h"
#include "MXFStream.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

[[noreturn]] void Unreadable(const std::string& clipID, const std::string& why) {
    throw ImportError("the frames of clip " + clipID + " cannot be read: " + why);
}

const char* PictureType(uint8_t flags) {
    if (flags & 0x10) return "B";
    if (flags & 0x20) return "P";
    return "I";
}

const char* SyncKind(uint32_t sampleFlags) {
    if ((sampleFlags & kMediaSampleNotSync) == 0) return "full";
    return (sampleFlags & kMediaSamplePartialSync) ? "partial" : "none";
}

FrameRow ReadRow(const std::string& clipID, FBCMovieSample& movie, CFBCClip& clip, int32_t pictureTrack) {
    FrameRow row;
    row.index = movie.CurrentIndex();
    const std::string frameText = "frame " + std::to_string(row.index);
    CUSharedPtr<MXFStream> stream = movie.mxfAtFrameIndex(row.index, &row.local);
    if (!stream || !movie.LastAccessInfo())
        Unreadable(clipID, MovieFailure(movie, frameText + " has no file"));
    CUStringMac name;
    if (movie.LastAccessInfo()->path->PathGetFileName(name) == 0) row.file = name.Utf8();
    uint8_t flags = 0;
    if (!movie.FrameInfoAtIndex(row.index, &row.temporalOffset, &row.keyFrameOffset, &flags))
        Unreadable(clipID, MovieFailure(movie, frameText + ": its index entry cannot be read"));
    row.type = PictureType(flags);
    row.sync = SyncKind(movie.sampleFlagAtIndex(row.index));
    row.displayOffset = movie.DisplayOffsetAtIndex(row.index);
    row.decodeTime = movie.FrameDecodeTimeStamp();
    row.presentationTime = movie.FramePresentationTimeStamp();
    const MXFEssenceRange range = stream->RangeEssenceData(row.local, static_cast<uint32_t>(pictureTrack));
    if (range.first == MXFStream::kNoEssenceOffset)
        Unreadable(clipID, frameText + ": its picture element cannot be located");
    row.offset = range.first;
    row.size = range.second;
    row.timecode = TimecodeText(clip.CalculateTimcodeFromFrameNo(int64_t{row.index} + row.displayOffset));
    return row;
}

}  // namespace

ClipFrameRows ReadClipFrameRows(CFBCClip& clip, const FramePoints& points) {
    ClipFrameRows result;
    result.clipID = ClipValueText(clip, kClipValueClipID);
    CUSharedPtr<FBCMovieSample> movie(new FBCMovieSample());
    if (!movie->Init(clip.GetCIFPath()))
        Unreadable(result.clipID, MovieFailure(*movie, "the clip has no usable frames"));
    const int32_t pictureTrack = movie->trackIndexFromType(kMxfTrackPicture, 0);
    if (pictureTrack < 0) Unreadable(result.clipID, "the clip has no picture track");

    // Frame indices become times at the clip's frame duration.
    result.timescale = movie->timescale();
    result.frameDuration = movie->durationPerFrame();
    movie->InitializeGetSample();
    if (points.in) movie->setInPoint(*points.in * result.frameDuration, result.timescale);
    if (points.out) movie->setOutPoint(*points.out * result.frameDuration, result.timescale);
    if (movie->FrameCountInClip() > 0)
        for (; !movie->isEndOfClip(); movie->nextFrame())
            result.rows.push_back(ReadRow(result.clipID, *movie, clip, pictureTrack));
    return result;
}

}  // namespace qzimport
