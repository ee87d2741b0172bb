#include "FBC_Utl_Path.h"

#include "CUArray.h"

#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Runs one path operation of `path` into a fresh string.
template <class Operation>
CUSharedPtr<CUStringMac> Run(const CUSharedPtr<CUStringMac>& path, Operation operation) {
    if (!path || path->IsNull()) return nullptr;
    try {
        CUSharedPtr<CUStringMac> out(new CUStringMac());
        if (operation(*path, *out) != 0 || out->IsNull()) return nullptr;
        return out;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

CUSharedPtr<CUStringMac> FBC_Utl_PathAppending(const CUSharedPtr<CUStringMac>& path,
                                               const CUSharedPtr<CUStringMac>& component) {
    if (!component || component->IsNull()) return nullptr;
    return Run(path, [&](const CUStringMac& p, CUStringMac& out) { return p.PathAppend(component, out); });
}

CUSharedPtr<CUStringMac> FBC_Utl_RemoveLastComponent(const CUSharedPtr<CUStringMac>& path) {
    return Run(path, [](const CUStringMac& p, CUStringMac& out) { return p.PathRemoveLastComponent(out); });
}

CUSharedPtr<CUStringMac> FBC_Utl_LastPathComponent(const CUSharedPtr<CUStringMac>& path) {
    return Run(path, [](const CUStringMac& p, CUStringMac& out) { return p.PathGetLastComponent(out); });
}

CUSharedPtr<CUStringMac> FBC_Utl_PathGetFileNameNoExtension(const CUSharedPtr<CUStringMac>& path) {
    return Run(path,
               [](const CUStringMac& p, CUStringMac& out) { return p.PathGetFileNameNoExtension(out); });
}

CUSharedPtr<CUArray> FBC_Utl_PathComponents(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return nullptr;
    try {
        CUSharedPtr<CUArray> components;
        if (path->PathComponents(&components) != 0) return nullptr;
        return components;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
