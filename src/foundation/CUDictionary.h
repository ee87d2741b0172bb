#pragma once
// Map from string keys (stored by value, copies of the caller's keys) to
// shared objects, ordered by CUStringMac::operator< (locale-aware,
// case-sensitive collation). Not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstddef>
#include <map>

namespace ComVantoVantoQZ64RADPlug {

class CUArray;

// Strict order of dictionary keys (CUStringMac::operator<).
struct CUStringMacLess {
    bool operator()(const CUStringMac& a, const CUStringMac& b) const { return a < b; }
};

class CUDictionary : public virtual CUObject {
public:
    using InternalMap = std::map<CUStringMac, CUSharedPtr<CUObject>, CUStringMacLess>;

    CUDictionary();
    // Shallow copy of all entries; a null pointer gives an empty dictionary.
    explicit CUDictionary(const CUSharedPtr<CUDictionary>& other);
    CUDictionary(const CUDictionary& other);
    ~CUDictionary() override;

    static CUSharedPtr<CUDictionary> Create();

    virtual size_t Count() const;
    // Null pointer when the key is null (or a null string) or absent.
    virtual CUSharedPtr<CUObject> ObjectForKey(const CUSharedPtr<CUStringMac>& key) const;
    // A new array of fresh copies of the keys, in key order.
    virtual CUSharedPtr<CUArray> AllKeys() const;
    const InternalMap& GetInternalMap() const { return m_Map; }

    // "{\n", then "\tKey:<key>,\tVal:<value>\n" per entry ("<NULL>" for a
    // null value), then "}".
    CUSharedPtr<CUStringMac> Description() const override;

protected:
    InternalMap m_Map;
};

}  // namespace ComVantoVantoQZ64RADPlug
