#include "CFArray.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

const CFArrayCallBacks kCFTypeArrayCallBacks = {0};

CFArray::~CFArray() {
    for (CFTypeRef value : m_values) CFRelease(value);
}

bool CFArray::Equals(const CFType& other) const {
    const auto& b = static_cast<const CFArray&>(other);
    if (m_values.size() != b.m_values.size()) return false;
    for (size_t i = 0; i < m_values.size(); ++i)
        if (!CFEqual(m_values[i], b.m_values[i])) return false;
    return true;
}

bool CFArray::Append(CFTypeRef value) {
    if (!value) return false;
    try {
        m_values.push_back(value);
    } catch (const std::bad_alloc&) {
        return false;
    }
    CFRetain(value);
    return true;
}

CFArrayRef CFArrayCreate(CFAllocatorRef, const CFTypeRef* values, CFIndex count, const CFArrayCallBacks*) {
    if (count < 0 || (count > 0 && !values)) return nullptr;
    auto* array = new (std::nothrow) CFArray(false);
    if (!array) return nullptr;
    for (CFIndex i = 0; i < count; ++i) {
        if (!array->Append(values[i])) {
            CFRelease(array);
            return nullptr;
        }
    }
    return array;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity, const CFArrayCallBacks*) {
    if (capacity < 0) return nullptr;
    return new (std::nothrow) CFArray(true);
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef array) {
    if (!array) return nullptr;
    return CFArrayCreate(allocator, array->Values().data(), static_cast<CFIndex>(array->Values().size()),
                         &kCFTypeArrayCallBacks);
}

CFIndex CFArrayGetCount(CFArrayRef array) {
    return array ? static_cast<CFIndex>(array->Values().size()) : 0;
}

CFTypeRef CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index) {
    if (!array || index < 0 || index >= CFArrayGetCount(array)) return nullptr;
    return array->Values()[static_cast<size_t>(index)];
}

void CFArrayAppendValue(CFMutableArrayRef array, CFTypeRef value) {
    if (array && array->IsMutable()) array->Append(value);
}

CFMutableArrayRef CFArrayAsMutable(CFArrayRef array) {
    return array && array->IsMutable() ? const_cast<CFMutableArrayRef>(array) : nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
