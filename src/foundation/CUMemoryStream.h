#pragma once
// Read-only stream over a block of memory, owned or borrowed; often a range
// copied out of another stream so a parser can work on one record without
// further file access. Cannot write or seek: the position stays 0, so
// origin 1 counts from the beginning.
#include "CUStream.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUMemoryStream : public CUStream {
public:
    // noCopy true: reads the caller's memory, which must outlive the stream;
    // false: copies the bytes. Null data gives an empty stream.
    CUMemoryStream(void* data, uint64_t size, bool noCopy);
    // Owned, uninitialised memory of `size` bytes.
    explicit CUMemoryStream(uint64_t size);
    // Owned copy of range.length bytes read from `source` at range.location.
    // Throws a CUError with code 1 when the source is null, the range is empty
    // or lies outside the source, or fewer bytes arrive. The range is checked
    // before anything is allocated.
    CUMemoryStream(CUStream* source, const _CURange& range);
    CUMemoryStream(const CUSharedPtr<CUStream>& source, const _CURange& range);
    CUMemoryStream(const CUMemoryStream&) = delete;
    CUMemoryStream& operator=(const CUMemoryStream&) = delete;
    ~CUMemoryStream() override;

    // Null when construction threw; the caller owns the raw pointer (wrap it).
    static CUMemoryStream* CreateMemoryStream(CUStream* source, const _CURange& range);
    static CUMemoryStream* CreateMemoryStream(const CUSharedPtr<CUStream>& source, const _CURange& range);
    static CUSharedPtr<CUMemoryStream> CreateMemoryStreamPtr(CUStream* source, const _CURange& range);
    static CUSharedPtr<CUMemoryStream> CreateMemoryStreamPtr(const CUSharedPtr<CUStream>& source,
                                                             const _CURange& range);

    // Data present and length not 0.
    bool CanRead() const override;
    bool CanWrite() const override;
    bool CanSeek() const override;
    // Copies the range CalcReadRange gives; 0 for a null buffer or no data.
    uint64_t Read(unsigned char* buffer, uint64_t size, int64_t offset, CUStream_Seek_Origin origin) override;

    unsigned char* GetPtr() const;
    // The length, which a memory stream never changes after construction:
    // read without the lock.
    uint64_t Size() const { return m_Length; }

private:
    void InitFromSource(CUStream* source, const _CURange& range);

    unsigned char* m_Data = nullptr;
    bool m_OwnsData = false;
};

}  // namespace ComVantoVantoQZ64RADPlug
