#pragma once
// Notices folders that appear in a set of parent folders: made there, moved
// in, or a file system mounted on a folder inside one (or on a parent
// itself). Each arrival is reported once, and only when it has settled: when
// nothing changed anywhere inside it for the settle delay, so a card still
// being copied in is not reported half-copied. Folders already in a parent
// when the watch starts are not reported. One thread calls Next() and
// Parents(); RequestStop() may be called from any thread or a signal
// handler. The watch runs no thread of its own: Next() waits in poll() on
// the kernel's folder and mount notifications and a stop descriptor.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

struct CUFolderWatchEvent {
    enum class Kind {
        kCreated,     // a folder made in a parent
        kMovedIn,     // a folder renamed into a parent from elsewhere
        kMounted,     // a file system mounted on the folder
        kParentLost,  // a parent was removed, renamed or unmounted: no longer watched
    };
    Kind kind = Kind::kCreated;
    std::string path;    // the folder that arrived, or the parent lost
    std::string reason;  // for kParentLost: why it is no longer watched
};

class CUFolderWatch {
public:
    static constexpr std::chrono::milliseconds kWaitForever = std::chrono::milliseconds::max();
    static constexpr std::chrono::milliseconds kDefaultSettle{2000};
    // A folder of more than this many folders (or deeper than kMaxDepth) is
    // judged settled by its file count, bytes and times staying the same
    // across one settle delay instead of by notifications.
    static constexpr size_t kMaxFoldersWatched = 4096;
    static constexpr int kMaxDepth = 32;

    // The places where removable media are mounted: the folders /media/*/
    // and /run/media/*/ that exist now; possibly none.
    static std::vector<std::string> RemovableMediaParents();

    // Starts watching `parents` (folders already in them are not reported).
    // Throws CUHostError: kUsage when there is no parent or one is not a
    // folder that can be watched (naming it and why); kSetup when the
    // system's notifications cannot be had.
    explicit CUFolderWatch(const std::vector<std::string>& parents,
                           std::chrono::milliseconds settle = kDefaultSettle);
    ~CUFolderWatch();
    CUFolderWatch(const CUFolderWatch&) = delete;
    CUFolderWatch& operator=(const CUFolderWatch&) = delete;

    // Waits up to `timeout` for the next settled arrival or lost parent.
    // Empty when the time ran out or the watch was stopped (Stopped()).
    // Throws CUHostError kSetup when the notifications cannot be read.
    std::optional<CUFolderWatchEvent> Next(std::chrono::milliseconds timeout);

    // Ends the current and every later Next() at once. Async-signal-safe.
    void RequestStop();
    // RequestStop() was called, or an interruption signal (CUInterruption)
    // was received.
    bool Stopped() const;

    // The parents still watched, as resolved absolute paths.
    std::vector<std::string> Parents() const;

private:
    using Clock = std::chrono::steady_clock;

    // A file count, total bytes and latest change time of a folder's tree.
    struct TreeSummary {
        uint64_t files = 0;
        uint64_t bytes = 0;
        int64_t latestChange = 0;  // nanoseconds since the epoch
        bool operator==(const TreeSummary& other) const {
            return files == other.files && bytes == other.bytes && latestChange == other.latestChange;
        }
    };
    // An arrival not yet reported.
    struct Pending {
        CUFolderWatchEvent::Kind kind = CUFolderWatchEvent::Kind::kCreated;
        Clock::time_point lastChange;
        bool watchedWhole = true;  // every folder of its tree is watched
        size_t watchedFolders = 0;
        std::optional<TreeSummary> summary;
    };
    // A watched folder: a parent (owner empty) or one inside a pending arrival.
    struct Watched {
        std::string path;
        std::string owner;  // the pending arrival's path
        int depth = 0;
    };

    void WatchParent(const std::string& parent);
    void Arrive(const std::string& path, CUFolderWatchEvent::Kind kind);
    void Forget(const std::string& path);
    // Watches `folder` and every folder below it for the arrival `owner`.
    void WatchTree(const std::string& folder, const std::string& owner, int depth);
    void UnwatchTree(const std::string& owner);
    void ReadFolderNotifications();
    void ReadMounts();
    // After lost notifications: every pending arrival is judged by its tree
    // summary, and the parents are listed again for folders missed.
    void Rescan();
    void LoseParent(int descriptor, const std::string& reason);
    std::optional<CUFolderWatchEvent> TakeSettled();
    static TreeSummary Summarise(const std::string& folder);

    std::chrono::milliseconds m_Settle;
    int m_Notify = -1;  // inotify
    int m_Mounts = -1;  // /proc/self/mountinfo, for its change notification
    int m_Stop = -1;    // eventfd written by RequestStop
    std::atomic<bool> m_StopRequested{false};
    std::map<int, Watched> m_Watched;  // by inotify watch descriptor
    std::set<std::string> m_Parents;
    std::map<std::string, Pending> m_Pending;  // by path
    std::set<std::string> m_Present;           // folders directly in a parent, as last seen
    std::multiset<std::string> m_MountPoints;  // as last read (a point mounted twice is there twice)
    std::vector<CUFolderWatchEvent> m_Lost;    // parents lost, not yet reported
};

}  // namespace ComVantoVantoQZ64RADPlug
