#pragma once
// CUArray with the mutating operations. Not synchronised.
#include "CUArray.h"

namespace ComVantoVantoQZ64RADPlug {

class CUMutableArray : public CUArray {
public:
    CUMutableArray();
    // Shallow copy; a null pointer gives an empty array.
    explicit CUMutableArray(const CUSharedPtr<CUArray>& other);
    CUMutableArray(const CUMutableArray& other);
    ~CUMutableArray() override;

    static CUSharedPtr<CUMutableArray> Create();

    // Appends, null pointers included.
    virtual void AddObject(const CUSharedPtr<CUObject>& object);
    // Inserts before index; index == Count() appends, a larger one does nothing.
    virtual void InsertObjectAtIndex(const CUSharedPtr<CUObject>& object, size_t index);
    // Does nothing when index >= Count().
    virtual void RemoveObjectAtIndex(size_t index);
    // Removes every element pointing to the same object (identity); a null
    // argument does nothing.
    virtual void RemoveObject(const CUSharedPtr<CUObject>& object);
    virtual void RemoveAllObjects();
    // Appends each element in order; a null array does nothing.
    virtual void AddObjectsFromArray(const CUSharedPtr<CUArray>& array);
    // Removes all, then appends those of array.
    virtual void SetArray(const CUSharedPtr<CUArray>& array);
    // Stable sort in place; a null descriptor does nothing.
    virtual void SortUsingDescriptor(const CUSharedPtr<CUSortDescriptor>& descriptor);
};

}  // namespace ComVantoVantoQZ64RADPlug
