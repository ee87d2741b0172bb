#pragma once
// The media metadata block of the media index: magic "MM", a version and the
// medium's UUID in 4092 bytes. The block is copied into memory when it is
// read, so the source stream may be closed afterwards. Reads of one request
// hold the block reader's lock, so an instance may be queried from several
// threads; the setters are not meant to run alongside readers.
#include "CUMemoryStream.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCContentValueTag.h"
#include "MetaDataManager.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUUUID;

class MediaMetadata : public CUObject {
public:
    static constexpr uint32_t kBlockSize = 4092;
    static constexpr uint16_t kMagic = 0x4D4D;  // "MM"
    static constexpr uint16_t kNewVersion = 0x0100;
    static constexpr uint8_t kSupportedMajorVersion = 1;
    static constexpr uint32_t kOffsetMagic = 0;
    static constexpr uint32_t kOffsetVersion = 2;
    static constexpr uint32_t kOffsetMediaID = 4;

    MediaMetadata();
    ~MediaMetadata() override;

    // Copies and checks the kBlockSize bytes at `offset` of `stream`. Null
    // when the stream is null, the block does not lie wholly inside it or
    // its magic is not "MM" (result, when given, receives the code).
    static CUSharedPtr<MediaMetadata> Create(const CUSharedPtr<CUStream>& stream, uint64_t offset,
                                             uint32_t* result = nullptr);
    // A new block of version kNewVersion holding a fresh UUID.
    static CUSharedPtr<MediaMetadata> Create();

    // 0; kResultNullArgument without a stream; kResultReadFailure when the
    // block cannot be copied or its magic or version cannot be read.
    uint32_t Init(const CUSharedPtr<CUStream>& stream, uint64_t offset);

    uint16_t MetadataVersion() const { return m_Version; }
    // 0 when the major version (high byte) is 1, else 2.
    uint32_t GetState() const;

    // kContentValueMediaID: the UUID at block offset 4 (a new CUUUID per
    // call). Null for every other tag and for a block that was not read.
    CUSharedPtr<CUObject> ValueForTag(_ContentValueTag tag) const;
    // kContentValueMediaID with a CUUUID replaces the stored UUID: 0.
    // kResultNullArgument for another value type, tag or an unread block.
    uint32_t SetValueForTag(const CUSharedPtr<CUObject>& value, _ContentValueTag tag);

    // Copies the block into the file image `image` at `offset` (the media
    // index's bytes before they are written): 0; kResultNullArgument for a
    // null image or an unread block; kResultFileOperationFailure when the
    // block does not lie wholly inside the image.
    uint32_t WriteToFileStream(const CUSharedPtr<CUMemoryStream>& image, uint64_t offset) const;

    // The block's bytes (kBlockSize of them), null before Init.
    const unsigned char* Bytes() const;

private:
    CUSharedPtr<CUMemoryStream> m_Data;
    CUSharedPtr<MetaDataManager> m_Reader;
    uint16_t m_Version = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
