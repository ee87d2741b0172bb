#pragma once
// The volume that holds a path: its root folder, kind, sizes and label.
// Immutable after construction; may be read from several threads.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

enum : int32_t {
    kCUDriveTypeOptical = 0,        // CD, DVD or Blu-ray
    kCUDriveTypeFixed = 1,          // any other block device
    kCUDriveTypeNoBlockDevice = 2,  // network, tmpfs, overlay, ...
    kCUDriveTypeRamDisk = 4,
    kCUDriveTypeRemovable = 5,  // removable or ejectable medium (USB, SD card)
    kCUDriveTypeUnknown = 6,    // not determined
};

class CUDriveInfo : public virtual CUObject {
public:
    // Throws 2 for a null path, 1 when the volume cannot be determined
    // (including an empty path, or a missing relative path none of whose
    // ancestors exists).
    explicit CUDriveInfo(const CUSharedPtr<CUStringMac>& path);
    explicit CUDriveInfo(const CUStringMac& path);
    ~CUDriveInfo() override;

    // Null when the drive cannot be determined.
    static CUSharedPtr<CUDriveInfo> CreateCUDriveInfo(const CUSharedPtr<CUStringMac>& path);
    static CUSharedPtr<CUDriveInfo> CreateCUDriveInfo(const CUStringMac& path);

    // "%s(0x%p) = " with the class name and address, then the root path.
    CUSharedPtr<CUStringMac> Description() const override;
    // The volume label (GetVolumeLabel()).
    virtual CUSharedPtr<CUStringMac> GetDisplayString() const;

    int32_t GetDriveType() const;
    // A copy of the root path.
    CUSharedPtr<CUStringMac> GetName() const;
    bool IsSysytemDrive() const;
    // The root is among the currently mounted volumes.
    bool IsReady() const;
    // Bytes; 0 when the platform cannot tell.
    uint64_t GetTotalSize() const;
    uint64_t GetTotalFreeSize() const;
    // The last component of the mount point ("/" for the root); null when
    // it cannot be told.
    CUSharedPtr<CUStringMac> GetVolumeLabel() const;

    // Drive type of the block device major:minor as seen under a sysfs tree
    // rooted at `sysRoot` (normally "/sys"); 2 when there is no such device.
    static int32_t DriveTypeFromSysfs(const std::string& sysRoot, uint32_t major, uint32_t minor);

private:
    void Init(const CUStringMac& path);

    CUStringMac m_Path;
    CUStringMac m_RootPath;
    int32_t m_DriveType = kCUDriveTypeUnknown;
};

}  // namespace ComVantoVantoQZ64RADPlug
