#include "CUFile.h"

#include "CUFileInfo.h"

namespace ComVantoVantoQZ64RADPlug {

bool CUFile::Exists(const CUStringMac* path) {
    if (!path || path->IsNull()) return false;
    return CUFileInfo(path).Exists();
}
bool CUFile::Exists(const CUSharedPtr<CUStringMac>& path) {
    return Exists(path.get());
}

void CUFile::Delete(const CUStringMac* path) {
    CUFileInfo(path).Delete();
}
void CUFile::Delete(const CUSharedPtr<CUStringMac>& path) {
    Delete(path.get());
}

void CUFile::Rename(const CUStringMac* path, const CUSharedPtr<CUStringMac>& newName) {
    CUFileInfo(path).Rename(newName);
}
void CUFile::Rename(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUStringMac>& newName) {
    Rename(path.get(), newName);
}

void CUFile::CopyWithProgress(const CUSharedPtr<CUStringMac>& path,
                              const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                              _CUFileProgress* progress) {
    CUFileInfo(path).CopyWithProgress(destination, overwrite, progress);
}

void CUFile::MoveWithProgress(const CUSharedPtr<CUStringMac>& path,
                              const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                              _CUFileProgress* progress) {
    CUFileInfo(path).MoveWithProgress(destination, overwrite, progress);
}

}  // namespace ComVantoVantoQZ64RADPlug
