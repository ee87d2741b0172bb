#pragma once
// An ordered array of objects, each retained while it is held. Created
// immutable, or mutable by CFArrayCreateMutable; arrays are equal when their
// elements are, in order. A mutable array is not guarded: one writer at a
// time, and no readers while it writes.
#include <vector>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

// The element callbacks are always those of objects (retain, release,
// equal); the record exists so calls read as they do on the host.
struct CFArrayCallBacks {
    CFIndex version;
};
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

class CFArray final : public CFType {
public:
    explicit CFArray(bool isMutable) : m_mutable(isMutable) {}
    ~CFArray() override;

    CFTypeID TypeID() const override { return kCFArrayTypeID; }
    bool Equals(const CFType& other) const override;

    bool IsMutable() const { return m_mutable; }
    const std::vector<CFTypeRef>& Values() const { return m_values; }
    // Retains `value`; null values are refused.
    bool Append(CFTypeRef value);

private:
    bool m_mutable;
    std::vector<CFTypeRef> m_values;  // each retained
};

using CFArrayRef = const CFArray*;
using CFMutableArrayRef = CFArray*;

// Null for a negative count, a null element or when memory is short.
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const CFTypeRef* values, CFIndex count,
                         const CFArrayCallBacks* callBacks);
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);
CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef array);
CFIndex CFArrayGetCount(CFArrayRef array);
// Not retained for the caller; null outside 0 ≤ index < count.
CFTypeRef CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
// Ignored for an immutable array or a null value.
void CFArrayAppendValue(CFMutableArrayRef array, CFTypeRef value);
// The array as mutable when it was made mutable, else null.
CFMutableArrayRef CFArrayAsMutable(CFArrayRef array);

}  // namespace ComVantoVantoQZ64RADPlug
