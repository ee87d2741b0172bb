#include "PrimerPack.h"

#include "CUStream.h"
#include "CUStringMac.h"
#include "ParseMetaData.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// Tag (2 bytes) and label (16 bytes).
constexpr uint32_t kPrimerItemLength = 18;
}  // namespace

PrimerPack::PrimerPack() = default;
PrimerPack::PrimerPack(const KLVPacket& packet) : KLVPacket(packet) {}
PrimerPack::~PrimerPack() = default;

bool PrimerPack::isImportable() const {
    return PacketType() == kMxfKeyPrimerPack;
}

uint32_t PrimerPack::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    m_Map.clear();
    if (!stream) return kMxfErrInvalidArgument;
    CUSharedPtr<ParseMetaData> reader;
    try {
        reader = CUSharedPtr<ParseMetaData>(new ParseMetaData(stream));
    } catch (const std::bad_alloc&) {
        return kMxfErrAuxiliaryObject;
    }
    uint32_t count = 0;
    uint32_t itemLength = 0;
    if (offset > static_cast<uint64_t>(INT64_MAX) || !reader->SetOffset(static_cast<int64_t>(offset), 0) ||
        !reader->GetUInt32(count) || !reader->GetUInt32(itemLength))
        return kMxfErrFormat;
    if (count == 0 || itemLength != kPrimerItemLength) return 0;
    // The items must lie within the pack (and the stream) before any is
    // read: a crafted count would otherwise walk through the following sets.
    uint64_t room = reader->RestLength();
    if (m_Length != 0) room = std::min<uint64_t>(room, m_Length >= 8 ? m_Length - 8 : 0);
    if (static_cast<uint64_t>(count) * kPrimerItemLength > room) return kMxfErrFormat;
    // All items in one read (the bound above keeps it within the pack), then
    // taken apart in memory: one stream read per item would cost a lock round
    // trip each, and a header holds hundreds of items.
    std::vector<unsigned char> items(static_cast<size_t>(count) * kPrimerItemLength);
    if (!reader->GetBytes(items.data(), items.size())) return kMxfErrFormat;
    for (size_t at = 0; at < items.size(); at += kPrimerItemLength) {
        const uint16_t tag = static_cast<uint16_t>((items[at] << 8) | items[at + 1]);
        AddEntry(MxfUUID(&items[at + 2]), tag);
    }
    return 0;
}

void PrimerPack::AddEntry(const MxfUUID& label, uint16_t tag) {
    m_Map.emplace(label, tag);
}

bool PrimerPack::UIDToTag(uint16_t& tag, const MxfUUID& label) const {
    tag = 0;
    const auto it = m_Map.find(label);
    if (it == m_Map.end()) return false;
    tag = it->second;
    return true;
}

CUSharedPtr<MxfUUID> PrimerPack::UIDAtTag(uint16_t tag) const {
    for (const auto& [label, itemTag] : m_Map) {
        if (itemTag == tag) return CUSharedPtr<MxfUUID>(new MxfUUID(label));
    }
    return nullptr;
}

CUSharedPtr<CUStringMac> PrimerPack::Description() const {
    std::string text = "PrimerPack {\n";
    char line[96];
    for (const auto& [label, tag] : m_Map) {
        CUSharedPtr<CUStringMac> name = label.Description();
        std::snprintf(line, sizeof line, "\t%04X = %s\n", tag, name ? static_cast<const char*>(*name) : "");
        text += line;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
