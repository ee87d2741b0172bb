#include "CUDirectoryInfo.h"

#include "CUFailure.h"
#include "CUFileInfo.h"
#include "CUMutableArray.h"
#include "CUStream.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string>

#include <cstring>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

[[noreturn]] void Fail(uint32_t code, const char* what, const std::string& path = std::string()) {
    throw CUError(CUFailure(code, what, path));
}

bool IsDirectory(const CUStringMac& path) {
    struct stat st {};
    return path.Length() > 0 && ::stat(path.Utf8().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

CUDirectoryInfo::CUDirectoryInfo(const CUSharedPtr<CUStringMac>& path) : CUFileSysytemInfo(path) {}
CUDirectoryInfo::CUDirectoryInfo(const CUStringMac* path) : CUFileSysytemInfo(path) {}
CUDirectoryInfo::~CUDirectoryInfo() = default;

bool CUDirectoryInfo::Exists() const {
    return IsDirectory(m_FullPath);
}

void CUDirectoryInfo::Create() {
    if (IsDirectory(m_FullPath)) return;
    // Walk up to the nearest existing ancestor. The walk must end: it stops
    // with a failure at an empty path, at a component without a parent (a
    // relative path whose first folder is missing) and where the parent
    // step makes no progress.
    std::vector<CUStringMac> missing;
    CUStringMac current = m_FullPath;
    for (;;) {
        if (current.Length() == 0)
            Fail(kCUErrPlatform, "folder path has no existing ancestor", m_FullPath.Utf8());
        struct stat st {};
        if (::stat(current.Utf8().c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                Fail(kCUErrPlatform, "a file stands where a folder is wanted", m_FullPath.Utf8());
            break;
        }
        missing.push_back(current);
        CUStringMac parent;
        if (current.PathRemoveLastComponent(parent) != 0 || parent.Length() >= current.Length() ||
            parent == current)
            Fail(kCUErrPlatform, "folder cannot be created", m_FullPath.Utf8());
        current = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->Utf8().c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(*it)))
            Fail(kCUErrPlatform, "folder cannot be created", m_FullPath.Utf8());
    }
}

void CUDirectoryInfo::Delete() {
    if (!IsDirectory(m_FullPath)) Fail(kCUErrFolderMissing, "folder does not exist", m_FullPath.Utf8());
    if (::rmdir(m_FullPath.Utf8().c_str()) != 0)
        Fail(kCUErrPlatform, "folder cannot be removed", m_FullPath.Utf8());
}

void CUDirectoryInfo::Delete(bool recursive) {
    if (!recursive) return Delete();
    if (!IsDirectory(m_FullPath)) Fail(kCUErrFolderMissing, "folder does not exist", m_FullPath.Utf8());
    // Symbolic links are listed as files, so the recursion never leaves the
    // tree through a link to another folder.
    CUSharedPtr<CUArray> folders = GetObjects(true);
    for (const CUSharedPtr<CUObject>& item : folders->GetInternalArray()) {
        CUSharedPtr<CUDirectoryInfo> folder = item;
        if (folder) folder->Delete(true);
    }
    CUSharedPtr<CUArray> files = GetObjects(false);
    for (const CUSharedPtr<CUObject>& item : files->GetInternalArray()) {
        CUSharedPtr<CUFileInfo> file = item;
        if (file) file->Delete();
    }
    Delete();
}

CUSharedPtr<CUArray> CUDirectoryInfo::GetDirectories() const {
    return GetObjects(true);
}
CUSharedPtr<CUArray> CUDirectoryInfo::GetFiles() const {
    return GetObjects(false);
}

CUSharedPtr<CUArray> CUDirectoryInfo::GetObjects(bool directories) const {
    if (!IsDirectory(m_FullPath))
        Fail(kCUErrPlatform, "listing a path that is not a folder", m_FullPath.Utf8());
    const std::string folder = m_FullPath.Utf8();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) Fail(kCUErrPlatform, "folder cannot be listed", m_FullPath.Utf8());
    CUSharedPtr<CUMutableArray> result(new CUMutableArray());
    try {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
            CUSharedPtr<CUStringMac> name(new CUStringMac(entry->d_name));
            if (name->IsNull()) continue;  // a name that is not UTF-8 cannot be represented
            CUStringMac path;
            if (m_FullPath.PathAppend(name, path) != 0) continue;
            bool isDir;
            if (entry->d_type != DT_UNKNOWN) {
                isDir = entry->d_type == DT_DIR;
            } else {
                struct stat st {};
                if (::lstat(path.Utf8().c_str(), &st) != 0) continue;
                isDir = S_ISDIR(st.st_mode);
            }
            if (isDir != directories) continue;
            if (directories)
                result->AddObject(CUSharedPtr<CUObject>(new CUDirectoryInfo(&path)));
            else
                result->AddObject(CUSharedPtr<CUObject>(new CUFileInfo(&path)));
        }
    } catch (...) {
        // Only closes the folder, whatever was thrown, and passes it on.
        ::closedir(dir);
        throw;
    }
    ::closedir(dir);
    return result;
}

}  // namespace ComVantoVantoQZ64RADPlug
