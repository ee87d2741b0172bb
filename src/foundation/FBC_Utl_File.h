#pragma once
// File helpers of the card and clip model: file times, whole-file reads and
// writes under an exclusive advisory lock, sizes, deletion and a write test.
// None throws: failures are answered with a null result, false, 0 or a
// result code. They keep no state and may be called from any thread.
//
// The exclusive lock is flock(LOCK_EX) on the open file, so it serialises
// these calls with every other process that takes the same lock on the same
// file; it is held for the duration of one call only. Where a file system
// refuses the lock to a read-only descriptor (some network file systems),
// the reads go ahead without it and say so in the log; writes never do.
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>
#include <functional>

namespace ComVantoVantoQZ64RADPlug {

class CUDateTime;
class CUFileInfo;
class CUMemoryStream;

// Which time of a file: 0 creation (birth), 1 content modification. Any
// other value selects nothing.
enum _FBC_DateTime_Type : uint32_t {
    kFBC_DateTime_Create = 0,
    kFBC_DateTime_Modify = 1,
};

// Result codes of the card and clip model used here.
constexpr uint32_t kResultNullArgument = 0x140001;          // no path (or time) given
constexpr uint32_t kResultFileOperationFailure = 0x14100A;  // the file operation failed
constexpr uint32_t kResultFileChanged = 0x141014;           // the file is no longer the version that was read

// One version of one file: which file (device and inode) with its size and
// modification time to the nanosecond. A rewrite in place changes the time
// or the size, a replacement the inode, another medium the device.
struct FBC_FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
    bool operator==(const FBC_FileIdentity&) const = default;
};

// The file's time, to the whole second (fractions are cut off). Null when
// the path is missing, the file cannot be reached or the type is neither 0
// nor 1; type 0 is null as well where the file system keeps no birth time.
CUSharedPtr<CUDateTime> FBC_Utl_GetFileTime(const CUSharedPtr<CUStringMac>& path, _FBC_DateTime_Type type);
// Sets the file's modification time to `time` cut to the whole second.
// 0 on success; kResultNullArgument for a missing path or time;
// kResultFileOperationFailure otherwise, always for type 0 (Linux does not
// let a birth time be set).
uint32_t FBC_Utl_SetFileTime(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUDateTime>& time,
                             _FBC_DateTime_Type type);
CUSharedPtr<CUDateTime> FBC_Utl_GetFileModifyTime(const CUSharedPtr<CUStringMac>& path);
CUSharedPtr<CUDateTime> FBC_Utl_GetFileCreateTime(const CUSharedPtr<CUStringMac>& path);
uint32_t FBC_Utl_SetFileModifyTime(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUDateTime>& time);
uint32_t FBC_Utl_SetFileCreateTime(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUDateTime>& time);

// The modification time, read while the file is open under the exclusive
// lock (waits until other holders release it). Null when it cannot be opened.
CUSharedPtr<CUDateTime> FBC_Utl_GetFileModifyTimeWithLock(const CUSharedPtr<CUStringMac>& path);
// The identity of the file now at the path, read while it is open under the
// exclusive lock; false when it cannot be opened.
bool FBC_Utl_GetFileIdentityWithLock(const CUSharedPtr<CUStringMac>& path, FBC_FileIdentity* identity);
// The whole file in a new memory stream, read under the exclusive lock
// (waits for other holders). An empty file gives an empty stream; null on
// any failure, including a file that is not a regular file or changed size
// while being read.
CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path);
// The same, but at most the first `maxLength` bytes: a longer file is not
// refused, its bytes beyond are not read (nor allocated for).
CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path,
                                                      uint64_t maxLength);
// The same, and (when given) the identity of the file the bytes come from,
// taken under the same lock before they are read.
CUSharedPtr<CUMemoryStream> FBC_Utl_ExclusiveFileRead(const CUSharedPtr<CUStringMac>& path,
                                                      uint64_t maxLength, FBC_FileIdentity* identity);
// Replaces the file by one holding the stream's bytes; creates it when
// missing. The new content is written to a hidden file beside it and renamed
// into place while the old file's exclusive lock is held (waiting for other
// holders), so a reader sees the old or the new content whole and a failed
// write leaves the old file as it was. The old file's permissions are kept.
// True when every byte was written and the file is in place; false for a
// path that is not a regular file.
//
// Every write first removes the hidden files beside the target that writers
// which died mid-write left behind (those of processes no longer running).
bool FBC_Utl_ExclusiveFileWrite(const CUSharedPtr<CUStringMac>& path,
                                const CUSharedPtr<CUMemoryStream>& stream);
// Decides, under the lock, whether the file now at the path may be
// replaced, from its identity and its first bytes (both null when no file
// is there).
using FBC_ReplaceCheck =
    std::function<bool(const FBC_FileIdentity* current, const CUSharedPtr<CUMemoryStream>& currentBytes)>;
// As FBC_Utl_ExclusiveFileWrite, but the file is replaced only when `check`,
// given the current file's identity and its first `checkLength` bytes,
// answers true. 0; kResultNullArgument without a path or stream;
// kResultFileChanged when the check refuses (nothing is written);
// kResultFileOperationFailure otherwise. `written`, when given, receives
// the new file's identity.
uint32_t FBC_Utl_ExclusiveFileReplace(const CUSharedPtr<CUStringMac>& path,
                                      const CUSharedPtr<CUMemoryStream>& stream, uint64_t checkLength,
                                      const FBC_ReplaceCheck& check, FBC_FileIdentity* written = nullptr);
// Creates the file with the stream's bytes only where nothing is at the
// path, atomically: written beside it, synced, then moved into place in one
// step that fails when the name is taken meanwhile. False when something is
// there or the write fails (nothing is left beside it). `written`, when
// given, receives the new file's identity.
bool FBC_Utl_ExclusiveFileCreate(const CUSharedPtr<CUStringMac>& path,
                                 const CUSharedPtr<CUMemoryStream>& stream,
                                 FBC_FileIdentity* written = nullptr);
// The file's size in bytes; 0 for a null object or when it cannot be read.
uint64_t FBC_Utl_GetFileSize(const CUSharedPtr<CUFileInfo>& info);
// 0 (also for a missing file), kResultNullArgument for a missing path,
// kResultFileOperationFailure when the deletion fails (a folder, refused).
uint32_t FBC_Utl_DeleteFile(const CUSharedPtr<CUStringMac>& path);
// True when an existing file or folder cannot be written, tested by moving
// its modification time one minute on and back. The original time is put
// back exactly (to the nanosecond). False for a missing path.
bool FBC_Utl_CheckReadOnly(const CUSharedPtr<CUStringMac>& path);
// Deletes the folder at `path` with everything in it. Symbolic links are
// removed as links, never followed, and a file system mounted inside is
// left alone; a path whose last component is a link is refused. 0;
// kResultNullArgument for a missing path; kResultFileOperationFailure when
// the path is not a folder or something in it could not be removed (what
// could be removed is gone).
uint32_t FBC_Utl_DeleteFolderTree(const CUSharedPtr<CUStringMac>& path);

}  // namespace ComVantoVantoQZ64RADPlug
