#include "ParseMetaData.h"

#include "CUMemoryStream.h"
#include "CUMutableArray.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CUVector.h"
#include "FileRegionStream.h"
#include "KLVPacket.h"
#include "MxfUUID.h"
#include "UMID.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint64_t kMaxStreamOffset = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

uint64_t BigEndian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
    return value;
}

// A BER length from the `available` bytes at `bytes`: the short form, or a
// long form of 1 to 8 bytes whose value fits in 32 bits (0x80, indefinite
// length, has no place in MXF). `used` is the length's own size.
bool DecodeBER(const unsigned char* bytes, uint64_t available, uint32_t& value, uint64_t& used) {
    if (available < 1) return false;
    if (bytes[0] < 0x80) {
        value = bytes[0];
        used = 1;
        return true;
    }
    const int n = bytes[0] & 0x7F;
    if (n < 1 || n > 8 || available < 1 + static_cast<uint64_t>(n)) return false;
    const uint64_t decoded = BigEndian(bytes + 1, n);
    if (decoded > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(decoded);
    used = 1 + static_cast<uint64_t>(n);
    return true;
}
}  // namespace

ParseMetaData::ParseMetaData() = default;

ParseMetaData::ParseMetaData(const CUSharedPtr<CUStream>& stream) {
    TakeStream(stream);
}

ParseMetaData::~ParseMetaData() = default;

void ParseMetaData::TakeStream(const CUSharedPtr<CUStream>& stream) {
    m_Stream = stream;
    m_Bytes = nullptr;
    m_BytesStart = 0;
    m_BytesLength = 0;
    m_BytesOnly = false;
    m_FixedLength = false;
    m_Length = 0;
    // Both keep the length they were made with.
    if (const auto* memory = dynamic_cast<const CUMemoryStream*>(stream.get()); memory && memory->GetPtr()) {
        m_Bytes = memory->GetPtr();
        m_BytesLength = memory->Size();
        m_BytesOnly = true;
        m_Length = memory->Size();
    } else if (const auto* region = dynamic_cast<const FileRegionStream*>(stream.get())) {
        m_Bytes = region->HeldBytes();
        m_BytesStart = region->HeldStart();
        m_BytesLength = region->HeldEnd() - region->HeldStart();
        m_Length = region->FileLength();
    } else {
        return;
    }
    m_FixedLength = true;
}

void ParseMetaData::SetStream(const CUSharedPtr<CUStream>& stream) {
    TakeStream(stream);
    m_Offset = 0;
}

void ParseMetaData::ResetStream() {
    TakeStream(nullptr);
    m_Offset = 0;
}

uint64_t ParseMetaData::StreamLength() const {
    if (m_FixedLength) return m_Length;
    return m_Stream ? m_Stream->Length() : 0;
}

bool ParseMetaData::SetOffset(int64_t value, uint32_t origin) {
    if (!m_Stream) return false;
    const __int128 length = static_cast<__int128>(StreamLength());
    __int128 target;
    switch (origin) {
        case 0:
            target = value;
            break;
        case 1:
            target = static_cast<__int128>(m_Offset) + value;
            break;
        case 2:
            // Counting back from the end only: a positive value would pass it.
            if (value > 0) return false;
            target = length + value;
            break;
        default:
            return false;
    }
    if (target < 0 || target > length) return false;
    m_Offset = static_cast<uint64_t>(target);
    return true;
}

uint64_t ParseMetaData::RestLength() const {
    const uint64_t length = StreamLength();
    return length > m_Offset ? length - m_Offset : 0;
}

bool ParseMetaData::Peek(unsigned char* buffer, uint64_t count) const {
    if (!m_Stream) return false;
    if (count == 0) return true;
    if (!buffer) return false;
    if (m_Bytes && m_Offset >= m_BytesStart && count <= m_BytesLength &&
        m_Offset - m_BytesStart <= m_BytesLength - count) {
        std::memcpy(buffer, m_Bytes + (m_Offset - m_BytesStart), count);
        return true;
    }
    if (m_BytesOnly || m_Offset > kMaxStreamOffset || count > RestLength()) return false;
    return m_Stream->Read(buffer, count, static_cast<int64_t>(m_Offset), kCUStreamSeekBegin) == count;
}

