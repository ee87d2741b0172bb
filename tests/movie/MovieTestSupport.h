#pragma once
// Helpers of the movie tests: opening written clips (written with
// ScratchClip.h; patching written MXF files comes with FileBytes.h).
#include "CUStringMac.h"
#include "FileBytes.h"
#include "ScratchClip.h"

#include <string>

namespace movie_test {

namespace qz = ComVantoVantoQZ64RADPlug;
namespace cw = qz::CardWriter;
using qztest::ScratchFolder;

inline qz::CUSharedPtr<qz::CUStringMac> Str(const std::string& text) {
    return qz::CUStringMac::Create(text.c_str());
}

}  // namespace movie_test
