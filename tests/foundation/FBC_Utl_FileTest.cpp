// File helpers: times, whole-file reads and writes, the advisory lock as seen
// from a second process, deletion and the write test.
#include "CUDateTime.h"
#include "CUFileInfo.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "FBC_Utl_File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"
#include "TestFiles.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

constexpr int64_t kUnixToAbsolute = 978307200;

struct timespec MTime(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mtim;
}

void SetMTime(const std::string& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

using qztest::ReadText;
using qztest::WriteText;

// A second process that takes the exclusive lock on a file, reports 'L',
// runs `whileLocked` (whose result byte it reports), reports 'R' and only
// then releases the lock. Seeing 'R' already sent when a call returns shows
// that the call waited for the release.
class LockHolder {
public:
    template <class Body>
    LockHolder(const std::string& path, Body whileLocked) {
        EXPECT_EQ(::pipe(m_Pipe), 0);
        m_Pid = ::fork();
        if (m_Pid == 0) {
            ::close(m_Pipe[0]);
            const int fd = ::open(path.c_str(), O_RDWR);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(2);
            Send('L');
            // Long enough for the parent to reach its own open and lock.
            ::usleep(300 * 1000);
            Send(whileLocked(fd));
            Send('R');
            ::close(fd);
            ::_exit(0);
        }
        ::close(m_Pipe[1]);
        char c = 0;
        EXPECT_EQ(::read(m_Pipe[0], &c, 1), 1);
        EXPECT_EQ(c, 'L');
        // From here on Pending() takes only what has been sent, without waiting.
        ::fcntl(m_Pipe[0], F_SETFL, ::fcntl(m_Pipe[0], F_GETFL) | O_NONBLOCK);
    }
    ~LockHolder() {
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ::close(m_Pipe[0]);
    }
    // What the holder has sent so far.
    std::string Pending() {
        std::string out;
        char c;
        while (::read(m_Pipe[0], &c, 1) == 1) out.push_back(c);
        return out;
    }

private:
    void Send(char c) {
        if (::write(m_Pipe[1], &c, 1) != 1) ::_exit(3);
    }
    int m_Pipe[2] = {-1, -1};
    pid_t m_Pid = -1;
};

class FBC_Utl_FileTest : public ScratchTest {};

}  // namespace

TEST_F(FBC_Utl_FileTest, FileTimes) {
    const std::string file = Path("f");
    WriteText(file, "x");
    SetMTime(file, 1300000000, 999999999);
    // Whole seconds: the fraction is cut off.
    auto modified = FBC_Utl_GetFileModifyTime(S(file));
    ASSERT_FALSE(modified.IsNull());
    EXPECT_EQ(modified->GetAbsoluteTime(), 1300000000.0 - kUnixToAbsolute);

    EXPECT_TRUE(FBC_Utl_GetFileTime(S(file), static_cast<_FBC_DateTime_Type>(2)).IsNull());
    EXPECT_TRUE(FBC_Utl_GetFileTime(nullptr, kFBC_DateTime_Modify).IsNull());
    EXPECT_TRUE(FBC_Utl_GetFileTime(S(Path("missing")), kFBC_DateTime_Modify).IsNull());
    // A path with a NUL inside is refused, not cut short at the NUL.
    std::u16string withNul(file.begin(), file.end());
    withNul += std::u16string(1, u'\0') + u"x";
    EXPECT_TRUE(FBC_Utl_GetFileTime(CUSharedPtr<CUStringMac>(new CUStringMac(withNul)), kFBC_DateTime_Modify)
                    .IsNull());

    // Creation time where the file system keeps one.
    struct statx info {};
    ASSERT_EQ(::statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME, &info), 0);
    auto created = FBC_Utl_GetFileCreateTime(S(file));
    if (info.stx_mask & STATX_BTIME) {
        ASSERT_FALSE(created.IsNull());
        EXPECT_EQ(created->GetAbsoluteTime(), static_cast<double>(info.stx_btime.tv_sec - kUnixToAbsolute));
    } else {
        EXPECT_TRUE(created.IsNull());
    }

    // Setting: whole seconds, modification time only.
    auto when = CUDateTime::Create(400000000.75);
    EXPECT_EQ(FBC_Utl_SetFileModifyTime(S(file), when), 0u);
    EXPECT_EQ(MTime(file).tv_sec, 400000000 + kUnixToAbsolute);
    EXPECT_EQ(MTime(file).tv_nsec, 0);
    EXPECT_EQ(FBC_Utl_GetFileModifyTime(S(file))->GetAbsoluteTime(), 400000000.0);
    EXPECT_NE(FBC_Utl_SetFileCreateTime(S(file), when), 0u);
    EXPECT_NE(FBC_Utl_SetFileTime(S(file), when, static_cast<_FBC_DateTime_Type>(7)), 0u);
    EXPECT_EQ(FBC_Utl_SetFileModifyTime(S(file), nullptr), kResultNullArgument);
    EXPECT_EQ(FBC_Utl_SetFileModifyTime(S(Path("missing")), when), kResultFileOperationFailure);
    EXPECT_EQ(FBC_Utl_SetFileModifyTime(S(file), CUDateTime::Create(1e300)), kResultFileOperationFailure);
}

