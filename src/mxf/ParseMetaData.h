#pragma once
// Big-endian read cursor over a CUStream. Every read asks the stream for the
// bytes at the absolute position held in the cursor, so several cursors may
// share one stream. A read either delivers everything it needs and advances,
// or fails (false / empty pointer) and leaves the cursor where it was;
// nothing is thrown. The cursor itself is not synchronised: callers that
// need a sequence of reads to stay together hold its recursive lock
// (Lock/Unlock or CUAutoLock).
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "MxfTypes.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUMemoryStream;
class CUMutableArray;
class CUStringMac;
template <class T>
class CUVector;
class KLVPacket;
class MxfUUID;
class UMID;

class ParseMetaData : public CURecursiveLock, public virtual CUObject {
public:
    ParseMetaData();
    explicit ParseMetaData(const CUSharedPtr<CUStream>& stream);
    ~ParseMetaData() override;

    // Holds the stream, offset 0.
    void SetStream(const CUSharedPtr<CUStream>& stream);
    // Drops the stream, offset 0.
    void ResetStream();
    CUSharedPtr<CUStream> Stream() const { return m_Stream; }
    // Length of the stream, 0 without one.
    uint64_t StreamLength() const;

    uint64_t offset() const { return m_Offset; }
    // origin 0: value in 0 ... length; 1: offset + value in 0 ... length;
    // 2: length + value with value <= 0 and -value <= length. False (offset
    // unchanged) without a stream, out of range or for any other origin.
    bool SetOffset(int64_t value, uint32_t origin);
    // length - offset, 0 if negative or without a stream.
    uint64_t RestLength() const;

    // Big-endian; the output is set to 0 first.
    bool GetUInt8(uint8_t& value);
    bool GetUInt16(uint16_t& value);
    bool GetUInt32(uint32_t& value);
    bool GetUInt64(uint64_t& value);
    bool GetInt8(int8_t& value);
    bool GetInt16(int16_t& value);
    bool GetInt32(int32_t& value);
    bool GetInt64(int64_t& value);
    // Raw bytes; count 0 succeeds without reading.
    bool GetBytes(unsigned char* buffer, uint64_t count);

    // BER length: short form, or long form 0x81-0x88 whose value fits in
    // 32 bits. 0x80 (indefinite) and longer forms fail.
    bool GetBER(uint32_t& value);
    // BER object-identifier coded tag of at most four bytes.
    bool GetOIDBER(uint32_t& value);

    // 16 bytes.
    CUSharedPtr<MxfUUID> GetUUID();
    bool GetUUID(MxfUUID& uuid);
    // Batch of count and item size (unsigned 32-bit each) then the items.
    // Items are read only when count > 0 and item size is 16; a batch whose
    // count x item size (64-bit) does not fit in the bytes that remain - or
    // in maxBytes, the bytes the item holds, header included - fails before
    // anything is read. Empty pointer (offset unchanged) on failure or
    // without a stream; otherwise an array of MxfUUID.
    CUSharedPtr<CUMutableArray> GetUUIDArray();
    CUSharedPtr<CUMutableArray> GetUUIDArray(uint64_t maxBytes);
    // 32 bytes, or 64 when byte 12 (the UMID length byte) is 0x33.
    CUSharedPtr<UMID> GetUMID();
    // Exactly length bytes (32 or 64); the length byte must agree (0x33
    // exactly when length is 64).
    CUSharedPtr<UMID> GetUMID(uint64_t length);
    // Non-zero even byte length; UTF-16, big-endian unless a byte-order mark
    // leads (the mark is dropped); the full length is decoded, zero
    // characters included.
    CUSharedPtr<CUStringMac> GetUTF16String(uint32_t byteLength);
    // byteLength raw bytes; empty when fewer remain.
    CUSharedPtr<CUVector<unsigned char>> GetEnum(uint32_t byteLength);
    // 8 bytes each; on failure the offset is restored.
    bool GetTimestamp(_Timestamp& value);
    bool GetRational(_Rational& value);
    // A memory stream holding a copy of the next count bytes; nothing is
    // allocated unless that many bytes remain. Advances on success.
    CUSharedPtr<CUMemoryStream> CopyMemoryStream(uint64_t count);

    // Reads a 16-byte key and a BER length. Fails, with the offset restored
    // and the packet unchanged, when either cannot be read or the value runs
    // past the end of the stream. On success the packet holds key, offset,
    // length and value offset and the cursor stands on the first value byte.
    bool ParseKeyAndLength(KLVPacket* packet);
    bool ParseKeyAndLength(const CUSharedPtr<KLVPacket>& packet);
    // The BER length after the 16-byte key in the `available` bytes at
    // `head`, and where the value starts counted from the key; false when
    // they do not decode. The value's end is the caller's to check.
    static bool DecodeKeyAndLength(const unsigned char* head, uint64_t available, uint32_t& length,
                                   uint64_t& valueStart);
    // Imports the value at the current offset (packet->Import(stream,
    // offset)); on success the cursor moves to the end of the value.
    bool ParsePacketValue(KLVPacket* packet);
    bool ParsePacketValue(const CUSharedPtr<KLVPacket>& packet);
    // Key and length, isImportable, value; any failure restores the offset.
    bool ParsePacket(KLVPacket* packet);
    bool ParsePacket(const CUSharedPtr<KLVPacket>& packet);

private:
    // Reads count bytes at the cursor without moving it; true when all came.
    bool Peek(unsigned char* buffer, uint64_t count) const;

    // Remembers the bytes of a memory stream, or the held stretch of a
    // FileRegionStream (neither changes once made), and their length, so
    // that small reads skip the stream's lock.
    void TakeStream(const CUSharedPtr<CUStream>& stream);

    uint64_t m_Offset = 0;
    CUSharedPtr<CUStream> m_Stream;
    // Stream offsets [m_BytesStart, m_BytesStart + m_BytesLength) are in memory
    // at m_Bytes; with m_BytesOnly nothing else can be read.
    const unsigned char* m_Bytes = nullptr;
    uint64_t m_BytesStart = 0;
    uint64_t m_BytesLength = 0;
    bool m_BytesOnly = false;
    // The stream's length when it cannot change.
    bool m_FixedLength = false;
    uint64_t m_Length = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
