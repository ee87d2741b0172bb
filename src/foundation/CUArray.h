#pragma once
// Ordered array of shared objects; elements may be null. Each element holds
// one count on its object. Not synchronised: callers that share an array
// between threads guard it with their own lock.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstddef>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
class CUSortDescriptor;

class CUArray : public virtual CUObject {
public:
    using InternalArray = std::vector<CUSharedPtr<CUObject>>;

    CUArray();
    // Shallow copy: the same objects, each retained once more. A null
    // pointer gives an empty array.
    explicit CUArray(const CUSharedPtr<CUArray>& other);
    CUArray(const CUArray& other);
    ~CUArray() override;

    static CUSharedPtr<CUArray> Create();

    virtual size_t Count() const;
    // Null pointer when index >= Count().
    virtual CUSharedPtr<CUObject> ObjectAtIndex(size_t index) const;
    // Null pointer when the array is empty.
    virtual CUSharedPtr<CUObject> LastObject() const;
    const InternalArray& GetInternalArray() const { return m_Array; }

    // A new array with the same elements in stable sorted order; a null
    // descriptor gives a null pointer.
    CUSharedPtr<CUArray> SortedArrayUsingDescriptor(const CUSharedPtr<CUSortDescriptor>& descriptor) const;

    // "{\n", then "\t<element>\n" per element ("<NULL>" for null), then "}".
    CUSharedPtr<CUStringMac> Description() const override;

protected:
    InternalArray m_Array;
};

}  // namespace ComVantoVantoQZ64RADPlug
