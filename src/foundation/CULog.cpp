#include "CULog.h"

#include "CUAutoLock.h"
#include "CUDateTime.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

extern char** environ;

namespace ComVantoVantoQZ64RADPlug {

const CUSharedPtr<CUStringMac> g_pLogFileFmt = CUStringMac::Create("%s%d.log");
const CUSharedPtr<CUStringMac> g_pLogPrintLineFmt = CUStringMac::Create("[%s]\t[%s]\t%s\r\n");
const CUSharedPtr<CUStringMac> g_pLogDateTimeFmt = CUStringMac::Create("%04d/%02d/%02d %02d:%02d:%02d");
const CUSharedPtr<CUStringMac> g_pLogNULL = CUStringMac::Create("(NULL)");
const CUSharedPtr<CUStringMac> g_pLogError = CUStringMac::Create("ERROR");
const CUSharedPtr<CUStringMac> g_pLogWarning = CUStringMac::Create("WARNING");
const CUSharedPtr<CUStringMac> g_pLogInfo = CUStringMac::Create("INFO");
const CUSharedPtr<CUStringMac> g_pLogDebug = CUStringMac::Create("DEBUG");

namespace {

constexpr uint32_t kFailure = 0x10001;
// Seconds from 1970-01-01 to 2001-01-01, the epoch of CUDateTime.
constexpr double kUnixToAbsolute = 978307200.0;

CUSharedPtr<CULog> gs_sharedCULog;
CURecursiveLock gs_sharedCULogLocker;

bool StatPath(const CUSharedPtr<CUStringMac>& path, struct stat& st) {
    if (!path || path->IsNull()) return false;
    return ::stat(path->Utf8().c_str(), &st) == 0;
}

// Content modification time at full resolution, so files written within the
// same second still order correctly when Init looks for the newest one.
bool ModificationTime(const CUSharedPtr<CUStringMac>& path, struct timespec& out) {
    struct stat st;
    if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return false;
    out = st.st_mtim;
    return true;
}

bool Later(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool FileExists(const CUSharedPtr<CUStringMac>& path) {
    struct stat st;
    return StatPath(path, st) && S_ISREG(st.st_mode);
}

}  // namespace

CULog::CULog() = default;
CULog::~CULog() = default;

// Shared instance

void CULog::InitializeWithName(CUSharedPtr<CUStringMac> folder, CUSharedPtr<CUStringMac> name,
                               unsigned int level) {
    CUAutoLock guard(&gs_sharedCULogLocker);
    if (!folder || !name || gs_sharedCULog) return;
    CUSharedPtr<CULog> log(new CULog());
    if (log->Init(folder, name, level) != 0) return;
    gs_sharedCULog = log;
}

CUSharedPtr<CULog> CULog::GetInstance() {
    CUAutoLock guard(&gs_sharedCULogLocker);
    return gs_sharedCULog;
}

void CULog::Terminate() {
    CUSharedPtr<CULog> old;
    {
        CUAutoLock guard(&gs_sharedCULogLocker);
        old = gs_sharedCULog;
        gs_sharedCULog = nullptr;
    }
    // The last count (if this was it) goes outside the class lock.
}

void CULog::Write(unsigned int level, const char* format, ...) {
    CUSharedPtr<CULog> log = GetInstance();
    if (!log || !format) return;
    va_list args;
    va_start(args, format);
    log->WriteLogWithFormat(level, CUStringMac::Create(format), args);
    va_end(args);
}

void CULog::Write(unsigned int level, CUSharedPtr<CUStringMac> format, ...) {
    CUSharedPtr<CULog> log = GetInstance();
    if (!log) return;
    va_list args;
    va_start(args, format);
    log->WriteLogWithFormat(level, format, args);
    va_end(args);
}

// Instance

uint32_t CULog::Init(CUSharedPtr<CUStringMac> folder, CUSharedPtr<CUStringMac> name, unsigned int level) {
    CUAutoLock guard(&m_Lock);
    if (!folder || !name || folder->IsNull() || name->IsNull()) return kFailure;
    m_Folder = CUSharedPtr<CUStringMac>(new CUStringMac(*folder));
    m_Name = CUSharedPtr<CUStringMac>(new CUStringMac(*name));
    m_Level = level;

    std::error_code ec;
    const std::filesystem::path dir(m_Folder->Utf8());
    if (dir.empty()) return kFailure;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (ec || !std::filesystem::is_directory(dir, ec)) return kFailure;
    }

