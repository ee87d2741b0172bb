#pragma once
// A folder at one path: create (with missing parents), delete, list.
#include "CUFileSysytemInfo.h"

namespace ComVantoVantoQZ64RADPlug {

class CUArray;

class CUDirectoryInfo : public CUFileSysytemInfo {
public:
    explicit CUDirectoryInfo(const CUSharedPtr<CUStringMac>& path);
    explicit CUDirectoryInfo(const CUStringMac* path);
    ~CUDirectoryInfo() override;

    // Nothing when the folder exists; otherwise creates the missing folders
    // from the nearest existing ancestor down. Throws 4 on failure, also when
    // the walk up finds no existing ancestor: an empty path, or a relative
    // path whose first component is missing.
    virtual void Create();
    // Throws 3 when the folder does not exist, 4 when the platform refuses
    // (for example a non-empty folder).
    virtual void Delete();
    // Recursive: sub-folders and files first, then the folder. Symbolic
    // links are removed, never followed.
    virtual void Delete(bool recursive);
    virtual CUSharedPtr<CUArray> GetDirectories() const;
    virtual CUSharedPtr<CUArray> GetFiles() const;
    // Entries in file-system order, hidden ones included: CUFileInfo objects
    // for every non-folder entry, or CUDirectoryInfo objects for every
    // sub-folder. Throws 4 when the path is not an existing folder.
    virtual CUSharedPtr<CUArray> GetObjects(bool directories) const;

    bool Exists() const;
};

}  // namespace ComVantoVantoQZ64RADPlug
