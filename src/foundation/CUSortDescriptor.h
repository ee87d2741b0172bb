#pragma once
// Comparator object for the stable sorts of CUArray. Subclasses override
// CompareObject. A copy keeps pointing at its source's comparator, so the
// by-value copy the sorts make still calls the caller's (subclass) override;
// the source must outlive the copy.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUSortDescriptor : public CUObject {
public:
    CUSortDescriptor();
    explicit CUSortDescriptor(bool ascending);
    CUSortDescriptor(const CUSortDescriptor& other);
    CUSortDescriptor& operator=(const CUSortDescriptor& other);
    ~CUSortDescriptor() override;

    // Positive when a ranks before b in ascending order, negative when after,
    // 0 when equal. The base class ranks everything equal.
    virtual int32_t CompareObject(CUSharedPtr<CUObject> a, CUSharedPtr<CUObject> b);

    bool Ascending() const { return m_Ascending; }
    void SetAscending(bool ascending) { m_Ascending = ascending; }

    // "Less" of the stable sorts: ascending, CompareObject > 0; descending,
    // CompareObject < 0.
    bool operator()(const CUSharedPtr<CUObject>& a, const CUSharedPtr<CUObject>& b) const;

private:
    bool m_Ascending = true;
    CUSortDescriptor* m_Comparator;
};

}  // namespace ComVantoVantoQZ64RADPlug
