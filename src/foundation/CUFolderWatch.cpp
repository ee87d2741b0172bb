#include "CUFolderWatch.h"

#include "CUHostError.h"
#include "CUInterruption.h"
#include "CUMountTable.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace ComVantoVantoQZ64RADPlug {

namespace {

namespace fs = std::filesystem;

// A parent: folders made, moved in or out, removed; and the parent itself going.
constexpr uint32_t kParentEvents =
    IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// A folder inside an arrival: anything that says it is still being filled.
constexpr uint32_t kTreeEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                 IN_DELETE | IN_ATTRIB | IN_ONLYDIR | IN_DONT_FOLLOW | IN_MASK_ADD;
// Longer waits than this are waits without end (and no deadline overflows).
constexpr auto kLongestTimedWait = std::chrono::hours(24 * 365);

std::string SystemReason(int error) {
    if (error == ENOSPC) return "the system's limit of watched folders is reached";
    return std::strerror(error);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folders directly in `parent`, not following symbolic links.
std::vector<std::string> FoldersIn(const std::string& parent) {
    std::vector<std::string> folders;
    std::error_code error;
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error))
        if (it->symlink_status(error).type() == fs::file_type::directory)
            folders.push_back(it->path().string());
    return folders;
}

int WaitMilliseconds(std::chrono::steady_clock::duration wait) {
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    return static_cast<int>(std::clamp<decltype(milliseconds)>(milliseconds, 0, INT_MAX));
}

}  // namespace

std::vector<std::string> CUFolderWatch::RemovableMediaParents() {
    std::vector<std::string> parents;
    for (const char* place : {"/media", "/run/media"}) {
        std::error_code error;
        for (fs::directory_iterator it(place, error), end; !error && it != end; it.increment(error))
            if (it->is_directory(error)) parents.push_back(it->path().string());
    }
    std::sort(parents.begin(), parents.end());
    return parents;
}

CUFolderWatch::CUFolderWatch(const std::vector<std::string>& parents, std::chrono::milliseconds settle)
    : m_Settle(std::max(settle, std::chrono::milliseconds(0))) {
    if (parents.empty()) throw CUHostError("no folder to watch", CUFailureKind::kUsage);
    try {
        m_Notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_Notify < 0)
            throw CUHostError("cannot watch folders: " + SystemReason(errno), CUFailureKind::kSetup);
        m_Stop = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_Stop < 0)
            throw CUHostError("cannot watch folders: " + SystemReason(errno), CUFailureKind::kSetup);
        m_Mounts = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (m_Mounts < 0)
            throw CUHostError("cannot follow mounts: /proc/self/mountinfo: " + SystemReason(errno),
                              CUFailureKind::kSetup);
        for (const CUMountEntry& mount : CUMountTable::Read()) m_MountPoints.insert(mount.mountPoint);
        for (const std::string& parent : parents) WatchParent(parent);
    } catch (...) {
        // Nothing half-made survives the refusal; the refusal itself goes on.
        for (int descriptor : {m_Notify, m_Stop, m_Mounts})
            if (descriptor >= 0) ::close(descriptor);
        throw;
    }
}

CUFolderWatch::~CUFolderWatch() {
    // Closing the inotify descriptor ends every watch on it.
    for (int descriptor : {m_Notify, m_Stop, m_Mounts})
        if (descriptor >= 0) ::close(descriptor);
}

void CUFolderWatch::WatchParent(const std::string& parent) {
    std::error_code error;
    // Mount points are listed resolved, so the parents are compared resolved.
    const std::string resolved = fs::canonical(parent, error).string();
    if (error) throw CUHostError("cannot watch " + parent + ": " + error.message(), CUFailureKind::kUsage);
    if (!fs::is_directory(resolved, error))
        throw CUHostError("cannot watch " + parent + ": not a folder", CUFailureKind::kUsage);
    const int descriptor = ::inotify_add_watch(m_Notify, resolved.c_str(), kParentEvents);
    if (descriptor < 0)
        throw CUHostError("cannot watch " + parent + ": " + SystemReason(errno), CUFailureKind::kUsage);
    m_Watched[descriptor] = Watched{resolved, {}, 0};
    m_Parents.insert(resolved);
    for (const std::string& folder : FoldersIn(resolved)) m_Present.insert(folder);
}

