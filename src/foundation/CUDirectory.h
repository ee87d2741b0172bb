#pragma once
// Static operations on folder paths; each builds a CUDirectoryInfo for the
// path and calls the operation of the same name (failures are thrown as
// there).
#include "CUFileSysytemInfo.h"

namespace ComVantoVantoQZ64RADPlug {

class CUArray;

class CUDirectory {
public:
    // True when the path exists and is a folder; false for null.
    static bool Exists(const CUStringMac* path);
    static bool Exists(const CUSharedPtr<CUStringMac>& path);
    static void Delete(const CUStringMac* path);
    static void Delete(const CUSharedPtr<CUStringMac>& path);
    static void Delete(const CUStringMac* path, bool recursive);
    static void Delete(const CUSharedPtr<CUStringMac>& path, bool recursive);
    static void CreateDirectory(const CUStringMac* path);
    static void CreateDirectory(const CUSharedPtr<CUStringMac>& path);
    static CUSharedPtr<CUArray> GetFiles(const CUStringMac* path);
    static CUSharedPtr<CUArray> GetFiles(const CUSharedPtr<CUStringMac>& path);
    static CUSharedPtr<CUArray> GetDirectories(const CUStringMac* path);
    static CUSharedPtr<CUArray> GetDirectories(const CUSharedPtr<CUStringMac>& path);
    static void Rename(const CUStringMac* path, const CUSharedPtr<CUStringMac>& newName);
    static void Rename(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUStringMac>& newName);
};

}  // namespace ComVantoVantoQZ64RADPlug
