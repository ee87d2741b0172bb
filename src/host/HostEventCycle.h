#pragma once
// One turn of the host's event loop, standing in for its autorelease pool:
// objects handed to Defer() stay alive until the innermost open cycle of the
// calling thread ends. A host opens a cycle around each event it handles
// (the command line, around each command step). Without an open cycle the
// object is released at once. Cycles nest; each belongs to its thread.
#include <memory>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class HostEventCycle {
public:
    HostEventCycle();
    ~HostEventCycle();
    HostEventCycle(const HostEventCycle&) = delete;
    HostEventCycle& operator=(const HostEventCycle&) = delete;

    static void Defer(std::shared_ptr<void> object);

private:
    HostEventCycle* m_outer;
    std::vector<std::shared_ptr<void>> m_deferred;
};

}  // namespace ComVantoVantoQZ64RADPlug
