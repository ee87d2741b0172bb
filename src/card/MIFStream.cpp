#include "MIFStream.h"

#include "CFBCClip.h"
#include "CIFStream.h"
#include "CUArray.h"
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUMutableArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "ClipIDInfo.h"
#include "FBCResultCodes.h"
#include "FBC_Utl_File.h"
#include "FBC_Utl_Path.h"
#include "MediaMetadata.h"
#include "MetaDataManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

uint8_t MajorVersion(uint16_t version) {
    return static_cast<uint8_t>(version >> 8);
}

uint8_t MinorVersion(uint16_t version) {
    return static_cast<uint8_t>(version & 0xFF);
}

// Frame-rate bits of the system bitmap for an index version.
uint8_t FrameRateTypeMask(uint16_t version) {
    return MinorVersion(version) != 0 ? 0x07 : 0x03;
}

// At most the index's fixed size, read under the index's exclusive lock so
// that a rewrite by another process is never seen half done, and so that an
// oversized or growing file cannot make the reader allocate without bound.
// Null when the path cannot be opened and read (missing file, a folder,
// refused). An empty file still yields a stream: its first field then lies
// beyond the end, which is a read failure, not a missing file.
CUSharedPtr<CUStream> ReadIndexBytes(const CUSharedPtr<CUStringMac>& path, FBC_FileIdentity* identity) {
    return CUSharedPtr<CUStream>(FBC_Utl_ExclusiveFileRead(path, MIFStream::kFileSize, identity));
}

// The medium UUID an index image holds; null when it holds none.
CUSharedPtr<CUUUID> MediaIDOf(const CUSharedPtr<CUMemoryStream>& image) {
    try {
        CUSharedPtr<MediaMetadata> metadata =
            image ? MediaMetadata::Create(CUSharedPtr<CUStream>(image), MIFStream::kOffsetMediaMetadata)
                  : nullptr;
        return metadata ? CUSharedPtr<CUUUID>(metadata->ValueForTag(kContentValueMediaID)) : nullptr;
    } catch (const CUError&) {
        return nullptr;
    }
}

void PutU16(unsigned char* at, uint16_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

void PutU32(unsigned char* at, uint32_t value) {
    PutU16(at, static_cast<uint16_t>(value >> 16));
    PutU16(at + 2, static_cast<uint16_t>(value));
}

}  // namespace

MIFStream::MIFStream() = default;

MIFStream::~MIFStream() = default;

CUSharedPtr<MIFStream> MIFStream::Create(const CUSharedPtr<CUStringMac>& path, uint32_t* result) {
    if (result) *result = kResultNullArgument;
    if (!path || path->IsNull()) return nullptr;
    CUSharedPtr<MIFStream> stream(new MIFStream());
    const uint32_t code = stream->Init(path);
    if (result) *result = code;
    if (code != 0) return nullptr;
    return stream;
}

CUSharedPtr<MIFStream> MIFStream::Create() {
    CUSharedPtr<MIFStream> stream(new MIFStream());
    stream->m_ClipArray = CUMutableArray::Create();
    stream->m_MediaMetadata = MediaMetadata::Create();
    if (!stream->m_ClipArray || !stream->m_MediaMetadata) return nullptr;
    stream->m_Version = kNewVersion;
    stream->m_SystemBitmap = 0;
    return stream;
}

uint32_t MIFStream::Init(const CUSharedPtr<CUStringMac>& path) {
    m_FailedStep = kMIFReadStepFile;
    if (!path || path->IsNull()) return kResultNullArgument;
    // A missing or unreadable file ends in the stream-less Init below.
    FBC_FileIdentity identity;
    CUSharedPtr<CUStream> bytes = ReadIndexBytes(path, &identity);
    const uint32_t code = Init(path, bytes);
    if (bytes) m_FileIdentity = identity;
    return code;
}