void CUFolderWatch::RequestStop() {
    m_StopRequested.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_Stop, &one, sizeof one);
}

bool CUFolderWatch::Stopped() const {
    return m_StopRequested.load() || CUInterruption::Requested();
}

std::vector<std::string> CUFolderWatch::Parents() const {
    return {m_Parents.begin(), m_Parents.end()};
}

std::optional<CUFolderWatchEvent> CUFolderWatch::Next(std::chrono::milliseconds timeout) {
    const bool forever = timeout >= kLongestTimedWait;
    const Clock::time_point deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;
    for (;;) {
        if (Stopped()) return std::nullopt;
        if (!m_Lost.empty()) {
            CUFolderWatchEvent lost = m_Lost.front();
            m_Lost.erase(m_Lost.begin());
            return lost;
        }
        if (std::optional<CUFolderWatchEvent> settled = TakeSettled()) return settled;
        const Clock::time_point now = Clock::now();
        if (!forever && now >= deadline) return std::nullopt;
        int wait = forever ? -1 : WaitMilliseconds(deadline - now);
        for (const auto& [path, pending] : m_Pending) {
            const int untilSettled = WaitMilliseconds(pending.lastChange + m_Settle - now);
            wait = wait < 0 ? untilSettled : std::min(wait, untilSettled);
        }
        // The mount table signals a change as a priority event (and an error).
        pollfd waits[] = {{m_Notify, POLLIN, 0}, {m_Mounts, POLLPRI, 0}, {m_Stop, POLLIN, 0}};
        if (::poll(waits, 3, wait) < 0) {
            if (errno == EINTR) continue;  // a signal: Stopped() says whether it asks to stop
            throw CUHostError("cannot wait for folders: " + SystemReason(errno), CUFailureKind::kSetup);
        }
        if (waits[2].revents) return std::nullopt;  // RequestStop
        if (waits[0].revents & POLLIN) ReadFolderNotifications();
        if (waits[1].revents & (POLLPRI | POLLERR)) ReadMounts();
    }
}

void CUFolderWatch::ReadFolderNotifications() {
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_Notify, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return;
        if (got < 0)
            throw CUHostError("cannot read folder notifications: " + SystemReason(errno),
                              CUFailureKind::kSetup);
        if (got == 0) return;
        const size_t size = static_cast<size_t>(got);
        for (size_t at = 0; at + sizeof(inotify_event) <= size;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.len > size - at - sizeof event) break;  // the kernel never cuts one in two
            const std::string name = event.len ? std::string(buffer + at + sizeof event) : std::string();
            at += sizeof event + event.len;

            if (event.mask & IN_Q_OVERFLOW) {
                Rescan();
                continue;
            }
            const auto watched = m_Watched.find(event.wd);
            if (watched == m_Watched.end()) continue;  // a watch already ended
            const Watched folder = watched->second;
            const std::string path = name.empty() ? folder.path : folder.path + "/" + name;
            const bool isFolder = (event.mask & IN_ISDIR) != 0;
            if (folder.owner.empty()) {
                if (event.mask & IN_UNMOUNT)
                    LoseParent(event.wd, "its file system was unmounted");
                else if (event.mask & IN_DELETE_SELF)
                    LoseParent(event.wd, "it was removed");
                else if (event.mask & IN_MOVE_SELF)
                    LoseParent(event.wd, "it was renamed or moved");
                else if (event.mask & IN_IGNORED)
                    LoseParent(event.wd, "the system no longer watches it");
                else if (isFolder && (event.mask & IN_CREATE))
                    Arrive(path, CUFolderWatchEvent::Kind::kCreated);
                else if (isFolder && (event.mask & IN_MOVED_TO))
                    Arrive(path, CUFolderWatchEvent::Kind::kMovedIn);
                else if (isFolder && (event.mask & (IN_DELETE | IN_MOVED_FROM)))
                    Forget(path);
                continue;
            }
            if (event.mask & IN_IGNORED) {
                m_Watched.erase(event.wd);  // the folder inside went
                continue;
            }
            const auto pending = m_Pending.find(folder.owner);
            if (pending == m_Pending.end()) continue;
            pending->second.lastChange = Clock::now();
            if (isFolder && (event.mask & (IN_CREATE | IN_MOVED_TO)))
                WatchTree(path, folder.owner, folder.depth + 1);
        }
    }
}

