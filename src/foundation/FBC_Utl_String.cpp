#include "FBC_Utl_String.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {
bool Missing(const CUSharedPtr<CUStringMac>& s) {
    return !s || s->IsNull();
}
}  // namespace

CUSharedPtr<CUStringMac> FBC_Utl_AppendString(const CUSharedPtr<CUStringMac>& a,
                                              const CUSharedPtr<CUStringMac>& b) {
    if (Missing(a) || Missing(b)) return nullptr;
    try {
        return CUSharedPtr<CUStringMac>(new CUStringMac(*a + *b));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool FBC_Utl_IsEqualString(const CUSharedPtr<CUStringMac>& a, const CUSharedPtr<CUStringMac>& b) {
    if (Missing(a) || Missing(b)) return false;
    try {
        return a->Equals(b, kCUStringCompareExact);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

uint32_t FBC_Utl_GetEndSpaceCount(const CUSharedPtr<CUStringMac>& s) {
    if (Missing(s)) return 0;
    const std::u16string& text = s->Text();
    uint32_t count = 0;
    for (auto it = text.rbegin(); it != text.rend() && *it == u' '; ++it) ++count;
    return count;
}

CUSharedPtr<CUStringMac> FBC_Utl_DeleteEndSpace(const CUSharedPtr<CUStringMac>& s) {
    if (Missing(s)) return nullptr;
    try {
        return s->SubString(0, s->Length() - static_cast<int64_t>(FBC_Utl_GetEndSpaceCount(s)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
