#include "CUWaitHandle.h"

namespace ComVantoVantoQZ64RADPlug {

CUWaitHandle::~CUWaitHandle() = default;

}  // namespace ComVantoVantoQZ64RADPlug
