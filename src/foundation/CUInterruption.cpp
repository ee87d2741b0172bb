#include "CUInterruption.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// A registered path lives in a fixed slot, never freed, so the handler can
// read it at any moment: kFree -> kWriting (owner copies) -> kReady.
enum SlotState : int { kFree = 0, kWriting = 1, kReady = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

std::array<Slot, CUInterruption::kMaxRegisteredFiles> g_slots;
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs lock-free atomics");

void OnSignal(int signal) {
    int expected = 0;
    if (g_signal.compare_exchange_strong(expected, signal)) return;  // the first: the program unwinds
    // A second signal: the program did not get round to it. Remove what
    // would otherwise look like work in progress, and go.
    for (Slot& slot : g_slots)
        if (slot.state.load() == kReady) ::unlink(slot.path);
    ::_exit(128 + signal);
}

}  // namespace

CUInterrupted::CUInterrupted(int signal)
    : std::runtime_error(std::string("interrupted by ") + ::strsignal(signal)), m_Signal(signal) {}

void CUInterruption::Install() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        // Reads and writes resume after the handler; the request is polled.
        action.sa_flags = SA_RESTART;
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    });
}

int CUInterruption::Signal() {
    return g_signal.load();
}

void CUInterruption::ThrowIfRequested() {
    if (const int signal = Signal()) throw CUInterrupted(signal);
}

int CUInterruption::RegisterFile(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (size_t i = 0; i < g_slots.size(); ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kWriting)) continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].state.store(kReady);
        return static_cast<int>(i);
    }
    return -1;
}

void CUInterruption::ReleaseFile(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < g_slots.size()) g_slots[slot].state.store(kFree);
}

void CUInterruption::ResetForTesting() {
    g_signal.store(0);
}

}  // namespace ComVantoVantoQZ64RADPlug
