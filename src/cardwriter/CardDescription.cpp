#include "CardDescription.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

uint8_t DefaultSystemBitmap(const CardDescription& card) {
    uint8_t bitmap = 0;
    for (const auto& clip : card.clips) bitmap |= TraitsOf(clip.frameRate).family;
    // A freshly formatted card has no clips but still a frame-rate type;
    // readers refuse a type of 0.
    return bitmap != 0 ? bitmap : static_cast<uint8_t>(kFamily59_94);
}

std::vector<size_t> EffectiveClipOrder(const CardDescription& card) {
    if (!card.clipOrder.empty()) return card.clipOrder;
    std::vector<size_t> order(card.clips.size());
    std::iota(order.begin(), order.end(), size_t{0});
    return order;
}

namespace {

// Basic UMID label: SMPTE 330M, material type "mixed group", material number
// made by the UUID method, instance number unassigned.
constexpr uint8_t kUmidLabel[12] = {0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01, 0x0D, 0x20};

uint64_t Mix(uint64_t x) {
    // splitmix64 finaliser: a stable, well-spread function of its input.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A UMID whose material number is a deterministic function of the medium,
// the clip ID and a kind tag, so a card written twice is byte-identical and
// two cards with different media UUIDs never share a UMID.
Umid DerivedUmid(const CardDescription& card, const ClipDescription& clip, uint64_t kind) {
    uint64_t seed = 0;
    for (uint8_t b : card.mediaUuid) seed = Mix(seed ^ b);
    for (char c : clip.id.userId.substr(0, 2)) seed = Mix(seed ^ static_cast<uint8_t>(c));
    seed = Mix(seed ^ clip.id.number);
    seed = Mix(seed ^ kind);
    Umid umid{};
    std::copy(std::begin(kUmidLabel), std::end(kUmidLabel), umid.begin());
    umid[12] = 0x13;  // length of the rest of a basic UMID
    const uint64_t high = Mix(seed ^ 1), low = Mix(seed ^ 2);
    for (int i = 0; i < 8; ++i) {
        umid[16 + i] = static_cast<uint8_t>(high >> (56 - 8 * i));
        umid[24 + i] = static_cast<uint8_t>(low >> (56 - 8 * i));
    }
    umid[22] = static_cast<uint8_t>((umid[22] & 0x0F) | 0x40);  // RFC 4122 version 4 layout
    umid[24] = static_cast<uint8_t>((umid[24] & 0x3F) | 0x80);
    return umid;
}

bool IsZero(const Umid& umid) {
    for (uint8_t b : umid)
        if (b != 0) return false;
    return true;
}

}  // namespace

Umid MaterialPackageUmidOf(const CardDescription& card, size_t clipIndex) {
    const ClipDescription& clip = card.clips.at(clipIndex);
    return IsZero(clip.materialPackageUmid) ? DerivedUmid(card, clip, 1) : clip.materialPackageUmid;
}

Umid RelayPackageUmidOf(const CardDescription& card, size_t clipIndex) {
    const ClipDescription& clip = card.clips.at(clipIndex);
    return IsZero(clip.relayPackageUmid) ? DerivedUmid(card, clip, 2) : clip.relayPackageUmid;
}

Umid FilePackageUmidOf(const CardDescription& card, size_t clipIndex, size_t memberIndex) {
    const ClipDescription& clip = card.clips.at(clipIndex);
    if (memberIndex < clip.members.size() && !IsZero(clip.members[memberIndex].filePackageUmid))
        return clip.members[memberIndex].filePackageUmid;
    return DerivedUmid(card, clip, 0x100 + memberIndex);
}

void LinkRelayClips(CardDescription& from, size_t fromIndex, CardDescription& to, size_t toIndex) {
    ClipDescription& first = from.clips.at(fromIndex);
    ClipDescription& second = to.clips.at(toIndex);
    first.relay.next.mediumId = second.relay.mediumId.value_or(to.mediaUuid);
    first.relay.next.clipId = ClipIdText(second.id);
    first.relay.next.umid = RelayPackageUmidOf(to, toIndex);
    second.relay.previous.mediumId = first.relay.mediumId.value_or(from.mediaUuid);
    second.relay.previous.clipId = ClipIdText(first.id);
    second.relay.previous.umid = RelayPackageUmidOf(from, fromIndex);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
