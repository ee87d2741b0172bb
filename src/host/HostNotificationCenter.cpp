#include "HostNotificationCenter.h"

#include <algorithm>

namespace ComVantoVantoQZ64RADPlug {

HostNotificationCenter::Token HostNotificationCenter::addObserver(const std::string& name, Observer observer) {
    std::lock_guard<std::mutex> hold(m_lock);
    const Token token = m_nextToken++;
    m_entries.push_back({token, name, std::move(observer)});
    return token;
}

void HostNotificationCenter::removeObserver(Token token) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [token](const Entry& entry) { return entry.token == token; }),
                    m_entries.end());
}

void HostNotificationCenter::postNotification(const std::string& name) {
    std::vector<Observer> observers;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (const Entry& entry : m_entries)
            if (entry.name == name) observers.push_back(entry.observer);
    }
    // Called without the lock, so an observer may post or remove itself.
    for (const Observer& observer : observers) observer(name);
}

}  // namespace ComVantoVantoQZ64RADPlug
