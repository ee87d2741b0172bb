#pragma once
// Checks one clip as a host sees it through the plug-in: every frame walked
// by the video cursors in decode and in presentation order, the audio
// cursor's run of samples per frame and the timecode track, set against what
// the reader finds in the member files themselves (picture elements, picture
// headers, sound elements, each file's start timecode). Used by one thread.
#include "CFBCClip.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qzimport {

struct VerifyProblem {
    VerifyProblem() = default;
    VerifyProblem(int64_t frameIndex, std::string frameTimecode, std::string checkName, std::string text)
        : frame(frameIndex),
          timecode(std::move(frameTimecode)),
          check(std::move(checkName)),
          detail(std::move(text)) {}

    int64_t frame = -1;    // decode-order frame index; -1 for the clip as a whole
    std::string timecode;  // of the picture that frame presents; empty with frame -1
    std::string check;     // "picture", "picture-type", "decode-order", ...
    std::string detail;
    // The same problem at every frame from `frame` to `lastFrame` (see
    // FoldFrameRanges); -1 and empty for a problem of one frame or of the
    // clip as a whole.
    int64_t lastFrame = -1;
    std::string lastTimecode;
};

// Sees each picture the video sample buffers deliver, for checks of the
// picture bytes themselves (decoding). Called on the verifying thread.
class PictureObserver {
public:
    virtual ~PictureObserver() = default;
    // Frame `frame` (decode order) as its video buffer holds it; called in
    // decode order, for every frame whose buffer has its picture element's size.
    virtual void Picture(int64_t frame, const std::vector<uint8_t>& bytes) = 0;
    // After the last picture: what the observer found, each with its frame
    // (the verifier fills in the timecodes).
    virtual std::vector<VerifyProblem> Finish() = 0;
    // The pictures it has checked so far.
    virtual uint64_t PicturesChecked() const = 0;
};

struct ClipVerification {
    uint64_t frames = 0;
    std::vector<VerifyProblem> problems;
};

class ClipVerifier {
public:
    // `clip` is the reader's clip of the descriptor's ID; without a
    // descriptor (a clip the volume does not offer) only the member files
    // are checked.
    // `observer`, when given, sees every picture the decode-order walk gets
    // and its problems are added to the clip's.
    static ClipVerification Verify(ComVantoVantoQZ64RADPlug::MIORADClipDataSourceProtocol* descriptor,
                                   ComVantoVantoQZ64RADPlug::CFBCClip& clip,
                                   PictureObserver* observer = nullptr);
};

}  // namespace qzimport