TEST_F(FBC_Utl_FileTest, ExclusiveReadAndWrite) {
    const std::string file = Path("index");
    WriteText(file, std::string("ab\0cd", 5));
    auto stream = FBC_Utl_ExclusiveFileRead(S(file));
    ASSERT_FALSE(stream.IsNull());
    EXPECT_EQ(Bytes(stream), std::string("ab\0cd", 5));

    WriteText(file, "");
    auto empty = FBC_Utl_ExclusiveFileRead(S(file));
    ASSERT_FALSE(empty.IsNull());
    EXPECT_EQ(empty->Length(), 0u);

    EXPECT_TRUE(FBC_Utl_ExclusiveFileRead(S(Path("missing"))).IsNull());
    EXPECT_TRUE(FBC_Utl_ExclusiveFileRead(S(m_Dir.string())).IsNull());
    EXPECT_TRUE(FBC_Utl_ExclusiveFileRead(nullptr).IsNull());

    // Writing replaces the whole content (a longer old content is cut) and
    // creates missing files.
    WriteText(file, "a much longer old content");
    const auto source = Memory("new");
    EXPECT_TRUE(FBC_Utl_ExclusiveFileWrite(S(file), source));
    EXPECT_EQ(ReadText(file), "new");
    EXPECT_TRUE(FBC_Utl_ExclusiveFileWrite(S(Path("created")), source));
    EXPECT_EQ(ReadText(Path("created")), "new");
    EXPECT_TRUE(FBC_Utl_ExclusiveFileWrite(
        S(file), CUSharedPtr<CUMemoryStream>(new CUMemoryStream(nullptr, 0, false))));
    EXPECT_EQ(ReadText(file), "");

    EXPECT_FALSE(FBC_Utl_ExclusiveFileWrite(S(file), nullptr));
    EXPECT_FALSE(FBC_Utl_ExclusiveFileWrite(nullptr, source));
    EXPECT_FALSE(FBC_Utl_ExclusiveFileWrite(S(m_Dir.string()), source));
    EXPECT_FALSE(FBC_Utl_ExclusiveFileWrite(S(Path("no/such/folder")), source));
}

// The helpers wait for another process's lock and then see its finished
// work: a rewrite in two steps, or a new file renamed into place (the waiting
// reader reads the new file, not the old one it opened first).
TEST_F(FBC_Utl_FileTest, ExclusiveReadWaitsForOtherHolder) {
    const std::string file = Path("index"), beside = Path(".index.new");
    const std::function<char(int)> writers[] = {
        [](int fd) {
            // A reader that did not wait could see the empty file in between.
            if (::ftruncate(fd, 0) != 0) return 'X';
            ::usleep(200 * 1000);
            const char text[] = "new content";
            return ::pwrite(fd, text, sizeof text - 1, 0) == sizeof text - 1 ? 'K' : 'X';
        },
        [&](int) {
            return WriteText(beside, "new content") && ::rename(beside.c_str(), file.c_str()) == 0 ? 'K'
                                                                                                   : 'X';
        }};
    for (const auto& writer : writers) {
        WriteText(file, "old content");
        LockHolder holder(file, writer);
        auto stream = FBC_Utl_ExclusiveFileRead(S(file));
        EXPECT_EQ(holder.Pending(), "KR");
        ASSERT_FALSE(stream.IsNull());
        EXPECT_EQ(Bytes(stream), "new content");
    }
}

