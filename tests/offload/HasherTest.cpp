// Every hash format against its independent tool (xxhsum, md5sum, sha1sum)
// on files of assorted sizes, fed in uneven pieces across the read chunk's
// boundaries; the C4 id against its published definition (SHA-512 in base
// 58, padded to 90 characters), computed apart by python3.
#include "C4Hasher.h"
#include "CopyEngine.h"
#include "Hasher.h"
#include "OffloadTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using qzoffload::HashFormat;

std::vector<uint8_t> Bytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    uint64_t state = 0x9E3779B97F4A7C15ull ^ size;
    for (uint8_t& b : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        b = static_cast<uint8_t>(state >> 56);
    }
    return bytes;
}

std::string Hash(HashFormat format, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<qzoffload::Hasher> hasher = qzoffload::Hasher::Create(format);
    // Pieces of 1, 7, 4093 and 1 MiB bytes in turn, as reads deliver them.
    const size_t pieces[] = {1, 7, 4093, 1u << 20};
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        const size_t n = std::min(pieces[i % 4], bytes.size() - at);
        hasher->Update(bytes.data() + at, n);
        at += n;
    }
    return hasher->Finish();
}

// The tool's hash of the file: the first word, or what follows " = ".
std::string ToolHash(const std::string& command, const std::string& path) {
    const std::string out = qztest::RunCommand(command + " " + qztest::ShellQuote(path)).output;
    const size_t equals = out.find(" = ");
    if (equals != std::string::npos) return out.substr(equals + 3, out.find('\n') - equals - 3);
    return out.substr(0, out.find(' '));
}

TEST(HasherTest, EveryFormatAgreesWithItsToolAtChunkBoundaries) {
    QZ_REQUIRE_TOOL("xxhsum");
    qztest::ScratchFolder scratch("hash");
    const size_t chunk = qzoffload::CopyEngine::kChunkBytes;
    const struct {
        HashFormat format;
        const char* command;
    } tools[] = {{HashFormat::kXxh64, "xxhsum -H1"},
                 {HashFormat::kXxh128, "xxhsum -H2"},
                 {HashFormat::kXxh3, "xxhsum -H3"},
                 {HashFormat::kMd5, "md5sum"},
                 {HashFormat::kSha1, "sha1sum"}};
    for (size_t size : {size_t{0}, size_t{1}, size_t{240}, size_t{4095}, size_t{4096}, chunk - 1, chunk,
                        chunk + 1, 2 * chunk + 4097}) {
        const std::string path = scratch.Path() + "/file" + std::to_string(size);
        const std::vector<uint8_t> bytes = Bytes(size);
        ASSERT_TRUE(qztest::WriteFile(path, bytes));
        for (const auto& tool : tools)
            EXPECT_EQ(Hash(tool.format, bytes), ToolHash(tool.command, path))
                << qzoffload::HashFormatName(tool.format) << " of " << size << " bytes";
    }
}

TEST(HasherTest, C4IdFollowsItsPublishedDefinition) {
    QZ_REQUIRE_TOOL("python3");
    // The published id of no bytes at all.
    EXPECT_EQ(qzoffload::C4Hasher::IdOf("", 0),
              "c459dsjfscH38cYeXXYogktxf4Cd9ibshE3BHUo6a58hBXmRQdZrAkZzsWcbWtDg5oQstpDuni4Hirj75GEmTc1sFT");
    qztest::ScratchFolder scratch("c4");
    for (size_t size : {size_t{1}, size_t{3}, size_t{100000}}) {
        const std::string path = scratch.Path() + "/file";
        const std::vector<uint8_t> bytes = Bytes(size);
        ASSERT_TRUE(qztest::WriteFile(path, bytes));
        const std::string python =
            "python3 -c \"import "
            "hashlib,sys\nA='123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz'\n"
            "n=int.from_bytes(hashlib.sha512(open(sys.argv[1],'rb').read()).digest(),'big');s=''\n"
            "while n: n,r=divmod(n,58); s=A[r]+s\nprint('c4'+s.rjust(88,'1'),end='')\" ";
        const std::string id = Hash(HashFormat::kC4, bytes);
        EXPECT_EQ(id, qztest::RunCommand(python + qztest::ShellQuote(path)).output) << size << " bytes";
        EXPECT_TRUE(qzoffload::IsHashText(HashFormat::kC4, id));
    }
}

}  // namespace
