#pragma once
// Shared helpers of the MXF reader tests: hand-made bytes as a stream,
// whole-file reads and writes, with the project's scratch folders and peer
// tools.
#include "CUMemoryStream.h"
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "ExternalTool.h"
#include "MxfTestBytes.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mxftest {

// A stream over `bytes` (not copied: they must outlive it).
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUStream> Stream(
    const std::vector<uint8_t>& bytes) {
    using namespace ComVantoVantoQZ64RADPlug;
    return CUSharedPtr<CUStream>(
        new CUMemoryStream(const_cast<uint8_t*>(bytes.data()), static_cast<uint64_t>(bytes.size()), false));
}

using qztest::ReadFile;
using qztest::WriteFile;

}  // namespace mxftest
