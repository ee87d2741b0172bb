#include "ExportProgress.h"

#include <cinttypes>

namespace qzimport {

using ComVantoVantoQZ64RADPlug::CUProgressPace;

ExportProgress::ExportProgress(ProgressMode mode, std::FILE* out) : m_mode(mode), m_out(out) {}

std::string ExportProgress::TerminalLine(const std::string& clipID, uint64_t done, uint64_t total,
                                         uint64_t bytes, double seconds) {
    char text[160];
    const double rate = seconds > 0 ? bytes / 1e6 / seconds : 0;
    const std::string left = CUProgressPace::LeftText(seconds, done, total);
    // Pictures a second tell a long encode's speed (a proxy's, whose bytes
    // are few); MB/s a copy's.
    const double pictures = seconds > 0 ? done / seconds : 0;
    std::snprintf(text, sizeof text, "%s  %" PRIu64 "/%" PRIu64 " frames  %.1f frames/s  %.1f MB/s  %s left",
                  clipID.c_str(), done, total, pictures, rate, left.c_str());
    return text;
}

void ExportProgress::StartClip(const std::string& clipID, uint64_t totalFrames) {
    m_clip = clipID;
    m_total = totalFrames;
    m_done = 0;
    m_bytes = 0;
    m_pace.Restart();
    m_open = true;
    if (m_mode == ProgressMode::kTerminal) Print(false);
}

void ExportProgress::Frame(uint64_t framesDone, uint64_t bytes) {
    m_done = framesDone;
    m_bytes = bytes;
    if (m_mode == ProgressMode::kLines) return Print(false);
    if (m_mode != ProgressMode::kTerminal) return;
    if (m_pace.Due(std::chrono::milliseconds(100))) Print(false);
}

void ExportProgress::FinishClip() {
    if (!m_open) return;
    m_open = false;
    Print(true);
}

void ExportProgress::StopClip(const char* why) {
    if (!m_open) return;
    m_open = false;
    Print(false, why);
    if (m_mode == ProgressMode::kTerminal) std::fprintf(m_out, " (%s)\n", why);
    std::fflush(m_out);
}

void ExportProgress::Print(bool done, const char* stopped) {
    if (m_mode == ProgressMode::kLines) {
        std::fprintf(m_out, "clip=%s frame=%" PRIu64 " total=%" PRIu64 " bytes=%" PRIu64 " done=%d%s%s\n",
                     m_clip.c_str(), m_done, m_total, m_bytes, done ? 1 : 0, stopped ? " stopped=" : "",
                     stopped ? stopped : "");
    } else if (m_mode == ProgressMode::kTerminal) {
        // "\r" and clearing to the end of the line redraw it in place.
        std::fprintf(m_out, "\r%s\x1b[K%s",
                     TerminalLine(m_clip, m_done, m_total, m_bytes, m_pace.Seconds()).c_str(),
                     done ? "\n" : "");
    }
    std::fflush(m_out);
}

}  // namespace qzimport
