#pragma once
// Base of every MXF structure read from a file: the key, where the KLV
// triplet lies and how long its value is. Subclasses override isImportable
// (is the key one they read?) and Import(stream, offset) (read the value
// starting at offset). Not synchronised: callers hold the reader's lock.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "ULKey.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStream;
class CUStringMac;

class KLVPacket : public virtual CUObject {
public:
    KLVPacket();
    // Copies key, offset, length and value offset: turns a packet whose key
    // was just read into the structure the key announces.
    KLVPacket(const KLVPacket& other);
    ~KLVPacket() override;
    KLVPacket& operator=(const KLVPacket& other);

    // The base class imports nothing.
    virtual bool isImportable() const;
    // Import(stream, ValueOffset()).
    virtual uint32_t Import(const CUSharedPtr<CUStream>& stream);
    // Reads the value that starts at offset; the base answers 0 unread.
    virtual uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset);

    // Sets all four fields at once (used by the KLV reader).
    void SetPacket(const ULKey& key, uint64_t offset, uint64_t length, uint64_t valueOffset);
    void SetKey(const ULKey& key) { m_Key = key; }
    void SetLength(uint64_t length) { m_Length = length; }

    const ULKey& Key() const { return m_Key; }
    // File position of the first key byte.
    uint64_t Offset() const { return m_Offset; }
    // Value length decoded from the BER length.
    uint64_t Length() const { return m_Length; }
    // File position of the first value byte.
    uint64_t ValueOffset() const { return m_ValueOffset; }
    // ValueOffset() + Length(): the first byte after the triplet.
    uint64_t NextOffset() const { return m_ValueOffset + m_Length; }
    // Key type of the key (_MxfKeyType).
    uint32_t PacketType() const { return m_Key.GetKeyType(); }

    CUSharedPtr<CUStringMac> Description() const override;

protected:
    ULKey m_Key;
    uint64_t m_Offset = 0;
    uint64_t m_Length = 0;
    uint64_t m_ValueOffset = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
