#include "CUDriveInfo.h"

#include "CUFailure.h"
#include "CUMountTable.h"
#include "CUStream.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

[[noreturn]] void Fail(uint32_t code, const char* what, const std::string& path = std::string()) {
    throw CUError(CUFailure(code, what, path));
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::string();
    std::string out(resolved);
    std::free(resolved);
    return out;
}

// Folders whose missing children are taken as the roots of volumes that are
// not mounted (yet): /Volumes, /mnt, /media/<user> and /run/media/<user>.
bool IsVolumesFolder(const std::string& folder) {
    if (folder == "/Volumes" || folder == "/mnt") return true;
    for (const char* base : {"/media/", "/run/media/"}) {
        const std::string prefix(base);
        if (StartsWith(folder, base) && folder.size() > prefix.size() &&
            folder.find('/', prefix.size()) == std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

CUDriveInfo::CUDriveInfo(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) Fail(kCUErrNullArgument, "drive information without a path");
    Init(*path);
}

CUDriveInfo::CUDriveInfo(const CUStringMac& path) {
    if (path.IsNull()) Fail(kCUErrNullArgument, "drive information without a path");
    Init(path);
}

CUDriveInfo::~CUDriveInfo() = default;

CUSharedPtr<CUDriveInfo> CUDriveInfo::CreateCUDriveInfo(const CUSharedPtr<CUStringMac>& path) {
    try {
        return CUSharedPtr<CUDriveInfo>(new CUDriveInfo(path));
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CUSharedPtr<CUDriveInfo> CUDriveInfo::CreateCUDriveInfo(const CUStringMac& path) {
    try {
        return CUSharedPtr<CUDriveInfo>(new CUDriveInfo(path));
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void CUDriveInfo::Init(const CUStringMac& path) {
    m_Path = path;
    // Walk up until something exists. Each step must shorten the path, so
    // the walk ends: an empty path, a relative path that runs out of parents
    // or a parent step that makes no progress fails.
    CUStringMac current = path;
    for (;;) {
        if (current.Length() == 0) Fail(kCUErrEmptyOrNotOpen, "volume of the path cannot be found");
        struct stat st {};
        if (::stat(current.Utf8().c_str(), &st) == 0) break;
        CUStringMac parent;
        if (current.PathRemoveLastComponent(parent) != 0 || parent.Length() >= current.Length() ||
            parent == current)
            Fail(kCUErrEmptyOrNotOpen, "volume of the path cannot be found");
        if (IsVolumesFolder(parent.Utf8())) {
            // A volume that is not mounted: its root is the path itself.
            m_RootPath = current;
            m_DriveType = kCUDriveTypeUnknown;
            return;
        }
        current = parent;
    }

    const std::string resolved = RealPath(current.Utf8());
    if (resolved.empty()) Fail(kCUErrEmptyOrNotOpen, "volume of the path cannot be found");
    const std::vector<CUMountEntry> mounts = CUMountTable::Read();
    const CUMountEntry* best = CUMountTable::Holding(mounts, resolved);
    if (!best) Fail(kCUErrEmptyOrNotOpen, "volume of the path cannot be found");
    m_RootPath = CUStringMac(best->mountPoint.c_str());
    if (m_RootPath.IsNull()) Fail(kCUErrEmptyOrNotOpen, "volume of the path cannot be found");

    uint32_t major = best->major;
    uint32_t minor = best->minor;
    // Some file systems (btrfs) report an anonymous device number; the
    // mount source then names the block device.
    struct stat dev {};
    if (major == 0 && StartsWith(best->source, "/dev/") && ::stat(best->source.c_str(), &dev) == 0 &&
        S_ISBLK(dev.st_mode)) {
        major = ::major(dev.st_rdev);
        minor = ::minor(dev.st_rdev);
    }
    m_DriveType = DriveTypeFromSysfs("/sys", major, minor);
}

int32_t CUDriveInfo::DriveTypeFromSysfs(const std::string& sysRoot, uint32_t major, uint32_t minor) {
    if (major == 0) return kCUDriveTypeNoBlockDevice;
    const std::string root = RealPath(sysRoot);
    const std::string device =
        RealPath(sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor));
    if (root.empty() || device.empty()) return kCUDriveTypeNoBlockDevice;
    // A partition's properties are those of the disk holding it.
    std::string disk = device;
    if (::access((device + "/partition").c_str(), F_OK) == 0) disk = device.substr(0, device.rfind('/'));
    const std::string name = disk.substr(disk.rfind('/') + 1);
    const std::string where = StartsWith(disk, root.c_str()) ? disk.substr(root.size()) : disk;

    if (StartsWith(name, "sr") || ReadFirstLine(disk + "/device/type") == "5") return kCUDriveTypeOptical;
    if (StartsWith(name, "ram") || StartsWith(name, "zram") || StartsWith(name, "brd"))
        return kCUDriveTypeRamDisk;
    if (ReadFirstLine(disk + "/removable") == "1" || where.find("/usb") != std::string::npos ||
        ReadFirstLine(disk + "/device/type") == "SD")
        return kCUDriveTypeRemovable;
    return kCUDriveTypeFixed;
}

CUSharedPtr<CUStringMac> CUDriveInfo::Description() const {
    CUSharedPtr<CUStringMac> base = CUObject::Description();
    std::string text = base ? base->Utf8() : std::string();
    text += " = ";
    text += m_RootPath.Utf8();
    return CUStringMac::Create(text.c_str());
}

CUSharedPtr<CUStringMac> CUDriveInfo::GetDisplayString() const {
    return GetVolumeLabel();
}

int32_t CUDriveInfo::GetDriveType() const {
    return m_DriveType;
}

CUSharedPtr<CUStringMac> CUDriveInfo::GetName() const {
    return CUSharedPtr<CUStringMac>(new CUStringMac(m_RootPath));
}

bool CUDriveInfo::IsSysytemDrive() const {
    return m_RootPath.Utf8() == "/";
}

bool CUDriveInfo::IsReady() const {
    const std::string root = m_RootPath.Utf8();
    if (root.empty()) return false;
    for (const CUMountEntry& mount : CUMountTable::Read())
        if (mount.mountPoint == root) return true;
    return false;
}

uint64_t CUDriveInfo::GetTotalSize() const {
    struct statvfs vfs {};
    if (m_RootPath.Length() == 0 || ::statvfs(m_RootPath.Utf8().c_str(), &vfs) != 0) return 0;
    return static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
}

uint64_t CUDriveInfo::GetTotalFreeSize() const {
    struct statvfs vfs {};
    if (m_RootPath.Length() == 0 || ::statvfs(m_RootPath.Utf8().c_str(), &vfs) != 0) return 0;
    return static_cast<uint64_t>(vfs.f_bfree) * vfs.f_frsize;
}

CUSharedPtr<CUStringMac> CUDriveInfo::GetVolumeLabel() const {
    if (m_RootPath.Length() == 0) return nullptr;
    CUSharedPtr<CUStringMac> label(new CUStringMac());
    if (m_RootPath.PathGetLastComponent(*label) != 0 || label->Length() == 0) return nullptr;
    return label;
}

}  // namespace ComVantoVantoQZ64RADPlug