bool ParseMetaData::GetBytes(unsigned char* buffer, uint64_t count) {
    if (!Peek(buffer, count)) return false;
    m_Offset += count;
    return true;
}

bool ParseMetaData::GetUInt8(uint8_t& value) {
    value = 0;
    unsigned char b[1];
    if (!GetBytes(b, 1)) return false;
    value = b[0];
    return true;
}

bool ParseMetaData::GetUInt16(uint16_t& value) {
    value = 0;
    unsigned char b[2];
    if (!GetBytes(b, 2)) return false;
    value = static_cast<uint16_t>(BigEndian(b, 2));
    return true;
}

bool ParseMetaData::GetUInt32(uint32_t& value) {
    value = 0;
    unsigned char b[4];
    if (!GetBytes(b, 4)) return false;
    value = static_cast<uint32_t>(BigEndian(b, 4));
    return true;
}

bool ParseMetaData::GetUInt64(uint64_t& value) {
    value = 0;
    unsigned char b[8];
    if (!GetBytes(b, 8)) return false;
    value = BigEndian(b, 8);
    return true;
}

bool ParseMetaData::GetInt8(int8_t& value) {
    uint8_t v;
    const bool ok = GetUInt8(v);
    value = static_cast<int8_t>(v);
    return ok;
}

bool ParseMetaData::GetInt16(int16_t& value) {
    uint16_t v;
    const bool ok = GetUInt16(v);
    value = static_cast<int16_t>(v);
    return ok;
}

bool ParseMetaData::GetInt32(int32_t& value) {
    uint32_t v;
    const bool ok = GetUInt32(v);
    value = static_cast<int32_t>(v);
    return ok;
}

bool ParseMetaData::GetInt64(int64_t& value) {
    uint64_t v;
    const bool ok = GetUInt64(v);
    value = static_cast<int64_t>(v);
    return ok;
}

bool ParseMetaData::GetBER(uint32_t& value) {
    unsigned char bytes[9];
    if (!Peek(bytes, 1)) return false;
    const uint64_t size = bytes[0] < 0x80 ? 1 : 1 + static_cast<uint64_t>(bytes[0] & 0x7F);
    if (size > sizeof bytes || (size > 1 && !Peek(bytes, size))) return false;
    uint64_t used = 0;
    if (!DecodeBER(bytes, size, value, used)) return false;
    m_Offset += used;
    return true;
}

bool ParseMetaData::GetOIDBER(uint32_t& value) {
    unsigned char bytes[4];
    uint32_t result = 0;
    for (int i = 0; i < 4; ++i) {
        // Re-peek the growing prefix so a failure leaves the cursor alone.
        if (!Peek(bytes, static_cast<uint64_t>(i) + 1)) return false;
        const unsigned char b = bytes[i];
        if (b & 0x80) {
            result = (result + (b & 0x7Fu)) * 128u;
            continue;
        }
        value = result + b;
        m_Offset += static_cast<uint64_t>(i) + 1;
        return true;
    }
    return false;
}

CUSharedPtr<MxfUUID> ParseMetaData::GetUUID() {
    unsigned char bytes[16];
    if (!GetBytes(bytes, 16)) return nullptr;
    return CUSharedPtr<MxfUUID>(new MxfUUID(bytes));
}

bool ParseMetaData::GetUUID(MxfUUID& uuid) {
    unsigned char bytes[16];
    if (!GetBytes(bytes, 16)) return false;
    uuid.SetKey(bytes);
    return true;
}

CUSharedPtr<CUMutableArray> ParseMetaData::GetUUIDArray() {
    return GetUUIDArray(std::numeric_limits<uint64_t>::max());
}

