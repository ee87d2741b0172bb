#include "CFType.h"

#include <limits>
#include <mutex>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// One mutex for every count of the process.
std::mutex& CountMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

CFTypeRef CFRetain(CFTypeRef object) {
    if (!object || object->IsConstant()) return object;
    std::lock_guard<std::mutex> guard(CountMutex());
    ++object->m_retainCount;
    return object;
}

void CFRelease(CFTypeRef object) {
    if (!object || object->IsConstant()) return;
    {
        std::lock_guard<std::mutex> guard(CountMutex());
        if (--object->m_retainCount > 0) return;
    }
    // The count reached 0: no other holder exists, so the object is deleted
    // outside the mutex (its destructor releases what it holds).
    delete object;
}

CFIndex CFGetRetainCount(CFTypeRef object) {
    if (!object) return 0;
    if (object->IsConstant()) return std::numeric_limits<CFIndex>::max();
    std::lock_guard<std::mutex> guard(CountMutex());
    return object->m_retainCount;
}

CFTypeID CFGetTypeID(CFTypeRef object) {
    return object ? object->TypeID() : 0;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    if (a == b) return true;
    if (!a || !b || a->TypeID() != b->TypeID()) return false;
    return a->Equals(*b);
}

CFHashCode CFHash(CFTypeRef object) {
    return object ? object->Hash() : 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
