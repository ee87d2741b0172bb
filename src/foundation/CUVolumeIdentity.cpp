#include "CUVolumeIdentity.h"

#include "CUFailure.h"
#include "CUMountTable.h"
#include "CUStream.h"

#include <blkid.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <cstdlib>
#include <memory>

namespace ComVantoVantoQZ64RADPlug {

namespace {

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// udev writes unsafe bytes of a label as \xNN.
std::string UnescapeUdevName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// The name of the entry of a /dev/disk/by-* folder that is the block device
// `rdev`; empty when none is (or the folder does not exist: no udev).
std::string UdevNameOf(const char* folder, dev_t rdev) {
    struct Closer {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, Closer> dir(::opendir(folder));
    if (!dir) return std::string();
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::stat((std::string(folder) + "/" + name).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
            st.st_rdev == rdev)
            return UnescapeUdevName(name);
    }
    return std::string();
}

// UUID and label from the superblock; nothing when the device cannot be read.
void ProbeSuperblock(const std::string& node, CUVolumeIdentity& volume) {
    blkid_probe probe = ::blkid_new_probe_from_filename(node.c_str());
    if (!probe) return;
    ::blkid_probe_enable_superblocks(probe, 1);
    ::blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (::blkid_do_safeprobe(probe) == 0) {
        const char* value = nullptr;
        if (::blkid_probe_lookup_value(probe, "UUID", &value, nullptr) == 0 && value) volume.uuid = value;
        if (volume.label.empty() && ::blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value)
            volume.label = value;
    }
    ::blkid_free_probe(probe);
}

}  // namespace

std::string CUVolumeIdentity::Key() const {
    if (!uuid.empty()) return "uuid:" + uuid;
    return "device:" + device + " on " + mountPoint;
}

CUVolumeIdentity CUVolumeIdentity::Of(const std::string& path) {
    const std::string resolved = RealPath(path);
    struct stat st {};
    if (resolved.empty() || ::stat(resolved.c_str(), &st) != 0)
        throw CUError(CUFailure(kCUErrEmptyOrNotOpen, "the path does not exist", path));
    const std::vector<CUMountEntry> mounts = CUMountTable::Read();
    // The mount of the path's own device; a bind mount or an overlay may
    // show another device than its files give, so the longest mount point
    // holding the path answers when none matches.
    const CUMountEntry* mount = nullptr;
    for (const CUMountEntry& entry : mounts)
        if (entry.major == ::major(st.st_dev) && entry.minor == ::minor(st.st_dev) &&
            CUMountTable::Holds(entry.mountPoint, resolved) &&
            (!mount || entry.mountPoint.size() >= mount->mountPoint.size()))
            mount = &entry;
    if (!mount) mount = CUMountTable::Holding(mounts, resolved);
    if (!mount) throw CUError(CUFailure(kCUErrEmptyOrNotOpen, "no mount holds the path", path));

    CUVolumeIdentity volume;
    volume.fsType = mount->fsType;
    volume.source = mount->source;
    volume.device = std::to_string(mount->major) + ":" + std::to_string(mount->minor);
    volume.mountPoint = mount->mountPoint;
    volume.pathOnVolume = resolved.size() > mount->mountPoint.size() && mount->mountPoint != "/"
                              ? resolved.substr(mount->mountPoint.size() + 1)
                          : mount->mountPoint == "/" ? resolved.substr(1)
                                                     : std::string();

    // The block device: the mount's own device number, or for file systems
    // that give their files an anonymous one (btrfs) the device the mount
    // source names.
    std::string node;
    dev_t rdev = 0;
    struct stat source {};
    if (volume.source.rfind("/dev/", 0) == 0 && ::stat(volume.source.c_str(), &source) == 0 &&
        S_ISBLK(source.st_mode)) {
        node = volume.source;
        rdev = source.st_rdev;
    } else if (mount->major != 0) {
        rdev = ::makedev(mount->major, mount->minor);
    }
    if (rdev == 0) return volume;
    volume.uuid = UdevNameOf("/dev/disk/by-uuid", rdev);
    volume.label = UdevNameOf("/dev/disk/by-label", rdev);
    if (volume.uuid.empty() && !node.empty()) ProbeSuperblock(node, volume);
    return volume;
}

}  // namespace ComVantoVantoQZ64RADPlug
