#include "HostEventCycle.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {
thread_local HostEventCycle* t_innermost = nullptr;
}  // namespace

HostEventCycle::HostEventCycle() : m_outer(t_innermost) { t_innermost = this; }

HostEventCycle::~HostEventCycle() {
    t_innermost = m_outer;
    // Released after the cycle is closed: a destructor that defers again
    // hands its object to the outer cycle, not to this one.
    std::vector<std::shared_ptr<void>> deferred;
    deferred.swap(m_deferred);
    deferred.clear();
}

void HostEventCycle::Defer(std::shared_ptr<void> object) {
    if (t_innermost) t_innermost->m_deferred.push_back(std::move(object));
}

}  // namespace ComVantoVantoQZ64RADPlug
