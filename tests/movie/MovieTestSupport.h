#pragma once
// Helpers of the movie tests: opening written clips; patching written MXF
// files comes from FileBytes.h.
#include "CUStringMac.h"
#include "FileBytes.h"
#include "WrittenClip.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace movie_test {

namespace qz = ComVantoVantoQZ64RADPlug;

inline qz::CUSharedPtr<qz::CUStringMac> Str(const std::string& text) {
    return qz::CUStringMac::Create(text.c_str());
}

using qztest::BigEndian;
using qztest::PatchItems;
using qztest::ReadBytes;
using qztest::WriteBytes;

}  // namespace movie_test
