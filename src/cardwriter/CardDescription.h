#pragma once
// Description of a whole QZ card: the media index values and the clips in
// index order. WriteCard (CardWriter.h) turns it into the folder tree.
// Plain aggregate; defaults make a valid, empty 59.94 Hz card.
#include "ClipDescription.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

struct MediaIndexCoding {
    uint16_t magic = 0x4D49;  // "MI"
    uint16_t version = 0x0101;
    std::optional<uint8_t> systemBitmap;   // default: the frame-rate families of the clips
    std::array<uint8_t, 3> reserved5{};    // the three bytes after the bitmap
    std::optional<uint32_t> clipCount;     // default: the number of index entries
    uint16_t mediaMetadataMagic = 0x4D4D;  // "MM"
    uint16_t mediaMetadataVersion = 0x0100;
    uint32_t extensionWord = 0;
    bool write = true;  // false: no INDEX.MIF
};

struct CardDescription {
    Uuid mediaUuid = {0x51, 0x5A, 0x43, 0x41, 0x52, 0x44, 0x40, 0x00,
                      0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    MediaIndexCoding index;
    std::vector<ClipDescription> clips;
    // Index entries in card order, as positions in clips; empty = clips in
    // their given order. Every clip gets its folder whether listed or not.
    std::vector<size_t> clipOrder;
};

// Family bits of every clip's rate (the default system bitmap); the 59.94 Hz
// family for a card without clips of a known rate.
uint8_t DefaultSystemBitmap(const CardDescription& card);

// The index order WriteCard uses (clipOrder, or 0..n-1).
std::vector<size_t> EffectiveClipOrder(const CardDescription& card);

// UMIDs the writer stores for clip `clipIndex` (position in card.clips): the
// given value, or a deterministic one derived from the media UUID, the clip
// number and (for file packages) the member position. The relay UMID is what
// each member file's sequence information carries and what the previous and
// next clips' relay links name.
Umid MaterialPackageUmidOf(const CardDescription& card, size_t clipIndex);
Umid RelayPackageUmidOf(const CardDescription& card, size_t clipIndex);
Umid FilePackageUmidOf(const CardDescription& card, size_t clipIndex, size_t memberIndex);

// Makes clip `fromIndex` of `from` continue as clip `toIndex` of `to` (a
// recording spanning two cards, or two clips of one card): sets the next
// link of the first and the previous link of the second (medium ids, clip
// ID texts, relay UMIDs).
void LinkRelayClips(CardDescription& from, size_t fromIndex, CardDescription& to, size_t toIndex);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
