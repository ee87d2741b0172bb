#include "CFBoolean.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {
const CFBoolean sTrue(true);
const CFBoolean sFalse(false);
}  // namespace

const CFBooleanRef kCFBooleanTrue = &sTrue;
const CFBooleanRef kCFBooleanFalse = &sFalse;

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    return boolean && boolean->Value();
}

}  // namespace ComVantoVantoQZ64RADPlug
