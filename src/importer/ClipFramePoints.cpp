#include "ClipFramePoints.h"

#include "CUNumber.h"
#include "CUStringMac.h"
#include "ValueTexts.h"
#include "ClipClock.h"
#include "FBC_Utl_TimecodeParse.h"
#include "ImportError.h"
#include "TimecodeInfo.h"

#include <cctype>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// What the option accepts for this clip, and the clip's frame count.
struct Accepted {
    int64_t frames = 0;
    std::string text;
};

Accepted AcceptedBy(const std::string& option, CFBCClip& clip) {
    Accepted accepted;
    CUSharedPtr<CUNumber> count = clip.ValueForTag(kClipValueDurationFrames);
    accepted.frames = count ? count->UInt32Value() : 0;
    if (accepted.frames == 0) {
        accepted.text = option + " takes no point: the clip has no frames";
        return accepted;
    }
    accepted.text = option + " takes a frame index from 0 to " + std::to_string(accepted.frames - 1);
    const std::string first = TimecodeText(clip.CalculateTimcodeFromFrameNo(0));
    const std::string last = TimecodeText(clip.CalculateTimcodeFromFrameNo(accepted.frames - 1));
    if (!first.empty() && !last.empty()) accepted.text += " or a timecode from " + first + " to " + last;
    return accepted;
}

[[noreturn]] void Refuse(const std::string& option, const std::string& text, const std::string& why,
                         const Accepted& accepted) {
    throw ImportError(option + " " + text + ": " + why + "; " + accepted.text, CUFailureKind::kUsage);
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

int64_t FramePoint(const std::string& option, const std::string& text, CFBCClip& clip) {
    const Accepted accepted = AcceptedBy(option, clip);
    std::string clipID;
    if (CUSharedPtr<CUStringMac> id = clip.GetClipID()) clipID = id->Utf8();
    const std::string frames =
        std::to_string(accepted.frames) + (accepted.frames == 1 ? " frame" : " frames");
    if (AllDigits(text)) {
        // More digits than any frame count has cannot name a frame either.
        const int64_t frame = text.size() > 12 ? accepted.frames : std::stoll(text);
        if (frame >= accepted.frames) Refuse(option, text, "the clip " + clipID + " has " + frames, accepted);
        return frame;
    }
    if (text.find_first_of(":;.") == std::string::npos)
        Refuse(option, text, "neither a frame index nor a timecode", accepted);

    const ClipClock clock = clip.Clock();
    const std::optional<int64_t> start = clock.FramesOfTimecode(clip.ValueForTag(kClipValueStartTimecode));
    if (!start) Refuse(option, text, "the clip has no start timecode or frame rate", accepted);
    std::string why;
    CUSharedPtr<TimecodeInfo> at = FBC_Utl_ParseTimecode(text, clock.TimecodeBase(), clock.DropFrame(), &why);
    if (!at) Refuse(option, text, why.empty() ? "not a timecode" : why, accepted);
    const int64_t frame = *clock.FramesOfTimecode(at) - *start;
    if (frame < 0) Refuse(option, text, "before the clip's first frame", accepted);
    if (frame >= accepted.frames) Refuse(option, text, "after the clip's last frame", accepted);
    return frame;
}

void CheckInNotAfterOut(int64_t in, int64_t out) {
    if (in > out)
        throw ImportError("--in (frame " + std::to_string(in) + ") lies after --out (frame " +
                              std::to_string(out) + "); the in point must not come after the out point",
                          CUFailureKind::kUsage);
}

FramePoints ClipFramePoints(const std::optional<std::string>& in, const std::optional<std::string>& out,
                            CFBCClip& clip) {
    FramePoints points;
    if (in) points.in = FramePoint("--in", *in, clip);
    if (out) points.out = FramePoint("--out", *out, clip);
    if (points.in && points.out) CheckInNotAfterOut(*points.in, *points.out);
    return points;
}

}  // namespace qzimport
