#pragma once
// The primer pack of a header partition: universal label -> local tag.
// Filled once by Import, then only read (safe to share for reading).
#include "CUSharedPtr.h"
#include "KLVPacket.h"
#include "MxfUUID.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class PrimerPack : public KLVPacket {
public:
    PrimerPack();
    explicit PrimerPack(const KLVPacket& packet);
    ~PrimerPack() override;

    bool isImportable() const override;
    using KLVPacket::Import;
    // Item count and item length, then count items of tag (16-bit) and label.
    // Count 0 or an item length other than 18 leave the primer empty (0). A
    // count whose items do not fit in the pack, or a short read, clear it and
    // give 0x131001. A repeated label keeps its first tag.
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;

    // The tag of an exact label; false (tag 0) when absent.
    bool UIDToTag(uint16_t& tag, const MxfUUID& label) const;
    // The first label in label order with this tag; empty when none.
    CUSharedPtr<MxfUUID> UIDAtTag(uint16_t tag) const;
    uint32_t Count() const { return static_cast<uint32_t>(m_Entries.size()); }
    // Adds an entry unless the label is present (first tag wins).
    void AddEntry(const MxfUUID& label, uint16_t tag);

    CUSharedPtr<CUStringMac> Description() const override;

private:
    struct Entry {
        unsigned char label[16];
        uint16_t tag;
    };
    static bool LabelLess(const Entry& a, const Entry& b);
    const Entry* FindEntry(const MxfUUID& label) const;

    std::vector<Entry> m_Entries;  // ordered by label, each label once
};

}  // namespace ComVantoVantoQZ64RADPlug
