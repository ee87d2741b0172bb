#include "FBC_Utl_ClipMemberFilePath.h"

#include "CUArray.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "FBC_Utl_Path.h"
#include "MemberStreamInfo.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

const char* const CFBCClip_FileNameFormat = "%s%s";
const char* const CFBCClip_MXFFileNameFormat = "%s%02d.MXF";
const char* const CFBCClip_SIFFileNameFormat = "%s%02d.SIF";

namespace {

// The format is handed to snprintf with a string and an int: accept only
// "%s" then one "%[flags][width]d", with any literal text and "%%".
bool IsMemberNameFormat(const char* format) {
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        if (conversions == 0) {
            if (*p != 's') return false;
        } else if (conversions == 1) {
            while (*p == '0' || *p == '-' || *p == '+' || *p == ' ') ++p;
            for (int digits = 0; std::isdigit(static_cast<unsigned char>(*p)); ++p)
                if (++digits > 2) return false;
            if (*p != 'd') return false;
        } else {
            return false;
        }
        ++conversions;
    }
    return conversions == 2;
}

}  // namespace

CUSharedPtr<CUStringMac> FBC_Utl_MakeClipMemberFilePath(const CUSharedPtr<CUStringMac>& clipFolder,
                                                        const char* format,
                                                        const CUSharedPtr<CUStringMac>& clipID,
                                                        uint32_t memberNumber) {
    if (!clipFolder || clipFolder->IsNull() || !format || !clipID || clipID->IsNull()) return nullptr;
    if (memberNumber < kClipMemberNumberMin || memberNumber > kClipMemberNumberMax) return nullptr;
    if (!IsMemberNameFormat(format)) return nullptr;
    const std::string id = clipID->Utf8();
    const int length = std::snprintf(nullptr, 0, format, id.c_str(), static_cast<int>(memberNumber));
    if (length <= 0) return nullptr;
    std::string name(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(name.data(), name.size(), format, id.c_str(), static_cast<int>(memberNumber));
    name.resize(static_cast<size_t>(length));
    return FBC_Utl_PathAppending(clipFolder, CUStringMac::Create(name.c_str()));
}

CUSharedPtr<CUArray> FBC_Utl_MakeClipMemberFilePathsFromMemberStreamInfo(
    const CUSharedPtr<CUStringMac>& clipFolder, const char* format, const CUSharedPtr<CUStringMac>& clipID,
    const CUSharedPtr<CUArray>& members) {
    if (!clipFolder || clipFolder->IsNull() || !format || !clipID || clipID->IsNull() || !members)
        return nullptr;
    CUSharedPtr<CUMutableArray> paths = CUMutableArray::Create();
    for (size_t i = 0; i < members->Count(); ++i) {
        CUSharedPtr<MemberStreamInfo> member = CUDynamicCast<MemberStreamInfo>(members->ObjectAtIndex(i));
        CUSharedPtr<CUStringMac> path;
        if (member) path = FBC_Utl_MakeClipMemberFilePath(clipFolder, format, clipID, member->streamNumber);
        paths->AddObject(path);
    }
    return paths;
}

}  // namespace ComVantoVantoQZ64RADPlug