CUSharedPtr<CUMutableArray> ParseMetaData::GetUUIDArray(uint64_t maxBytes) {
    if (!m_Stream || maxBytes < 8) return nullptr;
    const uint64_t start = m_Offset;
    uint32_t count = 0;
    uint32_t itemSize = 0;
    if (!GetUInt32(count) || !GetUInt32(itemSize)) {
        m_Offset = start;
        return nullptr;
    }
    // The items must lie within the batch's own bytes before any is read: a
    // crafted count must not walk on through the following data.
    const uint64_t room = std::min(RestLength(), maxBytes - 8);
    if (static_cast<uint64_t>(count) * itemSize > room) {
        m_Offset = start;
        return nullptr;
    }
    CUSharedPtr<CUMutableArray> array = CUMutableArray::Create();
    if (!array) {
        m_Offset = start;
        return nullptr;
    }
    if (count > 0 && itemSize == 16) {
        for (uint32_t i = 0; i < count; ++i) {
            CUSharedPtr<MxfUUID> uuid = GetUUID();
            if (!uuid) break;
            array->AddObject(uuid);
        }
    }
    return array;
}

CUSharedPtr<UMID> ParseMetaData::GetUMID() {
    unsigned char bytes[UMID::kExtendedLength];
    if (!Peek(bytes, UMID::kBasicLength)) return nullptr;
    const uint32_t length =
        bytes[12] == UMID::kExtendedLengthByte ? UMID::kExtendedLength : UMID::kBasicLength;
    if (length == UMID::kExtendedLength && !Peek(bytes, length)) return nullptr;
    CUSharedPtr<UMID> umid(new UMID());
    if (umid->SetData(bytes, length) != 0) return nullptr;
    m_Offset += length;
    return umid;
}

CUSharedPtr<UMID> ParseMetaData::GetUMID(uint64_t length) {
    if (length != UMID::kBasicLength && length != UMID::kExtendedLength) return nullptr;
    unsigned char bytes[UMID::kExtendedLength];
    if (!Peek(bytes, length)) return nullptr;
    // The UMID's own length byte must say the same size as the item.
    const bool extended = bytes[12] == UMID::kExtendedLengthByte;
    if (extended != (length == UMID::kExtendedLength)) return nullptr;
    CUSharedPtr<UMID> umid(new UMID());
    if (umid->SetData(bytes, static_cast<uint32_t>(length)) != 0) return nullptr;
    m_Offset += length;
    return umid;
}

CUSharedPtr<CUStringMac> ParseMetaData::GetUTF16String(uint32_t byteLength) {
    if (byteLength == 0 || (byteLength & 1u) || byteLength > RestLength()) return nullptr;
    std::string bytes(byteLength, '\0');
    if (!Peek(reinterpret_cast<unsigned char*>(bytes.data()), byteLength)) return nullptr;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    bool bigEndian = true;
    uint32_t first = 0;
    if (p[0] == 0xFE && p[1] == 0xFF) {
        first = 2;
    } else if (p[0] == 0xFF && p[1] == 0xFE) {
        bigEndian = false;
        first = 2;
    }
    std::u16string text;
    text.reserve((byteLength - first) / 2);
    for (uint32_t i = first; i + 1 < byteLength; i += 2) {
        const char16_t unit = bigEndian ? static_cast<char16_t>((p[i] << 8) | p[i + 1])
                                        : static_cast<char16_t>((p[i + 1] << 8) | p[i]);
        text.push_back(unit);
    }
    CUSharedPtr<CUStringMac> result(new CUStringMac(text));
    m_Offset += byteLength;
    return result;
}

CUSharedPtr<CUVector<unsigned char>> ParseMetaData::GetEnum(uint32_t byteLength) {
    if (!m_Stream || byteLength > RestLength()) return nullptr;
    CUSharedPtr<CUVector<unsigned char>> bytes = CreateCUVectorUInt8();
    if (!bytes) return nullptr;
    bytes->resize(byteLength);
    if (!GetBytes(bytes->data(), byteLength)) return nullptr;
    return bytes;
}

