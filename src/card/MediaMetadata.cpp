#include "MediaMetadata.h"

#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUUUID.h"
#include "FBCResultCodes.h"
#include "MetaDataManager.h"

#include <array>
#include <cstring>

namespace ComVantoVantoQZ64RADPlug {

MediaMetadata::MediaMetadata() = default;

MediaMetadata::~MediaMetadata() = default;

CUSharedPtr<MediaMetadata> MediaMetadata::Create(const CUSharedPtr<CUStream>& stream, uint64_t offset,
                                                 uint32_t* result) {
    CUSharedPtr<MediaMetadata> metadata(new MediaMetadata());
    const uint32_t code = metadata->Init(stream, offset);
    if (result) *result = code;
    if (code != 0) return nullptr;
    return metadata;
}

CUSharedPtr<MediaMetadata> MediaMetadata::Create() {
    CUSharedPtr<CUUUID> uuid = CUUUID::Create();
    if (!uuid) return nullptr;
    std::array<unsigned char, kBlockSize> block{};
    block[kOffsetMagic] = static_cast<unsigned char>(kMagic >> 8);
    block[kOffsetMagic + 1] = static_cast<unsigned char>(kMagic & 0xFF);
    block[kOffsetVersion] = static_cast<unsigned char>(kNewVersion >> 8);
    block[kOffsetVersion + 1] = static_cast<unsigned char>(kNewVersion & 0xFF);
    uuid->GetBytes(block.data() + kOffsetMediaID);
    try {
        CUSharedPtr<CUStream> source(new CUMemoryStream(block.data(), block.size(), false));
        return Create(source, 0);
    } catch (const CUError&) {
        return nullptr;
    }
}

uint32_t MediaMetadata::Init(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    m_Data = nullptr;
    m_Reader = nullptr;
    m_Version = 0;
    if (!stream) return kResultNullArgument;
    try {
        // The range is checked in 64 bits before anything is allocated.
        const uint64_t length = stream->Length();
        if (offset > length || length - offset < kBlockSize) return kResultReadFailure;
        CUSharedPtr<CUMemoryStream> data =
            CUMemoryStream::CreateMemoryStreamPtr(stream, _CURange{offset, kBlockSize});
        if (!data) return kResultReadFailure;
        CUSharedPtr<MetaDataManager> reader = MetaDataManager::Create(CUSharedPtr<CUStream>(data));
        if (!reader) return kResultReadFailure;
        uint16_t magic = 0;
        uint16_t version = 0;
        if (!reader->SetOffset(kOffsetMagic, kCUStreamSeekBegin) || !reader->GetUInt16(magic) ||
            magic != kMagic || !reader->GetUInt16(version))
            return kResultReadFailure;
        m_Data = data;
        m_Reader = reader;
        m_Version = version;
        return 0;
    } catch (const CUError&) {
        return kResultReadFailure;
    }
}

uint32_t MediaMetadata::GetState() const {
    return (m_Version >> 8) == kSupportedMajorVersion ? 0 : 2;
}

CUSharedPtr<CUObject> MediaMetadata::ValueForTag(_ContentValueTag tag) const {
    if (tag != kContentValueMediaID || !m_Reader) return nullptr;
    CUAutoLock lock(m_Reader.get());
    unsigned char bytes[16] = {};
    if (!m_Reader->SetOffset(kOffsetMediaID, kCUStreamSeekBegin) || !m_Reader->GetBytes(bytes, sizeof bytes))
        return nullptr;
    return CUUUID::Create(bytes);
}

uint32_t MediaMetadata::SetValueForTag(const CUSharedPtr<CUObject>& value, _ContentValueTag tag) {
    if (tag != kContentValueMediaID || !m_Data || !m_Data->GetPtr()) return kResultNullArgument;
    CUSharedPtr<CUUUID> uuid = value;
    if (!uuid) return kResultNullArgument;
    CUAutoLock lock(m_Reader.get());
    uuid->GetBytes(m_Data->GetPtr() + kOffsetMediaID);
    return 0;
}

uint32_t MediaMetadata::WriteToFileStream(const CUSharedPtr<CUMemoryStream>& image, uint64_t offset) const {
    if (!image || !image->GetPtr() || !m_Data || !m_Data->GetPtr()) return kResultNullArgument;
    const uint64_t length = image->Length();
    if (offset > length || length - offset < kBlockSize) return kResultFileOperationFailure;
    CUAutoLock lock(m_Reader.get());
    std::memcpy(image->GetPtr() + offset, m_Data->GetPtr(), kBlockSize);
    return 0;
}

const unsigned char* MediaMetadata::Bytes() const {
    return m_Data ? m_Data->GetPtr() : nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
