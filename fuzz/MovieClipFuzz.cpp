// Plays a clip of one member file through the movie and the host sample
// model as a host does: the input is a clip information file and a member
// MXF file (a 4-byte big-endian length, the clip information bytes, the MXF
// bytes), written as QZ0001.CIF and QZ000101.MXF into a scratch clip folder.
// Every frame of the first ones asked for its description, video and audio
// sample buffers, times and edit information; the frame cursor walked from
// in to out point.
#include "CFString.h"
#include "CFType.h"
#include "CFURL.h"
#include "CMSampleBuffer.h"
#include "CMTime.h"
#include "CUStringMac.h"
#include "FBCMovieSampleForFCPX.h"
#include "FuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

constexpr int64_t kPlayedFrames = 24;

const std::string& ClipFolder() {
    static const std::string folder = qzfuzz::MakeScratchFolder("qz-movie-fuzz");
    return folder;
}

void Release(CFTypeRef object) {
    if (object) CFRelease(object);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const size_t cifSize = qzfuzz::BigEndianPrefix(data, 4);
    if (cifSize > size - 4) return 0;
    const std::string cifPath = ClipFolder() + "/QZ0001.CIF";
    qzfuzz::WriteWholeFile(cifPath, data + 4, cifSize);
    qzfuzz::WriteWholeFile(ClipFolder() + "/QZ000101.MXF", data + 4 + cifSize, size - 4 - cifSize);

    CUSharedPtr<CUStringMac> path(new CUStringMac(cifPath.c_str()));
    CUSharedPtr<FBCMovieSampleForFCPX> movie =
        FBCMovieSampleForFCPX::Create(path, nullptr, kFBCDefaultCodecType);
    if (!movie) return 0;
    Release(movie->createAudioFormatDescription());
    Release(movie->createTimeCodeFormatDescription());
    const int64_t frames = movie->FrameCountInClip();
    (void)movie->audioSampleCount();
    for (int64_t frame = 0; frame < frames && frame < kPlayedFrames; ++frame) {
        Release(movie->createVideoSampleAttributesAtIndex(static_cast<uint32_t>(frame)));
        Release(movie->createVideoSampleBufferAtIndex(frame));
        Release(movie->createAudioSampleBufferAtIndex(frame, 0, kCMTimePositiveInfinity));
        Release(movie->createAudioSampleBufferAtIndex(frame, 7, CMTimeMake(1, 100)));
        Release(movie->copyUrlAtFrameIndex(frame));
        int64_t offset = 0;
        int32_t length = 0;
        (void)movie->editInfoAtIndex(frame, 0, &offset, &length);
        const CMTime time = movie->presentationTimeAtIndex(frame);
        (void)movie->frameIndexAtCMTime(time);
        const int64_t sample = movie->audioSampleIndexAtFrameIndex(frame);
        if (sample >= 0) (void)movie->frameIndexAtAudioSampleIndex(sample);
        (void)movie->audioSampleCountAtFrameIndex(frame);
        (void)movie->DisplayOffsetAtIndex(static_cast<uint32_t>(frame));
        (void)movie->keyFrameAtIndex(static_cast<uint32_t>(frame));
        (void)movie->sampleFlagAtIndex(static_cast<uint32_t>(frame));
    }

    // The import cursor over a range inside the clip.
    if (frames > 2 && movie->MediaTimescale() > 0) {
        const int64_t step = movie->FrameDuration();
        if (movie->setInPoint(step, movie->MediaTimescale()) &&
            movie->setOutPoint(step * (frames < kPlayedFrames ? frames - 1 : kPlayedFrames),
                               movie->MediaTimescale()) &&
            movie->InitializeGetSample()) {
            unsigned char buffer[4096];
            for (int steps = 0; steps < kPlayedFrames && !movie->isEndOfClip(); ++steps) {
                (void)movie->FrameDecodeTimeStamp();
                (void)movie->FramePresentationTimeStamp();
                (void)movie->GetTimeCounter();
                (void)movie->ReadCurrentSampleData(kMxfTrackSound, 1, buffer, sizeof buffer);
                if (!movie->nextFrame()) break;
            }
        }
    }
    movie->ReleaseMXFStream();
    return 0;
}
