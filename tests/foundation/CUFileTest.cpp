#include "CUArray.h"
#include "CUDirectory.h"
#include "CUDirectoryInfo.h"
#include "CUFile.h"
#include "CUFileInfo.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"
#include "TestFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;
namespace fs = std::filesystem;

namespace {

using qztest::ReadText;
using qztest::WriteText;

std::set<std::string> Paths(const CUSharedPtr<CUArray>& items) {
    std::set<std::string> out;
    for (const CUSharedPtr<CUObject>& item : items->GetInternalArray()) {
        CUSharedPtr<CUFileSysytemInfo> info = item;
        if (info) out.insert(info->GetFullName()->Utf8());
    }
    return out;
}

class CUFileTest : public ScratchTest {};

}  // namespace

TEST_F(CUFileTest, ExistsDistinguishesFilesAndFolders) {
    WriteText(Path("f"), "x");
    EXPECT_TRUE(CUFile::Exists(S(Path("f"))));
    EXPECT_FALSE(CUFile::Exists(S(m_Dir)));
    EXPECT_FALSE(CUFile::Exists(S(Path("none"))));
    EXPECT_TRUE(CUDirectory::Exists(S(m_Dir)));
    EXPECT_FALSE(CUDirectory::Exists(S(Path("f"))));
    EXPECT_FALSE(CUFile::Exists(CUSharedPtr<CUStringMac>()));
    EXPECT_FALSE(CUDirectory::Exists(static_cast<const CUStringMac*>(nullptr)));
    EXPECT_FALSE(CUFile::Exists(S("")));
    EXPECT_EQ(CUFileInfo(S(Path("f"))).Length(), 1u);
    EXPECT_EQ(CUFileInfo(S(Path("none"))).Length(), 0u);
    EXPECT_EQ(CUFileInfo(S(m_Dir)).Length(), 0u);
    EXPECT_EQ(ThrownBy([] { CUFileInfo info(CUSharedPtr<CUStringMac>{}); }), 2u);
}

TEST_F(CUFileTest, DeleteFile) {
    WriteText(Path("f"), "x");
    CUFile::Delete(S(Path("f")));
    EXPECT_FALSE(fs::exists(Path("f")));
    EXPECT_EQ(ThrownBy([&] { CUFile::Delete(S(Path("f"))); }), 0u);  // missing: no error
    EXPECT_EQ(ThrownBy([&] { CUFile::Delete(S(m_Dir)); }), 7u);
    ASSERT_EQ(::mkdir(Path("ro").c_str(), 0777), 0);
    WriteText(Path("ro/f"), "x");
    ASSERT_EQ(::chmod(Path("ro").c_str(), 0555), 0);
    if (::geteuid() != 0) {  // root may delete anyway
        EXPECT_EQ(ThrownBy([&] { CUFile::Delete(S(Path("ro/f"))); }), 8u);
    }
    ::chmod(Path("ro").c_str(), 0777);
}

TEST_F(CUFileTest, RenameInPlace) {
    WriteText(Path("old"), "data");
    CUFileInfo info(S(Path("old")));
    EXPECT_EQ(ThrownBy([&] { info.Rename(CUSharedPtr<CUStringMac>()); }), 2u);
    EXPECT_EQ(ThrownBy([&] { info.Rename(S("")); }), 1u);
    info.Rename(S("new"));
    EXPECT_EQ(info.GetFullName()->Utf8(), Path("new"));
    EXPECT_EQ(ReadText(Path("new")), "data");
    EXPECT_FALSE(fs::exists(Path("old")));

    // An existing entry of that name is never replaced; separators cannot
    // move the entry elsewhere.
    WriteText(Path("other"), "keep");
    EXPECT_EQ(ThrownBy([&] { info.Rename(S("other")); }), 4u);
    EXPECT_EQ(ReadText(Path("other")), "keep");
    EXPECT_EQ(ThrownBy([&] { info.Rename(S("../escaped")); }), 4u);
    EXPECT_EQ(ThrownBy([&] { info.Rename(S("..")); }), 4u);
    EXPECT_EQ(ThrownBy([&] { CUFile::Rename(S(Path("missing")), S("x")); }), 4u);

    ASSERT_EQ(::mkdir(Path("folder").c_str(), 0777), 0);
    CUDirectory::Rename(S(Path("folder/")), S("renamed"));
    EXPECT_TRUE(fs::is_directory(Path("renamed")));
}

TEST_F(CUFileTest, CreateDirectoryWalksUpToTheNearestExistingFolder) {
    ASSERT_EQ(::mkdir(Path("a").c_str(), 0777), 0);
    CUDirectoryInfo info(S(Path("a/b/c")));
    info.Create();
    EXPECT_TRUE(fs::is_directory(Path("a/b")));
    EXPECT_TRUE(fs::is_directory(Path("a/b/c")));
    info.Create();  // already there: nothing happens
    CUDirectory::CreateDirectory(S(Path("x/y/z/")));
    EXPECT_TRUE(fs::is_directory(Path("x/y/z")));

    // A file in the way.
    WriteText(Path("file"), "x");
    EXPECT_EQ(ThrownBy([&] { CUDirectory::CreateDirectory(S(Path("file/sub"))); }), 4u);
}

