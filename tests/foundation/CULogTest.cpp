#include "CUDateTime.h"
#include "CULog.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include "TestFiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;
namespace fs = std::filesystem;

namespace {

class CULogTest : public ScratchTest {
protected:
    void SetUp() override { CULog::Terminate(); }
    void TearDown() override { CULog::Terminate(); }

    fs::path File(int index, const char* name = "app") const {
        return m_Dir / (std::string(name) + std::to_string(index) + ".log");
    }
    // A file of exactly `size` bytes, modified at `mtime` seconds since 1970.
    void MakeFile(int index, uint64_t size, time_t mtime) const {
        const fs::path p = File(index);
        { std::ofstream(p, std::ios::binary).put('x'); }
        fs::resize_file(p, size);
        struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
    }
    static std::string Read(const fs::path& p) { return qztest::ReadText(p.string()); }
    CUSharedPtr<CULog> NewLog(unsigned int level = 3) {
        CUSharedPtr<CULog> log(new CULog());
        EXPECT_EQ(log->Init(S(m_Dir.string()), S("app"), level), 0u);
        return log;
    }
};

// Length of one line "[YYYY/MM/DD hh:mm:ss]\t[INFO]\t<message>\r\n".
size_t InfoLineLength(const std::string& message) {
    return 21 + 1 + 6 + 1 + message.size() + 2;
}

TEST_F(CULogTest, WithoutInitializationWritesNothing) {
    EXPECT_TRUE(CULog::GetInstance().IsNull());
    CULog::Write(1, "dropped %d", 1);
    CULog::Write(1, S("dropped %s"), "too");
    EXPECT_TRUE(fs::is_empty(m_Dir));
}

TEST_F(CULogTest, LineFormatAndLevels) {
    CULog::InitializeWithName(S(m_Dir.string()), S("app"), 3);
    ASSERT_TRUE(CULog::GetInstance());
    CULog::Write(3, "Create Clip Path[%s] ID[%s]", "/card/C0001", "C0001");
    CULog::Write(4, "debug is dropped at threshold 3");
    CULog::Write(1, S("error %d%%"), 5);
    CULog::Write(2, "warn");
    const std::string text = Read(File(0));
    const std::regex line(R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\]\t\[(\w+)\]\t([^\r\n]*)\r\n)");
    std::vector<std::pair<std::string, std::string>> entries;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
        entries.emplace_back((*it)[1], (*it)[2]);
    EXPECT_EQ(entries, (decltype(entries){{"INFO", "Create Clip Path[/card/C0001] ID[C0001]"},
                                          {"ERROR", "error 5%"},
                                          {"WARNING", "warn"}}))
        << text;
    EXPECT_EQ(text.size(), InfoLineLength("Create Clip Path[/card/C0001] ID[C0001]") +
                               InfoLineLength("error 5%") + 1 + InfoLineLength("warn") + 3);
}

