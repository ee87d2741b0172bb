#pragma once
// A file at one path: existence, size, delete, copy and move.
#include "CUFileSysytemInfo.h"

namespace ComVantoVantoQZ64RADPlug {

class CUFileInfo : public CUFileSysytemInfo {
public:
    explicit CUFileInfo(const CUSharedPtr<CUStringMac>& path);
    explicit CUFileInfo(const CUStringMac* path);
    ~CUFileInfo() override;

    // Deletes the file. A missing path is no error; throws 7 for a folder and
    // 8 when the platform refuses.
    virtual void Delete();
    // Copies the file to `destination` (a full path). Throws 2 for a null
    // destination, 9 when this file is missing, 4 when the destination exists
    // and overwrite is false, or on any platform failure.
    virtual void CopyWithProgress(const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                                  _CUFileProgress* progress);
    // Moves the file (a rename, or copy and delete across volumes); the path
    // of this object becomes the destination. Failures as CopyWithProgress.
    virtual void MoveWithProgress(const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                                  _CUFileProgress* progress);
    // Logical size in bytes; 0 when it cannot be read.
    virtual uint64_t Length() const;
    // True when the path exists and is not a folder.
    virtual bool Exists() const;

protected:
    virtual void CopyOrMove(const CUSharedPtr<CUStringMac>& destination, bool overwrite,
                            _CUFileProgress* progress, bool move);
};

}  // namespace ComVantoVantoQZ64RADPlug