TEST_F(FBC_Utl_FileTest, ExclusiveWriteKeepsContentWhileOtherHolds) {
    const std::string file = Path("index");
    WriteText(file, "original content");
    LockHolder holder(file, [](int fd) {
        // The waiting writer must not have cut the file yet.
        struct stat info {};
        return ::fstat(fd, &info) == 0 && info.st_size == 16 ? 'K' : 'X';
    });
    EXPECT_TRUE(FBC_Utl_ExclusiveFileWrite(S(file), Memory("replacement")));
    EXPECT_EQ(holder.Pending(), "KR");
    EXPECT_EQ(ReadText(file), "replacement");
}

// The bound cuts what is read, never refuses what fits.
TEST_F(FBC_Utl_FileTest, ExclusiveReadWithABoundReadsAtMostThatMany) {
    const struct {
        size_t fileLength;
        uint64_t bound;
        size_t read;
    } cases[] = {{5, 3, 3}, {5, 5, 5}, {5, 6, 5}, {5, UINT64_MAX, 5}, {0, 3, 0}, {5, 0, 0}};
    const std::string file = Path("index");
    for (const auto& c : cases) {
        WriteText(file, std::string("abcde").substr(0, c.fileLength));
        auto stream = FBC_Utl_ExclusiveFileRead(S(file), c.bound);
        ASSERT_FALSE(stream.IsNull()) << c.fileLength << " " << c.bound;
        EXPECT_EQ(Bytes(stream), std::string("abcde").substr(0, c.read)) << c.fileLength << " " << c.bound;
    }
    EXPECT_TRUE(FBC_Utl_ExclusiveFileRead(S(Path("missing")), 3).IsNull());
}

TEST_F(FBC_Utl_FileTest, ExclusiveWriteKeepsPermissionsAndLeavesNothingBeside) {
    const std::string file = Path("index");
    WriteText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    EXPECT_TRUE(FBC_Utl_ExclusiveFileWrite(S(file), Memory("new")));
    EXPECT_EQ(ReadText(file), "new");
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(m_Dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(FBC_Utl_FileTest, DeleteFolderTreeRefusesWhatIsNoFolderAndNeverFollowsLinks) {
    std::filesystem::create_directories(Path("keep/inner"));
    WriteText(Path("keep/inner/file"), "kept");
    WriteText(Path("file"), "kept");
    std::filesystem::create_directory_symlink(Path("keep"), Path("link"));
    const struct {
        CUSharedPtr<CUStringMac> path;
        uint32_t code;
    } refused[] = {{nullptr, kResultNullArgument},
                   {S(Path("missing")), kResultFileOperationFailure},
                   {S(Path("file")), kResultFileOperationFailure},
                   {S(Path("link")), kResultFileOperationFailure},
                   {S(Path("link/")), kResultFileOperationFailure}};
    for (const auto& r : refused) EXPECT_EQ(FBC_Utl_DeleteFolderTree(r.path), r.code);
    EXPECT_EQ(ReadText(Path("keep/inner/file")), "kept");
    EXPECT_EQ(ReadText(Path("file")), "kept");

    // A tree holding links to the kept folder and file loses only the links.
    std::filesystem::create_directories(Path("tree/a/b"));
    std::filesystem::create_directory_symlink(Path("keep"), Path("tree/a/b/folder-link"));
    std::filesystem::create_symlink(Path("file"), Path("tree/a/file-link"));
    EXPECT_EQ(FBC_Utl_DeleteFolderTree(S(Path("tree"))), 0u);
    EXPECT_FALSE(std::filesystem::exists(Path("tree")));
    EXPECT_EQ(ReadText(Path("keep/inner/file")), "kept");
    EXPECT_EQ(ReadText(Path("file")), "kept");
}

TEST_F(FBC_Utl_FileTest, ModifyTimeWithLockWaitsForOtherHolder) {
    const std::string file = Path("index");
    WriteText(file, "x");
    SetMTime(file, 1000000000, 0);
    LockHolder holder(file, [](int fd) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1200000000, 0}};
        return ::futimens(fd, times) == 0 ? 'K' : 'X';
    });
    auto time = FBC_Utl_GetFileModifyTimeWithLock(S(file));
    EXPECT_EQ(holder.Pending(), "KR");
    ASSERT_FALSE(time.IsNull());
    EXPECT_EQ(time->GetAbsoluteTime(), 1200000000.0 - kUnixToAbsolute);

    EXPECT_TRUE(FBC_Utl_GetFileModifyTimeWithLock(S(Path("missing"))).IsNull());
    EXPECT_TRUE(FBC_Utl_GetFileModifyTimeWithLock(nullptr).IsNull());
}

