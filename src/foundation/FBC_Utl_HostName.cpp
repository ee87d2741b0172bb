#include "FBC_Utl_HostName.h"

#include <unistd.h>

#include <climits>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

}  // namespace ComVantoVantoQZ64RADPlug
