#include "CUObject.h"

#include "CUStringMac.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <typeinfo>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// The one mutex guarding every retain count of the process. A function-local
// static is created exactly once even when the first objects are built on
// several threads at once.
std::mutex& g_MutexHandle() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

CUObject::CUObject() {
    (void)g_MutexHandle();
}
CUObject::CUObject(const CUObject&) : m_RetainCount(0) {}
CUObject::~CUObject() = default;

CUObject& CUObject::operator=(const CUObject&) {
    return *this;
}

void CUObject::Retain() const {
    std::lock_guard<std::mutex> lock(g_MutexHandle());
    ++m_RetainCount;
}

void CUObject::Release() const {
    bool last;
    {
        std::lock_guard<std::mutex> lock(g_MutexHandle());
        last = --m_RetainCount <= 0;
    }
    if (last) delete this;
}

int32_t CUObject::RetainCount() const {
    std::lock_guard<std::mutex> lock(g_MutexHandle());
    return m_RetainCount;
}

CUSharedPtr<CUStringMac> CUObject::Description() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    const char* name = status == 0 && demangled ? demangled : mangled;
    char text[512];
    std::snprintf(text, sizeof text, "%s(0x%p)", name, static_cast<const void*>(this));
    std::free(demangled);
    return CUStringMac::Create(text);
}

}  // namespace ComVantoVantoQZ64RADPlug
