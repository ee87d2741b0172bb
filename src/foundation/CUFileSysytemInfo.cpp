#include "CUFileSysytemInfo.h"

#include "CUFailure.h"
#include "CUStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

CUFileSysytemInfo::CUFileSysytemInfo(const CUSharedPtr<CUStringMac>& path) : CUFileSysytemInfo(path.get()) {}

CUFileSysytemInfo::CUFileSysytemInfo(const CUStringMac* path) {
    if (!path || path->IsNull())
        throw CUError(CUFailure(kCUErrNullArgument, "file system entry without a path"));
    m_FullPath = *path;
}

CUFileSysytemInfo::~CUFileSysytemInfo() = default;

CUSharedPtr<CUStringMac> CUFileSysytemInfo::Description() const {
    CUSharedPtr<CUStringMac> base = CUObject::Description();
    std::string text = base ? base->Utf8() : std::string();
    text += ' ';
    text += m_FullPath.Utf8();
    return CUStringMac::Create(text.c_str());
}

CUSharedPtr<CUStringMac> CUFileSysytemInfo::GetFullName() const {
    return CUSharedPtr<CUStringMac>(new CUStringMac(m_FullPath));
}

void CUFileSysytemInfo::Rename(const CUSharedPtr<CUStringMac>& newName) {
    if (!newName || newName->IsNull())
        throw CUError(CUFailure(kCUErrNullArgument, "rename without a new name"));
    if (newName->Length() == 0) throw CUError(CUFailure(kCUErrEmptyOrNotOpen, "rename to an empty name"));
    const std::string name = newName->Utf8();
    // A new name stays in the same folder: no separators, no "." or "..".
    if (name.find('/') != std::string::npos || name == "." || name == "..")
        throw CUError(CUFailure(kCUErrPlatform, "new name leaves the folder", name));

    const std::string from = m_FullPath.Utf8();
    struct stat st {};
    if (from.empty() || ::lstat(from.c_str(), &st) != 0)
        throw CUError(CUFailure(kCUErrPlatform, "entry to rename does not exist", from));

    CUStringMac parent;
    CUStringMac target;
    if (m_FullPath.PathRemoveLastComponent(parent) == 0) {
        if (parent.PathAppend(newName, target) != 0)
            throw CUError(CUFailure(kCUErrPlatform, "new path cannot be formed", from));
    } else {
        target = *newName;  // a bare name in the current folder
    }
    const std::string to = target.Utf8();
    // An entry already carrying the new name is never replaced.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS)
            throw CUError(CUFailure(kCUErrPlatform, "rename refused", to));
        // File systems without the no-replace flag.
        if (::lstat(to.c_str(), &st) == 0 || ::rename(from.c_str(), to.c_str()) != 0)
            throw CUError(CUFailure(kCUErrPlatform, "rename refused", to));
    }
    m_FullPath = target;
}

}  // namespace ComVantoVantoQZ64RADPlug
