#include "MetaDataManager.h"

#include "CIFStream.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "CUVector.h"
#include "ClipAttributes.h"
#include "ClipIDInfo.h"
#include "CodingInfo.h"
#include "MemberStreamInfo.h"
#include "RecordTimeandDate.h"
#include "RecordingModeInformation.h"
#include "RelayInformation.h"
#include "TimecodeInfo.h"
#include "UMID.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Puts the cursor back where a record started unless the record completed.
class OffsetRestorer {
public:
    explicit OffsetRestorer(ParseMetaData& cursor) : m_Cursor(cursor), m_Start(cursor.offset()) {}
    OffsetRestorer(const OffsetRestorer&) = delete;
    OffsetRestorer& operator=(const OffsetRestorer&) = delete;
    ~OffsetRestorer() {
        if (!m_Done) m_Cursor.SetOffset(static_cast<int64_t>(m_Start), kCUStreamSeekBegin);
    }
    void Done() { m_Done = true; }
    uint64_t Start() const { return m_Start; }

private:
    ParseMetaData& m_Cursor;
    uint64_t m_Start;
    bool m_Done = false;
};

bool AllZero(const unsigned char* bytes, size_t count) {
    return std::all_of(bytes, bytes + count, [](unsigned char b) { return b == 0; });
}

CUSharedPtr<CUUUID> OptionalUUID(const unsigned char* bytes) {
    if (AllZero(bytes, 16)) return nullptr;
    return CUUUID::Create(bytes);
}

CUSharedPtr<UMID> OptionalBasicUMID(const unsigned char* bytes) {
    if (AllZero(bytes, UMID::kBasicLength)) return nullptr;
    CUSharedPtr<UMID> umid(new UMID());
    if (umid->SetData(bytes, UMID::kBasicLength) != 0) return nullptr;
    return umid;
}

// A fixed-width ASCII field up to its first NUL; null when all zero or
// not ASCII.
CUSharedPtr<CUStringMac> OptionalASCII(const unsigned char* bytes, uint32_t width) {
    if (AllZero(bytes, width)) return nullptr;
    CUSharedPtr<CUStringMac> text(new CUStringMac(bytes, width, kCUString_ASCII));
    if (text->IsNull()) return nullptr;
    return text;
}

constexpr uint32_t kMemberEntrySize = 8;
constexpr uint32_t kMaxMemberStreams = 99;
constexpr uint32_t kFirmVersionSize = 8;
constexpr uint8_t kFirmVersionEnd = 255;
constexpr uint32_t kRelayInformationSize = 128;

}  // namespace

MetaDataManager::MetaDataManager() = default;

MetaDataManager::MetaDataManager(const CUSharedPtr<CUStream>& stream) : ParseMetaData(stream) {}

MetaDataManager::~MetaDataManager() = default;

CUSharedPtr<MetaDataManager> MetaDataManager::Create(const CUSharedPtr<CUStream>& stream) {
    if (!stream) return nullptr;
    return CUSharedPtr<MetaDataManager>(new MetaDataManager(stream));
}

bool MetaDataManager::GetBCD(uint8_t& value) {
    CUAutoLock lock(this);
    value = 0;
    OffsetRestorer restore(*this);
    uint8_t byte = 0;
    if (!GetUInt8(byte)) return false;
    const uint8_t tens = byte >> 4;
    const uint8_t units = byte & 0x0F;
    if (tens > 9 || units > 9) return false;
    value = static_cast<uint8_t>(tens * 10 + units);
    restore.Done();
    return true;
}

CUSharedPtr<TimecodeInfo> MetaDataManager::GetTimecode(bool dropFrame) {
    CUAutoLock lock(this);
    OffsetRestorer restore(*this);
    uint8_t frames = 0, seconds = 0, minutes = 0, hours = 0;
    if (!GetBCD(frames) || !GetBCD(seconds) || !GetBCD(minutes) || !GetBCD(hours)) return nullptr;
    restore.Done();
    return TimecodeInfo::Create(hours, minutes, seconds, frames, dropFrame);
}

CUSharedPtr<CodingInfo> MetaDataManager::GetCodingInfo() {
    CUAutoLock lock(this);
    unsigned char bytes[4];
    if (!GetBytes(bytes, sizeof bytes)) return nullptr;
    return CodingInfo::Create(bytes);
}

