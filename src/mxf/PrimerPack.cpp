#include "PrimerPack.h"

#include "CUStream.h"
#include "CUStringMac.h"
#include "ParseMetaData.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
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
    m_Entries.clear();
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
    m_Entries.reserve(count);
    for (size_t at = 0; at < items.size(); at += kPrimerItemLength) {
        Entry entry;
        entry.tag = static_cast<uint16_t>((items[at] << 8) | items[at + 1]);
        std::memcpy(entry.label, &items[at + 2], sizeof entry.label);
        m_Entries.push_back(entry);
    }
    // Ordered by label; of a label given twice the first tag stays (the
    // stable sort keeps the file's order among equal labels).
    std::stable_sort(m_Entries.begin(), m_Entries.end(), LabelLess);
    m_Entries.erase(
        std::unique(m_Entries.begin(), m_Entries.end(),
                    [](const Entry& a, const Entry& b) { return !LabelLess(a, b) && !LabelLess(b, a); }),
        m_Entries.end());
    return 0;
}

bool PrimerPack::LabelLess(const Entry& a, const Entry& b) {
    return std::memcmp(a.label, b.label, sizeof a.label) < 0;
}

const PrimerPack::Entry* PrimerPack::FindEntry(const MxfUUID& label) const {
    Entry key;
    std::memcpy(key.label, label.Bytes(), sizeof key.label);
    const auto it = std::lower_bound(m_Entries.begin(), m_Entries.end(), key, LabelLess);
    if (it == m_Entries.end() || LabelLess(key, *it)) return nullptr;
    return &*it;
}

void PrimerPack::AddEntry(const MxfUUID& label, uint16_t tag) {
    Entry entry;
    entry.tag = tag;
    std::memcpy(entry.label, label.Bytes(), sizeof entry.label);
    const auto it = std::lower_bound(m_Entries.begin(), m_Entries.end(), entry, LabelLess);
    if (it != m_Entries.end() && !LabelLess(entry, *it)) return;
    m_Entries.insert(it, entry);
}

bool PrimerPack::UIDToTag(uint16_t& tag, const MxfUUID& label) const {
    tag = 0;
    const Entry* entry = FindEntry(label);
    if (!entry) return false;
    tag = entry->tag;
    return true;
}

CUSharedPtr<MxfUUID> PrimerPack::UIDAtTag(uint16_t tag) const {
    for (const Entry& entry : m_Entries) {
        if (entry.tag == tag) return CUSharedPtr<MxfUUID>(new MxfUUID(entry.label));
    }
    return nullptr;
}

CUSharedPtr<CUStringMac> PrimerPack::Description() const {
    std::string text = "PrimerPack {\n";
    char line[96];
    for (const Entry& entry : m_Entries) {
        CUSharedPtr<CUStringMac> name = MxfUUID(entry.label).Description();
        std::snprintf(line, sizeof line, "\t%04X = %s\n", entry.tag,
                      name ? static_cast<const char*>(*name) : "");
        text += line;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
