// Direct output files: whatever the alignment of the pieces written, the
// file holds exactly the bytes given (whole blocks straight to the drive,
// the rest gathered, the unaligned end and overwrites through the page cache).
#include "CUOutputFile.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

using ComVantoVantoQZ64RADPlug::CUOutputFile;
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

}  // namespace
