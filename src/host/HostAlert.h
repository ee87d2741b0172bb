#pragma once
// Modal alerts a plug-in shows the user. The host application installs the
// presenter (a window, or the command line's stderr); without one, alerts
// are dropped. Thread safe.
#include <functional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class HostAlert {
public:
    // title, message; the alert has the default button only.
    using Presenter = std::function<void(const std::string& title, const std::string& message)>;

    static void SetPresenter(Presenter presenter);
    // Shows the alert and returns once the user dismissed it.
    static void RunModal(const std::string& title, const std::string& message);
};

}  // namespace ComVantoVantoQZ64RADPlug