void CUFolderWatch::ReadMounts() {
    std::multiset<std::string> points;
    for (const CUMountEntry& mount : CUMountTable::Read()) points.insert(mount.mountPoint);
    for (auto it = points.begin(); it != points.end(); it = points.upper_bound(*it)) {
        if (points.count(*it) <= m_MountPoints.count(*it)) continue;
        for (const std::string& parent : m_Parents)
            if (CUMountTable::Holds(parent, *it)) {
                Arrive(*it, CUFolderWatchEvent::Kind::kMounted);
                break;
            }
    }
    // A mount that went before it settled is no arrival any more.
    for (auto it = m_MountPoints.begin(); it != m_MountPoints.end(); it = m_MountPoints.upper_bound(*it)) {
        if (points.count(*it) >= m_MountPoints.count(*it)) continue;
        const auto pending = m_Pending.find(*it);
        if (pending != m_Pending.end() && pending->second.kind == CUFolderWatchEvent::Kind::kMounted) {
            UnwatchTree(*it);
            m_Pending.erase(pending);
        }
    }
    m_MountPoints = std::move(points);
}

void CUFolderWatch::Rescan() {
    for (auto& [path, pending] : m_Pending) {
        pending.lastChange = Clock::now();
        pending.watchedWhole = false;
        pending.summary.reset();
    }
    for (const std::string& parent : m_Parents) {
        const std::vector<std::string> folders = FoldersIn(parent);
        for (const std::string& folder : folders)
            if (!m_Present.count(folder)) {
                m_Present.insert(folder);
                Arrive(folder, CUFolderWatchEvent::Kind::kCreated);
            }
        std::vector<std::string> gone;
        for (const std::string& present : m_Present)
            if (fs::path(present).parent_path() == parent &&
                std::find(folders.begin(), folders.end(), present) == folders.end())
                gone.push_back(present);
        for (const std::string& folder : gone) Forget(folder);
    }
}

void CUFolderWatch::Arrive(const std::string& path, CUFolderWatchEvent::Kind kind) {
    if (fs::path(path).parent_path().string() != path &&
        m_Parents.count(fs::path(path).parent_path().string()))
        m_Present.insert(path);
    const auto known = m_Pending.find(path);
    if (known != m_Pending.end()) {
        known->second.lastChange = Clock::now();
        if (kind != CUFolderWatchEvent::Kind::kMounted) return;
        // Mounted on before it settled: what is inside now is the mount's.
        UnwatchTree(path);
        m_Pending.erase(known);
    }
    Pending arrival;
    arrival.kind = kind;
    arrival.lastChange = Clock::now();
    m_Pending[path] = arrival;
    WatchTree(path, path, 0);
}

void CUFolderWatch::Forget(const std::string& path) {
    m_Present.erase(path);
    std::vector<std::string> inside;
    for (const auto& [pendingPath, pending] : m_Pending)
        if (CUMountTable::Holds(path, pendingPath)) inside.push_back(pendingPath);
    for (const std::string& pendingPath : inside) {
        UnwatchTree(pendingPath);
        m_Pending.erase(pendingPath);
    }
}

