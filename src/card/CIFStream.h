#pragma once
// Reader of a clip's 2560-byte clip information block: the clip's own
// <clip ID>.CIF file or its copy inside the media index. The block is copied
// into memory once; values are decoded on request (ValueForTag), each a new
// object owned by the caller. Safe to query from several threads: the reads
// of one request hold the reader's lock.
#include "CIFValueTag.h"
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUMemoryStream;
class CUStream;
class CUStringMac;
class MetaDataManager;
struct _CURange;

// Result codes of the reader.
constexpr uint32_t kResultCIFNoStream = 0x140001;    // no stream, or the block does not fit in it
constexpr uint32_t kResultCIFCopyFailed = 0x141009;  // the block could not be copied

class CIFStream : public CUObject {
public:
    static constexpr uint32_t kBlockSize = 2560;
    static constexpr uint16_t kMagic = 0x4349;          // "CI"
    static constexpr uint16_t kMetadataMagic = 0x434D;  // "CM"
    static constexpr uint32_t kMaxMemberStreams = 99;

    // Field offsets in the block.
    static constexpr uint32_t kOffsetMagic = 0;
    static constexpr uint32_t kOffsetVersion = 2;
    static constexpr uint32_t kOffsetCodingInfo = 4;
    static constexpr uint32_t kOffsetDuration = 12;
    static constexpr uint32_t kOffsetMemberStreams = 56;  // count, then the entries
    static constexpr uint32_t kOffsetMetadataMagic = 852;
    static constexpr uint32_t kOffsetMetadataVersion = 854;
    static constexpr uint32_t kOffsetManufacturer = 856;
    static constexpr uint32_t kOffsetModelName = 888;
    static constexpr uint32_t kOffsetSerialNumber = 920;
    static constexpr uint32_t kDeviceTextWidth = 32;
    static constexpr uint32_t kOffsetFirmVersion = 952;
    static constexpr uint32_t kOffsetRecordTimeandDate = 960;
    static constexpr uint32_t kOffsetStartTimecode = 968;
    static constexpr uint32_t kOffsetEndTimecode = 972;
    static constexpr uint32_t kOffset976 = 976;
    static constexpr uint32_t kOffsetRecordingMode = 980;
    static constexpr uint32_t kOffsetClipAttributes = 1004;
    static constexpr uint32_t kOffsetRelayInformation = 1012;
    static constexpr uint32_t kOffset1140 = 1140;
    static constexpr uint32_t kOffset1141 = 1141;
    static constexpr uint32_t kOffsetShotMarks = 1144;
    static constexpr uint32_t kShotMarksSize = 400;
    static constexpr uint32_t kOffsetEventMarks = 1544;
    static constexpr uint32_t kEventMarksSize = 1016;

    CIFStream();
    ~CIFStream() override;

    // Opens the file read-only and reads its first 2560 bytes; null on
    // failure (result, when given, receives the code; 0 on success).
    static CUSharedPtr<CIFStream> Create(const CUSharedPtr<CUStringMac>& path, uint32_t* result = nullptr);
    // The 2560 bytes at `offset` of an open stream.
    static CUSharedPtr<CIFStream> Create(const CUSharedPtr<CUStream>& stream, uint64_t offset,
                                         uint32_t* result = nullptr);

    // Copies range.length (2560) bytes at range.location into memory and
    // reads both versions. kResultCIFNoStream without a stream or when the
    // range ends beyond the stream's length (64-bit), kResultCIFCopyFailed
    // when the copy fails; a wrong magic still succeeds (version 0).
    uint32_t Init(const CUSharedPtr<CUStream>& stream, const _CURange& range);

    // A new reader over a copy of the same bytes; null when this one holds
    // none.
    CUSharedPtr<CIFStream> Copy() const;

    // The block's kBlockSize bytes as read; null before Init.
    const unsigned char* Bytes() const;

    // 0 when the magic did not match (or before Init).
    uint16_t CIFVersion() const { return m_CIFVersion; }
    uint16_t MetadataVersion() const { return m_MetadataVersion; }
    // 0 when both major versions are 1, else 2.
    uint32_t GatState() const;

    // The value of the tag (see _CIFValueTag), a new object per request.
    // Null for tags 0-3 unless the block's major version is 1, for tags
    // 4-18 unless the clip metadata major version is 1, for tags above 18,
    // and when the stored field cannot be decoded.
    CUSharedPtr<CUObject> ValueForTag(_CIFValueTag tag) const;

private:
    CUSharedPtr<CUObject> ReadValue(_CIFValueTag tag) const;

    CUSharedPtr<CUMemoryStream> m_Data;
    CUSharedPtr<MetaDataManager> m_Reader;
    uint16_t m_CIFVersion = 0;
    uint16_t m_MetadataVersion = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
