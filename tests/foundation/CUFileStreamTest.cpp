#include "CUFileStream.h"

#include "CUStringMac.h"
#include "FoundationTestSupport.h"

#include <gtest/gtest.h>

#include "ConcurrentReads.h"
#include "TestFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

using qztest::ReadText;
using qztest::WriteText;

// Opens with throwing enabled; answers the thrown value or 0.
uint32_t OpenCode(const std::string& path, uint32_t mode, uint32_t access) {
    uint32_t code = 0;
    const uint32_t thrown = ThrownBy([&] {
        CUFileStream s(S(path), static_cast<CUStream_FileMode>(mode),
                       static_cast<CUStream_FileAccess>(access), false);
        code = s.IsOSFileHandleValid() ? 0 : 0xFFFF;
    });
    return thrown ? thrown : code;
}

class CUFileStreamTest : public ScratchTest {};

// Streams own a handle and a lock: they are never copied.
static_assert(!std::is_copy_constructible_v<CUFileStream> && !std::is_copy_assignable_v<CUFileStream>);

}  // namespace

// Every row of the open table, for both file states and all three accesses,
// checked against the file left on disk.
TEST_F(CUFileStreamTest, OpenTable) {
    enum Outcome { Keep, Truncate, Create, Fail4, Fail9 };
    struct Row {
        uint32_t mode;
        Outcome ifExists[3];  // by access 0 read, 1 read-write, 2 write
        Outcome ifMissing[3];
    };
    const Row rows[] = {
        {0, {Fail4, Keep, Keep}, {Fail4, Create, Create}},
        {1, {Fail4, Truncate, Truncate}, {Fail4, Create, Create}},
        {2, {Fail4, Fail4, Fail4}, {Create, Create, Create}},
        {3, {Keep, Keep, Keep}, {Fail9, Fail9, Fail9}},
        {4, {Keep, Keep, Keep}, {Create, Create, Create}},
        {5, {Fail4, Truncate, Truncate}, {Fail4, Fail9, Fail9}},
        {6, {Fail4, Fail4, Fail4}, {Fail4, Fail4, Fail4}},
        {99, {Fail4, Fail4, Fail4}, {Fail4, Fail4, Fail4}},
    };
    int n = 0;
    for (const Row& row : rows) {
        for (uint32_t access = 0; access < 3; ++access) {
            for (bool exists : {true, false}) {
                const std::string path = Path("row" + std::to_string(n++));
                if (exists) WriteText(path, "hello");
                const Outcome want = exists ? row.ifExists[access] : row.ifMissing[access];
                SCOPED_TRACE("mode " + std::to_string(row.mode) + " access " + std::to_string(access) +
                             (exists ? " existing" : " missing"));
                const uint32_t code = OpenCode(path, row.mode, access);
                // A failed open leaves the file as it was; the others leave
                // it there, emptied unless kept.
                const bool failed = want == Fail4 || want == Fail9;
                EXPECT_EQ(code, want == Fail4 ? 4u : want == Fail9 ? 9u : 0u);
                EXPECT_EQ(std::filesystem::exists(path), exists || !failed);
                EXPECT_EQ(ReadText(path), want == Keep || (failed && exists) ? "hello" : "");
                // The no-throw flag leaves a closed stream instead.
                if (failed) {
                    CUFileStream quiet(S(path), static_cast<CUStream_FileMode>(row.mode),
                                       static_cast<CUStream_FileAccess>(access), true);
                    EXPECT_FALSE(quiet.IsOSFileHandleValid());
                    EXPECT_FALSE(quiet.CanRead() || quiet.CanWrite() || quiet.CanSeek());
                    unsigned char b[4];
                    EXPECT_EQ(quiet.Read(b, 4, 0, kCUStreamSeekBegin), 0u);
                    EXPECT_EQ(quiet.Length(), 0u);
                }
            }
        }
    }
}

