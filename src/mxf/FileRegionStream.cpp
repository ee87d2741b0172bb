#include "FileRegionStream.h"

#include "CUFailure.h"
#include "CacheFileStream.h"

#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Reads count bytes at offset of the file; true when all of them came. A
// cached file is read past its blocks: the caller keeps these bytes itself.
bool ReadFile(CUStream& file, uint64_t offset, uint64_t count, unsigned char* into) {
    if (count == 0) return true;
    try {
        if (auto* cached = dynamic_cast<CacheFileStream*>(&file))
            return cached->ReadUncached(into, count, offset) == count;
        return file.Read(into, count, static_cast<int64_t>(offset), kCUStreamSeekBegin) == count;
    } catch (const CUError&) {
        return false;  // an unreadable stretch is simply not held
    }
}

}  // namespace

FileRegionStream::FileRegionStream(const CUSharedPtr<CUStream>& file, uint64_t start)
    : m_File(file), m_Start(start) {
    m_Length = file->Length();
    m_ReadableRange = file->GetReadableRange();
}

FileRegionStream::~FileRegionStream() = default;

CUSharedPtr<FileRegionStream> FileRegionStream::Create(const CUSharedPtr<CUStream>& file, uint64_t start,
                                                       uint64_t end, const FileRegionStream* previous) {
    if (!file || start >= end || end - start > kMaxHeldBytes || end > file->Length()) return nullptr;
    if (start > static_cast<uint64_t>(INT64_MAX)) return nullptr;
    CUSharedPtr<FileRegionStream> region(new (std::nothrow) FileRegionStream(file, start));
    if (!region) return nullptr;
    region->m_Held.reset(new (std::nothrow) unsigned char[end - start]);
    if (!region->m_Held) return nullptr;
    region->m_HeldLength = end - start;
    unsigned char* held = region->m_Held.get();
    if (previous && previous->m_File.get() == file.get() && start <= previous->HeldStart() &&
        previous->HeldEnd() <= end) {
        const uint64_t before = previous->HeldStart() - start;
        std::memcpy(held + before, previous->HeldBytes(), previous->m_HeldLength);
        const uint64_t after = previous->HeldEnd() - start;
        if (!ReadFile(*file, start, before, held) ||
            !ReadFile(*file, previous->HeldEnd(), end - previous->HeldEnd(), held + after))
            return nullptr;
    } else if (!ReadFile(*file, start, end - start, held)) {
        return nullptr;
    }
    return region;
}

bool FileRegionStream::CanRead() const {
    return m_File->CanRead();
}

uint64_t FileRegionStream::Read(unsigned char* buffer, uint64_t size, int64_t offset,
                                CUStream_Seek_Origin origin) {
    if (buffer && origin == kCUStreamSeekBegin && offset >= 0) {
        const uint64_t at = static_cast<uint64_t>(offset);
        if (Holds(at, size)) {
            if (size > 0) std::memcpy(buffer, m_Held.get() + (at - m_Start), size);
            return size;
        }
    }
    return m_File->Read(buffer, size, offset, origin);
}

}  // namespace ComVantoVantoQZ64RADPlug
