#include "CUDriveInfo.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"
#include "TestFiles.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

// First line printed by a shell command; empty when it fails.
std::string RunShell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char line[4096];
        if (std::fgets(line, sizeof line, p)) out = line;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    return out;
}

class CUDriveInfoTest : public ScratchTest {
protected:
    // The folder with every link resolved, as the mount table names it.
    const std::string m_Real = std::filesystem::canonical(m_Dir).string();
};

}  // namespace

TEST_F(CUDriveInfoTest, TemporaryFolderMatchesFindmntAndDf) {
    CUSharedPtr<CUDriveInfo> drive = CUDriveInfo::CreateCUDriveInfo(S(m_Dir));
    ASSERT_TRUE(drive);
    const std::string root = drive->GetName()->Utf8();
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(m_Real.compare(0, root.size(), root), 0) << root;
    EXPECT_TRUE(drive->IsReady());
    EXPECT_NE(drive->GetDriveType(), kCUDriveTypeUnknown);
    EXPECT_GT(drive->GetTotalSize(), 0u);
    EXPECT_LE(drive->GetTotalFreeSize(), drive->GetTotalSize());
    EXPECT_EQ(drive->IsSysytemDrive(), root == "/");

    // Independent tools.
    const std::string target = RunShell("findmnt -n -o TARGET --target '" + m_Real + "'");
    if (!target.empty()) {
        EXPECT_EQ(root, target);
    }
    const std::string source = RunShell("findmnt -n -o SOURCE --target '" + m_Real + "'");
    if (!source.empty() && source.rfind("/dev/", 0) != 0) {
        EXPECT_EQ(drive->GetDriveType(), kCUDriveTypeNoBlockDevice) << source;
    }
    const std::string size = RunShell("df -B1 --output=size '" + root + "' | tail -1");
    if (!size.empty()) {
        EXPECT_EQ(drive->GetTotalSize(), std::stoull(size));
    }

    // A missing path below the folder belongs to the same volume.
    CUSharedPtr<CUDriveInfo> below = CUDriveInfo::CreateCUDriveInfo(S(Path("no/such/file")));
    ASSERT_TRUE(below);
    EXPECT_EQ(below->GetName()->Utf8(), root);
    EXPECT_EQ(below->GetDriveType(), drive->GetDriveType());
}

TEST_F(CUDriveInfoTest, FileSystemsWithoutBlockDevice) {
    CUSharedPtr<CUDriveInfo> proc = CUDriveInfo::CreateCUDriveInfo(S("/proc/self"));
    ASSERT_TRUE(proc);
    EXPECT_EQ(proc->GetName()->Utf8(), "/proc");
    EXPECT_EQ(proc->GetDriveType(), kCUDriveTypeNoBlockDevice);
    CUSharedPtr<CUDriveInfo> root = CUDriveInfo::CreateCUDriveInfo(S("/"));
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->IsSysytemDrive());
}

TEST_F(CUDriveInfoTest, EmptyAndRelativePathsFailInsteadOfHanging) {
    EXPECT_FALSE(CUDriveInfo::CreateCUDriveInfo(S("")));
    EXPECT_FALSE(CUDriveInfo::CreateCUDriveInfo(CUSharedPtr<CUStringMac>()));
    EXPECT_FALSE(CUDriveInfo::CreateCUDriveInfo(CUStringMac::Null()));
    EXPECT_EQ(ThrownBy([] { CUDriveInfo bad(CUSharedPtr<CUStringMac>{}); }), 2u);
    EXPECT_EQ(ThrownBy([] { CUDriveInfo bad(S("")); }), 1u);
    const InFolder here(m_Dir);
    EXPECT_FALSE(CUDriveInfo::CreateCUDriveInfo(S("nosuch")));
    EXPECT_FALSE(CUDriveInfo::CreateCUDriveInfo(S("nosuch/deeper/")));
    ASSERT_EQ(::mkdir("here", 0777), 0);
    CUSharedPtr<CUDriveInfo> relative = CUDriveInfo::CreateCUDriveInfo(S("here/missing"));
    EXPECT_TRUE(relative);
    EXPECT_TRUE(CUDriveInfo::CreateCUDriveInfo(S(".")));
}