void CUFolderWatch::WatchTree(const std::string& folder, const std::string& owner, int depth) {
    Pending& pending = m_Pending.at(owner);
    if (depth > kMaxDepth || pending.watchedFolders >= kMaxFoldersWatched) {
        pending.watchedWhole = false;
        return;
    }
    const int descriptor = ::inotify_add_watch(m_Notify, folder.c_str(), kTreeEvents);
    if (descriptor < 0) {
        // A folder that went (or became a file) is a change seen; anything
        // else leaves this part unwatched.
        if (errno != ENOENT && errno != ENOTDIR) pending.watchedWhole = false;
        return;
    }
    if (!m_Watched.count(descriptor)) {
        m_Watched[descriptor] = Watched{folder, owner, depth};
        ++pending.watchedFolders;
    } else if (m_Watched[descriptor].owner != owner) {
        pending.watchedWhole = false;  // the same folder seen through another path
        return;
    }
    // Listed after the watch is set: what is made later is notified.
    for (const std::string& inside : FoldersIn(folder)) WatchTree(inside, owner, depth + 1);
}

void CUFolderWatch::UnwatchTree(const std::string& owner) {
    for (auto it = m_Watched.begin(); it != m_Watched.end();) {
        if (it->second.owner == owner) {
            ::inotify_rm_watch(m_Notify, it->first);
            it = m_Watched.erase(it);
        } else {
            ++it;
        }
    }
}

void CUFolderWatch::LoseParent(int descriptor, const std::string& reason) {
    const std::string parent = m_Watched.at(descriptor).path;
    ::inotify_rm_watch(m_Notify, descriptor);  // may have ended already
    m_Watched.erase(descriptor);
    m_Parents.erase(parent);
    Forget(parent);
    for (auto it = m_Present.begin(); it != m_Present.end();)
        it = CUMountTable::Holds(parent, *it) ? m_Present.erase(it) : std::next(it);
    m_Lost.push_back(CUFolderWatchEvent{CUFolderWatchEvent::Kind::kParentLost, parent,
                                        "no longer watching " + parent + ": " + reason});
}

std::optional<CUFolderWatchEvent> CUFolderWatch::TakeSettled() {
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<Clock::time_point, std::string>> quiet;
    for (const auto& [path, pending] : m_Pending)
        if (now - pending.lastChange >= m_Settle) quiet.emplace_back(pending.lastChange, path);
    std::sort(quiet.begin(), quiet.end());
    for (const auto& [lastChange, path] : quiet) {
        Pending& pending = m_Pending.at(path);
        if (!IsFolder(path)) {
            Forget(path);
            continue;
        }
        if (!pending.watchedWhole) {
            // Not every change is notified: settled when the tree stayed the
            // same over one more settle delay.
            const TreeSummary summary = Summarise(path);
            if (!pending.summary || !(*pending.summary == summary)) {
                pending.summary = summary;
                pending.lastChange = now;
                continue;
            }
        }
        const CUFolderWatchEvent event{pending.kind, path, {}};
        UnwatchTree(path);
        m_Pending.erase(path);
        return event;
    }
    return std::nullopt;
}

CUFolderWatch::TreeSummary CUFolderWatch::Summarise(const std::string& folder) {
    TreeSummary summary;
    std::error_code error;
    const auto options = fs::directory_options::skip_permission_denied;
    for (fs::recursive_directory_iterator it(folder, options, error), end; !error && it != end;
         it.increment(error)) {
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) != 0) continue;
        ++summary.files;
        if (S_ISREG(info.st_mode)) summary.bytes += static_cast<uint64_t>(info.st_size);
        for (const timespec& time : {info.st_mtim, info.st_ctim})
            summary.latestChange =
                std::max<int64_t>(summary.latestChange, int64_t(time.tv_sec) * 1000000000 + time.tv_nsec);
    }
    return summary;
}

}  // namespace ComVantoVantoQZ64RADPlug