TEST_F(CUFileTest, CreateDirectoryEndsForEmptyAndRelativePaths) {
    // The parent of "" is "" again and a relative path runs out of parents:
    // both must fail instead of walking forever.
    EXPECT_EQ(ThrownBy([] { CUDirectory::CreateDirectory(S("")); }), 4u);
    const InFolder here(m_Dir);
    EXPECT_EQ(ThrownBy([] { CUDirectory::CreateDirectory(S("nosuch/deeper/folder")); }), 4u);
    EXPECT_FALSE(fs::is_directory("nosuch"));
    ASSERT_EQ(::mkdir("rel", 0777), 0);
    CUDirectory::CreateDirectory(S("rel/one/two"));
    EXPECT_TRUE(fs::is_directory("rel/one/two"));
}

TEST_F(CUFileTest, DeleteFolders) {
    EXPECT_EQ(ThrownBy([&] { CUDirectory::Delete(S(Path("none"))); }), 3u);
    ASSERT_EQ(::mkdir(Path("full").c_str(), 0777), 0);
    WriteText(Path("full/f"), "x");
    EXPECT_EQ(ThrownBy([&] { CUDirectory::Delete(S(Path("full"))); }), 4u);
    EXPECT_EQ(ThrownBy([&] { CUDirectory::Delete(S(Path("full")), false); }), 4u);
    ASSERT_EQ(::mkdir(Path("empty").c_str(), 0777), 0);
    CUDirectory::Delete(S(Path("empty")));
    EXPECT_FALSE(fs::exists(Path("empty")));

    // Recursive delete removes the tree but not what a link inside points to.
    ASSERT_EQ(::mkdir(Path("outside").c_str(), 0777), 0);
    WriteText(Path("outside/precious"), "keep");
    ASSERT_EQ(::mkdir(Path("full/sub").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(Path("full/sub/deeper").c_str(), 0777), 0);
    WriteText(Path("full/sub/deeper/.hidden"), "x");
    ASSERT_EQ(::symlink(Path("outside").c_str(), Path("full/sub/link").c_str()), 0);
    CUDirectory::Delete(S(Path("full")), true);
    EXPECT_FALSE(fs::exists(Path("full")));
    EXPECT_EQ(ReadText(Path("outside/precious")), "keep");
    EXPECT_EQ(ThrownBy([&] { CUDirectory::Delete(S(Path("full")), true); }), 3u);
}

TEST_F(CUFileTest, ListingFilesAndFolders) {
    WriteText(Path("one"), "1");
    WriteText(Path(".hidden"), "2");
    ASSERT_EQ(::mkdir(Path("sub").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(Path(".subhidden").c_str(), 0777), 0);
    EXPECT_EQ(Paths(CUDirectory::GetFiles(S(m_Dir))), (std::set<std::string>{Path("one"), Path(".hidden")}));
    EXPECT_EQ(Paths(CUDirectory::GetDirectories(S(Path("")))),
              (std::set<std::string>{Path("sub"), Path(".subhidden")}));
    EXPECT_EQ(ThrownBy([&] { CUDirectory::GetFiles(S(Path("one"))); }), 4u);
    EXPECT_EQ(ThrownBy([&] { CUDirectory::GetFiles(S(Path("none"))); }), 4u);
}

TEST_F(CUFileTest, CopyAndMoveWithProgress) {
    std::string data((1 << 20) + 4096, 'q');  // two blocks of the copy loop
    data[12345] = 'z';
    WriteText(Path("src"), data);
    uint64_t lastDone = 0;
    _CUFileProgress progress{[&](uint64_t done, uint64_t total) {
        EXPECT_GE(done, lastDone);
        EXPECT_EQ(total, data.size());
        lastDone = done;
        return true;
    }};
    CUFile::CopyWithProgress(S(Path("src")), S(Path("copy")), false, &progress);
    EXPECT_EQ(ReadText(Path("copy")), data);
    EXPECT_EQ(lastDone, data.size());

    // No silent overwrite, never onto itself, and a cancelled copy leaves no partial file.
    WriteText(Path("taken"), "keep");
    EXPECT_EQ(ThrownBy([&] { CUFile::CopyWithProgress(S(Path("src")), S(Path("taken")), false, nullptr); }),
              4u);
    EXPECT_EQ(ReadText(Path("taken")), "keep");
    EXPECT_EQ(ThrownBy([&] { CUFile::CopyWithProgress(S(Path("src")), S(Path("src")), true, nullptr); }), 4u);
    EXPECT_EQ(ReadText(Path("src")), data);
    _CUFileProgress cancel{[](uint64_t, uint64_t) { return false; }};
    EXPECT_EQ(ThrownBy([&] { CUFile::CopyWithProgress(S(Path("src")), S(Path("partial")), false, &cancel); }),
              4u);
    EXPECT_FALSE(fs::exists(Path("partial")));

    CUFileInfo moving(S(Path("copy")));
    moving.MoveWithProgress(S(Path("moved")), false, nullptr);
    EXPECT_FALSE(fs::exists(Path("copy")));
    EXPECT_EQ(moving.GetFullName()->Utf8(), Path("moved"));
    EXPECT_EQ(ThrownBy([&] { CUFile::MoveWithProgress(S(Path("moved")), S(Path("taken")), false, nullptr); }),
              4u);
    EXPECT_TRUE(fs::exists(Path("moved")));
}
