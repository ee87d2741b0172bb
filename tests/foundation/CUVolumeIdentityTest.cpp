// Volume identity against findmnt (util-linux, which asks udev and reads
// superblocks through libblkid) on this machine's own file systems, and on
// file systems the test mounts itself when it runs as root: two tmpfs
// (no UUID: told apart by device and mount point) and an ext4 image with a
// UUID and a label given to mkfs.
#include "CUVolumeIdentity.h"

#include <gtest/gtest.h>

#include "ExternalTool.h"
#include "FoundationTestSupport.h"
#include "MountedFolder.h"
#include "TestFiles.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

struct Findmnt {
    std::string target, fsType, uuid, label;
};

Findmnt FindmntOf(const std::string& path) {
    const qztest::CommandResult run =
        qztest::RunCommand("findmnt -n -P -o TARGET,FSTYPE,UUID,LABEL -T " + qztest::ShellQuote(path));
    Findmnt found;
    for (const auto& [key, field] : {std::pair<std::string, std::string*>{"TARGET=\"", &found.target},
                                     {"FSTYPE=\"", &found.fsType},
                                     {"UUID=\"", &found.uuid},
                                     {"LABEL=\"", &found.label}}) {
        const size_t at = run.output.find(key);
        if (at != std::string::npos) {
            const size_t start = at + key.size();
            *field = run.output.substr(start, run.output.find('"', start) - start);
        }
    }
    return found;
}

void ExpectAsFindmnt(const std::string& path) {
    SCOPED_TRACE(path);
    const CUVolumeIdentity volume = CUVolumeIdentity::Of(path);
    const Findmnt peer = FindmntOf(path);
    EXPECT_EQ(volume.mountPoint, peer.target);
    EXPECT_EQ(volume.fsType, peer.fsType);
    EXPECT_EQ(volume.uuid, peer.uuid);
    EXPECT_EQ(volume.label, peer.label);
}

TEST(CUVolumeIdentityTest, AgreesWithFindmntOnThisMachine) {
    QZ_REQUIRE_TOOL("findmnt");
    const qztest::ScratchFolder scratch("volume");
    for (const std::string& path :
         {std::string("/"), scratch.Path(), std::string("/dev/shm"), std::string("/proc")})
        if (std::filesystem::exists(path)) ExpectAsFindmnt(path);
}

TEST(CUVolumeIdentityTest, EveryPathOfOneFileSystemIsOneVolume) {
    const qztest::ScratchFolder scratch("volume");
    std::filesystem::create_directories(scratch.Path() + "/a/b");
    ASSERT_TRUE(qztest::WriteFile(scratch.Path() + "/a/b/file", {1}));
    const CUVolumeIdentity folder = CUVolumeIdentity::Of(scratch.Path());
    const CUVolumeIdentity file = CUVolumeIdentity::Of(scratch.Path() + "/a/b/file");
    EXPECT_EQ(folder.Key(), file.Key());
    EXPECT_EQ(file.pathOnVolume, folder.pathOnVolume + (folder.pathOnVolume.empty() ? "" : "/") + "a/b/file");
    EXPECT_EQ(CUVolumeIdentity::Of("/").pathOnVolume, "");
    EXPECT_THROW(CUVolumeIdentity::Of(scratch.Path() + "/missing"), CUError);
}

TEST(CUVolumeIdentityTest, FileSystemsMountedHereAreVolumesOfTheirOwn) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    const qztest::ScratchFolder scratch("volume");
    const qztest::MountedFolder first(scratch.Path() + "/first", "tmpfs", "tmpfs", "size=1m");
    const qztest::MountedFolder second(scratch.Path() + "/second", "tmpfs", "tmpfs", "size=1m");
    if (!first.ok || !second.ok) GTEST_SKIP() << "cannot mount tmpfs here";
    std::filesystem::create_directories(first.path + "/x/y");
    const CUVolumeIdentity a = CUVolumeIdentity::Of(first.path + "/x/y");
    const CUVolumeIdentity b = CUVolumeIdentity::Of(second.path);
    EXPECT_NE(a.Key(), b.Key());
    EXPECT_EQ(a.Key(), "device:" + a.device + " on " + first.path);
    EXPECT_EQ(a.pathOnVolume, "x/y");
    EXPECT_EQ(a.fsType, "tmpfs");
    EXPECT_TRUE(a.uuid.empty());

    if (!qztest::HasTool("mkfs.ext4")) return;
    const std::string image = scratch.Path() + "/ext4.img";
    ASSERT_EQ(
        qztest::RunCommand("truncate -s 8M " + qztest::ShellQuote(image) +
                           " && mkfs.ext4 -q -F -U 0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0 -L 'SHUTTLE 1' " +
                           qztest::ShellQuote(image) + " 2>&1")
            .exitCode,
        0);
    const qztest::MountedFolder drive(scratch.Path() + "/drive", "ext4", image, "loop");
    if (!drive.ok) GTEST_SKIP() << "cannot mount a loop device here";
    const CUVolumeIdentity shuttle = CUVolumeIdentity::Of(drive.path);
    EXPECT_EQ(shuttle.uuid, "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0");
    EXPECT_EQ(shuttle.label, "SHUTTLE 1");
    EXPECT_EQ(shuttle.Key(), "uuid:0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0");
    if (qztest::HasTool("findmnt")) ExpectAsFindmnt(drive.path);
}

}  // namespace