TEST_F(CUDriveInfoTest, MissingVolumesUnderMountFolders) {
    for (const char* path : {"/Volumes/QZCARD_MISSING", "/mnt/qzcard_missing_card", "/media/someone/QZCARD",
                             "/run/media/someone/QZCARD"}) {
        CUSharedPtr<CUDriveInfo> drive = CUDriveInfo::CreateCUDriveInfo(S(path));
        ASSERT_TRUE(drive) << path;
        EXPECT_EQ(drive->GetName()->Utf8(), path);
        EXPECT_EQ(drive->GetDriveType(), kCUDriveTypeUnknown);
        EXPECT_FALSE(drive->IsReady());
        EXPECT_FALSE(drive->IsSysytemDrive());
    }
    // Deeper inside a missing volume, the volume's folder is the root.
    CUSharedPtr<CUDriveInfo> deep =
        CUDriveInfo::CreateCUDriveInfo(S("/Volumes/QZCARD_MISSING/CONTENTS/CLIPS001"));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->GetName()->Utf8(), "/Volumes/QZCARD_MISSING");
}

// Classification of block devices against a made-up sysfs tree.
TEST_F(CUDriveInfoTest, DriveTypeFromSysfs) {
    const std::string sys = Path("sys");
    const std::string pci = sys + "/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block";
    const std::string usb = sys + "/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block";
    const std::string mmc = sys + "/devices/platform/mmc_host/mmc0/mmc0:0001/block";
    const std::string virt = sys + "/devices/virtual/block";
    std::filesystem::create_directories(sys + "/dev/block");
    // Each disk or partition: its folder, its device number, what the kernel
    // says of it and the type it must be given.
    const struct {
        std::string folder;
        uint32_t major, minor;
        const char* removable;  // nullptr for a partition
        const char* scsiType;   // nullptr when the device has none
        int32_t type;
    } nodes[] = {
        {pci + "/sda", 8, 0, "0", "0", kCUDriveTypeFixed},
        {pci + "/sda/sda1", 8, 1, nullptr, nullptr, kCUDriveTypeFixed},
        {pci + "/sr0", 11, 0, "1", "5", kCUDriveTypeOptical},
        {pci + "/sdc", 8, 32, "0", "5", kCUDriveTypeOptical},    // optical by SCSI type
        {usb + "/sdb", 8, 16, "0", "0", kCUDriveTypeRemovable},  // USB stick that claims to be fixed
        {usb + "/sdb/sdb1", 8, 17, nullptr, nullptr, kCUDriveTypeRemovable},
        {pci + "/sdd", 8, 48, "1", "0", kCUDriveTypeRemovable},  // removable flag
        {mmc + "/mmcblk0", 179, 0, "0", "SD", kCUDriveTypeRemovable},
        {mmc + "/mmcblk0/mmcblk0p1", 179, 1, nullptr, nullptr, kCUDriveTypeRemovable},
        {mmc + "/mmcblk1", 179, 8, "0", "MMC", kCUDriveTypeFixed},  // soldered eMMC
        {virt + "/zram0", 253, 0, "0", nullptr, kCUDriveTypeRamDisk},
        {virt + "/ram0", 1, 0, "0", nullptr, kCUDriveTypeRamDisk},
    };
    for (const auto& n : nodes) {
        std::filesystem::create_directories(n.folder + (n.removable ? "/device" : ""));
        if (n.removable) {
            ASSERT_TRUE(qztest::WriteText(n.folder + "/removable", n.removable + std::string("\n")));
        } else {
            ASSERT_TRUE(qztest::WriteText(n.folder + "/partition", "1\n"));
        }
        if (n.scsiType) {
            ASSERT_TRUE(qztest::WriteText(n.folder + "/device/type", n.scsiType + std::string("\n")));
        }
        const std::string number = std::to_string(n.major) + ":" + std::to_string(n.minor);
        std::filesystem::create_directory_symlink(n.folder, sys + "/dev/block/" + number);
    }
    // Asked only once the whole tree exists: a partition is typed by its disk.
    for (const auto& n : nodes)
        EXPECT_EQ(CUDriveInfo::DriveTypeFromSysfs(sys, n.major, n.minor), n.type) << n.folder;
    // Numbers that no device has.
    EXPECT_EQ(CUDriveInfo::DriveTypeFromSysfs(sys, 0, 42), kCUDriveTypeNoBlockDevice);
    EXPECT_EQ(CUDriveInfo::DriveTypeFromSysfs(sys, 9, 9), kCUDriveTypeNoBlockDevice);
}
