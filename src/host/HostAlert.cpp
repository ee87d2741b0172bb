#include "HostAlert.h"

#include <mutex>

namespace ComVantoVantoQZ64RADPlug {

namespace {
std::mutex& PresenterLock() {
    static std::mutex lock;
    return lock;
}
HostAlert::Presenter& CurrentPresenter() {
    static HostAlert::Presenter presenter;
    return presenter;
}
}  // namespace

void HostAlert::SetPresenter(Presenter presenter) {
    std::lock_guard<std::mutex> hold(PresenterLock());
    CurrentPresenter() = std::move(presenter);
}

void HostAlert::RunModal(const std::string& title, const std::string& message) {
    Presenter presenter;
    {
        std::lock_guard<std::mutex> hold(PresenterLock());
        presenter = CurrentPresenter();
    }
    // Called without the lock: a presenter may take its time, as a modal panel does.
    if (presenter) presenter(title, message);
}

}  // namespace ComVantoVantoQZ64RADPlug