TEST_F(CULogTest, UnknownLevelsAreDebugAndSharedInstanceIsKept) {
    CULog::InitializeWithName(S(m_Dir.string()), S("app"), 10);
    CUSharedPtr<CULog> first = CULog::GetInstance();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->LevelThreshold(), 10u);
    CULog::InitializeWithName(S(m_Dir.string()), S("other"), 3);  // ignored: one exists
    EXPECT_EQ(CULog::GetInstance().get(), first.get());
    CULog::Write(7, "seven");
    EXPECT_NE(Read(File(0)).find("\t[DEBUG]\tseven\r\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(File(0, "other")));
    CULog::Terminate();
    EXPECT_TRUE(CULog::GetInstance().IsNull());
    EXPECT_EQ(first->RetainCount(), 1);
}

TEST_F(CULogTest, InitializationRefusalsAndMissingFolders) {
    CULog::InitializeWithName(nullptr, S("app"), 3);
    CULog::InitializeWithName(S(m_Dir.string()), nullptr, 3);
    EXPECT_TRUE(CULog::GetInstance().IsNull());
    // A folder path that is a file cannot hold logs: Init fails, nothing is kept.
    const fs::path file = m_Dir / "plain";
    std::ofstream(file).put('x');
    CULog::InitializeWithName(S(file.string()), S("app"), 3);
    EXPECT_TRUE(CULog::GetInstance().IsNull());

    const fs::path nested = m_Dir / "a" / "b" / "logs";
    CUSharedPtr<CULog> log(new CULog());
    EXPECT_EQ(log->Init(S(nested.string()), S("x"), 3), 0u);
    EXPECT_TRUE(fs::is_directory(nested));
    log->WriteLog(3, S("hello %s"), "there");
    EXPECT_EQ(fs::file_size(nested / "x0.log"), InfoLineLength("hello there"));
}

TEST_F(CULogTest, InitResumesInTheNewestFile) {
    for (int i = 0; i <= 4; ++i) MakeFile(i, 10, 1000000 - i);  // dates do not matter here
    EXPECT_EQ(NewLog()->CurrentIndex(), 4);

    // A gap ends the search.
    fs::remove(File(2));
    EXPECT_EQ(NewLog()->CurrentIndex(), 1);
    fs::remove(File(0));
    EXPECT_EQ(NewLog()->CurrentIndex(), 0);

    // With all ten files the latest modified wins.
    const time_t base = 1600000000;
    for (int i = 0; i < 10; ++i) MakeFile(i, 10, base + i);
    MakeFile(6, 10, base + 100);
    EXPECT_EQ(NewLog()->CurrentIndex(), 6);
    // A tie keeps the earlier index.
    MakeFile(2, 10, base + 100);
    EXPECT_EQ(NewLog()->CurrentIndex(), 2);
}

TEST_F(CULogTest, FileAt999990BytesRollsToTheNextIndexWhichIsEmptiedFirst) {
    const time_t base = 1600000000;
    for (int i = 0; i < 10; ++i) MakeFile(i, 500, base + i);
    MakeFile(3, 999990, base + 100);
    CUSharedPtr<CULog> log = NewLog();
    ASSERT_EQ(log->CurrentIndex(), 3);
    log->WriteLog(1, S("rolled"));
    EXPECT_EQ(log->CurrentIndex(), 4);
    EXPECT_EQ(fs::file_size(File(3)), 999990u);
    EXPECT_EQ(fs::file_size(File(4)), InfoLineLength("rolled") + 1);  // "ERROR" is one longer than "INFO"
    EXPECT_NE(Read(File(4)).find("\t[ERROR]\trolled\r\n"), std::string::npos);
    EXPECT_EQ(Read(File(4)).find('x'), std::string::npos);
}

TEST_F(CULogTest, RotationUsesTheUpperBoundOfTheLineSize) {
    // A one-character INFO message makes a 32-character line; its upper
    // bound is (32 + 1) * 3 = 99 bytes.
    ASSERT_EQ(InfoLineLength("m"), 32u);
    ASSERT_EQ(CULog::GetStringByteSize(S(std::string(32, 'l'))), 99u);
    MakeFile(0, 1000000 - 99, 1600000000);
    CUSharedPtr<CULog> log = NewLog();
    log->WriteLog(3, S("m"));
    EXPECT_EQ(log->CurrentIndex(), 0);  // fits exactly
    EXPECT_EQ(fs::file_size(File(0)), 1000000u - 99 + 32);
    log->WriteLog(3, S("m"));
    EXPECT_EQ(log->CurrentIndex(), 1);
    EXPECT_EQ(fs::file_size(File(1)), 32u);
}

TEST_F(CULogTest, WrapsFromIndexNineToZero) {
    const time_t base = 1600000000;
    for (int i = 0; i < 10; ++i) MakeFile(i, 700, base + i);
    MakeFile(9, 999990, base + 100);
    CUSharedPtr<CULog> log = NewLog();
    ASSERT_EQ(log->CurrentIndex(), 9);
    log->WriteLog(3, S("after nine"));
    EXPECT_EQ(log->CurrentIndex(), 0);
    EXPECT_EQ(fs::file_size(File(0)), InfoLineLength("after nine"));
    EXPECT_EQ(fs::file_size(File(1)), 700u);  // the older ones stay
    // A restart continues in file 0, the newest now.
    EXPECT_EQ(NewLog()->CurrentIndex(), 0);
}

TEST_F(CULogTest, ConcurrentWritersProduceWholeLines) {
    CULog::InitializeWithName(S(m_Dir.string()), S("app"), 3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) CULog::Write(3, "thread %d entry %03d", t, i);
        });
    }
    for (auto& th : threads) th.join();
    const std::string text = Read(File(0));
    const std::regex line(R"(\[[^\]]+\]\t\[INFO\]\tthread \d entry \d{3}\r\n)");
    size_t count =
        std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator());
    EXPECT_EQ(count, 400u);
    EXPECT_EQ(text.size(), 400u * InfoLineLength("thread 0 entry 000"));
}

TEST_F(CULogTest, FileHelpers) {
    MakeFile(0, 1234, 1600000000);
    CUSharedPtr<CUStringMac> path = S(File(0).string());
    EXPECT_EQ(CULog::GetLogFileSize(path), 1234u);
    CUSharedPtr<CUDateTime> modified = CULog::GetLogFileTime(path, kLogDateTimeModification);
    ASSERT_TRUE(modified);
    EXPECT_DOUBLE_EQ(modified->GetAbsoluteTime(), 1600000000.0 - 978307200.0);
    EXPECT_TRUE(CULog::GetLogFileTime(S((m_Dir / "missing").string()), kLogDateTimeModification).IsNull());
    EXPECT_TRUE(CULog::GetLogFileTime(path, static_cast<_Log_DateTime_Type>(5)).IsNull());
    CULog::DeleteLogFile(path);
    EXPECT_FALSE(fs::exists(File(0)));
    CULog::DeleteLogFile(path);  // absent: swallowed
    CULog::DeleteLogFile(nullptr);
    EXPECT_EQ(CULog::GetLogFileSize(path), 0u);
}

TEST_F(CULogTest, SystemInfoPathIsNeverInterpretedByTheShell) {
    CUSharedPtr<CULog> log = NewLog();
    const std::string evil = "report\"; touch injected; \".txt";
    log->WriteSystemInfo(S(evil));
    // The report is produced in the background: wait for it to appear.
    for (int i = 0; i < 500 && !fs::exists(m_Dir / evil); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(m_Dir / evil));
    EXPECT_FALSE(fs::exists("injected"));
    EXPECT_FALSE(fs::exists(m_Dir / "injected"));
    CUSharedPtr<CULog> unset(new CULog());
    unset->WriteSystemInfo(S("never"));  // no folder yet: nothing
    EXPECT_FALSE(fs::exists(m_Dir / "never"));
}

}  // namespace
