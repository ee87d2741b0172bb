#pragma once
// Which file system holds a path, told so that two paths on one drive are
// known as one volume wherever it is mounted: the file system's UUID and
// label where the platform gives them (udev's /dev/disk/by-uuid and
// /dev/disk/by-label names, else the superblock read with libblkid when the
// device may be read), else its device number and mount point. A plain
// value; Of() reads /proc/self/mountinfo and may be called from any thread.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

struct CUVolumeIdentity {
    std::string uuid;        // empty when the file system has none or it cannot be read
    std::string label;       // empty when it has none
    std::string fsType;      // "ext4", "exfat", "tmpfs", ...
    std::string source;      // what is mounted: "/dev/sdb1", "tmpfs", "server:/export"
    std::string device;      // the device number of the mount, "8:17"
    std::string mountPoint;  // where it is mounted now, "/media/dit/SHUTTLE1"
    // Where the path given to Of() lies below mountPoint, '/'-separated
    // without a leading '/' ("" for the mount point itself).
    std::string pathOnVolume;

    // The same for every path of one file system: "uuid:<uuid>", else
    // "device:<device> on <mountPoint>".
    std::string Key() const;

    // The volume of `path` (an existing file or folder, symbolic links
    // resolved). Throws CUError (kCUErrEmptyOrNotOpen) when the path does
    // not exist or no mount holds it.
    static CUVolumeIdentity Of(const std::string& path);
};

}  // namespace ComVantoVantoQZ64RADPlug
