#include "ClipIDInfo.h"

#include "CUStringMac.h"
#include "FBC_Utl_File.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

const char* const ClipIDFormat = "%s%04d";
const char* const UserIDFormat = "%s";

namespace {

constexpr size_t kUserIDLength = 2;
constexpr size_t kClipNumberOffset = 4;

uint32_t ReadBigEndian32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

std::string UserIDText(const unsigned char* bytes) {
    return std::string(reinterpret_cast<const char*>(bytes), kUserIDLength);
}

}  // namespace

ClipIDInfo::ClipIDInfo(const unsigned char* bytes) {
    std::memcpy(m_Bytes, bytes, kRecordSize);
}

CUSharedPtr<ClipIDInfo> ClipIDInfo::Create(const unsigned char* bytes) {
    if (!IsValidRecord(bytes)) return nullptr;
    return CUSharedPtr<ClipIDInfo>(new ClipIDInfo(bytes));
}

bool ClipIDInfo::IsValidUserIDCharacter(unsigned char c) {
    if (c < 0x20 || c > 0x7E) return false;
    return std::strchr("\"*/:<>?\\|", c) == nullptr;
}

bool ClipIDInfo::IsValidRecord(const unsigned char* bytes) {
    if (!bytes) return false;
    if (!IsValidUserIDCharacter(bytes[0]) || !IsValidUserIDCharacter(bytes[1])) return false;
    const uint32_t number = ReadBigEndian32(bytes + kClipNumberOffset);
    return number >= kMinClipNumber && number <= kMaxClipNumber;
}

uint32_t ClipIDInfo::ClipNumber() const {
    return ReadBigEndian32(m_Bytes + kClipNumberOffset);
}

uint32_t ClipIDInfo::SetClipNumber(uint32_t number) {
    if (number < kMinClipNumber || number > kMaxClipNumber) return kResultNullArgument;
    m_Bytes[kClipNumberOffset] = static_cast<unsigned char>(number >> 24);
    m_Bytes[kClipNumberOffset + 1] = static_cast<unsigned char>(number >> 16);
    m_Bytes[kClipNumberOffset + 2] = static_cast<unsigned char>(number >> 8);
    m_Bytes[kClipNumberOffset + 3] = static_cast<unsigned char>(number);
    return 0;
}

uint32_t ClipIDInfo::SetUserID(const CUSharedPtr<CUStringMac>& userID) {
    if (!userID || userID->IsNull()) return kResultNullArgument;
    const std::u16string& text = userID->Text();
    if (text.size() != kUserIDLength) return kResultNullArgument;
    for (char16_t c : text)
        if (c > 0x7F || !IsValidUserIDCharacter(static_cast<unsigned char>(c))) return kResultNullArgument;
    m_Bytes[0] = static_cast<unsigned char>(text[0]);
    m_Bytes[1] = static_cast<unsigned char>(text[1]);
    return 0;
}

CUSharedPtr<CUStringMac> ClipIDInfo::ClipIDString() const {
    // The record is valid (checked at creation and by the setters), so the
    // text is two characters and four digits.
    char text[16];
    std::snprintf(text, sizeof text, ClipIDFormat, UserIDText(m_Bytes).c_str(),
                  static_cast<int>(ClipNumber()));
    return CUStringMac::Create(text);
}

CUSharedPtr<CUStringMac> ClipIDInfo::UserID() const {
    char text[8];
    std::snprintf(text, sizeof text, UserIDFormat, UserIDText(m_Bytes).c_str());
    return CUStringMac::Create(text);
}

CUSharedPtr<ClipIDInfo> ClipIDInfo::Copy() const {
    return CUSharedPtr<ClipIDInfo>(new ClipIDInfo(m_Bytes));
}

CUSharedPtr<CUStringMac> ClipIDInfo::Description() const {
    return ClipIDString();
}

}  // namespace ComVantoVantoQZ64RADPlug
