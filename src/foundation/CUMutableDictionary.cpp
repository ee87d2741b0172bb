#include "CUMutableDictionary.h"

namespace ComVantoVantoQZ64RADPlug {

CUMutableDictionary::CUMutableDictionary() = default;
CUMutableDictionary::CUMutableDictionary(const CUSharedPtr<CUDictionary>& other) : CUDictionary(other) {}
CUMutableDictionary::CUMutableDictionary(const CUMutableDictionary& other)
    : CUObject(other), CUDictionary(other) {}
CUMutableDictionary::~CUMutableDictionary() = default;

CUSharedPtr<CUMutableDictionary> CUMutableDictionary::Create() {
    return CUSharedPtr<CUMutableDictionary>(new CUMutableDictionary());
}

void CUMutableDictionary::SetObjectForKey(const CUSharedPtr<CUObject>& object,
                                          const CUSharedPtr<CUStringMac>& key) {
    // A null string has no place in the key order (it compares false both
    // ways with everything), so it is refused like a null key.
    if (!key || key->IsNull()) return;
    m_Map.insert_or_assign(CUStringMac(*key), object);
}

void CUMutableDictionary::RemoveObjectForKey(const CUSharedPtr<CUStringMac>& key) {
    if (!key || key->IsNull()) return;
    m_Map.erase(*key);
}

void CUMutableDictionary::RemoveAllObjects() {
    m_Map.clear();
}

}  // namespace ComVantoVantoQZ64RADPlug
