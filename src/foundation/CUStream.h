#pragma once
// Abstract byte stream read and written at absolute offsets. Streams deliver
// bytes exactly as stored (no byte-order conversion). Every public operation
// takes the stream's own recursive lock, so a read with an explicit offset
// from the beginning is atomic and one stream may serve several readers.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CULockAbstract;

// A byte range: location and length, both unsigned 64-bit.
struct _CURange {
    uint64_t location = 0;
    uint64_t length = 0;
};

// Where an offset counts from. Any other value selects nothing: reads and
// writes of zero bytes, position 0.
enum CUStream_Seek_Origin : uint32_t {
    kCUStreamSeekBegin = 0,
    kCUStreamSeekCurrent = 1,
    kCUStreamSeekEnd = 2,
};

enum CUStream_FileAccess : uint32_t {
    kCUStreamAccessRead = 0,
    kCUStreamAccessReadWrite = 1,
    kCUStreamAccessWrite = 2,
};

// How a file stream opens its path (a path "exists" when a regular file is
// there):
//   0 append (create when missing; needs write access)
//   1 truncate (create when missing; needs write access)
//   2 create new (fails with 4 when the file exists)
//   3 open existing (fails with 9 when missing)
//   4 open or create
//   5 truncate existing (fails with 9 when missing; needs write access)
//   other values fail with 4.
enum CUStream_FileMode : uint32_t {
    kCUStreamModeAppend = 0,
    kCUStreamModeCreate = 1,
    kCUStreamModeCreateNew = 2,
    kCUStreamModeOpen = 3,
    kCUStreamModeOpenOrCreate = 4,
    kCUStreamModeTruncate = 5,
};

// Codes of the failures the stream and file-system classes throw (as the
// Code() of a CUError).
typedef uint32_t _CUErrorContents;
enum : uint32_t {
    kCUErrEmptyOrNotOpen = 1,  // empty name or path; stream not open; volume information unavailable
    kCUErrNullArgument = 2,
    kCUErrFolderMissing = 3,  // folder to delete does not exist
    kCUErrPlatform = 4,       // platform refused; listing a non-folder; mode and file state in conflict
    kCUErrNotSupported = 5,   // not supported by this stream; file stream asked to open a folder
    kCUErrDeleteFolder = 7,   // file delete asked for a folder
    kCUErrDeleteRefused = 8,  // file delete refused by the platform
    kCUErrFileMissing = 9,    // file to open does not exist
};

class CUStream : public virtual CUObject {
public:
    CUStream();
    // A copy would share the lock and, in the subclasses, the file handle or
    // the owned memory.
    CUStream(const CUStream&) = delete;
    ~CUStream() override;

    // The base stream can do nothing: the Can... queries answer false and
    // Read, Write, Seek, Position and SetLength throw 5.
    virtual bool CanRead() const;
    virtual bool CanWrite() const;
    virtual bool CanSeek() const;
    // Copies up to `size` bytes starting at the offset (clamped to the
    // readable range) into `buffer`; returns the bytes delivered.
    virtual uint64_t Read(unsigned char* buffer, uint64_t size, int64_t offset, CUStream_Seek_Origin origin);
    // Writes `size` bytes at the offset; returns `size`, or 0 on failure.
    virtual uint64_t Write(unsigned char* buffer, uint64_t size, int64_t offset, CUStream_Seek_Origin origin);
    // Moves the position; returns the new position.
    virtual uint64_t Seek(int64_t offset, CUStream_Seek_Origin origin);
    // Under the lock, writes the bytes of `data`; 0 when data is null.
    virtual uint64_t WriteCFData(const std::vector<unsigned char>* data, int64_t offset,
                                 CUStream_Seek_Origin origin);
    // Streams are not copied: resets ranges, length and position to 0 and
    // drops the lock pointer.
    virtual CUStream& operator=(const CUStream& other);

    virtual uint64_t Position();
    virtual void SetLength(uint64_t length);

    // Length in bytes, read under the lock.
    uint64_t Length();
    // Seek(position, from the beginning).
    uint64_t SetPosition(uint64_t position);
    // Sets the window reads may touch. Accepted only when the stream can
    // read, range.length <= Length() and range.location <= Length() -
    // range.length; returns 0, otherwise 0x10001 and the old range stays.
    uint32_t SetReadaleRange(const _CURange& range);
    // The readable range becomes (0, Length()).
    void ResetReadaleRange();
    _CURange GetReadableRange();

    // The range a read of `size` bytes at (offset, origin) covers, clamped
    // to the readable range; empty when the start lies outside it.
    _CURange CalcReadRange(uint64_t size, int64_t offset, CUStream_Seek_Origin origin);

protected:
    // The absolute start for (offset, origin) without any range check;
    // false when the origin is unknown or the start is negative or too big.
    bool CalcStart(int64_t offset, CUStream_Seek_Origin origin, uint64_t& start) const;

    _CURange m_ReadableRange;
    uint64_t m_Length = 0;
    uint64_t m_Position = 0;
    CUSharedPtr<CULockAbstract> m_Lock;
};

}  // namespace ComVantoVantoQZ64RADPlug
