#include "LocalSets.h"

#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "MxfTypes.h"
#include "ParseMetaData.h"

#include <cstdio>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {
CUSharedPtr<ParseMetaData> NewReader() {
    try {
        return CUSharedPtr<ParseMetaData>(new ParseMetaData());
    } catch (const std::bad_alloc&) {
        throw CUError(CUFailure(kMxfErrAuxiliaryObject, "local set reader cannot be created"),
                      "LocalSets Init Error");
    }
}
}  // namespace

LocalSets::LocalSets() : m_Reader(NewReader()) {}

LocalSets::LocalSets(const KLVPacket& packet) : KLVPacket(packet), m_Reader(NewReader()) {}

LocalSets::~LocalSets() = default;

bool LocalSets::isImportable() const {
    return (PacketType() & 0xFF000000u) == kMxfKeyLocalSet;
}

uint32_t LocalSets::TagType() const {
    switch ((m_Key.Bytes()[5] & 0x18) >> 3) {
        case 0:
            return kLocalSetCoding1Byte;
        case 1:
            return kLocalSetCodingBER;
        case 2:
            return kLocalSetCoding2Byte;
        default:
            return kLocalSetCoding4Byte;
    }
}

uint32_t LocalSets::LengthType() const {
    switch ((m_Key.Bytes()[5] & 0x60) >> 5) {
        case 0:
            return kLocalSetCodingBER;
        case 1:
            return kLocalSetCoding1Byte;
        case 2:
            return kLocalSetCoding2Byte;
        default:
            return kLocalSetCoding4Byte;
    }
}

uint32_t LocalSets::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    if (!stream) return kMxfErrInvalidArgument;
    m_Reader->ResetStream();
    m_ValueCopy = nullptr;
    m_Items.clear();
    // A set without any item is malformed (and there is nothing to copy).
    if (m_Length == 0) return kMxfErrFormat;
    // Copy through a cursor so the length is checked against what the source
    // holds before anything is allocated.
    ParseMetaData source(stream);
    if (offset > static_cast<uint64_t>(INT64_MAX) || !source.SetOffset(static_cast<int64_t>(offset), 0))
        return kMxfErrAuxiliaryObject;
    CUSharedPtr<CUMemoryStream> copy = source.CopyMemoryStream(m_Length);
    if (!copy) return kMxfErrAuxiliaryObject;
    m_ValueCopy = copy;
    m_Reader->SetStream(CUSharedPtr<CUStream>(copy));
    const uint32_t result = ParseItems();
    if (result != 0) {
        m_ValueCopy = nullptr;
        m_Reader->ResetStream();
    }
    return result;
}

uint32_t LocalSets::ParseItems() {
    m_Items.clear();
    const uint32_t tagType = TagType();
    const uint32_t lengthType = LengthType();
    if (tagType == kLocalSetCodingUnknown || lengthType == kLocalSetCodingUnknown || !m_ValueCopy)
        return kMxfErrFormat;
    ParseMetaData& reader = *m_Reader;
    if (!reader.SetOffset(0, 0)) return kMxfErrFormat;
    const uint64_t end = m_Length;
    if (end == 0 || end > reader.StreamLength()) return kMxfErrFormat;
    while (reader.offset() < end) {
        uint32_t tag = 0;
        bool ok = false;
        switch (tagType) {
            case kLocalSetCodingBER:
                ok = reader.GetOIDBER(tag);
                break;
            case kLocalSetCoding1Byte: {
                uint8_t v;
                ok = reader.GetUInt8(v);
                tag = v;
                break;
            }
            case kLocalSetCoding2Byte: {
                uint16_t v;
                ok = reader.GetUInt16(v);
                tag = v;
                break;
            }
            default:
                ok = reader.GetUInt32(tag);
                break;
        }
        uint32_t length = 0;
        if (ok) {
            switch (lengthType) {
                case kLocalSetCodingBER:
                    ok = reader.GetBER(length);
                    break;
                case kLocalSetCoding1Byte: {
                    uint8_t v;
                    ok = reader.GetUInt8(v);
                    length = v;
                    break;
                }
                case kLocalSetCoding2Byte: {
                    uint16_t v;
                    ok = reader.GetUInt16(v);
                    length = v;
                    break;
                }
                default:
                    ok = reader.GetUInt32(length);
                    break;
            }
        }
        const uint64_t valueOffset = reader.offset();
        // The copy holds exactly the value, so the skip fails past its end.
        if (!ok || m_Items.count(tag) != 0 || !reader.SetOffset(static_cast<int64_t>(length), 1)) {
            m_Items.clear();
            return kMxfErrFormat;
        }
        m_Items.emplace(tag, Item{static_cast<uint32_t>(valueOffset), length});
    }
    return 0;
}

const LocalSets::Item* LocalSets::FindItem(uint32_t tag) const {
    const auto it = m_Items.find(tag);
    return it == m_Items.end() ? nullptr : &it->second;
}

uint32_t LocalSets::LengthForTag(uint32_t tag) const {
    const Item* item = FindItem(tag);
    return item ? item->length : 0;
}

bool LocalSets::HasTag(uint32_t tag) const {
    return FindItem(tag) != nullptr;
}

bool LocalSets::ItemForTag(uint32_t tag, uint32_t& offset, uint32_t& length) const {
    const Item* item = FindItem(tag);
    if (!item) return false;
    offset = item->offset;
    length = item->length;
    return true;
}

CUSharedPtr<ParseMetaData> LocalSets::GetParserForTag(uint32_t tag) {
    const Item* item = FindItem(tag);
    if (!item || !m_ValueCopy || !m_Reader->SetOffset(item->offset, 0)) return nullptr;
    return m_Reader;
}

void LocalSets::Lock() {
    m_Reader->Lock();
}

void LocalSets::Unlock() {
    m_Reader->Unlock();
}

CUSharedPtr<CUStringMac> LocalSets::Description() const {
    CUSharedPtr<CUStringMac> head = KLVPacket::Description();
    std::string text = head ? std::string(static_cast<const char*>(*head)) : std::string();
    text += " {\n";
    char line[64];
    for (const auto& [tag, item] : m_Items) {
        std::snprintf(line, sizeof line, "\t%04X: offset %u, length %u\n", tag, item.offset, item.length);
        text += line;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
