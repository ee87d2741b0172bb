#pragma once
// Static operations on file paths; each builds a CUFileInfo for the path and
// calls the operation of the same name (failures are thrown as there).
#include "CUFileSysytemInfo.h"

namespace ComVantoVantoQZ64RADPlug {

class CUFile {
public:
    // True when the path exists and is not a folder; false for null.
    static bool Exists(const CUStringMac* path);
    static bool Exists(const CUSharedPtr<CUStringMac>& path);
    static void Delete(const CUStringMac* path);
    static void Delete(const CUSharedPtr<CUStringMac>& path);
    static void Rename(const CUStringMac* path, const CUSharedPtr<CUStringMac>& newName);
    static void Rename(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUStringMac>& newName);
    static void CopyWithProgress(const CUSharedPtr<CUStringMac>& path,
                                 const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                                 _CUFileProgress* progress);
    static void MoveWithProgress(const CUSharedPtr<CUStringMac>& path,
                                 const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                                 _CUFileProgress* progress);
};

}  // namespace ComVantoVantoQZ64RADPlug