uint32_t MIFStream::Init(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUStream>& stream) {
    m_Modified = true;
    m_Version = 0;
    m_SystemBitmap = 0;
    m_StoredClipCount = 0;
    m_Extension = 0;
    m_MediaMetadata = nullptr;
    m_FileIdentity.reset();
    m_FileMediaID = nullptr;
    m_FailedStep = kMIFReadStepFile;
    if (!path || path->IsNull()) return kResultNullArgument;
    try {
        m_ClipArray = CUMutableArray::Create();
        m_Path = CUSharedPtr<CUStringMac>(new CUStringMac(path));
        if (!m_ClipArray || !m_Path || m_Path->IsNull()) return kResultNotReady;
        if (!stream) return kResultNullArgument;

        // Never look past the fixed layout, whatever the stream holds.
        CUSharedPtr<CUStream> bytes = stream;
        const uint64_t length = stream->Length();
        if (length > kFileSize)
            bytes = CUSharedPtr<CUStream>(
                CUMemoryStream::CreateMemoryStreamPtr(stream, _CURange{0, uint64_t{kFileSize}}));
        CUSharedPtr<MetaDataManager> reader = bytes ? MetaDataManager::Create(bytes) : nullptr;
        if (!reader) return kResultNullArgument;

        uint32_t code = ReadHeader(*reader);
        if (code != 0) return code;
        // An index of another major version exists but is not read further;
        // GetState reports it.
        if (MajorVersion(m_Version) != kSupportedMajorVersion) return 0;
        if ((code = ReadClipInfo(*reader)) != 0 || (code = ReadMediaMetadata(*reader)) != 0 ||
            (code = ReadExtension(*reader)) != 0) {
            // A failed read holds no clips, whatever step it stopped at.
            m_ClipArray->RemoveAllObjects();
            return code;
        }
        m_Modified = false;
        m_FailedStep = kMIFReadStepNone;
        return 0;
    } catch (const CUError&) {
        if (m_ClipArray) m_ClipArray->RemoveAllObjects();
        return kResultReadFailure;
    }
}

uint32_t MIFStream::ReadHeader(MetaDataManager& reader) {
    uint16_t magic = 0;
    m_FailedStep = kMIFReadStepMagic;
    if (!reader.SetOffset(kOffsetMagic, kCUStreamSeekBegin) || !reader.GetUInt16(magic) || magic != kMagic)
        return kResultReadFailure;
    m_FailedStep = kMIFReadStepHeader;
    if (!reader.GetUInt16(m_Version)) return kResultReadFailure;
    if (MajorVersion(m_Version) != kSupportedMajorVersion) {
        m_FailedStep = kMIFReadStepNone;
        return 0;
    }
    if (!reader.SetOffset(kOffsetSystemBitmap, kCUStreamSeekBegin) || !reader.GetUInt8(m_SystemBitmap) ||
        !reader.GetBytes(m_Reserved5.data(), m_Reserved5.size()))
        return kResultReadFailure;
    return 0;
}

uint32_t MIFStream::ReadClipInfo(MetaDataManager& reader) {
    CUSharedPtr<CUStringMac> clipsFolder = FBC_Utl_RemoveLastComponent(m_Path);
    uint32_t count = 0;
    m_FailedStep = kMIFReadStepClipCount;
    if (!reader.SetOffset(kOffsetClipCount, kCUStreamSeekBegin) || !reader.GetUInt32(count))
        return kResultReadFailure;
    m_StoredClipCount = count;
    if (count > kMaxClipCount) return kResultReadFailure;

    m_FailedStep = kMIFReadStepClipIDTable;
    if (!reader.SetOffset(kOffsetClipIDTable, kCUStreamSeekBegin)) return kResultReadFailure;
    // One invalid record discards the whole table.
    CUSharedPtr<CUMutableArray> ids = reader.GetClipIDInfoArray(count);
    if (!ids || ids->Count() != count) return kResultReadFailure;
    m_FailedStep = kMIFReadStepCIFTable;
    if (!reader.SetOffset(kOffsetReserved12000, kCUStreamSeekBegin) ||
        !reader.GetBytes(m_Reserved12000.data(), m_Reserved12000.size()))
        return kResultReadFailure;
    if (!reader.SetOffset(kOffsetCIFTable, kCUStreamSeekBegin)) return kResultReadFailure;
    CUSharedPtr<CUMutableArray> blocks = reader.GetCIFStreamArray(count);
    if (!blocks || blocks->Count() != count) return kResultReadFailure;

    m_FailedStep = kMIFReadStepClip;

    for (uint32_t i = 0; i < count; ++i) {
        CUSharedPtr<ClipIDInfo> id = ids->ObjectAtIndex(i);
        CUSharedPtr<CIFStream> block = blocks->ObjectAtIndex(i);
        CUSharedPtr<CFBCClip> clip = (id && block) ? CFBCClip::Create(clipsFolder, id, block) : nullptr;
        if (!clip) {
            m_ClipArray->RemoveAllObjects();
            return kResultReadFailure;
        }
        m_ClipArray->AddObject(clip);
    }
    return 0;
}

