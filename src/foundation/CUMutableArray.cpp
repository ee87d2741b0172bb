#include "CUMutableArray.h"

#include "CUSortDescriptor.h"

#include <algorithm>

namespace ComVantoVantoQZ64RADPlug {

CUMutableArray::CUMutableArray() = default;
CUMutableArray::CUMutableArray(const CUSharedPtr<CUArray>& other) : CUArray(other) {}
CUMutableArray::CUMutableArray(const CUMutableArray& other) : CUObject(other), CUArray(other) {}
CUMutableArray::~CUMutableArray() = default;

CUSharedPtr<CUMutableArray> CUMutableArray::Create() {
    return CUSharedPtr<CUMutableArray>(new CUMutableArray());
}

void CUMutableArray::AddObject(const CUSharedPtr<CUObject>& object) {
    m_Array.push_back(object);
}

void CUMutableArray::InsertObjectAtIndex(const CUSharedPtr<CUObject>& object, size_t index) {
    if (index > m_Array.size()) return;
    m_Array.insert(m_Array.begin() + static_cast<std::ptrdiff_t>(index), object);
}

void CUMutableArray::RemoveObjectAtIndex(size_t index) {
    if (index >= m_Array.size()) return;
    m_Array.erase(m_Array.begin() + static_cast<std::ptrdiff_t>(index));
}

void CUMutableArray::RemoveObject(const CUSharedPtr<CUObject>& object) {
    if (!object) return;
    const CUObject* target = object.get();
    // Hold the object while its elements go: the array may own the last count.
    CUSharedPtr<CUObject> keep = object;
    std::erase_if(m_Array, [target](const CUSharedPtr<CUObject>& e) { return e.get() == target; });
}

void CUMutableArray::RemoveAllObjects() {
    m_Array.clear();
}

void CUMutableArray::AddObjectsFromArray(const CUSharedPtr<CUArray>& array) {
    if (!array) return;
    // Copy first: array may be this array.
    const InternalArray items = array->GetInternalArray();
    m_Array.insert(m_Array.end(), items.begin(), items.end());
}

void CUMutableArray::SetArray(const CUSharedPtr<CUArray>& array) {
    // Copy first: array may be this array.
    InternalArray items;
    if (array) items = array->GetInternalArray();
    m_Array = std::move(items);
}

void CUMutableArray::SortUsingDescriptor(const CUSharedPtr<CUSortDescriptor>& descriptor) {
    if (!descriptor) return;
    const CUSortDescriptor less(*descriptor);
    std::stable_sort(m_Array.begin(), m_Array.end(), less);
}

}  // namespace ComVantoVantoQZ64RADPlug
