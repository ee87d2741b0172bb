#include "CUSortDescriptor.h"

namespace ComVantoVantoQZ64RADPlug {

CUSortDescriptor::CUSortDescriptor() : m_Comparator(this) {}
CUSortDescriptor::CUSortDescriptor(bool ascending) : m_Ascending(ascending), m_Comparator(this) {}
CUSortDescriptor::CUSortDescriptor(const CUSortDescriptor& other)
    : CUObject(other), m_Ascending(other.m_Ascending), m_Comparator(other.m_Comparator) {}

CUSortDescriptor& CUSortDescriptor::operator=(const CUSortDescriptor& other) {
    m_Ascending = other.m_Ascending;
    m_Comparator = other.m_Comparator;
    return *this;
}

CUSortDescriptor::~CUSortDescriptor() = default;

int32_t CUSortDescriptor::CompareObject(CUSharedPtr<CUObject>, CUSharedPtr<CUObject>) {
    return 0;
}

bool CUSortDescriptor::operator()(const CUSharedPtr<CUObject>& a, const CUSharedPtr<CUObject>& b) const {
    const int32_t r = m_Comparator->CompareObject(a, b);
    return m_Ascending ? r > 0 : r < 0;
}

}  // namespace ComVantoVantoQZ64RADPlug
