// The content digest of output files against xxhsum, the xxHash project's
// own tool, applied to the file's 1 MiB blocks and then to their digests:
// files appended in runs that cross block boundaries, patched afterwards in
// digested blocks, in the block being written and across two blocks,
// buffered and direct; the facts a sealed file gives are what the committed
// file is.
#include "CUContentDigest.h"
#include "CUFileStatus.h"
#include "CUOutputFile.h"
#include "ExternalTool.h"
#include "FoundationTestSupport.h"
#include "TestFiles.h"

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ComVantoVantoQZ64RADPlug::CUContentDigest;
using ComVantoVantoQZ64RADPlug::CUError;
using ComVantoVantoQZ64RADPlug::CUFileStatus;
using ComVantoVantoQZ64RADPlug::CUOutputFile;

constexpr size_t kMiB = 1u << 20;

// xxhsum's XXH3-64 of each block of `file`, then of those digests in order.
std::string XxhsumOfBlocks(const std::string& file, const std::string& scratch) {
    const std::vector<uint8_t> bytes = qztest::ReadFile(file);
    std::string names;
    for (size_t at = 0, n = 0; at < bytes.size(); at += kMiB, ++n) {
        const std::string block = scratch + "/block" + std::to_string(n);
        EXPECT_TRUE(qztest::WriteFile(
            block,
            std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + kMiB))));
        names += " " + qztest::ShellQuote(block);
    }
    std::string digests;
    if (!names.empty()) {
        // "XXH3 (name) = 0123456789abcdef" per block, in the order given.
        const qztest::CommandResult run =
            qztest::RunCommand("xxhsum -H3" + names + " | sed 's/.*= //' | xxd -r -p");
        EXPECT_EQ(run.exitCode, 0);
        digests = run.output;
    }
    EXPECT_TRUE(qztest::WriteText(scratch + "/digests", digests));
    const qztest::CommandResult run =
        qztest::RunCommand("xxhsum -H3 " + qztest::ShellQuote(scratch + "/digests"));
    return run.output.substr(run.output.rfind("= ") + 2, 16);
}

TEST(CUContentDigestTest, TheDigestMadeWhileWritingIsXxhsumsOfTheFinalBlocks) {
    QZ_REQUIRE_TOOL("xxhsum");
    struct Patch {
        uint64_t offset;
        size_t size;
    };
    const struct {
        const char* what;
        std::vector<size_t> appends;  // run lengths, in order
        std::vector<Patch> patches;   // made after every append
        CUOutputFile::Caching caching;
    } cases[] = {
        {"empty", {}, {}, CUOutputFile::Caching::kBuffered},
        {"patched in the block being written", {10}, {{0, 4}}, CUOutputFile::Caching::kBuffered},
        {"one whole block", {kMiB}, {}, CUOutputFile::Caching::kBuffered},
        {"runs across a boundary, digested block patched",
         {4097, kMiB - 4097, 1},
         {{0, 8}, {kMiB, 1}},
         CUOutputFile::Caching::kBuffered},
        {"patch across two blocks and in the last",
         {3 * kMiB + kMiB / 2},
         {{kMiB - 2, 4}, {3 * kMiB + 5, 3}},
         CUOutputFile::Caching::kBuffered},
        {"direct, patched",
         {2 * kMiB, 12345},
         {{16, 16}, {2 * kMiB + 100, 8}},
         CUOutputFile::Caching::kDirect},
    };
    qztest::ScratchFolder folder("content-digest");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.Path() + "/out.bin";
        fs::remove(path);
        CUOutputFile file(path, c.caching, CUOutputFile::Digest::kContent);
        std::vector<uint8_t> run;
        uint8_t next = 1;
        for (size_t size : c.appends) {
            run.resize(size);
            for (uint8_t& b : run) b = next = static_cast<uint8_t>(next * 13 + 7);
            file.Write(run.data(), run.size());
        }
        const uint8_t patch[16] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                                   0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        for (const Patch& p : c.patches) file.WriteAt(p.offset, patch, p.size);
        const CUOutputFile::Facts facts = file.Seal();
        EXPECT_THROW(file.Write("x", 1), CUError) << "a sealed file takes no more bytes";
        file.Commit(false);
        ASSERT_TRUE(facts.digest.has_value());
        EXPECT_EQ(CUContentDigest::Text(*facts.digest), XxhsumOfBlocks(path, folder.Path()));
        EXPECT_EQ(*facts.digest, CUContentDigest::OfFile(path));
        EXPECT_EQ(facts.size, fs::file_size(path));
        const std::optional<CUFileStatus> committed = CUFileStatus::Of(path);
        ASSERT_TRUE(committed.has_value());
        EXPECT_EQ(CUFileStatus::TimeText(committed->modified), CUFileStatus::TimeText(facts.modified));
    }
}

}  // namespace
