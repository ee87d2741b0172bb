#include "OffloadProgress.h"

namespace qzoffload {

OffloadProgress::OffloadProgress(ProgressMode mode, std::FILE* out)
    : m_Mode(mode), m_Out(out), m_Started(std::chrono::steady_clock::now()) {}

void OffloadProgress::Update(const std::string& relativePath, uint64_t fileDone, uint64_t fileSize,
                             uint64_t done, uint64_t total) {
    if (m_Mode == ProgressMode::kLines) {
        std::fprintf(m_Out, "file=%s fileBytes=%llu fileSize=%llu bytes=%llu total=%llu\n",
                     relativePath.c_str(), static_cast<unsigned long long>(fileDone),
                     static_cast<unsigned long long>(fileSize), static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(total));
        std::fflush(m_Out);
        return;
    }
    if (m_Mode != ProgressMode::kTerminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (m_Open && now - m_Drawn < std::chrono::milliseconds(100) && done < total) return;
    m_Drawn = now;
    const double seconds = std::chrono::duration<double>(now - m_Started).count();
    std::fprintf(m_Out, "\r\033[Koffload  %.1f/%.1f MB  %.1f MB/s  %s", done / 1e6, total / 1e6,
                 seconds > 0 ? done / 1e6 / seconds : 0.0, relativePath.c_str());
    std::fflush(m_Out);
    m_Open = true;
}

void OffloadProgress::Finish() {
    if (m_Open) std::fprintf(m_Out, "\n");
    m_Open = false;
}

}  // namespace qzoffload
