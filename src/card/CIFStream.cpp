#include "CIFStream.h"

#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CUFileStream.h"
#include "CUMemoryStream.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "ClipAttributes.h"
#include "CodingInfo.h"
#include "MetaDataManager.h"
#include "RecordTimeandDate.h"
#include "RecordingModeInformation.h"
#include "RelayInformation.h"
#include "TimecodeInfo.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint8_t kSupportedMajorVersion = 1;
constexpr uint8_t kDropFrameAttributeBit = 1 << 1;

uint8_t MajorVersion(uint16_t version) {
    return static_cast<uint8_t>(version >> 8);
}

}  // namespace

CIFStream::CIFStream() = default;

CIFStream::~CIFStream() = default;

CUSharedPtr<CIFStream> CIFStream::Create(const CUSharedPtr<CUStringMac>& path, uint32_t* result) {
    if (result) *result = kResultCIFNoStream;
    if (!path || path->IsNull()) return nullptr;
    try {
        CUSharedPtr<CUFileStream> file(new CUFileStream(path, kCUStreamModeOpen, kCUStreamAccessRead, true));
        if (!file->IsOSFileHandleValid()) return nullptr;
        // The block is copied into memory, so the file is closed on return.
        return Create(CUSharedPtr<CUStream>(file), 0, result);
    } catch (const CUError&) {
        return nullptr;
    }
}

CUSharedPtr<CIFStream> CIFStream::Create(const CUSharedPtr<CUStream>& stream, uint64_t offset,
                                         uint32_t* result) {
    CUSharedPtr<CIFStream> cif(new CIFStream());
    const uint32_t code = cif->Init(stream, _CURange{offset, kBlockSize});
    if (result) *result = code;
    if (code != 0) return nullptr;
    return cif;
}

uint32_t CIFStream::Init(const CUSharedPtr<CUStream>& stream, const _CURange& range) {
    m_Data = nullptr;
    m_Reader = nullptr;
    m_CIFVersion = 0;
    m_MetadataVersion = 0;
    if (!stream || range.length != kBlockSize) return kResultCIFNoStream;
    try {
        const uint64_t length = stream->Length();
        if (range.location > length || length - range.location < range.length) return kResultCIFNoStream;
        CUSharedPtr<CUMemoryStream> data = CUMemoryStream::CreateMemoryStreamPtr(stream, range);
        if (!data) return kResultCIFCopyFailed;
        CUSharedPtr<MetaDataManager> reader = MetaDataManager::Create(data);
        if (!reader) return kResultCIFCopyFailed;

        uint16_t magic = 0;
        uint16_t version = 0;
        if (reader->SetOffset(kOffsetMagic, kCUStreamSeekBegin) && reader->GetUInt16(magic) &&
            magic == kMagic && reader->GetUInt16(version))
            m_CIFVersion = version;
        magic = 0;
        version = 0;
        if (reader->SetOffset(kOffsetMetadataMagic, kCUStreamSeekBegin) && reader->GetUInt16(magic) &&
            magic == kMetadataMagic && reader->GetUInt16(version))
            m_MetadataVersion = version;
        m_Data = data;
        m_Reader = reader;
        return 0;
    } catch (const CUError&) {
        m_CIFVersion = 0;
        m_MetadataVersion = 0;
        return kResultCIFCopyFailed;
    }
}

CUSharedPtr<CIFStream> CIFStream::Copy() const {
    if (!m_Data) return nullptr;
    return Create(CUSharedPtr<CUStream>(m_Data), 0);
}

uint32_t CIFStream::GatState() const {
    const bool supported = MajorVersion(m_CIFVersion) == kSupportedMajorVersion &&
                           MajorVersion(m_MetadataVersion) == kSupportedMajorVersion;
    return supported ? 0 : 2;
}

CUSharedPtr<CUObject> CIFStream::ValueForTag(_CIFValueTag tag) const {
    if (tag >= kCIFValueTagCount || !m_Reader) return nullptr;
    const uint16_t version = tag <= kCIFValueMemberStreams ? m_CIFVersion : m_MetadataVersion;
    if (MajorVersion(version) != kSupportedMajorVersion) return nullptr;
    CUAutoLock lock(m_Reader.get());
    try {
        return ReadValue(tag);
    } catch (const CUError&) {
        return nullptr;
    }
}

