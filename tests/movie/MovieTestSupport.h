#pragma once
// Helpers of the movie tests: opening written clips (patching written MXF
// files comes with FileBytes.h).
#include "CUStringMac.h"
#include "FileBytes.h"
#include "WrittenClip.h"

#include <gtest/gtest.h>

#include <string>

namespace movie_test {

namespace qz = ComVantoVantoQZ64RADPlug;

inline qz::CUSharedPtr<qz::CUStringMac> Str(const std::string& text) {
    return qz::CUStringMac::Create(text.c_str());
}

}  // namespace movie_test
