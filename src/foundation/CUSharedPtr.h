#pragma once
// Intrusive shared pointer over CUObject. Holding a non-null pointer means
// holding one count on the object; the last release deletes it.
#include "CUObject.h"

#include <cstddef>
#include <type_traits>

namespace ComVantoVantoQZ64RADPlug {

template <class T>
class CUSharedPtr {
public:
    CUSharedPtr() = default;
    CUSharedPtr(std::nullptr_t) {}
    // Takes a count on a raw pointer: `CUSharedPtr<X>(new X)` leaves count 1.
    explicit CUSharedPtr(T* ptr) : m_Ptr(ptr) {
        if (m_Ptr) Retain(m_Ptr);
    }
    CUSharedPtr(const CUSharedPtr& other) : m_Ptr(other.m_Ptr) {
        if (m_Ptr) Retain(m_Ptr);
    }
    // Up-casts (for example to CUSharedPtr<CUObject>) retain as a copy does.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    CUSharedPtr(const CUSharedPtr<U>& other) : m_Ptr(other.get()) {
        if (m_Ptr) Retain(m_Ptr);
    }
    // A move takes over the count the source held and leaves it null, so
    // handing a pointer on (into a container, a member, a return value)
    // costs no retain and no release.
    CUSharedPtr(CUSharedPtr&& other) noexcept : m_Ptr(other.m_Ptr) { other.m_Ptr = nullptr; }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    CUSharedPtr(CUSharedPtr<U>&& other) noexcept : m_Ptr(other.m_Ptr) {
        other.m_Ptr = nullptr;
    }
    virtual ~CUSharedPtr() { Reset(); }

    // Retains the new object before releasing the old one, so
    // self-assignment keeps the object alive.
    CUSharedPtr& operator=(const CUSharedPtr& other) {
        T* incoming = other.m_Ptr;
        if (incoming) Retain(incoming);
        T* old = m_Ptr;
        m_Ptr = incoming;
        if (old) SafeRelease(old);
        return *this;
    }
    // The old object is released after the source was taken over and
    // cleared, so releasing it may destroy the source's owner.
    CUSharedPtr& operator=(CUSharedPtr&& other) noexcept {
        if (this == &other) return *this;
        T* old = m_Ptr;
        m_Ptr = other.m_Ptr;
        other.m_Ptr = nullptr;
        if (old) SafeRelease(old);
        return *this;
    }
    CUSharedPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Checked down-cast: a pointer holding one more count when the object is
    // a U, a null pointer otherwise.
    template <class U, class = std::enable_if_t<!std::is_convertible_v<T*, U*>>>
    operator CUSharedPtr<U>() const {
        return CUSharedPtr<U>(dynamic_cast<U*>(m_Ptr));
    }

    T* operator->() const { return m_Ptr; }
    T& operator*() const { return *m_Ptr; }
    T* get() const { return m_Ptr; }
    bool IsNull() const { return m_Ptr == nullptr; }
    explicit operator bool() const { return m_Ptr != nullptr; }

    void Reset() {
        T* old = m_Ptr;
        m_Ptr = nullptr;
        if (old) SafeRelease(old);
    }

private:
    template <class U>
    friend class CUSharedPtr;

    static void Retain(T* p) { static_cast<const CUObject*>(p)->Retain(); }
    // An exception raised while releasing is swallowed: releasing runs in
    // destructors and assignments, which must not throw, and a destructor
    // has no caller to tell.
    static void SafeRelease(T* p) {
        try {
            static_cast<const CUObject*>(p)->Release();
        } catch (...) {
        }
    }

    T* m_Ptr = nullptr;
};

template <class T, class U>
bool operator==(const CUSharedPtr<T>& a, const CUSharedPtr<U>& b) {
    return static_cast<const void*>(a.get()) == static_cast<const void*>(b.get());
}
template <class T>
bool operator==(const CUSharedPtr<T>& a, std::nullptr_t) {
    return a.get() == nullptr;
}

// Explicit down-cast helper for places where the conversion operator would
// be ambiguous.
template <class U, class T>
CUSharedPtr<U> CUDynamicCast(const CUSharedPtr<T>& p) {
    return CUSharedPtr<U>(dynamic_cast<U*>(p.get()));
}

}  // namespace ComVantoVantoQZ64RADPlug
