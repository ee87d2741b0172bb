#include "CUMemoryStream.h"

#include "CUAutoLock.h"
#include "CUFailure.h"

#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

CUMemoryStream::CUMemoryStream(void* data, uint64_t size, bool noCopy) {
    if (!data) return;
    if (noCopy) {
        m_Data = static_cast<unsigned char*>(data);
    } else if (size > 0) {
        m_Data = new unsigned char[size];
        m_OwnsData = true;
        std::memcpy(m_Data, data, size);
    }
    m_Length = size;
    m_ReadableRange = _CURange{0, size};
}

CUMemoryStream::CUMemoryStream(uint64_t size) {
    if (size > 0) {
        m_Data = new unsigned char[size];
        m_OwnsData = true;
    }
    m_Length = size;
    m_ReadableRange = _CURange{0, size};
}

CUMemoryStream::CUMemoryStream(CUStream* source, const _CURange& range) {
    InitFromSource(source, range);
}

CUMemoryStream::CUMemoryStream(const CUSharedPtr<CUStream>& source, const _CURange& range) {
    InitFromSource(source.get(), range);
}

void CUMemoryStream::InitFromSource(CUStream* source, const _CURange& range) {
    // Every refusal carries the value 1, the code callers test for.
    auto fail = [&](const char* what) {
        throw CUError(
            CUFailure(kCUErrEmptyOrNotOpen, what, std::string(), static_cast<int64_t>(range.location)));
    };
    if (!source) fail("memory copy of an absent stream");
    if (range.length == 0) fail("memory copy of an empty range");
    // The length often comes from a file: make sure the source can deliver
    // the whole range before allocating anything (no sum that can wrap).
    const _CURange readable = source->GetReadableRange();
    if (range.location < readable.location) fail("memory copy starts before the readable range");
    const uint64_t skip = range.location - readable.location;
    if (range.length > readable.length || skip > readable.length - range.length)
        fail("memory copy runs past the end of the stream");
    if (range.location > static_cast<uint64_t>(INT64_MAX))
        fail("memory copy starts beyond any stream offset");

    unsigned char* data = new unsigned char[range.length];
    uint64_t got = 0;
    try {
        got = source->Read(data, range.length, static_cast<int64_t>(range.location), kCUStreamSeekBegin);
    } catch (const CUError&) {
        got = 0;  // reported below as a short copy
    }
    if (got != range.length) {
        delete[] data;
        fail("memory copy got fewer bytes than asked");
    }
    m_Data = data;
    m_OwnsData = true;
    m_Length = range.length;
    m_ReadableRange = _CURange{0, range.length};
}

CUMemoryStream::~CUMemoryStream() {
    if (m_OwnsData) delete[] m_Data;
}

CUMemoryStream* CUMemoryStream::CreateMemoryStream(CUStream* source, const _CURange& range) {
    try {
        return new CUMemoryStream(source, range);
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CUMemoryStream* CUMemoryStream::CreateMemoryStream(const CUSharedPtr<CUStream>& source,
                                                   const _CURange& range) {
    return CreateMemoryStream(source.get(), range);
}

CUSharedPtr<CUMemoryStream> CUMemoryStream::CreateMemoryStreamPtr(CUStream* source, const _CURange& range) {
    return CUSharedPtr<CUMemoryStream>(CreateMemoryStream(source, range));
}

CUSharedPtr<CUMemoryStream> CUMemoryStream::CreateMemoryStreamPtr(const CUSharedPtr<CUStream>& source,
                                                                  const _CURange& range) {
    return CreateMemoryStreamPtr(source.get(), range);
}

bool CUMemoryStream::CanRead() const {
    return m_Data != nullptr && m_Length != 0;
}
bool CUMemoryStream::CanWrite() const {
    return false;
}
bool CUMemoryStream::CanSeek() const {
    return false;
}

uint64_t CUMemoryStream::Read(unsigned char* buffer, uint64_t size, int64_t offset,
                              CUStream_Seek_Origin origin) {
    CUAutoLock lock(m_Lock.get());
    if (!buffer || !m_Data) return 0;
    const _CURange range = CalcReadRange(size, offset, origin);
    if (range.length > 0) std::memcpy(buffer, m_Data + range.location, range.length);
    return range.length;
}

unsigned char* CUMemoryStream::GetPtr() const {
    return m_Data;
}

}  // namespace ComVantoVantoQZ64RADPlug
