#include "CUDriveInfo.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"
#include "TestFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
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
    void SetUp() override {
        char* real = ::realpath(m_Dir.c_str(), nullptr);
        ASSERT_NE(real, nullptr);
        m_Real = real;
        std::free(real);
    }

    std::string m_Real;
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
    auto disk = [&](const std::string& parent, const std::string& name, const std::string& majmin,
                    const std::string& removable, const std::string& type) {
        std::filesystem::create_directories(parent + "/" + name + "/device");
        qztest::WriteText(parent + "/" + name + "/removable", removable + "\n");
        if (!type.empty()) qztest::WriteText(parent + "/" + name + "/device/type", type + "\n");
        std::filesystem::create_directory_symlink(parent + "/" + name, sys + "/dev/block/" + majmin);
    };
    auto partition = [&](const std::string& parent, const std::string& name, const std::string& part,
                         const std::string& majmin) {
        std::filesystem::create_directories(parent + "/" + name + "/" + part);
        qztest::WriteText(parent + "/" + name + "/" + part + "/partition", "1\n");
        std::filesystem::create_directory_symlink(parent + "/" + name + "/" + part,
                                                  sys + "/dev/block/" + majmin);
    };
    disk(pci, "sda", "8:0", "0", "0");
    partition(pci, "sda", "sda1", "8:1");
    disk(pci, "sr0", "11:0", "1", "5");
    disk(pci, "sdc", "8:32", "0", "5");  // optical by SCSI type
    disk(usb, "sdb", "8:16", "0", "0");  // USB stick that claims to be fixed
    partition(usb, "sdb", "sdb1", "8:17");
    disk(pci, "sdd", "8:48", "1", "0");  // removable flag
    disk(mmc, "mmcblk0", "179:0", "0", "SD");
    partition(mmc, "mmcblk0", "mmcblk0p1", "179:1");
    disk(mmc, "mmcblk1", "179:8", "0", "MMC");  // soldered eMMC
    disk(virt, "zram0", "253:0", "0", "");
    disk(virt, "ram0", "1:0", "0", "");

    const struct {
        uint32_t major, minor;
        int32_t type;
    } want[] = {
        {8, 0, kCUDriveTypeFixed},          {8, 1, kCUDriveTypeFixed},        {11, 0, kCUDriveTypeOptical},
        {8, 32, kCUDriveTypeOptical},       {8, 16, kCUDriveTypeRemovable},   {8, 17, kCUDriveTypeRemovable},
        {8, 48, kCUDriveTypeRemovable},     {179, 0, kCUDriveTypeRemovable},  {179, 1, kCUDriveTypeRemovable},
        {179, 8, kCUDriveTypeFixed},        {253, 0, kCUDriveTypeRamDisk},    {1, 0, kCUDriveTypeRamDisk},
        {0, 42, kCUDriveTypeNoBlockDevice}, {9, 9, kCUDriveTypeNoBlockDevice}};
    for (const auto& w : want)
        EXPECT_EQ(CUDriveInfo::DriveTypeFromSysfs(sys, w.major, w.minor), w.type)
            << w.major << ":" << w.minor;
}
