#include "CUProgressPace.h"

#include <cinttypes>
#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

CUProgressPace::CUProgressPace() {
    Restart();
}

void CUProgressPace::Restart() {
    m_Started = m_Said = std::chrono::steady_clock::now();
}

double CUProgressPace::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Started).count();
}

double CUProgressPace::Rate(uint64_t done) const {
    const double seconds = Seconds();
    return seconds > 0 ? static_cast<double>(done) / seconds : 0;
}

int64_t CUProgressPace::SecondsLeft(uint64_t done, uint64_t total) const {
    return SecondsLeft(Seconds(), done, total);
}

std::string CUProgressPace::LeftText(uint64_t done, uint64_t total) const {
    return LeftText(Seconds(), done, total);
}

int64_t CUProgressPace::SecondsLeft(double seconds, uint64_t done, uint64_t total) {
    if (done == 0 || total < done || seconds <= 0) return -1;
    return static_cast<int64_t>(seconds * static_cast<double>(total - done) / static_cast<double>(done) +
                                0.5);
}

std::string CUProgressPace::LeftText(double seconds, uint64_t done, uint64_t total) {
    const int64_t left = SecondsLeft(seconds, done, total);
    return left < 0 ? "-:--" : MinutesText(left);
}

std::string CUProgressPace::MinutesText(int64_t seconds) {
    const int64_t whole = seconds < 0 ? 0 : seconds;
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", whole / 3600,
                      static_cast<int>(whole / 60 % 60), static_cast<int>(whole % 60));
    else
        std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(whole / 60),
                      static_cast<int>(whole % 60));
    return text;
}

bool CUProgressPace::Due(std::chrono::milliseconds interval) {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_Said < interval) return false;
    m_Said = now;
    return true;
}

}  // namespace ComVantoVantoQZ64RADPlug
