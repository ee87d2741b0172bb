#include "CUArray.h"

#include "CUSortDescriptor.h"
#include "CUStringMac.h"

#include <algorithm>

namespace ComVantoVantoQZ64RADPlug {

CUArray::CUArray() = default;

CUArray::CUArray(const CUSharedPtr<CUArray>& other) {
    if (other) m_Array = other->m_Array;
}

CUArray::CUArray(const CUArray& other) : CUObject(other), m_Array(other.m_Array) {}

CUArray::~CUArray() = default;

CUSharedPtr<CUArray> CUArray::Create() {
    return CUSharedPtr<CUArray>(new CUArray());
}

size_t CUArray::Count() const {
    return m_Array.size();
}

CUSharedPtr<CUObject> CUArray::ObjectAtIndex(size_t index) const {
    if (index >= m_Array.size()) return nullptr;
    return m_Array[index];
}

CUSharedPtr<CUObject> CUArray::LastObject() const {
    if (m_Array.empty()) return nullptr;
    return m_Array.back();
}

CUSharedPtr<CUArray> CUArray::SortedArrayUsingDescriptor(
    const CUSharedPtr<CUSortDescriptor>& descriptor) const {
    if (!descriptor) return nullptr;
    CUSharedPtr<CUArray> sorted(new CUArray(*this));
    // A plain copy of the descriptor still calls the caller's CompareObject.
    const CUSortDescriptor less(*descriptor);
    std::stable_sort(sorted->m_Array.begin(), sorted->m_Array.end(), less);
    return sorted;
}

CUSharedPtr<CUStringMac> CUArray::Description() const {
    std::string text = "{";
    text += CU_NEWLINE_CHAR;
    for (const auto& element : m_Array) {
        text += "\t";
        if (element) {
            CUSharedPtr<CUStringMac> d = element->Description();
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
