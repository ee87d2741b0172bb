#pragma once
// The root of the host's property-list value types (strings, numbers,
// booleans, data, arrays, dictionaries, URLs, UUIDs) and of its media
// objects. Every object carries a retain count: a function whose name holds
// Create or Copy hands its result to the caller with one count; CFRetain adds
// one, CFRelease removes one and the last release deletes the object. All
// counts of the process are guarded by one mutex, so any thread may retain or
// release any object. Constants (keys, booleans) are never deleted.
#include <cstddef>
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

using Boolean = bool;
using CFIndex = long;
using CFTypeID = unsigned long;
using CFHashCode = unsigned long;
using OSStatus = int32_t;
using FourCharCode = uint32_t;

class CFAllocator;
using CFAllocatorRef = const CFAllocator*;

class CFType {
public:
    // What a constant is made with: its count never changes.
    enum Lifetime { kCounted, kConstant };

    CFType(const CFType&) = delete;
    CFType& operator=(const CFType&) = delete;

    virtual CFTypeID TypeID() const = 0;
    // Value equality within one type; the base compares identity.
    virtual bool Equals(const CFType& other) const { return this == &other; }
    virtual CFHashCode Hash() const { return reinterpret_cast<uintptr_t>(this); }

    bool IsConstant() const { return m_lifetime == kConstant; }

protected:
    constexpr explicit CFType(Lifetime lifetime = kCounted) : m_lifetime(lifetime) {}
    virtual ~CFType() = default;

private:
    friend const CFType* CFRetain(const CFType*);
    friend void CFRelease(const CFType*);
    friend CFIndex CFGetRetainCount(const CFType*);

    const Lifetime m_lifetime;
    mutable CFIndex m_retainCount = 1;  // guarded by the process-wide count mutex
};

using CFTypeRef = const CFType*;

// Type identifiers of the value types, as CFGetTypeID answers them.
enum : CFTypeID {
    kCFStringTypeID = 1,
    kCFNumberTypeID,
    kCFBooleanTypeID,
    kCFDataTypeID,
    kCFArrayTypeID,
    kCFDictionaryTypeID,
    kCFURLTypeID,
    kCFUUIDTypeID,
    kCMBlockBufferTypeID,
    kCMFormatDescriptionTypeID,
    kCMSampleBufferTypeID,
};

// Adds one count and returns the object; null stays null.
CFTypeRef CFRetain(CFTypeRef object);
// Removes one count; the last release deletes. Null is ignored.
void CFRelease(CFTypeRef object);
// The current count (constants answer a large fixed value); 0 for null.
CFIndex CFGetRetainCount(CFTypeRef object);
CFTypeID CFGetTypeID(CFTypeRef object);
// Equal when both are null, the same object, or equal values of one type.
Boolean CFEqual(CFTypeRef a, CFTypeRef b);
CFHashCode CFHash(CFTypeRef object);

// Checked down-cast: the object as T when it is one, else null.
template <class T>
const T* CFCast(CFTypeRef object) {
    return dynamic_cast<const T*>(object);
}

}  // namespace ComVantoVantoQZ64RADPlug
