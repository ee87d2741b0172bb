#include "RandomIndexPack.h"

#include "CUStream.h"
#include "CUStringMac.h"
#include "ParseMetaData.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {
// BodySID (4 bytes) and partition offset (8 bytes).
constexpr uint64_t kEntryBytes = 12;
}  // namespace

RandomIndexPack::RandomIndexPack() = default;
RandomIndexPack::RandomIndexPack(const KLVPacket& packet) : KLVPacket(packet) {}
RandomIndexPack::~RandomIndexPack() = default;

bool RandomIndexPack::isImportable() const {
    return PacketType() == kMxfKeyRandomIndexPack;
}

uint32_t RandomIndexPack::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    m_Entries.clear();
    if (!stream) return kMxfErrFormat;
    CUSharedPtr<ParseMetaData> reader;
    try {
        reader = CUSharedPtr<ParseMetaData>(new ParseMetaData(stream));
    } catch (const std::bad_alloc&) {
        return kMxfErrFormat;
    }
    if (offset > static_cast<uint64_t>(INT64_MAX) || !reader->SetOffset(static_cast<int64_t>(offset), 0))
        return kMxfErrFormat;
    if (m_Length > reader->RestLength()) return kMxfErrFormat;
    uint64_t remaining = m_Length;
    // Reserve no more than the pack can hold: m_Length is bounded by the stream.
    m_Entries.reserve(static_cast<size_t>(remaining / kEntryBytes));
    while (remaining >= kEntryBytes) {
        Entry entry{};
        if (!reader->GetUInt32(entry.bodySID) || !reader->GetUInt64(entry.offset)) {
            m_Entries.clear();
            return kMxfErrFormat;
        }
        m_Entries.push_back(entry);
        remaining -= kEntryBytes;
    }
    return 0;
}

bool RandomIndexPack::GetBodySIDAtIndex(uint32_t index, uint32_t& bodySID) const {
    if (index >= m_Entries.size()) return false;
    bodySID = m_Entries[index].bodySID;
    return true;
}

bool RandomIndexPack::GetOffsetAtIndex(uint32_t index, uint64_t& offset) const {
    if (index >= m_Entries.size()) return false;
    offset = m_Entries[index].offset;
    return true;
}

CUSharedPtr<CUStringMac> RandomIndexPack::Description() const {
    std::string text = "RandomIndexPack {\n";
    char line[80];
    for (const Entry& entry : m_Entries) {
        std::snprintf(line, sizeof line, "\tBodySID = %u, offset = %016llX\n", entry.bodySID,
                      static_cast<unsigned long long>(entry.offset));
        text += line;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
