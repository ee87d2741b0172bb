#pragma once
// A map from objects to objects (keys compared with CFEqual), keys and
// values retained while held, in insertion order. Created immutable, or
// mutable by the CreateMutable functions. A mutable dictionary is not
// guarded: one writer at a time, and no readers while it writes.
#include <utility>
#include <vector>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

// The key and value callbacks are always those of objects; the records
// exist so calls read as they do on the host.
struct CFDictionaryKeyCallBacks {
    CFIndex version;
};
struct CFDictionaryValueCallBacks {
    CFIndex version;
};
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

class CFDictionary final : public CFType {
public:
    using Entry = std::pair<CFTypeRef, CFTypeRef>;  // key, value; both retained

    explicit CFDictionary(bool isMutable) : m_mutable(isMutable) {}
    ~CFDictionary() override;

    CFTypeID TypeID() const override { return kCFDictionaryTypeID; }
    bool Equals(const CFType& other) const override;

    bool IsMutable() const { return m_mutable; }
    const std::vector<Entry>& Entries() const { return m_entries; }
    CFTypeRef Find(CFTypeRef key) const;
    // Adds or replaces; false for a null key or value, or when memory is short.
    bool Set(CFTypeRef key, CFTypeRef value, bool replace);
    void Remove(CFTypeRef key);
    void RemoveAll();

private:
    bool m_mutable;
    std::vector<Entry> m_entries;
};

using CFDictionaryRef = const CFDictionary*;
using CFMutableDictionaryRef = CFDictionary*;
using CFDictionaryApplierFunction = void (*)(CFTypeRef key, CFTypeRef value, void* context);

// Null for a negative count, a null key or value, or when memory is short;
// a key given twice keeps its last value.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const CFTypeRef* keys, const CFTypeRef* values,
                                   CFIndex count, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef dictionary);
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef dictionary);
CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);
// Not retained for the caller; null when absent.
CFTypeRef CFDictionaryGetValue(CFDictionaryRef dictionary, CFTypeRef key);
Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef dictionary, CFTypeRef key, CFTypeRef* value);
Boolean CFDictionaryContainsKey(CFDictionaryRef dictionary, CFTypeRef key);
// Fills `keys` and `values` (either may be null) with count entries each.
void CFDictionaryGetKeysAndValues(CFDictionaryRef dictionary, CFTypeRef* keys, CFTypeRef* values);
void CFDictionaryApplyFunction(CFDictionaryRef dictionary, CFDictionaryApplierFunction applier,
                               void* context);
// The mutators ignore an immutable dictionary. Set adds or replaces, Add
// only adds.
void CFDictionarySetValue(CFMutableDictionaryRef dictionary, CFTypeRef key, CFTypeRef value);
void CFDictionaryAddValue(CFMutableDictionaryRef dictionary, CFTypeRef key, CFTypeRef value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef dictionary, CFTypeRef key);
void CFDictionaryRemoveAllValues(CFMutableDictionaryRef dictionary);
// The dictionary as mutable when it was made mutable, else null.
CFMutableDictionaryRef CFDictionaryAsMutable(CFDictionaryRef dictionary);

}  // namespace ComVantoVantoQZ64RADPlug