    // Continue in the newest file: the last of an unbroken run 0..k, or,
    // when all ten exist (the ring has wrapped), the most recently modified.
    int32_t latestIndex = 0;
    struct timespec latest = {};
    bool haveLatest = false;
    int32_t index = 0;
    for (int32_t i = 0; i < kFileCount; ++i) {
        CUSharedPtr<CUStringMac> path = GetLogFilePath(m_Folder, m_Name, i);
        struct timespec modified;
        if (!FileExists(path) || !ModificationTime(path, modified)) {
            index = i == 0 ? 0 : i - 1;
            m_Index = index;
            return 0;
        }
        if (!haveLatest || Later(modified, latest)) {
            latest = modified;
            latestIndex = i;
            haveLatest = true;
        }
    }
    m_Index = latestIndex;
    return 0;
}

int32_t CULog::CurrentIndex() const {
    CUAutoLock guard(&m_Lock);
    return m_Index;
}

unsigned int CULog::LevelThreshold() const {
    CUAutoLock guard(&m_Lock);
    return m_Level;
}

void CULog::WriteLog(unsigned int level, CUSharedPtr<CUStringMac> format, ...) {
    va_list args;
    va_start(args, format);
    WriteLogWithFormat(level, format, args);
    va_end(args);
}

void CULog::WriteLogWithFormat(unsigned int level, CUSharedPtr<CUStringMac> format, va_list args) {
    CUAutoLock guard(&m_Lock);
    if (level > m_Level) return;
    CUSharedPtr<CUDateTime> now = CUDateTime::Create();
    CUSharedPtr<CUStringMac> levelText = GetLogLevelString(level);
    if (!now || now->IsNull() || !levelText || !format || format->IsNull()) return;
    CUSharedPtr<CUStringMac> dateText = GetLogDateTimeString(now);
    CUSharedPtr<CUStringMac> message = CUStringMac::CreateWithFormatV(format, args);
    if (!dateText || dateText->IsNull()) dateText = g_pLogNULL;
    // A message that is not valid UTF-8 is written as "(NULL)".
    if (!message || message->IsNull()) message = g_pLogNULL;
    CUSharedPtr<CUStringMac> line = CUStringMac::CreateWithFormat(
        g_pLogPrintLineFmt, dateText->Utf8().c_str(), levelText->Utf8().c_str(), message->Utf8().c_str());
    if (!line || line->IsNull()) return;
    WriteFileString(line);
}

uint32_t CULog::WriteFileString(CUSharedPtr<CUStringMac> line) {
    CUAutoLock guard(&m_Lock);
    if (!line || line->IsNull()) return kFailure;
    CUSharedPtr<CUStringMac> path = GetWriteableLogPath(GetStringByteSize(line));
    if (!path) return kFailure;
    const std::string bytes = line->Utf8();
    const int fd = ::open(path->Utf8().c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return kFailure;
    size_t done = 0;
    uint32_t status = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            status = kFailure;
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return status;
}

CUSharedPtr<CUStringMac> CULog::GetWriteableLogPath(uint32_t byteCount) {
    CUAutoLock guard(&m_Lock);
    if (!m_Folder || !m_Name) return nullptr;
    CUSharedPtr<CUStringMac> path = GetLogFilePath(m_Folder, m_Name, m_Index);
    if (!path) return nullptr;
    if (GetLogFileSize(path) + byteCount <= kMaxFileSize) return path;
    m_Index = (m_Index + 1) % kFileCount;
    path = GetLogFilePath(m_Folder, m_Name, m_Index);
    DeleteLogFile(path);
    return path;
}

void CULog::WriteSystemInfo(CUSharedPtr<CUStringMac> fileName) {
    CUSharedPtr<CUStringMac> folder, name;
    {
        CUAutoLock guard(&m_Lock);
        folder = m_Folder;
        name = m_Name;
    }
    if (!folder || !name || !fileName || fileName->IsNull()) return;
    CUStringMac output;
    if (folder->PathAppend(fileName, output) != 0) return;
    const std::string outPath = output.Utf8();
    // The report tool of the original platform, else the kernel's
    // identification as the nearest portable report.
    const char* tool = "/usr/sbin/system_profiler";
    const char* toolArg = nullptr;
    if (::access(tool, X_OK) != 0) {
        tool = "/bin/uname";
        toolArg = "-a";
    }
    // The shell only backgrounds the tool; the path and tool are passed as
    // arguments, never spliced into the command text.
    const char* script = "out=$1; shift; \"$@\" > \"$out\" 2>/dev/null &";
    std::string toolCopy = tool;
    std::string outCopy = outPath;
    char sh[] = "/bin/sh";
    char dashC[] = "-c";
    char name0[] = "qzcard-sysinfo";
    std::string scriptCopy = script;
    std::string argCopy = toolArg ? toolArg : "";
    char* argv[] = {sh,
                    dashC,
                    scriptCopy.data(),
                    name0,
                    outCopy.data(),
                    toolCopy.data(),
                    toolArg ? argCopy.data() : nullptr,
                    nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

// Helpers

CUSharedPtr<CUStringMac> CULog::GetLogFilePath(CUSharedPtr<CUStringMac> folder, CUSharedPtr<CUStringMac> name,
                                               int32_t index) {
    if (!folder || !name || folder->IsNull() || name->IsNull()) return nullptr;
    CUSharedPtr<CUStringMac> fileName =
        CUStringMac::CreateWithFormat(g_pLogFileFmt, name->Utf8().c_str(), index);
    if (!fileName) return nullptr;
    CUSharedPtr<CUStringMac> path(new CUStringMac());
    if (folder->PathAppend(fileName, *path) != 0) return nullptr;
    return path;
}

CUSharedPtr<CUDateTime> CULog::GetLogFileTime(CUSharedPtr<CUStringMac> path, _Log_DateTime_Type type) {
    if (!path || path->IsNull()) return nullptr;
    const std::string p = path->Utf8();
    time_t seconds = 0;
    if (type == kLogDateTimeCreation) {
        // Birth time where the file system keeps one; null where it does not.
        struct statx sx;
        if (::statx(AT_FDCWD, p.c_str(), 0, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME))
            return nullptr;
        seconds = static_cast<time_t>(sx.stx_btime.tv_sec);
    } else if (type == kLogDateTimeModification) {
        struct stat st;
        if (::stat(p.c_str(), &st) != 0) return nullptr;
        seconds = st.st_mtim.tv_sec;
    } else {
        return nullptr;
    }
    return CUDateTime::Create(static_cast<double>(seconds) - kUnixToAbsolute);
}

uint64_t CULog::GetLogFileSize(CUSharedPtr<CUStringMac> path) {
    struct stat st;
    if (!StatPath(path, st)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

void CULog::DeleteLogFile(CUSharedPtr<CUStringMac> path) {
    if (!FileExists(path)) return;
    (void)::unlink(path->Utf8().c_str());
}

CUSharedPtr<CUStringMac> CULog::GetLogLevelString(unsigned int level) {
    switch (level) {
        case kCULogLevelError:
            return g_pLogError;
        case kCULogLevelWarning:
            return g_pLogWarning;
        case kCULogLevelInfo:
            return g_pLogInfo;
        default:
            return g_pLogDebug;
    }
}

CUSharedPtr<CUStringMac> CULog::GetLogDateTimeString(CUSharedPtr<CUDateTime> date) {
    if (!date || date->IsNull()) return nullptr;
    return CUStringMac::CreateWithFormat(
        g_pLogDateTimeFmt, static_cast<int>(date->GetYear(true)), static_cast<int>(date->GetMonth(true)),
        static_cast<int>(date->GetDay(true)), static_cast<int>(date->GetHour(true)),
        static_cast<int>(date->GetMinute(true)), static_cast<int>(date->GetSecond(true)));
}

uint32_t CULog::GetStringByteSize(CUSharedPtr<CUStringMac> text) {
    if (!text) return 0;
    unsigned int size = 0;
    if (text->GetString(nullptr, kCUString_UTF8, size) != 0) return 0;
    return size;
}

}  // namespace ComVantoVantoQZ64RADPlug