TEST_F(CUFileStreamTest, FlagsLengthAndAppendPosition) {
    const std::string path = Path("f");
    WriteText(path, "hello");
    {
        CUFileStream r(S(path), kCUStreamModeOpen, kCUStreamAccessRead, true);
        EXPECT_TRUE(r.CanRead() && r.CanSeek() && !r.CanWrite());
        EXPECT_EQ(r.Length(), 5u);
        EXPECT_EQ(r.Position(), 0u);
        unsigned char b[1] = {'x'};
        EXPECT_EQ(r.Write(b, 1, 0, kCUStreamSeekBegin), 0u);
    }
    {
        CUFileStream w(S(path), kCUStreamModeOpen, kCUStreamAccessWrite, true);
        EXPECT_TRUE(w.CanWrite() && !w.CanRead());
        unsigned char b[4];
        EXPECT_EQ(w.Read(b, 4, 0, kCUStreamSeekBegin), 0u);
    }
    {
        CUFileStream a(S(path), kCUStreamModeAppend, kCUStreamAccessReadWrite, true);
        EXPECT_EQ(a.Position(), 5u);
        std::vector<unsigned char> more{'!', '?'};
        EXPECT_EQ(a.WriteCFData(&more, 0, kCUStreamSeekCurrent), 2u);
        EXPECT_EQ(a.Position(), 7u);
        EXPECT_EQ(a.Length(), 7u);
        EXPECT_EQ(a.WriteCFData(nullptr, 0, kCUStreamSeekCurrent), 0u);
    }
    EXPECT_EQ(ReadText(path), "hello!?");
}

TEST_F(CUFileStreamTest, BadPaths) {
    EXPECT_EQ(OpenCode("", 3, 0), 1u);
    EXPECT_EQ(OpenCode(m_Dir, 3, 0), 5u);
    EXPECT_EQ(OpenCode(m_Dir, 4, 1), 5u);
    EXPECT_EQ(ThrownBy([] {
                  CUFileStream s(CUSharedPtr<CUStringMac>(), kCUStreamModeOpen, kCUStreamAccessRead, false);
              }),
              2u);
    CUFileStream quiet(static_cast<const CUStringMac*>(nullptr), kCUStreamModeOpen, kCUStreamAccessRead,
                       true);
    EXPECT_FALSE(quiet.IsOSFileHandleValid());
    // A FIFO is refused instead of blocking the open or the reads.
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(OpenCode(fifo, 3, 0), 4u);
}

TEST_F(CUFileStreamTest, ReadsClampedToRangeAndFile) {
    std::string bytes(256, '\0');
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
    const std::string path = Path("ramp");
    WriteText(path, bytes);
    CUFileStream s(S(path), kCUStreamModeOpen, kCUStreamAccessRead, true);
    unsigned char b[300];
    EXPECT_EQ(s.Read(b, 300, 0, kCUStreamSeekBegin), 256u);
    EXPECT_EQ(s.Position(), 256u);
    ASSERT_EQ(s.SetReadaleRange(_CURange{100, 50}), 0u);
    EXPECT_EQ(s.Read(b, 100, 120, kCUStreamSeekBegin), 30u);
    EXPECT_EQ(b[29], 149);
    // Contiguous reads from the current position.
    s.ResetReadaleRange();
    EXPECT_EQ(s.SetPosition(10), 10u);
    EXPECT_EQ(s.Read(b, 5, 0, kCUStreamSeekCurrent), 5u);
    EXPECT_EQ(b[0], 10);
    EXPECT_EQ(s.Read(b, 5, 0, kCUStreamSeekCurrent), 5u);
    EXPECT_EQ(b[0], 15);
    EXPECT_EQ(s.Read(b, 6, -6, kCUStreamSeekEnd), 6u);
    EXPECT_EQ(b[5], 255);
    EXPECT_EQ(s.Read(b, 6, 0, static_cast<CUStream_Seek_Origin>(3)), 0u);
}

TEST_F(CUFileStreamTest, ShortReadThenContiguousReadGetsTheRightBytes) {
    std::string bytes(100, '\0');
    for (int i = 0; i < 100; ++i) bytes[i] = static_cast<char>(i);
    const std::string path = Path("shrinks");
    WriteText(path, bytes);
    CUFileStream s(S(path), kCUStreamModeOpen, kCUStreamAccessRead, true);
    ASSERT_EQ(s.Length(), 100u);

    // Another writer cuts the file to 50 bytes: a read of 80 delivers 50.
    ASSERT_EQ(::truncate(path.c_str(), 50), 0);
    unsigned char b[100] = {};
    EXPECT_EQ(s.Read(b, 80, 0, kCUStreamSeekBegin), 50u);
    EXPECT_EQ(b[49], 49);
    EXPECT_EQ(s.Position(), 50u);

    // The file grows back; the next contiguous read continues at byte 50.
    WriteText(path, bytes);
    EXPECT_EQ(s.Read(b, 20, 0, kCUStreamSeekCurrent), 20u);
    EXPECT_EQ(b[0], 50);
    EXPECT_EQ(b[19], 69);
}