// A named pipe in place of a card file: opening it for reading would wait for
// a writer forever. The helpers answer at once.
TEST_F(FBC_Utl_FileTest, NamedPipeIsRefusedWithoutWaiting) {
    const std::string fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_TRUE(FBC_Utl_ExclusiveFileRead(S(fifo)).IsNull());
    EXPECT_TRUE(FBC_Utl_GetFileModifyTimeWithLock(S(fifo)).IsNull());
}

TEST_F(FBC_Utl_FileTest, FileSizeAndDelete) {
    const std::string file = Path("f");
    WriteText(file, std::string(123, 'z'));
    EXPECT_EQ(FBC_Utl_GetFileSize(CUSharedPtr<CUFileInfo>(new CUFileInfo(S(file)))), 123u);
    EXPECT_EQ(FBC_Utl_GetFileSize(CUSharedPtr<CUFileInfo>(new CUFileInfo(S(Path("missing"))))), 0u);
    EXPECT_EQ(FBC_Utl_GetFileSize(nullptr), 0u);

    EXPECT_EQ(FBC_Utl_DeleteFile(nullptr), kResultNullArgument);
    EXPECT_EQ(FBC_Utl_DeleteFile(S(file)), 0u);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(FBC_Utl_DeleteFile(S(file)), 0u);  // already gone: no error
    std::filesystem::create_directory(Path("folder"));
    EXPECT_EQ(FBC_Utl_DeleteFile(S(Path("folder"))), kResultFileOperationFailure);
    EXPECT_TRUE(std::filesystem::exists(Path("folder")));
}

// The write test moves the time and puts the original back exactly, to the
// nanosecond, also inside a repeated daylight-saving hour.
TEST_F(FBC_Utl_FileTest, CheckReadOnlyKeepsExactModificationTime) {
    const BerlinTimeZone zone;
    const std::string file = Path("f");
    WriteText(file, "x");
    // 2021-10-31 02:30:00.123456789 CET, the second 02:30 of that night.
    SetMTime(file, 1635643800, 123456789);
    EXPECT_FALSE(FBC_Utl_CheckReadOnly(S(file)));
    EXPECT_EQ(MTime(file).tv_sec, 1635643800);
    EXPECT_EQ(MTime(file).tv_nsec, 123456789);

    const std::string folder = Path("folder");
    std::filesystem::create_directory(folder);
    SetMTime(folder, 1600000000, 987654321);
    EXPECT_FALSE(FBC_Utl_CheckReadOnly(S(folder)));
    EXPECT_EQ(MTime(folder).tv_sec, 1600000000);
    EXPECT_EQ(MTime(folder).tv_nsec, 987654321);

    EXPECT_FALSE(FBC_Utl_CheckReadOnly(S(Path("missing"))));
    EXPECT_FALSE(FBC_Utl_CheckReadOnly(nullptr));
}

// A path the caller may not change: the root folder, owned by root, tested
// by a process without privileges.
TEST_F(FBC_Utl_FileTest, CheckReadOnlyOfUnwritablePath) {
    const struct timespec before = MTime("/");
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        ::_exit(FBC_Utl_CheckReadOnly(S("/")) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(MTime("/").tv_sec, before.tv_sec);
    EXPECT_EQ(MTime("/").tv_nsec, before.tv_nsec);
}
