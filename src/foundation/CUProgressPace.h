#pragma once
// How fast a long piece of work goes and how long it has left, for the
// progress that export, offload, verify and report show on stderr: the
// clock starts when the object is made (or restarted); `done` and `total`
// are counted in any one unit (frames, bytes). Lines said at most once per
// interval ask Due. A value used by one thread.
#include <chrono>
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// Where progress goes: nowhere, one line redrawn in place on a terminal, or
// lines of key=value fields for scripts (--progress).
enum class CUProgressMode { kSilent, kTerminal, kLines };

class CUProgressPace {
public:
    CUProgressPace();

    void Restart();
    // Seconds since the start.
    double Seconds() const;
    // Units done per second so far; 0 before any time has passed.
    double Rate(uint64_t done) const;
    // The whole seconds left at the pace so far; -1 while nothing is done
    // (or `done` exceeds `total`).
    int64_t SecondsLeft(uint64_t done, uint64_t total) const;
    // SecondsLeft as "m:ss" (or "h:mm:ss"); "-:--" while not known.
    std::string LeftText(uint64_t done, uint64_t total) const;
    // The same after `seconds` of work, for a caller keeping its own clock.
    static int64_t SecondsLeft(double seconds, uint64_t done, uint64_t total);
    static std::string LeftText(double seconds, uint64_t done, uint64_t total);
    // "1:05", "1:02:05" past an hour; 0 for a negative count.
    static std::string MinutesText(int64_t seconds);
    // True when `interval` has passed since the start or since it last said
    // true.
    bool Due(std::chrono::milliseconds interval);

private:
    std::chrono::steady_clock::time_point m_Started;
    std::chrono::steady_clock::time_point m_Said;
};

}  // namespace ComVantoVantoQZ64RADPlug
