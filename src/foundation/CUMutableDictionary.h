#pragma once
// CUDictionary with the mutating operations. Not synchronised.
#include "CUDictionary.h"

namespace ComVantoVantoQZ64RADPlug {

class CUMutableDictionary : public CUDictionary {
public:
    CUMutableDictionary();
    explicit CUMutableDictionary(const CUSharedPtr<CUDictionary>& other);
    CUMutableDictionary(const CUMutableDictionary& other);
    ~CUMutableDictionary() override;

    static CUSharedPtr<CUMutableDictionary> Create();

    // Stores or replaces; a null key (or a null string key) does nothing; a
    // null object is stored as a null value.
    virtual void SetObjectForKey(const CUSharedPtr<CUObject>& object, const CUSharedPtr<CUStringMac>& key);
    // A null key does nothing.
    virtual void RemoveObjectForKey(const CUSharedPtr<CUStringMac>& key);
    virtual void RemoveAllObjects();
};

}  // namespace ComVantoVantoQZ64RADPlug
