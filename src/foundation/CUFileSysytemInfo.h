#pragma once
// An object for one file-system path (base of CUFileInfo and
// CUDirectoryInfo). Holds no lock: use one object from one thread at a time.
// Failures are thrown as unsigned 32-bit values (see CUStream.h).
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>
#include <functional>

namespace ComVantoVantoQZ64RADPlug {

// Progress of CopyWithProgress / MoveWithProgress: called after each block
// with the bytes copied so far and the total; returning false cancels (the
// partial destination is removed and 4 is thrown).
struct _CUFileProgress {
    std::function<bool(uint64_t done, uint64_t total)> callback;
};

class CUFileSysytemInfo : public CUObject {
public:
    // Throws 2 for a null path.
    explicit CUFileSysytemInfo(const CUSharedPtr<CUStringMac>& path);
    explicit CUFileSysytemInfo(const CUStringMac* path);
    ~CUFileSysytemInfo() override;

    // The CUObject description followed by the path.
    CUSharedPtr<CUStringMac> Description() const override;
    // A copy of the path.
    virtual CUSharedPtr<CUStringMac> GetFullName() const;
    // Renames the entry inside its parent folder. Throws 2 for a null name,
    // 1 for an empty one, 4 when the entry is missing or the platform
    // refuses. On success the path becomes parent + "/" + newName.
    virtual void Rename(const CUSharedPtr<CUStringMac>& newName);

protected:
    CUStringMac m_FullPath;
};

}  // namespace ComVantoVantoQZ64RADPlug
