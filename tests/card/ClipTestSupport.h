#pragma once
// Helpers of the clip tests: scratch folders, clips made from card-writer
// descriptions (in memory or from a written card) and typed reads of clip
// values.
#include "CFBCClip.h"
#include "CIFStream.h"
#include "CUMemoryStream.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CardDescription.h"
#include "CardWriter.h"
#include "CifWriter.h"
#include "ClipIDInfo.h"
#include "TimecodeInfo.h"
#include "UMID.h"

#include <gtest/gtest.h>
#include "ScratchFolder.h"

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace clip_test {

namespace qz = ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

using ScratchFolder = qztest::ScratchFolder;

inline qz::CUSharedPtr<qz::CUStringMac> Str(const std::string& text) {
    return qz::CUStringMac::Create(text.c_str());
}

inline std::array<unsigned char, 12> ClipIdBytes(const cw::ClipId& id) {
    std::array<unsigned char, 12> bytes{};
    for (size_t i = 0; i < 2 && i < id.userId.size(); ++i)
        bytes[i] = static_cast<unsigned char>(id.userId[i]);
    bytes[4] = static_cast<unsigned char>(id.number >> 24);
    bytes[5] = static_cast<unsigned char>(id.number >> 16);
    bytes[6] = static_cast<unsigned char>(id.number >> 8);
    bytes[7] = static_cast<unsigned char>(id.number);
    return bytes;
}

inline qz::CUSharedPtr<qz::CIFStream> CifFromBytes(std::vector<uint8_t> block) {
    qz::CUSharedPtr<qz::CUStream> stream(new qz::CUMemoryStream(block.data(), block.size(), false));
    return qz::CIFStream::Create(stream, 0);
}

// A clip over the block the card writer builds for clip `index`; no file is
// touched (the clips folder need not exist).
inline qz::CUSharedPtr<qz::CFBCClip> ClipFromBlock(const std::vector<uint8_t>& block, const cw::ClipId& id,
                                                   const std::string& clipsPath = "/nonexistent/CLIPS001") {
    const auto idBytes = ClipIdBytes(id);
    return qz::CFBCClip::Create(Str(clipsPath), qz::ClipIDInfo::Create(idBytes.data()), CifFromBytes(block));
}

inline qz::CUSharedPtr<qz::CFBCClip> ClipInMemory(const cw::CardDescription& card, size_t index = 0) {
    return ClipFromBlock(cw::BuildClipInformation(card, index), card.clips.at(index).id);
}

// The clip `index` of a card written under `root`, read from its .CIF file,
// after its file check (CheckFiles must answer 0).
inline qz::CUSharedPtr<qz::CFBCClip> OpenWrittenClip(const std::string& root, const cw::CardDescription& card,
                                                     size_t index = 0) {
    const cw::ClipId& id = card.clips.at(index).id;
    const auto idBytes = ClipIdBytes(id);
    auto cif = qz::CIFStream::Create(Str(cw::ClipFilePath(root, id, ".CIF")));
    auto clip =
        qz::CFBCClip::Create(Str(cw::ClipsFolderPath(root)), qz::ClipIDInfo::Create(idBytes.data()), cif);
    if (clip) {
        EXPECT_EQ(clip->CheckFiles(), 0u);
    }
    return clip;
}

template <class T>
qz::CUSharedPtr<T> Value(const qz::CUSharedPtr<qz::CFBCClip>& clip, uint32_t tag) {
    return qz::CUDynamicCast<T>(clip->ValueForTag(static_cast<qz::_ClipValueTag>(tag)));
}

inline int64_t Int(const qz::CUSharedPtr<qz::CFBCClip>& clip, uint32_t tag) {
    auto number = Value<qz::CUNumber>(clip, tag);
    EXPECT_TRUE(number) << "tag " << tag;
    return number ? number->SInt64Value() : INT64_MIN;
}

inline std::string Text(const qz::CUSharedPtr<qz::CFBCClip>& clip, uint32_t tag) {
    auto text = Value<qz::CUStringMac>(clip, tag);
    EXPECT_TRUE(text) << "tag " << tag;
    return text ? text->Utf8() : std::string("<null>");
}

inline std::string Describe(const qz::CUSharedPtr<qz::CUObject>& object) {
    if (!object) return "<null>";
    auto text = object->Description();
    return text ? text->Utf8() : std::string("<no text>");
}

// "h:m:s:f[ DF]" of a card-writer timecode, as TimecodeInfo describes itself.
inline std::string TcText(const cw::Timecode& tc, bool dropFrame) {
    return std::to_string(tc.hours) + ":" + std::to_string(tc.minutes) + ":" + std::to_string(tc.seconds) +
           ":" + std::to_string(tc.frames) + (dropFrame ? " DF" : "");
}

inline ::testing::AssertionResult SameUmid(const qz::CUSharedPtr<qz::UMID>& umid, const cw::Umid& expected) {
    std::string wanted;
    char hex[4];
    for (uint8_t b : expected) {
        std::snprintf(hex, sizeof hex, "%02X.", b);
        wanted += hex;
    }
    if (umid && umid->Length() == 32 && std::equal(expected.begin(), expected.end(), umid->Bytes()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "UMID " << Describe(umid) << " is not " << wanted;
}

}  // namespace clip_test
