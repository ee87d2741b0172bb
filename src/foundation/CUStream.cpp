#include "CUStream.h"

#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CURecursiveLock.h"

namespace ComVantoVantoQZ64RADPlug {

// Guards take the stream's lock by plain pointer: the stream owns it for its
// whole life, and a guard holding a shared pointer would add two retain-count
// round trips (each through the process-wide count mutex) to every small read.
CUStream::CUStream() : m_Lock(new CURecursiveLock()) {}

CUStream::~CUStream() = default;

bool CUStream::CanRead() const {
    return false;
}
bool CUStream::CanWrite() const {
    return false;
}
bool CUStream::CanSeek() const {
    return false;
}

uint64_t CUStream::Read(unsigned char*, uint64_t, int64_t, CUStream_Seek_Origin) {
    throw CUError(CUFailure(kCUErrNotSupported, "this stream cannot read"));
}

uint64_t CUStream::Write(unsigned char*, uint64_t, int64_t, CUStream_Seek_Origin) {
    throw CUError(CUFailure(kCUErrNotSupported, "this stream cannot write"));
}

uint64_t CUStream::Seek(int64_t, CUStream_Seek_Origin) {
    throw CUError(CUFailure(kCUErrNotSupported, "this stream cannot seek"));
}

uint64_t CUStream::Position() {
    throw CUError(CUFailure(kCUErrNotSupported, "this stream has no position"));
}

void CUStream::SetLength(uint64_t) {
    throw CUError(CUFailure(kCUErrNotSupported, "this stream cannot change its length"));
}

uint64_t CUStream::WriteCFData(const std::vector<unsigned char>* data, int64_t offset,
                               CUStream_Seek_Origin origin) {
    CUAutoLock lock(m_Lock.get());
    if (!data) return 0;
    return Write(const_cast<unsigned char*>(data->data()), data->size(), offset, origin);
}

CUStream& CUStream::operator=(const CUStream&) {
    m_ReadableRange = _CURange{};
    m_Length = 0;
    m_Position = 0;
    m_Lock = nullptr;
    return *this;
}

uint64_t CUStream::Length() {
    CUAutoLock lock(m_Lock.get());
    return m_Length;
}

uint64_t CUStream::SetPosition(uint64_t position) {
    return Seek(static_cast<int64_t>(position), kCUStreamSeekBegin);
}

uint32_t CUStream::SetReadaleRange(const _CURange& range) {
    CUAutoLock lock(m_Lock.get());
    // Written as two comparisons so that no sum can wrap around.
    if (!CanRead() || range.length > m_Length || range.location > m_Length - range.length) return 0x10001;
    m_ReadableRange = range;
    return 0;
}

void CUStream::ResetReadaleRange() {
    CUAutoLock lock(m_Lock.get());
    m_ReadableRange = _CURange{0, m_Length};
}

_CURange CUStream::GetReadableRange() {
    CUAutoLock lock(m_Lock.get());
    return m_ReadableRange;
}

bool CUStream::CalcStart(int64_t offset, CUStream_Seek_Origin origin, uint64_t& start) const {
    __int128 base;
    switch (origin) {
        case kCUStreamSeekBegin:
            base = 0;
            break;
        case kCUStreamSeekCurrent:
            base = m_Position;
            break;
        case kCUStreamSeekEnd:
            base = m_Length;
            break;
        default:
            return false;
    }
    const __int128 value = base + offset;
    if (value < 0 || value > static_cast<__int128>(INT64_MAX)) return false;
    start = static_cast<uint64_t>(value);
    return true;
}

_CURange CUStream::CalcReadRange(uint64_t size, int64_t offset, CUStream_Seek_Origin origin) {
    CUAutoLock lock(m_Lock.get());
    uint64_t start = 0;
    if (size == 0 || !CalcStart(offset, origin, start)) return _CURange{};
    // SetReadaleRange guarantees location + length does not wrap.
    const uint64_t end = m_ReadableRange.location + m_ReadableRange.length;
    if (start < m_ReadableRange.location || start >= end) return _CURange{};
    const uint64_t left = end - start;
    return _CURange{start, size < left ? size : left};
}

}  // namespace ComVantoVantoQZ64RADPlug
