#include "MifWriter.h"

#include "CardBytes.h"
#include "CardWriter.h"
#include "CifWriter.h"

namespace ComVantoVantoQZ64RADPlug::CardWriter {

using namespace CardBytes;

namespace {

constexpr size_t kMagic = 0, kVersion = 2, kSystemBitmap = 4, kReserved5 = 5, kClipCount = 8,
                 kClipIdTable = 12;
constexpr size_t kClipIdRecordSize = 12;
constexpr size_t kClipInformationTable = 12288;  // 0x3000
constexpr size_t kMediaMetadata = 2569728;       // 0x273600
constexpr size_t kExtensionWord = 2573820;       // 0x2745FC
constexpr size_t kMediaMetadataUuid = 4;

}  // namespace

std::array<uint8_t, 12> ClipIdRecord(const ClipId& id) {
    std::array<uint8_t, 12> record{};
    for (size_t i = 0; i < 2 && i < id.userId.size(); ++i) record[i] = static_cast<uint8_t>(id.userId[i]);
    for (size_t i = 0; i < 4; ++i) record[4 + i] = static_cast<uint8_t>(id.number >> (24 - 8 * i));
    return record;
}

std::vector<uint8_t> BuildMediaIndex(const CardDescription& card) {
    const MediaIndexCoding& coding = card.index;
    const std::vector<size_t> order = EffectiveClipOrder(card);
    if (order.size() > kMediaIndexMaxClips) throw CardWriterError("media index: more than 999 clips");

    std::vector<uint8_t> image(kMediaIndexSize, 0);
    PutU16(image, kMagic, coding.magic);
    PutU16(image, kVersion, coding.version);
    PutU8(image, kSystemBitmap, coding.systemBitmap.value_or(DefaultSystemBitmap(card)));
    PutBytes(image, kReserved5, coding.reserved5.data(), coding.reserved5.size());
    PutU32(image, kClipCount, coding.clipCount.value_or(static_cast<uint32_t>(order.size())));

    for (size_t entry = 0; entry < order.size(); ++entry) {
        const size_t clipIndex = order[entry];
        if (clipIndex >= card.clips.size())
            throw CardWriterError("media index: clip order names a missing clip");
        const auto record = ClipIdRecord(card.clips[clipIndex].id);
        PutBytes(image, kClipIdTable + kClipIdRecordSize * entry, record.data(), record.size());
        const std::vector<uint8_t> block = BuildClipInformation(card, clipIndex);
        PutBytes(image, kClipInformationTable + kClipInformationSize * entry, block.data(), block.size());
    }

    PutU16(image, kMediaMetadata, coding.mediaMetadataMagic);
    PutU16(image, kMediaMetadata + 2, coding.mediaMetadataVersion);
    PutBytes(image, kMediaMetadata + kMediaMetadataUuid, card.mediaUuid.data(), card.mediaUuid.size());
    PutU32(image, kExtensionWord, coding.extensionWord);
    return image;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
