#include "OffloadProgress.h"

#include <utility>

namespace qzoffload {

OffloadProgress::OffloadProgress(ProgressMode mode, std::FILE* out, std::string label)
    : m_Mode(mode), m_Out(out), m_Label(std::move(label)) {}

void OffloadProgress::Update(const std::string& relativePath, uint64_t fileDone, uint64_t fileSize,
                             uint64_t done, uint64_t total) {
    if (m_Mode == ProgressMode::kLines) {
        std::fprintf(m_Out,
                     "file=%s fileBytes=%llu fileSize=%llu bytes=%llu total=%llu bytesPerSecond=%.0f "
                     "secondsLeft=%lld\n",
                     relativePath.c_str(), static_cast<unsigned long long>(fileDone),
                     static_cast<unsigned long long>(fileSize), static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(total), m_Pace.Rate(done),
                     static_cast<long long>(m_Pace.SecondsLeft(done, total)));
        std::fflush(m_Out);
        return;
    }
    if (m_Mode != ProgressMode::kTerminal) return;
    if (!m_Pace.Due(std::chrono::milliseconds(100)) && m_Open && done < total) return;
    std::fprintf(m_Out, "\r\033[K%s  %.1f/%.1f MB  %.1f MB/s  %s left  %s", m_Label.c_str(), done / 1e6,
                 total / 1e6, m_Pace.Rate(done) / 1e6, m_Pace.LeftText(done, total).c_str(),
                 relativePath.c_str());
    std::fflush(m_Out);
    m_Open = true;
}

void OffloadProgress::Finish() {
    if (m_Open) std::fprintf(m_Out, "\n");
    m_Open = false;
}

}  // namespace qzoffload
