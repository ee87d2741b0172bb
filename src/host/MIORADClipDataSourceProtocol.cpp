#include "MIORADClipDataSourceProtocol.h"

namespace ComVantoVantoQZ64RADPlug {

// Defined here so the protocol's type information lives once, in the host
// library, for the host and every plug-in module alike.
MIORADClipDataSourceProtocol::~MIORADClipDataSourceProtocol() = default;

}  // namespace ComVantoVantoQZ64RADPlug
