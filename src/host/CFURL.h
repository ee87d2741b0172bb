#pragma once
// A file URL made from a file-system path. Only POSIX-style paths exist
// here; a relative path stays relative (to the working directory).
#include "CFString.h"

namespace ComVantoVantoQZ64RADPlug {

using CFURLPathStyle = CFIndex;
inline constexpr CFURLPathStyle kCFURLPOSIXPathStyle = 0;

class CFURL final : public CFType {
public:
    CFURL(std::string path, bool isDirectory) : m_path(std::move(path)), m_isDirectory(isDirectory) {}
    CFTypeID TypeID() const override { return kCFURLTypeID; }
    bool Equals(const CFType& other) const override;
    CFHashCode Hash() const override;

    const std::string& Path() const { return m_path; }  // without a trailing '/', except "/"
    bool IsDirectory() const { return m_isDirectory; }

private:
    std::string m_path;
    bool m_isDirectory;
};

using CFURLRef = const CFURL*;

// Null for an empty path or another path style.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath,
                                       CFURLPathStyle pathStyle, Boolean isDirectory);
// The path, without a trailing '/' (except for "/").
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle pathStyle);
Boolean CFURLHasDirectoryPath(CFURLRef url);

}  // namespace ComVantoVantoQZ64RADPlug
