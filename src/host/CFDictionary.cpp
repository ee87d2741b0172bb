#include "CFDictionary.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {0};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0};

CFDictionary::~CFDictionary() {
    RemoveAll();
}

bool CFDictionary::Equals(const CFType& other) const {
    const auto& b = static_cast<const CFDictionary&>(other);
    if (m_entries.size() != b.m_entries.size()) return false;
    for (const Entry& entry : m_entries)
        if (!CFEqual(entry.second, b.Find(entry.first))) return false;
    return true;
}

CFTypeRef CFDictionary::Find(CFTypeRef key) const {
    for (const Entry& entry : m_entries)
        if (CFEqual(entry.first, key)) return entry.second;
    return nullptr;
}

bool CFDictionary::Set(CFTypeRef key, CFTypeRef value, bool replace) {
    if (!key || !value) return false;
    for (Entry& entry : m_entries) {
        if (!CFEqual(entry.first, key)) continue;
        if (!replace) return false;
        CFRetain(value);  // before the release: the value may be the old one
        CFRelease(entry.second);
        entry.second = value;
        return true;
    }
    try {
        m_entries.emplace_back(key, value);
    } catch (const std::bad_alloc&) {
        return false;
    }
    CFRetain(key);
    CFRetain(value);
    return true;
}

void CFDictionary::Remove(CFTypeRef key) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (!CFEqual(it->first, key)) continue;
        const Entry entry = *it;
        m_entries.erase(it);
        CFRelease(entry.first);
        CFRelease(entry.second);
        return;
    }
}

void CFDictionary::RemoveAll() {
    std::vector<Entry> entries;
    entries.swap(m_entries);
    for (const Entry& entry : entries) {
        CFRelease(entry.first);
        CFRelease(entry.second);
    }
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const CFTypeRef* keys, const CFTypeRef* values,
                                   CFIndex count, const CFDictionaryKeyCallBacks*,
                                   const CFDictionaryValueCallBacks*) {
    if (count < 0 || (count > 0 && (!keys || !values))) return nullptr;
    auto* dictionary = new (std::nothrow) CFDictionary(false);
    if (!dictionary) return nullptr;
    for (CFIndex i = 0; i < count; ++i) {
        if (!dictionary->Set(keys[i], values[i], true)) {
            CFRelease(dictionary);
            return nullptr;
        }
    }
    return dictionary;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef, CFDictionaryRef dictionary) {
    if (!dictionary) return nullptr;
    auto* copy = new (std::nothrow) CFDictionary(false);
    if (!copy) return nullptr;
    for (const auto& entry : dictionary->Entries()) {
        if (!copy->Set(entry.first, entry.second, true)) {
            CFRelease(copy);
            return nullptr;
        }
    }
    return copy;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks*,
                                                 const CFDictionaryValueCallBacks*) {
    if (capacity < 0) return nullptr;
    return new (std::nothrow) CFDictionary(true);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex capacity,
                                                     CFDictionaryRef dictionary) {
    if (capacity < 0) return nullptr;
    auto* copy = new (std::nothrow) CFDictionary(true);
    if (!copy || !dictionary) return copy;
    for (const auto& entry : dictionary->Entries()) {
        if (!copy->Set(entry.first, entry.second, true)) {
            CFRelease(copy);
            return nullptr;
        }
    }
    return copy;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary) {
    return dictionary ? static_cast<CFIndex>(dictionary->Entries().size()) : 0;
}

CFTypeRef CFDictionaryGetValue(CFDictionaryRef dictionary, CFTypeRef key) {
    return dictionary ? dictionary->Find(key) : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef dictionary, CFTypeRef key, CFTypeRef* value) {
    CFTypeRef found = CFDictionaryGetValue(dictionary, key);
    if (found && value) *value = found;
    return found != nullptr;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef dictionary, CFTypeRef key) {
    return CFDictionaryGetValue(dictionary, key) != nullptr;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef dictionary, CFTypeRef* keys, CFTypeRef* values) {
    if (!dictionary) return;
    size_t i = 0;
    for (const auto& entry : dictionary->Entries()) {
        if (keys) keys[i] = entry.first;
        if (values) values[i] = entry.second;
        ++i;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef dictionary, CFDictionaryApplierFunction applier,
                               void* context) {
    if (!dictionary || !applier) return;
    // A retained copy of the entries: the applier may change this
    // dictionary when it is mutable.
    const std::vector<CFDictionary::Entry> entries = dictionary->Entries();
    for (const auto& entry : entries) CFRetain(entry.first), CFRetain(entry.second);
    for (const auto& entry : entries) applier(entry.first, entry.second, context);
    for (const auto& entry : entries) CFRelease(entry.first), CFRelease(entry.second);
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, CFTypeRef key, CFTypeRef value) {
    if (dictionary && dictionary->IsMutable()) dictionary->Set(key, value, true);
}

void CFDictionaryAddValue(CFMutableDictionaryRef dictionary, CFTypeRef key, CFTypeRef value) {
    if (dictionary && dictionary->IsMutable()) dictionary->Set(key, value, false);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef dictionary, CFTypeRef key) {
    if (dictionary && dictionary->IsMutable()) dictionary->Remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef dictionary) {
    if (dictionary && dictionary->IsMutable()) dictionary->RemoveAll();
}

CFMutableDictionaryRef CFDictionaryAsMutable(CFDictionaryRef dictionary) {
    return dictionary && dictionary->IsMutable() ? const_cast<CFMutableDictionaryRef>(dictionary) : nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
