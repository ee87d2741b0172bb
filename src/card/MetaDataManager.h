#pragma once
// Big-endian cursor over the card's binary files (media index, clip
// information blocks) with the readers of their records. Each reader either
// delivers a complete record and advances past it, or yields null / false
// and leaves the cursor where it was; nothing is thrown. Every reader holds
// the cursor's recursive lock for its whole sequence of reads; callers that
// position the cursor and read should hold it too (CUAutoLock).
// The records the readers return are included so callers can hold them.
#include "CUArray.h"
#include "CUMutableArray.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"
#include "ClipAttributes.h"
#include "ClipIDInfo.h"
#include "CodingInfo.h"
#include "ParseMetaData.h"
#include "RecordTimeandDate.h"
#include "RecordingModeInformation.h"
#include "RelayInformation.h"
#include "TimecodeInfo.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CIFStream;
class CUStream;

class MetaDataManager : public ParseMetaData {
public:
    MetaDataManager();
    explicit MetaDataManager(const CUSharedPtr<CUStream>& stream);
    ~MetaDataManager() override;

    // Null for a null stream.
    static CUSharedPtr<MetaDataManager> Create(const CUSharedPtr<CUStream>& stream);

    // One BCD byte (high nibble tens, low nibble units) as 0-99; false when
    // a nibble is above 9 or no byte remains.
    bool GetBCD(uint8_t& value);
    // Four BCD bytes frames, seconds, minutes, hours.
    CUSharedPtr<TimecodeInfo> GetTimecode(bool dropFrame);
    // Four bytes of 4-bit codes.
    CUSharedPtr<CodingInfo> GetCodingInfo();
    // Count (32-bit, at most 99, and count x 8 bytes must remain), then one
    // 8-byte entry each: number, 3 bytes skipped, frame count. A CUArray of
    // MemberStreamInfo.
    CUSharedPtr<CUArray> GetMemberStreamArray();
    // width bytes read as ASCII up to the first NUL (padding kept). Null
    // when fewer bytes remain or a byte is not ASCII.
    CUSharedPtr<CUStringMac> GetFixedASCIIString(uint32_t width);
    // Eight version components, 255 ending the list: "1.02.03". Null when
    // the first component is 255.
    CUSharedPtr<CUStringMac> GetFirmVersion();
    // Eight bytes: flags, then BCD century, year, month, day, hour, minute,
    // second.
    CUSharedPtr<RecordTimeandDate> GetRecordTimeandDate();
    // Fifteen bytes; the infrared bit counts only when metadataVersion is
    // above 0x0100.
    CUSharedPtr<RecordingModeInformation> GetRecordingModeInformation(uint16_t metadataVersion);
    CUSharedPtr<ClipAttributes> GetClipAttributes();
    // 128 bytes.
    CUSharedPtr<RelayInformation> GetRelayInformation();
    // An opaque table of byteLength bytes: an empty array when all bytes are
    // zero, else an array holding one CUVector<unsigned char> of the bytes.
    CUSharedPtr<CUArray> GetMarkTable(uint32_t byteLength);

    // One 12-byte clip identifier record; null (cursor unchanged) when
    // invalid.
    CUSharedPtr<ClipIDInfo> GetClipIDInfo();
    // count records in order; null (cursor unchanged) when one is invalid or
    // count x 12 bytes do not remain.
    CUSharedPtr<CUMutableArray> GetClipIDInfoArray(uint32_t count);
    // count clip information blocks of 2560 bytes each, the cursor advancing
    // exactly 2560 per block whatever it holds; null (cursor unchanged) when
    // count x 2560 bytes do not remain or a block cannot be copied.
    CUSharedPtr<CUMutableArray> GetCIFStreamArray(uint32_t count);
};

}  // namespace ComVantoVantoQZ64RADPlug
