#pragma once
// Process-wide rotating text log: lines "[date]\t[LEVEL]\tmessage\r\n" in a
// ring of ten files <name>0.log .. <name>9.log of at most 1,000,000 bytes
// each. Nothing is written until a host calls InitializeWithName. Every
// operation is thread-safe: instance operations hold the log's own lock, the
// shared instance is guarded by a class-wide lock.
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "CUSleep.h"
#include "CUStringMac.h"

#include <cstdarg>
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUDateTime;

// Which date of a log file GetLogFileTime reads.
enum _Log_DateTime_Type : uint32_t {
    kLogDateTimeCreation = 0,
    kLogDateTimeModification = 1,
};

// Log levels; any other value is written as "DEBUG".
enum : uint32_t {
    kCULogLevelError = 1,
    kCULogLevelWarning = 2,
    kCULogLevelInfo = 3,
    kCULogLevelDebug = 4,
};

extern const CUSharedPtr<CUStringMac> g_pLogFileFmt;       // "%s%d.log"
extern const CUSharedPtr<CUStringMac> g_pLogPrintLineFmt;  // "[%s]\t[%s]\t%s\r\n"
extern const CUSharedPtr<CUStringMac> g_pLogDateTimeFmt;   // "%04d/%02d/%02d %02d:%02d:%02d"
extern const CUSharedPtr<CUStringMac> g_pLogNULL;          // "(NULL)"
extern const CUSharedPtr<CUStringMac> g_pLogError;         // "ERROR"
extern const CUSharedPtr<CUStringMac> g_pLogWarning;       // "WARNING"
extern const CUSharedPtr<CUStringMac> g_pLogInfo;          // "INFO"
extern const CUSharedPtr<CUStringMac> g_pLogDebug;         // "DEBUG"

class CULog : public CUObject {
public:
    // A file is rolled over when it would grow beyond this many bytes.
    static constexpr uint64_t kMaxFileSize = 1000000;
    static constexpr int32_t kFileCount = 10;

    CULog();
    ~CULog() override;

    // Shared instance. Does nothing when folder or name is null or a shared
    // log exists; a log whose Init fails is not kept.
    static void InitializeWithName(CUSharedPtr<CUStringMac> folder, CUSharedPtr<CUStringMac> name,
                                   unsigned int level = kCULogLevelInfo);
    static CUSharedPtr<CULog> GetInstance();
    static void Terminate();
    // printf-style entry into the shared log; nothing without one.
    static void Write(unsigned int level, const char* format, ...);
    static void Write(unsigned int level, CUSharedPtr<CUStringMac> format, ...);

    // 0, or 0x10001 when folder or name is null or the folder cannot be made.
    uint32_t Init(CUSharedPtr<CUStringMac> folder, CUSharedPtr<CUStringMac> name, unsigned int level);
    void WriteLog(unsigned int level, CUSharedPtr<CUStringMac> format, ...);
    void WriteLogWithFormat(unsigned int level, CUSharedPtr<CUStringMac> format, va_list args);
    // Starts the system report tool in the background into <folder>/<fileName>.
    void WriteSystemInfo(CUSharedPtr<CUStringMac> fileName);

    // Index (0..9) of the file entries currently go to.
    int32_t CurrentIndex() const;
    unsigned int LevelThreshold() const;

    // <folder>/<name><index>.log
    static CUSharedPtr<CUStringMac> GetLogFilePath(CUSharedPtr<CUStringMac> folder,
                                                   CUSharedPtr<CUStringMac> name, int32_t index);
    // Creation or content modification date, local time, whole seconds; null
    // when it cannot be read.
    static CUSharedPtr<CUDateTime> GetLogFileTime(CUSharedPtr<CUStringMac> path, _Log_DateTime_Type type);
    // Size in bytes; 0 when the file cannot be read.
    static uint64_t GetLogFileSize(CUSharedPtr<CUStringMac> path);
    // Deletes when it exists; errors are swallowed.
    static void DeleteLogFile(CUSharedPtr<CUStringMac> path);
    static CUSharedPtr<CUStringMac> GetLogLevelString(unsigned int level);
    // "YYYY/MM/DD hh:mm:ss" in local time; null for a null date.
    static CUSharedPtr<CUStringMac> GetLogDateTimeString(CUSharedPtr<CUDateTime> date);
    // Largest UTF-8 byte count of the text, one terminator included.
    static uint32_t GetStringByteSize(CUSharedPtr<CUStringMac> text);

protected:
    // The file that can take byteCount more bytes, rolling over when needed.
    CUSharedPtr<CUStringMac> GetWriteableLogPath(uint32_t byteCount);
    uint32_t WriteFileString(CUSharedPtr<CUStringMac> line);

private:
    mutable CURecursiveLock m_Lock;
    int32_t m_Index = 0;
    CUSharedPtr<CUStringMac> m_Folder;
    CUSharedPtr<CUStringMac> m_Name;
    unsigned int m_Level = kCULogLevelInfo;
};

}  // namespace ComVantoVantoQZ64RADPlug