uint32_t MIFStream::ReadMediaMetadata(MetaDataManager& reader) {
    m_FailedStep = kMIFReadStepMediaMetadata;
    m_MediaMetadata = MediaMetadata::Create(reader.Stream(), kOffsetMediaMetadata);
    if (!m_MediaMetadata) return kResultReadFailure;
    m_FileMediaID = m_MediaMetadata->ValueForTag(kContentValueMediaID);
    return 0;
}

uint32_t MIFStream::ReadExtension(MetaDataManager& reader) {
    m_FailedStep = kMIFReadStepExtension;
    if (!reader.SetOffset(kOffsetExtension, kCUStreamSeekBegin) || !reader.GetUInt32(m_Extension))
        return kResultReadFailure;
    return 0;
}

uint32_t MIFStream::GetState() const {
    if (MajorVersion(m_Version) != kSupportedMajorVersion) return kStateUnsupportedVersion;
    const uint8_t type = m_SystemBitmap & FrameRateTypeMask(m_Version);
    const bool allowed = MinorVersion(m_Version) != 0 ? (type == kFrameRateType5994 ||
                                                         type == kFrameRateType50 || type == kFrameRateType24)
                                                      : type != 0;
    if (!allowed) return kStateFrameRateTypeNotAllowed;
    if (!m_MediaMetadata) return kStateNoMediaMetadata;
    return m_MediaMetadata->GetState() == 0 ? kStateUsable : kStateUnsupportedVersion;
}

uint32_t MIFStream::SetClipArray(const CUSharedPtr<CUMutableArray>& clips) {
    // No array is not an empty one: written, it would drop every clip.
    if (!clips) return kResultNullArgument;
    m_ClipArray = CUSharedPtr<CUMutableArray>(new CUMutableArray(CUSharedPtr<CUArray>(clips)));
    m_Modified = true;
    return 0;
}

uint8_t MIFStream::FrameRateType() const {
    if (MajorVersion(m_Version) != kSupportedMajorVersion) return 0;
    return m_SystemBitmap & FrameRateTypeMask(m_Version);
}

void MIFStream::setFrameRateType(uint8_t type) {
    const uint8_t mask = FrameRateTypeMask(m_Version);
    m_SystemBitmap = static_cast<uint8_t>((m_SystemBitmap & ~mask) | (type & mask));
    m_Modified = true;
}

CUSharedPtr<CUObject> MIFStream::ValueForTag(_ContentValueTag tag) const {
    switch (tag) {
        case kContentValueMediaID:
            return m_MediaMetadata ? m_MediaMetadata->ValueForTag(kContentValueMediaID) : nullptr;
        case kContentValueIndexVersion:
            return CUNumber::Create<uint16_t>(m_Version);
        case kContentValueSystemBitmap:
            return CUNumber::Create<uint8_t>(m_SystemBitmap);
        case kContentValueFrameRateType:
            return CUNumber::Create<uint8_t>(FrameRateType());
        default:
            return nullptr;
    }
}

uint32_t MIFStream::SetValueForTag(const CUSharedPtr<CUObject>& value, _ContentValueTag tag) {
    if (!value) return kResultNullArgument;
    if (tag == kContentValueMediaID) {
        if (!m_MediaMetadata) return kResultNullArgument;
        const uint32_t code = m_MediaMetadata->SetValueForTag(value, tag);
        if (code == 0) m_Modified = true;
        return code;
    }
    CUSharedPtr<CUNumber> number = value;
    if (!number) return kResultNullArgument;
    switch (tag) {
        case kContentValueIndexVersion:
            m_Version = number->UInt16Value();
            break;
        case kContentValueSystemBitmap:
            m_SystemBitmap = number->UInt8Value();
            break;
        case kContentValueFrameRateType:
            setFrameRateType(number->UInt8Value());
            break;
        default:
            return kResultNullArgument;
    }
    m_Modified = true;
    return 0;
}

