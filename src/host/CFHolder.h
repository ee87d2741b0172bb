#pragma once
// Owns one count of a host object and releases it on destruction, for
// callers and tests that want scope-bound ownership. Adopt() takes the count
// a Create or Copy function returned; Retain() adds one of its own to an
// object only borrowed. Move-only; not guarded (one owner thread at a time).
#include <utility>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

template <class Ref>
class CFHolder {
public:
    CFHolder() = default;
    static CFHolder Adopt(Ref object) { return CFHolder(object); }
    static CFHolder Retain(Ref object) {
        CFRetain(object);
        return CFHolder(object);
    }
    CFHolder(CFHolder&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    CFHolder& operator=(CFHolder&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_object, nullptr));
        return *this;
    }
    CFHolder(const CFHolder&) = delete;
    CFHolder& operator=(const CFHolder&) = delete;
    ~CFHolder() { Reset(); }

    Ref Get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // Gives the count back to the caller.
    Ref Detach() { return std::exchange(m_object, nullptr); }
    // Releases the held object and adopts `object`.
    void Reset(Ref object = nullptr) {
        Ref old = std::exchange(m_object, object);
        if (old) CFRelease(old);
    }
    // For out parameters of Create functions: releases what is held first.
    Ref* Out() {
        Reset();
        return &m_object;
    }

private:
    explicit CFHolder(Ref object) : m_object(object) {}
    Ref m_object = nullptr;
};

}  // namespace ComVantoVantoQZ64RADPlug