TEST_F(CUFileStreamTest, WritesExtendTheFile) {
    const std::string path = Path("grow");
    {
        CUFileStream w(S(path), kCUStreamModeCreate, kCUStreamAccessWrite, true);
        ASSERT_TRUE(w.IsOSFileHandleValid());
        unsigned char b[4] = {'a', 'b', 'c', 'd'};
        EXPECT_EQ(w.Write(b, 4, 100, kCUStreamSeekBegin), 4u);
        EXPECT_EQ(w.Length(), 104u);
        EXPECT_EQ(w.Position(), 104u);
        EXPECT_EQ(w.Write(b, 2, -4, kCUStreamSeekEnd), 2u);  // overwrites "ab" with "ab"
        EXPECT_EQ(w.Write(b, 1, -1, kCUStreamSeekBegin), 0u);
        EXPECT_EQ(w.Write(nullptr, 1, 0, kCUStreamSeekBegin), 0u);
        EXPECT_EQ(w.Write(b, 1, 0, static_cast<CUStream_Seek_Origin>(9)), 0u);
        EXPECT_EQ(w.Write(b, UINT64_MAX, 1, kCUStreamSeekBegin), 0u);
        EXPECT_EQ(w.Length(), 104u);
    }
    const std::string content = ReadText(path);
    ASSERT_EQ(content.size(), 104u);
    EXPECT_EQ(content.substr(100), "abcd");
    EXPECT_EQ(content.substr(0, 100), std::string(100, '\0'));
}

TEST_F(CUFileStreamTest, SeekSetLengthAndClose) {
    const std::string path = Path("seek");
    WriteText(path, std::string(50, 'x'));
    CUFileStream s(S(path), kCUStreamModeOpen, kCUStreamAccessReadWrite, true);
    EXPECT_EQ(s.Seek(10, kCUStreamSeekBegin), 10u);
    EXPECT_EQ(s.Seek(5, kCUStreamSeekCurrent), 15u);
    EXPECT_EQ(s.Seek(-5, kCUStreamSeekEnd), 45u);
    EXPECT_EQ(s.Seek(1000, kCUStreamSeekBegin), 1000u);  // past the end is allowed
    EXPECT_EQ(s.Seek(3, static_cast<CUStream_Seek_Origin>(4)), 0u);

    s.SetLength(20);
    EXPECT_EQ(s.Length(), 20u);
    EXPECT_EQ(s.GetReadableRange().length, 20u);
    EXPECT_EQ(std::filesystem::file_size(path), 20u);

    // A seek before the start fails and closes the stream.
    s.Seek(7, kCUStreamSeekBegin);
    EXPECT_EQ(s.Seek(-100, kCUStreamSeekBegin), 7u);
    EXPECT_FALSE(s.IsOSFileHandleValid());
    unsigned char b[4];
    EXPECT_EQ(s.Read(b, 4, 0, kCUStreamSeekBegin), 0u);

    // SetLength on a read-only stream closes it too.
    CUFileStream r(S(path), kCUStreamModeOpen, kCUStreamAccessRead, true);
    r.SetLength(5);
    EXPECT_FALSE(r.IsOSFileHandleValid());
    EXPECT_EQ(std::filesystem::file_size(path), 20u);
}

TEST_F(CUFileStreamTest, ConcurrentReadersAtExplicitOffsets) {
    std::string bytes(1 << 16, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    const std::string path = Path("shared");
    WriteText(path, bytes);
    CUFileStream s(S(path), kCUStreamModeOpen, kCUStreamAccessRead, true);
    // Pieces of 512 bytes starting 509 apart, so that they overlap and the
    // last one is cut short by the end of the file.
    const uint32_t count = bytes.size() / 509 + 1;
    const auto read = [&](uint32_t piece) {
        unsigned char b[512];
        const uint64_t got = s.Read(b, sizeof b, int64_t{piece} * 509, kCUStreamSeekBegin);
        return std::string(reinterpret_cast<const char*>(b), got);
    };
    const auto pieces = qztest::ExpectEightThreadsReadAsOne(
        count, read, [] {}, 4);
    for (uint32_t f = 0; f < count; ++f) EXPECT_EQ(pieces[f], bytes.substr(f * 509, 512)) << f;
}