uint32_t MIFStream::BuildImage(CUSharedPtr<CUMemoryStream>& image) const {
    // An index of another major version was not read past its header:
    // writing it would drop everything it holds.
    if (MajorVersion(m_Version) != kSupportedMajorVersion || !m_MediaMetadata || !m_ClipArray ||
        m_ClipArray->Count() > kMaxClipCount)
        return kResultNotReady;
    image = CUSharedPtr<CUMemoryStream>(new CUMemoryStream(uint64_t{kFileSize}));
    unsigned char* bytes = image->GetPtr();
    if (!bytes) return kResultNotReady;
    std::memset(bytes, 0, kFileSize);
    PutU16(bytes + kOffsetMagic, kMagic);
    PutU16(bytes + kOffsetVersion, m_Version);
    bytes[kOffsetSystemBitmap] = m_SystemBitmap;
    std::memcpy(bytes + kOffsetReserved5, m_Reserved5.data(), m_Reserved5.size());
    const uint32_t count = static_cast<uint32_t>(m_ClipArray->Count());
    PutU32(bytes + kOffsetClipCount, count);
    std::memcpy(bytes + kOffsetReserved12000, m_Reserved12000.data(), m_Reserved12000.size());
    for (uint32_t i = 0; i < count; ++i) {
        CUSharedPtr<CFBCClip> clip = m_ClipArray->ObjectAtIndex(i);
        CUSharedPtr<ClipIDInfo> id = clip ? clip->GetClipIDInfo() : nullptr;
        CUSharedPtr<CIFStream> block = clip ? clip->GetCIFStream() : nullptr;
        if (!id || !block || !block->Bytes()) return kResultNotReady;
        std::memcpy(bytes + kOffsetClipIDTable + size_t{i} * ClipIDInfo::kRecordSize, id->Bytes(),
                    ClipIDInfo::kRecordSize);
        std::memcpy(bytes + kOffsetCIFTable + size_t{i} * CIFStream::kBlockSize, block->Bytes(),
                    CIFStream::kBlockSize);
    }
    const uint32_t code = m_MediaMetadata->WriteToFileStream(image, kOffsetMediaMetadata);
    if (code != 0) return code;
    PutU32(bytes + kOffsetExtension, m_Extension);
    return 0;
}

void MIFStream::Written(const CUSharedPtr<CUStringMac>& path, const FBC_FileIdentity& identity) {
    m_Path = CUSharedPtr<CUStringMac>(new CUStringMac(path));
    m_StoredClipCount = static_cast<uint32_t>(m_ClipArray->Count());
    m_FileIdentity = identity;
    m_FileMediaID = m_MediaMetadata->ValueForTag(kContentValueMediaID);
    m_Modified = false;
}

uint32_t MIFStream::WriteToFile(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return kResultNullArgument;
    try {
        CUSharedPtr<CUMemoryStream> image;
        uint32_t code = BuildImage(image);
        if (code != 0) return code;
        // Back to the file it was read from: only over that file as read.
        // Another card mounted at the path, or another writer's newer
        // version, would otherwise be overwritten with this one's clips.
        const bool readFromPath = m_FileIdentity && m_Path && m_Path->Utf8() == path->Utf8();
        FBC_ReplaceCheck unchanged;
        if (readFromPath)
            unchanged = [this](const FBC_FileIdentity* current, const CUSharedPtr<CUMemoryStream>& bytes) {
                CUSharedPtr<CUUUID> onDisk = current ? MediaIDOf(bytes) : nullptr;
                return current && *current == *m_FileIdentity && onDisk && m_FileMediaID &&
                       *onDisk == *m_FileMediaID;
            };
        FBC_FileIdentity written;
        code = FBC_Utl_ExclusiveFileReplace(path, image, kFileSize, unchanged, &written);
        if (code != 0) return code;
        Written(path, written);
        return 0;
    } catch (const CUError&) {
        return kResultFileOperationFailure;
    }
}

uint32_t MIFStream::WriteToNewFile(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return kResultNullArgument;
    try {
        CUSharedPtr<CUMemoryStream> image;
        const uint32_t code = BuildImage(image);
        if (code != 0) return code;
        FBC_FileIdentity written;
        if (!FBC_Utl_ExclusiveFileCreate(path, image, &written)) return kResultFileOperationFailure;
        Written(path, written);
        return 0;
    } catch (const CUError&) {
        return kResultFileOperationFailure;
    }
}

CUSharedPtr<CUStringMac> MIFStream::Description() const {
    char line[64];
    std::string text = "MIFStream{";
    text += CU_NEWLINE_CHAR;
    if (m_Path) text += "path = " + m_Path->Utf8() + CU_NEWLINE_CHAR;
    std::snprintf(line, sizeof line, "version = 0x%04X%sbitmap = 0x%02X%sclips = %zu%s", m_Version,
                  CU_NEWLINE_CHAR, m_SystemBitmap, CU_NEWLINE_CHAR,
                  m_ClipArray ? m_ClipArray->Count() : size_t{0}, CU_NEWLINE_CHAR);
    text += line;
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
