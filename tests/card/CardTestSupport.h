#pragma once
// Helpers of the card tests: small cards, index and clip information
// images in memory, clips made from card-writer descriptions (in memory or
// from a written card), typed reads of clip values, and snapshots of every
// file of a card (bytes, size and times) to show that reading changes
// nothing.
#include "CFBCClip.h"
#include "CIFStream.h"
#include "CUArray.h"
#include "CUDateTime.h"
#include "CUMemoryStream.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "CardDescription.h"
#include "CardWriter.h"
#include "CifWriter.h"
#include "ClipIDInfo.h"
#include "MifWriter.h"
#include "TimecodeInfo.h"
#include "UMID.h"

#include <gtest/gtest.h>
#include "BoundedRun.h"
#include "FileBytes.h"
#include "ScratchFolder.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace card_test {

namespace qz = ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

using ScratchFolder = qztest::ScratchFolder;

inline qz::CUSharedPtr<qz::CUStringMac> Str(const std::string& text) {
    return qz::CUStringMac::Create(text.c_str());
}

// The text of a string value; "<null>" for none.
inline std::string Text(const qz::CUSharedPtr<qz::CUStringMac>& text) {
    return text ? text->Utf8() : std::string("<null>");
}

// Whether `value` is a UUID equal to `expected` (a CUUUID or the bytes of one).
template <class U>
::testing::AssertionResult IsUUID(const qz::CUSharedPtr<qz::CUObject>& value, const U& expected) {
    qz::CUSharedPtr<qz::CUUUID> uuid = value;
    if (uuid && *uuid == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (uuid ? "another UUID" : "no UUID");
}

// The value of a number (a failure and all bits set when it is none).
inline uint64_t NumberOf(const qz::CUSharedPtr<qz::CUObject>& value) {
    qz::CUSharedPtr<qz::CUNumber> number = value;
    EXPECT_TRUE(number);
    return number ? number->UInt64Value() : ~uint64_t{0};
}

// The clip IDs of an array of clips, in array order.
inline std::vector<std::string> ClipIDs(const qz::CUSharedPtr<qz::CUArray>& clips) {
    std::vector<std::string> ids;
    for (const auto& object : clips->GetInternalArray()) {
        qz::CUSharedPtr<qz::CFBCClip> clip = object;
        ids.push_back(clip ? clip->GetClipID()->Utf8() : "<not a clip>");
    }
    return ids;
}

// `count` short clips QZ0001.. of alternating rates of the 59.94 family;
// without `mxfFiles`, only the index and the clips' own files are written.
inline cw::CardDescription SmallCard(size_t count, uint32_t frames = 6, bool mxfFiles = true) {
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
        clip.writeMxfFiles = mxfFiles;
        card.clips.push_back(clip);
    }
    return card;
}

// A card of the one clip.
inline cw::CardDescription OneClipCard(const cw::ClipDescription& clip) {
    cw::CardDescription card;
    card.clips.push_back(clip);
    return card;
}

using qztest::ReadFile;
using qztest::WriteFile;

inline void PutU16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b.at(at) = static_cast<uint8_t>(v >> 8);
    b.at(at + 1) = static_cast<uint8_t>(v);
}
inline void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    PutU16(b, at, v >> 16);
    PutU16(b, at + 2, v & 0xFFFF);
}

// The exit code of `run` in a forked child (-1 when it did not exit), for
// what must not touch this process: resource limits, permissions.
inline int ExitCodeInChild(const std::function<int()>& run) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(run());
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In a child: a limit on the size of written files, whose writes past it
// then fail with EFBIG (instead of raising SIGXFSZ), as on a full file system.
inline void LimitFileSize(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    qztest::LimitResource(RLIMIT_FSIZE, bytes);
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
        if (!s.folder) s.bytes = ReadFile(path.string());
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

inline qz::CUSharedPtr<qz::CIFStream> CifFromBytes(const std::vector<uint8_t>& bytes, uint64_t offset = 0,
                                                   uint32_t* result = nullptr) {
    return qz::CIFStream::Create(Memory(bytes), offset, result);
}

// A clip over the block the card writer builds for clip `index`; no file is
// touched (the clips folder need not exist).
inline qz::CUSharedPtr<qz::CFBCClip> ClipFromBlock(const std::vector<uint8_t>& block, const cw::ClipId& id,
                                                   const std::string& clipsPath = "/nonexistent/CLIPS001") {
    const auto idBytes = cw::ClipIdRecord(id);
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
    const auto idBytes = cw::ClipIdRecord(id);
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

// Every value of every tag of a clip as text, in tag order.
inline std::vector<std::string> AllValues(const qz::CUSharedPtr<qz::CFBCClip>& clip) {
    std::vector<std::string> values;
    for (uint32_t tag = 0; tag <= qz::kClipValueTagCount; ++tag) {
        auto value = clip->ValueForTag(static_cast<qz::_ClipValueTag>(tag));
        auto date = qz::CUDynamicCast<qz::CUDateTime>(value);
        values.push_back(date ? std::to_string(date->GetAbsoluteTime()) : Describe(value));
    }
    return values;
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

}  // namespace card_test
