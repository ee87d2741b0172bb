#pragma once
// The host's notification center: observers register for a name and are
// called, on the posting thread, for every notification of that name.
// Thread safe; observers may post or remove themselves from their callback.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class HostNotificationCenter {
public:
    using Observer = std::function<void(const std::string& name)>;
    using Token = uint64_t;

    Token addObserver(const std::string& name, Observer observer);
    void removeObserver(Token token);
    void postNotification(const std::string& name);

private:
    struct Entry {
        Token token;
        std::string name;
        Observer observer;
    };
    std::mutex m_lock;
    std::vector<Entry> m_entries;  // guarded by m_lock
    Token m_nextToken = 1;         // guarded by m_lock
};

}  // namespace ComVantoVantoQZ64RADPlug
