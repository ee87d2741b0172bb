#pragma once
// Path helpers over the CUStringMac path operations ('/'-separated paths).
// Each returns a new object, or a null pointer when an input is null (a null
// pointer or a null string) or the underlying operation fails; none throws.
// They keep no state and may be called from any thread.
#include "CUSharedPtr.h"
#include "CUStringMac.h"

namespace ComVantoVantoQZ64RADPlug {

class CUArray;

// path + "/" + component, without a doubled "/" when path ends with "/".
CUSharedPtr<CUStringMac> FBC_Utl_PathAppending(const CUSharedPtr<CUStringMac>& path,
                                               const CUSharedPtr<CUStringMac>& component);
// The path without its last component ("/a" gives "/"; "abc" gives null).
CUSharedPtr<CUStringMac> FBC_Utl_RemoveLastComponent(const CUSharedPtr<CUStringMac>& path);
// The last component, one trailing "/" ignored ("/" gives "/").
CUSharedPtr<CUStringMac> FBC_Utl_LastPathComponent(const CUSharedPtr<CUStringMac>& path);
// The file name without its extension.
CUSharedPtr<CUStringMac> FBC_Utl_PathGetFileNameNoExtension(const CUSharedPtr<CUStringMac>& path);
// The components as an array of strings (a leading "/" is the first one).
CUSharedPtr<CUArray> FBC_Utl_PathComponents(const CUSharedPtr<CUStringMac>& path);

}  // namespace ComVantoVantoQZ64RADPlug
