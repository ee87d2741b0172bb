#pragma once
// The digest qzcard records of an output file's bytes, made as the file is
// written: XXH3-64 of the sequence of the XXH3-64 digests of the file's
// 1 MiB blocks (each 8 bytes big-endian; the last block may be shorter,
// an empty file has none). Blocks make it computable while writing even
// though writers go back to patch bytes they wrote earlier (a movie's data
// size, an MXF header, a WAV's lengths): only a block patched after it was
// digested is read back, once, when the file is complete. The same digest
// of a file on disk (OfFile) is what a later run compares. The xxHash
// tools give it too: `xxhsum -H3` of each block (`split -b 1M`), the
// digests' bytes in order, and `xxhsum -H3` of those.
// One object is used by one thread at a time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUContentDigest {
public:
    static constexpr uint64_t kBlockBytes = 1u << 20;

    CUContentDigest();
    ~CUContentDigest();
    CUContentDigest(const CUContentDigest&) = delete;
    CUContentDigest& operator=(const CUContentDigest&) = delete;

    // Bytes appended at the end of the file, in order.
    void Append(const void* bytes, size_t size);
    // `size` bytes at `offset`, all appended before, were written again.
    void Overwritten(uint64_t offset, size_t size);
    // The digest once every byte is appended, reading the blocks patched
    // after they were digested back from `descriptor` (open for reading on
    // the file, which holds every byte appended). Throws CUError
    // (kResultReadFailure, naming `path`) when they cannot be read.
    uint64_t Finish(int descriptor, const std::string& path);

    // The digest of the file at `path` as it is now, read through the page
    // cache. Throws CUError (kResultReadFailure) when it cannot be read.
    static uint64_t OfFile(const std::string& path);
    // 16 lower-case hex digits.
    static std::string Text(uint64_t digest);

private:
    void EndBlock();

    void* m_State;                   // XXH3 state of the block being appended
    uint64_t m_BlockFill = 0;        // bytes of it appended
    uint64_t m_Appended = 0;         // bytes appended in all
    std::vector<uint64_t> m_Blocks;  // digests of the blocks complete
    std::vector<bool> m_Patched;     // per block: patched after (or while) it was digested
};

}  // namespace ComVantoVantoQZ64RADPlug