bool ParseMetaData::GetTimestamp(_Timestamp& value) {
    unsigned char b[8];
    if (!GetBytes(b, 8)) return false;
    value.year = static_cast<uint16_t>((b[0] << 8) | b[1]);
    value.month = b[2];
    value.day = b[3];
    value.hour = b[4];
    value.minute = b[5];
    value.second = b[6];
    value.qmsec = b[7];
    return true;
}

bool ParseMetaData::GetRational(_Rational& value) {
    unsigned char b[8];
    if (!GetBytes(b, 8)) return false;
    value.numerator = static_cast<int32_t>(BigEndian(b, 4));
    value.denominator = static_cast<int32_t>(BigEndian(b + 4, 4));
    return true;
}

CUSharedPtr<CUMemoryStream> ParseMetaData::CopyMemoryStream(uint64_t count) {
    // Nothing is allocated for bytes the stream does not hold.
    if (!m_Stream || count == 0 || count > RestLength() || m_Offset > kMaxStreamOffset) return nullptr;
    _CURange range;
    range.location = m_Offset;
    range.length = count;
    CUSharedPtr<CUMemoryStream> copy = CUMemoryStream::CreateMemoryStreamPtr(m_Stream, range);
    if (!copy) return nullptr;
    m_Offset += count;
    return copy;
}

bool ParseMetaData::ParseKeyAndLength(KLVPacket* packet) {
    if (!packet || !m_Stream) return false;
    const uint64_t start = m_Offset;
    // Key and length in one read (16 key bytes, at most 9 length bytes): a
    // header walk reads thousands of them, each read a lock round trip.
    unsigned char head[16 + 9];
    const uint64_t have = std::min<uint64_t>(sizeof head, RestLength());
    uint32_t length = 0;
    uint64_t valueStart = 0;
    if (!Peek(head, have) || !DecodeKeyAndLength(head, have, length, valueStart)) return false;
    // A value running past the end of the stream is a failure: callers reuse
    // one scratch packet and must not act on the previous packet's values.
    const uint64_t valueOffset = start + valueStart;
    if (length > StreamLength() - valueOffset) return false;
    m_Offset = valueOffset;
    packet->SetPacket(ULKey(head), start, length, valueOffset);
    return true;
}

bool ParseMetaData::DecodeKeyAndLength(const unsigned char* head, uint64_t available, uint32_t& length,
                                       uint64_t& valueStart) {
    uint64_t lengthSize = 0;
    if (available <= 16 || !DecodeBER(head + 16, available - 16, length, lengthSize)) return false;
    valueStart = 16 + lengthSize;
    return true;
}

bool ParseMetaData::ParseKeyAndLength(const CUSharedPtr<KLVPacket>& packet) {
    return ParseKeyAndLength(packet.get());
}

bool ParseMetaData::ParsePacketValue(KLVPacket* packet) {
    if (!packet || !m_Stream) return false;
    const uint64_t start = m_Offset;
    if (packet->Length() > RestLength()) return false;
    if (packet->Import(m_Stream, start) != 0) return false;
    m_Offset = start + packet->Length();
    return true;
}

bool ParseMetaData::ParsePacketValue(const CUSharedPtr<KLVPacket>& packet) {
    return ParsePacketValue(packet.get());
}

bool ParseMetaData::ParsePacket(KLVPacket* packet) {
    if (!packet) return false;
    const uint64_t start = m_Offset;
    if (ParseKeyAndLength(packet) && packet->isImportable() && ParsePacketValue(packet)) return true;
    m_Offset = start;
    return false;
}

bool ParseMetaData::ParsePacket(const CUSharedPtr<KLVPacket>& packet) {
    return ParsePacket(packet.get());
}

}  // namespace ComVantoVantoQZ64RADPlug
