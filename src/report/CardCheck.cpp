#include "CardCheck.h"

#include "HostEventCycle.h"
#include "PictureDecodeCheck.h"
#include "ProblemRanges.h"

#include <cinttypes>
#include <cstdio>
#include <optional>
#include <vector>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Hands every picture on to the decoding check and tells the check's
// progress which frame the walk has reached.
class ProgressObserver : public qzimport::PictureObserver {
public:
    ProgressObserver(qzimport::PictureObserver& inner, std::function<void(int64_t)> frame)
        : m_inner(inner), m_frame(std::move(frame)) {}
    void Picture(int64_t frame, const std::vector<uint8_t>& bytes) override {
        m_inner.Picture(frame, bytes);
        m_frame(frame);
    }
    std::vector<qzimport::VerifyProblem> Finish() override { return m_inner.Finish(); }
    uint64_t PicturesChecked() const override { return m_inner.PicturesChecked(); }

private:
    qzimport::PictureObserver& m_inner;
    std::function<void(int64_t)> m_frame;
};

// "1:05" (minutes and seconds), "1:02:05" past an hour.
std::string MinutesText(double seconds) {
    const int64_t whole = seconds < 0 ? 0 : static_cast<int64_t>(seconds + 0.5);
    char text[40];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", whole / 3600, int(whole / 60 % 60),
                      int(whole % 60));
    else
        std::snprintf(text, sizeof text, "%d:%02d", int(whole / 60), int(whole % 60));
    return text;
}

}  // namespace

OfferedClips OfferedClips::Of(qzimport::PluginHost& host, const std::string& folder) {
    OfferedClips offered;
    offered.volume = host.PathIsValidVolume(folder) ? host.VolumeWithPath(folder) : nullptr;
    if (!offered.volume) return offered;
    for (const auto& clip : host.Clips(offered.volume)) {
        const std::optional<std::string> name = clip ? clip->name() : std::nullopt;
        if (name && !offered.clips.count(*name)) offered.clips[*name] = clip;
    }
    return offered;
}

CardCheck::CardCheck(uint64_t totalFrames, std::function<void(const std::string&)> progress)
    : m_progress(std::move(progress)), m_totalFrames(totalFrames) {
    m_started = m_said = std::chrono::steady_clock::now();
}

void CardCheck::Open(const std::string& folder, const OfferedClips& offered) {
    m_folder = folder;
    m_offered = &offered;
}

ClipCheck CardCheck::Verify(CFBCClip& clip, const std::string& clipID, uint64_t frames,
                            const std::string& state, const std::string& stateReason) {
    HostEventCycle cycle;
    static const OfferedClips kNone;
    const OfferedClips& offered = m_offered ? *m_offered : kNone;
    const auto found = offered.clips.find(clipID);
    PictureDecodeCheck decoding;
    ProgressObserver observer(decoding, [&](int64_t frame) { Frame(clipID, frame, frames); });
    ClipCheck check;
    check.verification = qzimport::ClipVerifier::Verify(
        found == offered.clips.end() ? nullptr : found->second.get(), clip, &observer);
    if (found == offered.clips.end())
        check.verification.problems.insert(check.verification.problems.begin(),
                                           {-1, std::string(), "offered",
                                            "the plug-in does not offer it (" + state +
                                                (stateReason.empty() ? "" : ": " + stateReason) + ")"});
    // Counted and shown as `verify` does: one problem over a run of frames.
    check.verification.problems = qzimport::FoldFrameRanges(std::move(check.verification.problems));
    check.picturesDecoded = decoding.PicturesChecked();
    m_framesBefore += frames;
    return check;
}

void CardCheck::Frame(const std::string& clipID, int64_t frame, uint64_t clipFrames) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_progress || now - m_said < std::chrono::seconds(1)) return;
    m_said = now;
    const uint64_t done = m_framesBefore + static_cast<uint64_t>(frame + 1);
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    const double rate = seconds > 0 ? done / seconds : 0;
    std::string line = "checking " + m_folder + " " + clipID + ": frame " + std::to_string(frame + 1) +
                       " of " + std::to_string(clipFrames);
    char figures[96];
    std::snprintf(figures, sizeof figures, ", %.0f frames/s", rate);
    line += figures;
    if (rate > 0 && m_totalFrames >= done)
        line += ", " + MinutesText((m_totalFrames - done) / rate) + " left";
    m_progress(line);
}

}  // namespace qzreport
