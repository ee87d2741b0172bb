#pragma once
// The random index pack at the end of a file: (BodySID, partition offset)
// entries in file order. Filled once by Import, then only read.
#include "CUSharedPtr.h"
#include "KLVPacket.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class RandomIndexPack : public KLVPacket {
public:
    RandomIndexPack();
    explicit RandomIndexPack(const KLVPacket& packet);
    ~RandomIndexPack() override;

    bool isImportable() const override;
    using KLVPacket::Import;
    // 0x131001 without a stream, when the value runs past the stream or on a
    // short read (the list is then empty). The trailing 4-byte overall
    // length is not read.
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;

    uint32_t Count() const { return static_cast<uint32_t>(m_Entries.size()); }
    // False when index >= Count().
    bool GetBodySIDAtIndex(uint32_t index, uint32_t& bodySID) const;
    bool GetOffsetAtIndex(uint32_t index, uint64_t& offset) const;

    CUSharedPtr<CUStringMac> Description() const override;

private:
    struct Entry {
        uint32_t bodySID;
        uint64_t offset;
    };
    std::vector<Entry> m_Entries;
};

}  // namespace ComVantoVantoQZ64RADPlug
