#include "CheckProgress.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace qzimport {

namespace {

class WatchingObserver : public PictureObserver {
public:
    WatchingObserver(PictureObserver* inner, CheckProgress& progress)
        : m_inner(inner), m_progress(progress) {}
    void Picture(int64_t frame, const std::vector<uint8_t>& bytes) override {
        if (m_inner) m_inner->Picture(frame, bytes);
        m_progress.Frame(frame);
    }
    std::vector<VerifyProblem> Finish() override {
        return m_inner ? m_inner->Finish() : std::vector<VerifyProblem>();
    }
    uint64_t PicturesChecked() const override { return m_inner ? m_inner->PicturesChecked() : 0; }

private:
    PictureObserver* m_inner;
    CheckProgress& m_progress;
};

}  // namespace

CheckProgress::CheckProgress(uint64_t totalFrames, std::function<void(const std::string&)> say)
    : m_say(std::move(say)), m_totalFrames(totalFrames) {}

void CheckProgress::StartClip(const std::string& folder, const std::string& clipID, uint64_t frames) {
    if (!m_where.empty()) m_framesBefore += m_clipFrames;
    m_where = folder + " " + clipID;
    m_clipFrames = frames;
}

void CheckProgress::Frame(int64_t frame) {
    if (!m_say || frame < 0) return;
    // The first frame at once (the check has begun), then once a second.
    if (m_saidAny ? !m_pace.Due(std::chrono::seconds(1)) : !m_pace.Due(std::chrono::seconds(0))) return;
    m_saidAny = true;
    const uint64_t done = m_framesBefore + static_cast<uint64_t>(frame) + 1;
    char figures[96];
    std::snprintf(figures, sizeof figures, ", %.0f frames/s", m_pace.Rate(done));
    std::string line = "checking " + m_where + ": frame " + std::to_string(frame + 1) + " of " +
                       std::to_string(m_clipFrames) + figures;
    if (m_pace.SecondsLeft(done, m_totalFrames) >= 0)
        line += ", " + m_pace.LeftText(done, m_totalFrames) + " left";
    m_say(line);
}

std::unique_ptr<PictureObserver> CheckProgress::Watching(PictureObserver* inner) {
    return std::make_unique<WatchingObserver>(inner, *this);
}

}  // namespace qzimport