CUSharedPtr<CUArray> MetaDataManager::GetMemberStreamArray() {
    CUAutoLock lock(this);
    OffsetRestorer restore(*this);
    uint32_t count = 0;
    if (!GetUInt32(count)) return nullptr;
    if (count > kMaxMemberStreams) return nullptr;
    if (uint64_t{count} * kMemberEntrySize > RestLength()) return nullptr;
    CUSharedPtr<CUMutableArray> members = CUMutableArray::Create();
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char entry[kMemberEntrySize];
        if (!GetBytes(entry, sizeof entry)) return nullptr;
        const uint32_t frames = (uint32_t{entry[4]} << 24) | (uint32_t{entry[5]} << 16) |
                                (uint32_t{entry[6]} << 8) | uint32_t{entry[7]};
        members->AddObject(MemberStreamInfo::Create(entry[0], frames));
    }
    restore.Done();
    return members;
}

CUSharedPtr<CUStringMac> MetaDataManager::GetFixedASCIIString(uint32_t width) {
    CUAutoLock lock(this);
    if (width > RestLength()) return nullptr;
    OffsetRestorer restore(*this);
    std::vector<unsigned char> bytes(width);
    if (!GetBytes(bytes.data(), width)) return nullptr;
    CUSharedPtr<CUStringMac> text(new CUStringMac(bytes.data(), width, kCUString_ASCII));
    if (text->IsNull()) return nullptr;
    restore.Done();
    return text;
}

CUSharedPtr<CUStringMac> MetaDataManager::GetFirmVersion() {
    CUAutoLock lock(this);
    OffsetRestorer restore(*this);
    unsigned char bytes[kFirmVersionSize];
    if (!GetBytes(bytes, sizeof bytes)) return nullptr;
    if (bytes[0] == kFirmVersionEnd) return nullptr;
    std::string text = std::to_string(bytes[0]);
    for (uint32_t i = 1; i < kFirmVersionSize && bytes[i] != kFirmVersionEnd; ++i) {
        char component[8];
        std::snprintf(component, sizeof component, ".%02d", static_cast<int>(bytes[i]));
        text += component;
    }
    restore.Done();
    return CUStringMac::Create(text.c_str());
}

CUSharedPtr<RecordTimeandDate> MetaDataManager::GetRecordTimeandDate() {
    CUAutoLock lock(this);
    OffsetRestorer restore(*this);
    uint8_t flags = 0;
    if (!GetUInt8(flags)) return nullptr;
    uint8_t century = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!GetBCD(century) || !GetBCD(year) || !GetBCD(month) || !GetBCD(day) || !GetBCD(hour) ||
        !GetBCD(minute) || !GetBCD(second))
        return nullptr;
    CUSharedPtr<RecordTimeandDate> record = RecordTimeandDate::Create();
    record->daylightSavingTime = (flags >> 6) & 1;
    record->timeZoneSign = (flags >> 5) & 1;
    record->timeZoneHours = (flags >> 1) & 0x0F;
    record->timeZoneHalfHour = flags & 1;
    record->year = static_cast<uint16_t>(century * 100 + year);
    record->month = month;
    record->day = day;
    record->hour = hour;
    record->minute = minute;
    record->second = second;
    restore.Done();
    return record;
}

CUSharedPtr<RecordingModeInformation> MetaDataManager::GetRecordingModeInformation(uint16_t metadataVersion) {
    CUAutoLock lock(this);
    OffsetRestorer restore(*this);
    uint8_t rate = 0, preRec = 0, intervalFrames = 0, unit = 0, intervalTime = 0, frameRec = 0, ae = 0,
            wb = 0, gamma = 0;
    uint16_t mode = 0, variableRate = 0, temperature = 0;
    if (!GetUInt8(rate) || !GetUInt16(mode) || !GetUInt8(preRec) || !GetUInt8(intervalFrames) ||
        !GetUInt8(unit) || !GetUInt8(intervalTime) || !GetUInt8(frameRec) || !GetUInt16(variableRate) ||
        !GetUInt8(ae) || !GetUInt8(wb) || !GetUInt16(temperature) || !GetUInt8(gamma))
        return nullptr;
    CUSharedPtr<RecordingModeInformation> info = RecordingModeInformation::Create();
    info->cbrFlag = static_cast<_CBR_Flag>(rate >> 7);
    info->recordingRate = static_cast<_Recording_Rate>(rate & 0x7F);
    info->recordingMode = static_cast<_Recording_Mode>(mode);
    info->preRecTime = preRec;
    info->intervalFrameNum = intervalFrames;
    info->intervalUnit = static_cast<_Interval_Unit>(unit & 0x03);
    info->intervalTime = intervalTime;
    info->frameRecNum = frameRec;
    info->variableFrameRate = variableRate;
    info->aeMode = static_cast<_AE_Mode>(ae);
    info->wbMode = static_cast<_WB_Mode>(wb >> 5);
    info->wbPreset = static_cast<_WB_Preset>(wb & 0x1F);
    info->accurateFlag = static_cast<_Accurate_Flag>(temperature >> 15);
    info->colorTemperature = static_cast<uint16_t>(temperature & 0x7FFF);
    if (metadataVersion > 0x0100) info->irMode = gamma >> 7;
    info->logGammaFlag = static_cast<_LogGamma_Flag>((gamma >> 6) & 1);
    info->gammaSetting = static_cast<_Gamma_Setting>(gamma & 0x0F);
    restore.Done();
    return info;
}

