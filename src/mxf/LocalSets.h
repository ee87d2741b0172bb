#pragma once
// A KLV whose value is a sequence of (local tag, length, value) items: the
// value is copied into memory and turned into a table tag -> (offset,
// length) within that copy. Tag and length codings follow byte 5 of the key.
// Built once by Import, then read. The set's reader carries a recursive lock
// (Lock/Unlock); hold it while reading through GetParserForTag when the set
// may be shared between threads.
#include "CUMemoryStream.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "KLVPacket.h"
#include "ParseMetaData.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

// Tag and length codings derived from the key.
enum _LocalSetCoding : uint32_t {
    kLocalSetCodingUnknown = 0,
    kLocalSetCodingBER = 1,  // tags: BER object identifier; lengths: BER
    kLocalSetCoding1Byte = 2,
    kLocalSetCoding2Byte = 3,
    kLocalSetCoding4Byte = 4,
};

class LocalSets : public KLVPacket, public CULockAbstract {
public:
    // Throw "LocalSets Init Error" (const char*) when the reader cannot be made.
    LocalSets();
    explicit LocalSets(const KLVPacket& packet);
    ~LocalSets() override;

    // Any key type 0x08xxxxxx.
    bool isImportable() const override;
    using KLVPacket::Import;
    // Copies the Length() value bytes at offset (0x130001 without a stream,
    // 0x130002 when they cannot be copied - nothing is allocated unless the
    // stream holds them; bytes a FileRegionStream holds are shared, not
    // copied) and parses the item table: 0x131001 for an unknown
    // coding, an empty value, an unreadable tag or length, an item passing
    // the end of the value, or a repeated tag (the table is then empty).
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;

    // Item value length, 0 when the tag is absent.
    uint32_t LengthForTag(uint32_t tag) const;
    bool HasTag(uint32_t tag) const;
    // Offset (within the value copy) and length of an item.
    bool ItemForTag(uint32_t tag, uint32_t& offset, uint32_t& length) const;
    // Copies the item's value into `into` when it is exactly `size` bytes
    // long; false otherwise.
    bool CopyItem(uint32_t tag, unsigned char* into, uint32_t size) const;
    uint32_t ItemCount() const { return static_cast<uint32_t>(m_Items.size()); }
    // The set's reader positioned at the item's first value byte; empty
    // when the tag is absent.
    CUSharedPtr<ParseMetaData> GetParserForTag(uint32_t tag);

    // Codings from key byte 5: tags (byte5 & 0x18) >> 3: 0 one byte, 1 BER,
    // 2 two bytes, 3 four bytes; lengths (byte5 & 0x60) >> 5: 0 BER, 1 one
    // byte, 2 two bytes, 3 four bytes.
    uint32_t TagType() const;
    uint32_t LengthType() const;

    // The reader's recursive lock.
    void Lock() override;
    void Unlock() override;

    CUSharedPtr<CUStringMac> Description() const override;

protected:
    struct Item {
        uint32_t tag;
        uint32_t offset;
        uint32_t length;
    };
    // Parses the item table of the value copy (step 2 of Import).
    uint32_t ParseItems();
    const Item* FindItem(uint32_t tag) const;

    CUSharedPtr<CUMemoryStream> m_ValueCopy;
    // What holds the bytes m_ValueCopy borrows (a FileRegionStream), if any.
    CUSharedPtr<CUStream> m_ValueOwner;
    CUSharedPtr<ParseMetaData> m_Reader;
    std::vector<Item> m_Items;  // ordered by tag, each tag once
};

}  // namespace ComVantoVantoQZ64RADPlug
