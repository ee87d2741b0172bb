#pragma once
// Reads the XML property lists bundles carry (information dictionaries,
// strings tables) into the host's value types: dict, array, string,
// integer, real, true and false. A DOCTYPE line is refused, as the XML
// model refuses every document type declaration.
#include <string>

#include "CFHolder.h"
#include "CFType.h"
#include "CUFailure.h"

namespace ComVantoVantoQZ64RADPlug {

class HostPropertyList {
public:
    // The largest property list read (bundle lists are a few kilobytes).
    static constexpr uint64_t kMaxFileBytes = 4u << 20;

    // The list's one value (owned by the caller), or null with the reason.
    static CFHolder<CFTypeRef> ReadFile(const std::string& path, CUFailure* why);
};

}  // namespace ComVantoVantoQZ64RADPlug