CUSharedPtr<ClipAttributes> MetaDataManager::GetClipAttributes() {
    CUAutoLock lock(this);
    uint8_t stored = 0;
    if (!GetUInt8(stored)) return nullptr;
    return ClipAttributes::Create(stored);
}

CUSharedPtr<RelayInformation> MetaDataManager::GetRelayInformation() {
    CUAutoLock lock(this);
    unsigned char area[kRelayInformationSize];
    if (!GetBytes(area, sizeof area)) return nullptr;
    CUSharedPtr<RelayInformation> relay = RelayInformation::Create();
    relay->mediumID = OptionalUUID(area);
    relay->previousMediumID = OptionalUUID(area + 16);
    relay->previousClipID = OptionalASCII(area + 32, 6);
    relay->previousUMID = OptionalBasicUMID(area + 40);
    relay->nextMediumID = OptionalUUID(area + 72);
    relay->nextClipID = OptionalASCII(area + 88, 6);
    relay->nextUMID = OptionalBasicUMID(area + 96);
    return relay;
}

CUSharedPtr<CUArray> MetaDataManager::GetMarkTable(uint32_t byteLength) {
    CUAutoLock lock(this);
    if (byteLength > RestLength()) return nullptr;
    CUSharedPtr<CUVector<unsigned char>> table = CreateCUVectorUInt8();
    table->resize(byteLength);
    if (!GetBytes(table->data(), byteLength)) return nullptr;
    CUSharedPtr<CUMutableArray> marks = CUMutableArray::Create();
    if (!AllZero(table->data(), table->size())) marks->AddObject(table);
    return marks;
}

CUSharedPtr<ClipIDInfo> MetaDataManager::GetClipIDInfo() {
    CUAutoLock lock(this);
    OffsetRestorer restore(*this);
    unsigned char bytes[ClipIDInfo::kRecordSize];
    if (!GetBytes(bytes, sizeof bytes)) return nullptr;
    CUSharedPtr<ClipIDInfo> info = ClipIDInfo::Create(bytes);
    if (info) restore.Done();
    return info;
}

CUSharedPtr<CUMutableArray> MetaDataManager::GetClipIDInfoArray(uint32_t count) {
    CUAutoLock lock(this);
    if (uint64_t{count} * ClipIDInfo::kRecordSize > RestLength()) return nullptr;
    OffsetRestorer restore(*this);
    CUSharedPtr<CUMutableArray> records = CUMutableArray::Create();
    for (uint32_t i = 0; i < count; ++i) {
        CUSharedPtr<ClipIDInfo> info = GetClipIDInfo();
        if (!info) return nullptr;
        records->AddObject(info);
    }
    restore.Done();
    return records;
}

CUSharedPtr<CUMutableArray> MetaDataManager::GetCIFStreamArray(uint32_t count) {
    CUAutoLock lock(this);
    const uint64_t total = uint64_t{count} * CIFStream::kBlockSize;
    if (total > RestLength()) return nullptr;
    OffsetRestorer restore(*this);
    CUSharedPtr<CUMutableArray> blocks = CUMutableArray::Create();
    for (uint32_t i = 0; i < count; ++i) {
        CUSharedPtr<CIFStream> block =
            CIFStream::Create(Stream(), restore.Start() + uint64_t{i} * CIFStream::kBlockSize);
        if (!block) return nullptr;
        blocks->AddObject(block);
    }
    if (!SetOffset(static_cast<int64_t>(restore.Start() + total), kCUStreamSeekBegin)) return nullptr;
    restore.Done();
    return blocks;
}

}  // namespace ComVantoVantoQZ64RADPlug
