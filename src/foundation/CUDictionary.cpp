#include "CUDictionary.h"

#include "CUMutableArray.h"

namespace ComVantoVantoQZ64RADPlug {

CUDictionary::CUDictionary() = default;

CUDictionary::CUDictionary(const CUSharedPtr<CUDictionary>& other) {
    if (other) m_Map = other->m_Map;
}

CUDictionary::CUDictionary(const CUDictionary& other) : CUObject(other), m_Map(other.m_Map) {}

CUDictionary::~CUDictionary() = default;

CUSharedPtr<CUDictionary> CUDictionary::Create() {
    return CUSharedPtr<CUDictionary>(new CUDictionary());
}

size_t CUDictionary::Count() const {
    return m_Map.size();
}

CUSharedPtr<CUObject> CUDictionary::ObjectForKey(const CUSharedPtr<CUStringMac>& key) const {
    if (!key || key->IsNull()) return nullptr;
    auto it = m_Map.find(*key);
    return it == m_Map.end() ? CUSharedPtr<CUObject>() : it->second;
}

CUSharedPtr<CUArray> CUDictionary::AllKeys() const {
    CUSharedPtr<CUMutableArray> keys = CUMutableArray::Create();
    for (const auto& entry : m_Map) keys->AddObject(CUSharedPtr<CUObject>(new CUStringMac(entry.first)));
    return keys;
}

CUSharedPtr<CUStringMac> CUDictionary::Description() const {
    std::string text = "{";
    text += CU_NEWLINE_CHAR;
    for (const auto& [key, value] : m_Map) {
        text += "\tKey:";
        text += key.Utf8();
        text += ",\tVal:";
        if (value) {
            CUSharedPtr<CUStringMac> d = value->Description();
            text += d ? d->Utf8() : std::string();
        } else {
            text += "<NULL>";
        }
        text += CU_NEWLINE_CHAR;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
