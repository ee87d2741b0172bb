#pragma once
// The 12-byte clip identifier record of the media index: two user-ID
// characters at bytes 0-1 and the clip number (big-endian, 1-9999) at bytes
// 4-7; bytes 2-3 and 8-11 are kept as read. Plain value: not synchronised;
// a clip shares it read-only under its own lock.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

// "%s%04d" of the user ID and the clip number, e.g. "AB0012".
extern const char* const ClipIDFormat;
// "%s" of the user ID.
extern const char* const UserIDFormat;

class ClipIDInfo : public CUObject {
public:
    static constexpr uint32_t kRecordSize = 12;
    static constexpr uint32_t kMinClipNumber = 1;
    static constexpr uint32_t kMaxClipNumber = 9999;

    // Copies the 12 bytes; null for a null pointer or an invalid record.
    static CUSharedPtr<ClipIDInfo> Create(const unsigned char* bytes);

    // 0x20-0x7E except the characters a file name cannot hold: " * / : < > ? \ |
    static bool IsValidUserIDCharacter(unsigned char c);
    // Both user-ID characters valid and the clip number within 1-9999.
    static bool IsValidRecord(const unsigned char* bytes);

    uint32_t ClipNumber() const;
    // 0, or kResultNullArgument (record unchanged) outside 1-9999.
    uint32_t SetClipNumber(uint32_t number);
    // Exactly two valid characters: 0, else kResultNullArgument (unchanged).
    uint32_t SetUserID(const CUSharedPtr<CUStringMac>& userID);

    CUSharedPtr<CUStringMac> ClipIDString() const;
    CUSharedPtr<CUStringMac> UserID() const;
    CUSharedPtr<ClipIDInfo> Copy() const;

    // The 12 bytes as read (or as changed by the setters).
    const unsigned char* Bytes() const { return m_Bytes; }

    CUSharedPtr<CUStringMac> Description() const override;

private:
    explicit ClipIDInfo(const unsigned char* bytes);

    unsigned char m_Bytes[kRecordSize];
};

}  // namespace ComVantoVantoQZ64RADPlug
