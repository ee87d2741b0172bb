#include "CFURL.h"

#include <functional>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

bool CFURL::Equals(const CFType& other) const {
    const auto& b = static_cast<const CFURL&>(other);
    return m_path == b.m_path && m_isDirectory == b.m_isDirectory;
}

CFHashCode CFURL::Hash() const {
    return std::hash<std::string>()(m_path);
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory) {
    if (!filePath || pathStyle != kCFURLPOSIXPathStyle || filePath->Text().empty()) return nullptr;
    std::string path = filePath->Text();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    try {
        return new CFURL(std::move(path), isDirectory);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle pathStyle) {
    if (!url || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const uint8_t*>(url->Path().data()),
                                   static_cast<CFIndex>(url->Path().size()), kCFStringEncodingUTF8, false);
}

Boolean CFURLHasDirectoryPath(CFURLRef url) {
    return url && url->IsDirectory();
}

}  // namespace ComVantoVantoQZ64RADPlug
