#include "LocalSets.h"

#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "FileRegionStream.h"
#include "MxfTypes.h"
#include "ParseMetaData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
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
    m_ValueOwner = nullptr;
    m_Items.clear();
    // A set without any item is malformed (and there is nothing to copy).
    if (m_Length == 0) return kMxfErrFormat;
    if (offset > static_cast<uint64_t>(INT64_MAX)) return kMxfErrAuxiliaryObject;
    CUSharedPtr<CUMemoryStream> copy;
    const auto* region = dynamic_cast<const FileRegionStream*>(stream.get());
    if (region && region->Holds(offset, m_Length)) {
        // A held stretch of the file never changes: its bytes serve as the
        // copy, kept alive with the set, instead of being copied again.
        auto* bytes = const_cast<unsigned char*>(region->HeldBytes() + (offset - region->HeldStart()));
        copy =
            CUSharedPtr<CUMemoryStream>(new (std::nothrow) CUMemoryStream(bytes, m_Length, /*noCopy=*/true));
        m_ValueOwner = stream;
    } else {
        // The copy checks the range against what the source holds before it
        // allocates anything.
        copy = CUMemoryStream::CreateMemoryStreamPtr(stream, _CURange{offset, m_Length});
    }
    if (!copy) {
        m_ValueOwner = nullptr;
        return kMxfErrAuxiliaryObject;
    }
    m_ValueCopy = copy;
    m_Reader->SetStream(CUSharedPtr<CUStream>(std::move(copy)));
    const uint32_t result = ParseItems();
    if (result != 0) {
        m_ValueCopy = nullptr;
        m_ValueOwner = nullptr;
        m_Reader->ResetStream();
    }
    return result;
}

namespace {

// Items a structural set usually holds at most.
constexpr uint64_t kItemsReserved = 32;

// Big-endian unsigned integer of `size` bytes at `at`; false when they do
// not all lie before `end`.
bool ReadFixed(const unsigned char* bytes, uint64_t& at, uint64_t end, int size, uint32_t& value) {
    if (end - at < static_cast<uint64_t>(size)) return false;
    value = 0;
    for (int i = 0; i < size; ++i) value = (value << 8) | bytes[at + i];
    at += static_cast<uint64_t>(size);
    return true;
}

// A BER object-identifier coded tag of at most four bytes (as
// ParseMetaData::GetOIDBER reads it).
bool ReadOIDBER(const unsigned char* bytes, uint64_t& at, uint64_t end, uint32_t& value) {
    uint32_t result = 0;
    for (uint64_t i = 0; i < 4 && at + i < end; ++i) {
        const unsigned char b = bytes[at + i];
        if (b & 0x80) {
            result = (result + (b & 0x7Fu)) * 128u;
            continue;
        }
        value = result + b;
        at += i + 1;
        return true;
    }
    return false;
}

// A BER length: the short form, or a long form of 1 to 8 bytes whose value
// fits in 32 bits (as ParseMetaData::GetBER reads it).
bool ReadBER(const unsigned char* bytes, uint64_t& at, uint64_t end, uint32_t& value) {
    if (at >= end) return false;
    const unsigned char first = bytes[at];
    if (first < 0x80) {
        value = first;
        at += 1;
        return true;
    }
    const uint64_t n = first & 0x7Fu;
    if (n < 1 || n > 8 || end - at < 1 + n) return false;
    uint64_t decoded = 0;
    for (uint64_t i = 1; i <= n; ++i) decoded = (decoded << 8) | bytes[at + i];
    if (decoded > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(decoded);
    at += 1 + n;
    return true;
}

}  // namespace

uint32_t LocalSets::ParseItems() {
    m_Items.clear();
    const uint32_t tagType = TagType();
    const uint32_t lengthType = LengthType();
    if (tagType == kLocalSetCodingUnknown || lengthType == kLocalSetCodingUnknown || !m_ValueCopy)
        return kMxfErrFormat;
    const uint64_t end = m_Length;
    const unsigned char* bytes = m_ValueCopy->GetPtr();
    if (end == 0 || !bytes || end > m_Reader->StreamLength()) return kMxfErrFormat;
    // The item table is read straight from the copy (it holds exactly the
    // value), each read checked against its end. Room for the items of a
    // usual set (2-byte tags and lengths) at once, never more than the value
    // could hold.
    m_Items.reserve(static_cast<size_t>(std::min<uint64_t>(end / 4, kItemsReserved)));
    uint64_t at = 0;
    while (at < end) {
        uint32_t tag = 0;
        bool ok = false;
        switch (tagType) {
            case kLocalSetCodingBER:
                ok = ReadOIDBER(bytes, at, end, tag);
                break;
            case kLocalSetCoding1Byte:
                ok = ReadFixed(bytes, at, end, 1, tag);
                break;
            case kLocalSetCoding2Byte:
                ok = ReadFixed(bytes, at, end, 2, tag);
                break;
            default:
                ok = ReadFixed(bytes, at, end, 4, tag);
                break;
        }
        uint32_t length = 0;
        if (ok) {
            switch (lengthType) {
                case kLocalSetCodingBER:
                    ok = ReadBER(bytes, at, end, length);
                    break;
                case kLocalSetCoding1Byte:
                    ok = ReadFixed(bytes, at, end, 1, length);
                    break;
                case kLocalSetCoding2Byte:
                    ok = ReadFixed(bytes, at, end, 2, length);
                    break;
                default:
                    ok = ReadFixed(bytes, at, end, 4, length);
                    break;
            }
        }
        if (!ok || length > end - at) {
            m_Items.clear();
            return kMxfErrFormat;
        }
        m_Items.push_back(Item{tag, static_cast<uint32_t>(at), length});
        at += length;
    }
    // Ordered by tag for the look-ups; a tag given twice fails the set.
    std::sort(m_Items.begin(), m_Items.end(), [](const Item& a, const Item& b) { return a.tag < b.tag; });
    for (size_t i = 1; i < m_Items.size(); ++i) {
        if (m_Items[i].tag == m_Items[i - 1].tag) {
            m_Items.clear();
            return kMxfErrFormat;
        }
    }
    return 0;
}

const LocalSets::Item* LocalSets::FindItem(uint32_t tag) const {
    const auto it = std::lower_bound(m_Items.begin(), m_Items.end(), tag,
                                     [](const Item& item, uint32_t t) { return item.tag < t; });
    return it == m_Items.end() || it->tag != tag ? nullptr : &*it;
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

bool LocalSets::CopyItem(uint32_t tag, unsigned char* into, uint32_t size) const {
    const Item* item = FindItem(tag);
    const unsigned char* bytes = m_ValueCopy ? m_ValueCopy->GetPtr() : nullptr;
    if (!item || item->length != size || !bytes || !into) return false;
    std::memcpy(into, bytes + item->offset, size);
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
    for (const Item& item : m_Items) {
        std::snprintf(line, sizeof line, "\t%04X: offset %u, length %u\n", item.tag, item.offset,
                      item.length);
        text += line;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug
