#include "CUDirectory.h"

#include "CUArray.h"
#include "CUDirectoryInfo.h"

namespace ComVantoVantoQZ64RADPlug {

bool CUDirectory::Exists(const CUStringMac* path) {
    if (!path || path->IsNull()) return false;
    return CUDirectoryInfo(path).Exists();
}
bool CUDirectory::Exists(const CUSharedPtr<CUStringMac>& path) {
    return Exists(path.get());
}

void CUDirectory::Delete(const CUStringMac* path) {
    CUDirectoryInfo(path).Delete();
}
void CUDirectory::Delete(const CUSharedPtr<CUStringMac>& path) {
    Delete(path.get());
}
void CUDirectory::Delete(const CUStringMac* path, bool recursive) {
    CUDirectoryInfo(path).Delete(recursive);
}
void CUDirectory::Delete(const CUSharedPtr<CUStringMac>& path, bool recursive) {
    Delete(path.get(), recursive);
}

void CUDirectory::CreateDirectory(const CUStringMac* path) {
    CUDirectoryInfo(path).Create();
}
void CUDirectory::CreateDirectory(const CUSharedPtr<CUStringMac>& path) {
    CreateDirectory(path.get());
}

CUSharedPtr<CUArray> CUDirectory::GetFiles(const CUStringMac* path) {
    return CUDirectoryInfo(path).GetFiles();
}
CUSharedPtr<CUArray> CUDirectory::GetFiles(const CUSharedPtr<CUStringMac>& path) {
    return GetFiles(path.get());
}

CUSharedPtr<CUArray> CUDirectory::GetDirectories(const CUStringMac* path) {
    return CUDirectoryInfo(path).GetDirectories();
}
CUSharedPtr<CUArray> CUDirectory::GetDirectories(const CUSharedPtr<CUStringMac>& path) {
    return GetDirectories(path.get());
}

void CUDirectory::Rename(const CUStringMac* path, const CUSharedPtr<CUStringMac>& newName) {
    CUDirectoryInfo(path).Rename(newName);
}
void CUDirectory::Rename(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUStringMac>& newName) {
    Rename(path.get(), newName);
}

}  // namespace ComVantoVantoQZ64RADPlug
