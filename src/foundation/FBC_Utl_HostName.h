#pragma once
// The name of this machine as the system gives it (gethostname). Keeps no
// state; may be called from any thread.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// "localhost" when the system cannot tell.
std::string FBC_Utl_HostName();

}  // namespace ComVantoVantoQZ64RADPlug
