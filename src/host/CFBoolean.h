#pragma once
// The two boolean constants; there are no other boolean objects.
#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

class CFBoolean final : public CFType {
public:
    constexpr explicit CFBoolean(bool value) : CFType(kConstant), m_value(value) {}
    CFTypeID TypeID() const override { return kCFBooleanTypeID; }
    bool Value() const { return m_value; }

private:
    bool m_value;
};

using CFBooleanRef = const CFBoolean*;

extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

Boolean CFBooleanGetValue(CFBooleanRef boolean);

}  // namespace ComVantoVantoQZ64RADPlug
