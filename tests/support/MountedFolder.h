#pragma once
// A file system mounted on a folder for one test (tmpfs, or an image
// through a loop device), unmounted when the object goes; mounting needs
// root, so `ok` tells whether it worked.
#include "ExternalTool.h"

#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace qztest {

struct MountedFolder {
    MountedFolder(const std::string& folder, const std::string& type, const std::string& source,
                  const std::string& options)
        : path(folder) {
        std::filesystem::create_directories(folder);
        ok = RunCommand("mount -t " + type + " -o " + options + " " + ShellQuote(source) + " " +
                        ShellQuote(folder) + " 2>/dev/null")
                 .exitCode == 0;
    }
    ~MountedFolder() {
        if (ok) ::umount2(path.c_str(), MNT_DETACH);
    }
    MountedFolder(const MountedFolder&) = delete;
    MountedFolder& operator=(const MountedFolder&) = delete;

    std::string path;
    bool ok = false;
};

}  // namespace qztest