CUSharedPtr<CUObject> CIFStream::ReadValue(_CIFValueTag tag) const {
    MetaDataManager& reader = *m_Reader;
    auto at = [&reader](uint32_t offset) { return reader.SetOffset(offset, kCUStreamSeekBegin); };
    auto uint32At = [&](uint32_t offset) -> CUSharedPtr<CUObject> {
        uint32_t value = 0;
        if (!at(offset) || !reader.GetUInt32(value)) return nullptr;
        return CUNumber::Create<unsigned int>(value);
    };
    auto uint8At = [&](uint32_t offset) -> CUSharedPtr<CUObject> {
        uint8_t value = 0;
        if (!at(offset) || !reader.GetUInt8(value)) return nullptr;
        return CUNumber::Create<unsigned char>(value);
    };
    auto textAt = [&](uint32_t offset) -> CUSharedPtr<CUObject> {
        if (!at(offset)) return nullptr;
        return reader.GetFixedASCIIString(kDeviceTextWidth);
    };
    auto timecodeAt = [&](uint32_t offset) -> CUSharedPtr<CUObject> {
        // The stored timecodes count in the clip's timecode mode, which the
        // attributes byte records.
        uint8_t attributes = 0;
        if (!at(kOffsetClipAttributes) || !reader.GetUInt8(attributes) || !at(offset)) return nullptr;
        return reader.GetTimecode((attributes & kDropFrameAttributeBit) != 0);
    };

    switch (tag) {
        case kCIFValueCodingInfo:
            if (!at(kOffsetCodingInfo)) return nullptr;
            return reader.GetCodingInfo();
        case kCIFValueDuration:
            return uint32At(kOffsetDuration);
        case kCIFValueMemberStreamCount:
            return uint32At(kOffsetMemberStreams);
        case kCIFValueMemberStreams:
            if (!at(kOffsetMemberStreams)) return nullptr;
            return reader.GetMemberStreamArray();
        case kCIFValueDeviceManufacturer:
            return textAt(kOffsetManufacturer);
        case kCIFValueDeviceModelName:
            return textAt(kOffsetModelName);
        case kCIFValueDeviceSerialNumber:
            return textAt(kOffsetSerialNumber);
        case kCIFValueDeviceFirmVersion:
            if (!at(kOffsetFirmVersion)) return nullptr;
            return reader.GetFirmVersion();
        case kCIFValueRecordTimeAndDate:
            if (!at(kOffsetRecordTimeandDate)) return nullptr;
            return reader.GetRecordTimeandDate();
        case kCIFValueStartTimecode:
            return timecodeAt(kOffsetStartTimecode);
        case kCIFValueEndTimecode:
            return timecodeAt(kOffsetEndTimecode);
        case kCIFValue976:
            return uint32At(kOffset976);
        case kCIFValueRecordingModeInfo:
            if (!at(kOffsetRecordingMode)) return nullptr;
            return reader.GetRecordingModeInformation(m_MetadataVersion);
        case kCIFValueClipAttributes:
            if (!at(kOffsetClipAttributes)) return nullptr;
            return reader.GetClipAttributes();
        case kCIFValueRelayInformation:
            if (!at(kOffsetRelayInformation)) return nullptr;
            return reader.GetRelayInformation();
        case kCIFValue1140:
            return uint8At(kOffset1140);
        case kCIFValue1141:
            return uint8At(kOffset1141);
        case kCIFValueShotMarks:
            if (!at(kOffsetShotMarks)) return nullptr;
            return reader.GetMarkTable(kShotMarksSize);
        case kCIFValueEventMarks:
            if (!at(kOffsetEventMarks)) return nullptr;
            return reader.GetMarkTable(kEventMarksSize);
        case kCIFValueTagCount:
            break;
    }
    return nullptr;
}

const unsigned char* CIFStream::Bytes() const {
    return m_Data ? m_Data->GetPtr() : nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
