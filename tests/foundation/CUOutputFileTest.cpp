// Output files and the folder lock: the partial's name and what becomes of
// it, a commit that may not replace losing to a file that appeared first,
// partials of a process that is gone swept up while a live one's are kept,
// a held folder refused with its holder named, and direct files holding
// exactly the bytes given whatever their alignment (whole blocks straight
// to the drive, the rest gathered, the unaligned end and overwrites through
// the page cache), and content digests against xxhsum of the final blocks
// (patched after or while digested, across two, buffered and direct).
#include "CUContentDigest.h"
#include "CUDriveFileReader.h"
#include "CUFolderLock.h"
#include "CUHostError.h"
#include "CUOutputFile.h"
#include "ExternalTool.h"
#include "FoundationTestSupport.h"
#include "TestFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ComVantoVantoQZ64RADPlug::CUContentDigest;
using ComVantoVantoQZ64RADPlug::CUError;
using ComVantoVantoQZ64RADPlug::CUFolderLock;
using ComVantoVantoQZ64RADPlug::CUOutputFile;

TEST(CUOutputFileTest, PartialsBecomeFinalOnlyByCommitAndNeverReplaceUnasked) {
    qztest::ScratchFolder folder("output-file");
    const std::string final = folder.Path() + "/QZ0001.m2v";
    long pid = 0;
    {
        CUOutputFile dropped(final);
        dropped.Write("abc", 3);
        EXPECT_TRUE(CUOutputFile::IsPartialName(fs::path(dropped.PartialPath()).filename().string(), &pid));
        EXPECT_EQ(pid, getpid());
        EXPECT_TRUE(fs::exists(dropped.PartialPath()));
    }
    EXPECT_TRUE(fs::is_empty(folder.Path())) << "a file never committed leaves nothing";

    // Two writers of one name: the first commit wins, the second is refused.
    CUOutputFile first(final), second(final);
    first.Write("first", 5);
    second.Write("second", 6);
    EXPECT_NE(first.PartialPath(), second.PartialPath());
    first.Commit(false);
    EXPECT_THROW(second.Commit(false), CUError);
    EXPECT_EQ(fs::file_size(final), 5u);
    CUOutputFile third(final);
    third.Write("xy", 2);
    third.WriteAt(0, "X", 1);
    third.Commit(true);
    EXPECT_EQ(qztest::ReadText(final), "Xy");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(CUOutputFileTest, OnlyPartialsOfGoneProcessesAreSweptUp) {
    qztest::ScratchFolder folder("output-stale");
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const struct {
        std::string name;
        bool removed;
    } files[] = {{".A.m2v." + std::to_string(gone) + ".1.partial", true},
                 {".A.wav." + std::to_string(getppid()) + ".1.partial", false},  // alive
                 {".A.partial", false},                                          // not ours
                 {"A." + std::to_string(gone) + ".1.partial", false},            // not hidden
                 {"A.m2v", false}};
    for (const auto& f : files) ASSERT_TRUE(qztest::WriteText(folder.Path() + "/" + f.name, "x"));
    const std::vector<std::string> removed = CUOutputFile::RemoveStalePartials(folder.Path());
    for (const auto& f : files) EXPECT_EQ(!fs::exists(folder.Path() + "/" + f.name), f.removed) << f.name;
    EXPECT_EQ(removed.size(), 1u);
}

TEST(CUOutputFileTest, AHeldFolderIsRefusedNamingItsHolder) {
    qztest::ScratchFolder folder("folder-lock");
    const CUFolderLock held(folder.Path(), "test", 0);
    const pid_t child = fork();
    if (child == 0) {  // another process: flock is per open file, so a child's own open is refused
        try {
            CUFolderLock refused(folder.Path(), "test", 0.2);
        } catch (const ComVantoVantoQZ64RADPlug::CUHostError& e) {
            _exit(e.Kind() == ComVantoVantoQZ64RADPlug::CUFailureKind::kBusy &&
                          std::string(e.what()).find("process " + std::to_string(getppid())) !=
                              std::string::npos
                      ? 0
                      : 2);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

constexpr size_t kBlock = CUOutputFile::kAlignment;

TEST(CUOutputFileTest, DirectFilesHoldTheBytesWrittenWhateverTheirAlignment) {
    qztest::ScratchFolder folder("output");
    const auto memory = ComVantoVantoQZ64RADPlug::CUDriveFileReader::AllocateBuffer(3u << 20);
    for (size_t i = 0; i < (3u << 20); ++i) memory.get()[i] = static_cast<unsigned char>(i * 131 >> 3);
    // Pieces as {offset into memory, size}: aligned blocks, an unaligned end,
    // unaligned memory, pieces that gather into blocks, a file of no bytes.
    const std::vector<std::vector<std::pair<size_t, size_t>>> cases = {
        {{0, 2 * kBlock}, {2 * kBlock, 100}},   {{0, (2u << 20) + 7}}, {{1, 5000}, {5001, kBlock}},
        {{0, 100}, {100, (1u << 20) + kBlock}}, {{0, kBlock}},         {}};
    for (size_t c = 0; c < cases.size(); ++c) {
        const std::string path = folder.Path() + "/f" + std::to_string(c);
        std::vector<uint8_t> expected;
        CUOutputFile file(path, CUOutputFile::Caching::kDirect);
        for (const auto& [at, size] : cases[c]) {
            file.Write(memory.get() + at, size);
            expected.insert(expected.end(), memory.get() + at, memory.get() + at + size);
        }
        if (c == 4) {  // an overwrite after direct writes
            file.WriteAt(10, "overwrite", 9);
            std::copy_n("overwrite", 9, expected.begin() + 10);
        }
        file.Commit(false);
        EXPECT_EQ(qztest::ReadFile(path), expected) << "case " << c;
    }
}

constexpr size_t kMiB = 1u << 20;

// The digest of `file` as xxhsum gives it: the digests' bytes of its blocks
// in order ("XXH3 (b.aaaaa) = 0123456789abcdef" each), then their digest.
std::string XxhsumOfBlocks(const std::string& file, const std::string& blocks) {
    fs::create_directories(blocks);
    std::istringstream sums(qztest::RunCommand("cd " + qztest::ShellQuote(blocks) + " && split -b 1M -a 5 " +
                                               qztest::ShellQuote(file) +
                                               " b. && for b in b.*; do [ -e \"$b\" ] && " +
                                               "xxhsum -H3 \"$b\"; done")
                                .output);
    std::vector<uint8_t> digests;
    for (std::string line; std::getline(sums, line);)
        for (size_t i = line.size() - 16; i < line.size(); i += 2)
            digests.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
    EXPECT_TRUE(qztest::WriteFile(blocks + "/digests", digests));
    const std::string line =
        qztest::RunCommand("xxhsum -H3 " + qztest::ShellQuote(blocks + "/digests")).output;
    return line.substr(line.rfind("= ") + 2, 16);
}

TEST(CUOutputFileTest, TheContentDigestMadeWhileWritingIsXxhsumsOfTheFinalBlocks) {
    QZ_REQUIRE_TOOL("xxhsum");
    const auto cached = CUOutputFile::Caching::kBuffered, direct = CUOutputFile::Caching::kDirect;
    const struct {
        std::vector<size_t> appends;                       // run lengths, in order
        std::vector<std::pair<uint64_t, size_t>> patches;  // offset and size, after every append
        CUOutputFile::Caching caching;
    } cases[] = {
        {{}, {}, cached},                                               // empty
        {{10}, {{0, 4}}, cached},                                       // patched in the block being written
        {{kMiB}, {}, cached},                                           // one whole block
        {{4097, kMiB - 4097, 1}, {{0, 8}, {kMiB, 1}}, cached},          // a digested block patched
        {{3 * kMiB + 99}, {{kMiB - 2, 4}, {3 * kMiB + 5, 3}}, cached},  // across two blocks, and the last
        {{2 * kMiB, 12345}, {{16, 16}, {2 * kMiB + 100, 8}}, direct},
    };
    qztest::ScratchFolder folder("content-digest");
    for (size_t n = 0; n < std::size(cases); ++n) {
        SCOPED_TRACE("case " + std::to_string(n));
        const std::string path = folder.Path() + "/out" + std::to_string(n);
        CUOutputFile file(path, cases[n].caching, CUOutputFile::Digest::kContent);
        uint8_t next = 1;
        for (size_t size : cases[n].appends) {
            std::vector<uint8_t> run(size);
            for (uint8_t& b : run) b = next = static_cast<uint8_t>(next * 13 + 7);
            file.Write(run.data(), run.size());
        }
        const std::vector<uint8_t> patch(16, 0xEE);
        for (const auto& [offset, size] : cases[n].patches) file.WriteAt(offset, patch.data(), size);
        const CUOutputFile::Facts facts = file.Seal();
        EXPECT_THROW(file.Write("x", 1), CUError) << "a sealed file takes no more bytes";
        file.Commit(false);
        EXPECT_EQ(CUContentDigest::Text(facts.digest.value()), XxhsumOfBlocks(path, path + ".blocks"));
    }
}

}  // namespace
