#pragma once
// Helpers of the media index and card content tests: scratch folders, small
// written cards, index images patched in memory, and snapshots of every file
// of a card (bytes, size and times) to show that reading changes nothing.
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "CardDescription.h"
#include "CardWriter.h"
#include "MifWriter.h"

#include <gtest/gtest.h>
#include "FileBytes.h"
#include "ScratchFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace content_test {

namespace qz = ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

using ScratchFolder = qztest::ScratchFolder;

inline qz::CUSharedPtr<qz::CUStringMac> Str(const std::string& text) {
    return qz::CUStringMac::Create(text.c_str());
}

// `count` short clips QZ0001.. of alternating rates of the 59.94 family.
inline cw::CardDescription SmallCard(size_t count, uint32_t frames = 6) {
    static const cw::FrameRate kRates[] = {cw::FrameRate::k59_94i, cw::FrameRate::k29_97p,
                                           cw::FrameRate::k59_94p};
    cw::CardDescription card;
    for (size_t i = 0; i < count; ++i) {
        cw::ClipDescription clip;
        clip.id.number = static_cast<uint32_t>(i + 1);
        clip.frameRate = kRates[i % 3];
        clip.durationFrames = frames;
        clip.gopLength = 3;
        clip.bPictures = 0;
        clip.audioChannels = 2;
        clip.xml.title = "Clip " + std::to_string(i + 1);
        card.clips.push_back(clip);
    }
    return card;
}

using qztest::ReadBytes;
using qztest::WriteBytes;

inline void PutU16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b.at(at) = static_cast<uint8_t>(v >> 8);
    b.at(at + 1) = static_cast<uint8_t>(v);
}
inline void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    PutU16(b, at, v >> 16);
    PutU16(b, at + 2, v & 0xFFFF);
}

// A memory stream holding a copy of the bytes.
inline qz::CUSharedPtr<qz::CUStream> Memory(std::vector<uint8_t> bytes) {
    return qz::CUSharedPtr<qz::CUStream>(new qz::CUMemoryStream(bytes.data(), bytes.size(), false));
}

// Everything a read-only import must leave alone, per path under a root:
// kind, bytes, size, modification and status-change times (nanoseconds).
struct FileState {
    bool folder = false;
    std::vector<uint8_t> bytes;
    int64_t size = 0;
    int64_t modified = 0;
    int64_t changed = 0;
    bool operator==(const FileState&) const = default;
};

inline std::map<std::string, FileState> Snapshot(const std::string& root) {
    std::map<std::string, FileState> states;
    auto add = [&](const std::filesystem::path& path) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            ADD_FAILURE() << "cannot stat " << path;
            return;
        }
        FileState& s = states[path.string()];
        s.folder = S_ISDIR(info.st_mode);
        s.size = info.st_size;
        s.modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        s.changed = int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
        if (!s.folder) s.bytes = ReadBytes(path.string());
    };
    add(root);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) add(entry.path());
    return states;
}

// Every path of `before` is under `root` as it was.
inline void ExpectUntouched(const std::map<std::string, FileState>& before, const std::string& root) {
    const auto after = Snapshot(root);
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [path, state] : before)
        EXPECT_TRUE(after.count(path) && after.at(path) == state) << path << " changed";
}

}  // namespace content_test
