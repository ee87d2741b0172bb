#pragma once
// Shared helpers of the MXF reader tests: hand-made bytes as a stream,
// whole-file reads and writes, with the project's scratch folders and peer
// tools.
#include "CUMemoryStream.h"
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "ExternalTool.h"
#include "MxfTestBytes.h"
#include "ParseMetaData.h"
#include "STMetadataSets.h"
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

// A local set parsed from `value` under `key`; empty when it does not parse.
inline ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::STMetadataSets> MakeSet(
    const std::vector<uint8_t>& value, const Key16& key) {
    using namespace ComVantoVantoQZ64RADPlug;
    Bytes file;
    file.klv(key, value);
    ParseMetaData reader(Stream(file));
    CUSharedPtr<STMetadataSets> set(new STMetadataSets());
    return reader.ParsePacket(CUSharedPtr<KLVPacket>(set)) ? set : nullptr;
}

using qztest::ReadFile;
using qztest::WriteFile;

}  // namespace mxftest
