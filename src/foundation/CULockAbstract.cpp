#include "CULockAbstract.h"

namespace ComVantoVantoQZ64RADPlug {

CULockAbstract::~CULockAbstract() = default;
void CULockAbstract::Lock() {}
void CULockAbstract::Unlock() {}

}  // namespace ComVantoVantoQZ64RADPlug
