#include "CUContentDigest.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"

#include <unistd.h>

#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

XXH3_state_t* State(void* state) {
    return static_cast<XXH3_state_t*>(state);
}

// The digest of the block digests, each big-endian.
uint64_t DigestOfBlocks(const std::vector<uint64_t>& blocks) {
    std::vector<unsigned char> bytes(blocks.size() * 8);
    for (size_t b = 0; b < blocks.size(); ++b)
        for (size_t i = 0; i < 8; ++i)
            bytes[b * 8 + i] = static_cast<unsigned char>(blocks[b] >> (56 - 8 * i));
    return XXH3_64bits(bytes.data(), bytes.size());
}

// Reads what is read of whole files at once: several blocks per read.
constexpr size_t kReadBytes = 8 * CUContentDigest::kBlockBytes;

}  // namespace

CUContentDigest::CUContentDigest() : m_State(XXH3_createState()) {
    if (!m_State) throw std::bad_alloc();
    XXH3_64bits_reset(State(m_State));
}

CUContentDigest::~CUContentDigest() {
    XXH3_freeState(State(m_State));
}

void CUContentDigest::EndBlock() {
    m_Blocks.push_back(XXH3_64bits_digest(State(m_State)));
    m_Patched.resize(m_Blocks.size(), false);
    XXH3_64bits_reset(State(m_State));
    m_BlockFill = 0;
}

void CUContentDigest::Append(const void* bytes, size_t size) {
    const auto* data = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const size_t part = static_cast<size_t>(std::min<uint64_t>(size, kBlockBytes - m_BlockFill));
        XXH3_64bits_update(State(m_State), data, part);
        m_BlockFill += part;
        m_Appended += part;
        data += part;
        size -= part;
        if (m_BlockFill == kBlockBytes) EndBlock();
    }
}

void CUContentDigest::Overwritten(uint64_t offset, size_t size) {
    if (size == 0) return;
    const uint64_t first = offset / kBlockBytes, last = (offset + size - 1) / kBlockBytes;
    // The block being appended is marked too: its digest so far is of the
    // bytes before the patch.
    if (m_Patched.size() <= last) m_Patched.resize(last + 1, false);
    for (uint64_t b = first; b <= last; ++b) m_Patched[b] = true;
}

uint64_t CUContentDigest::Finish(int descriptor, const std::string& path) {
    if (m_BlockFill > 0) EndBlock();
    m_Patched.resize(m_Blocks.size(), false);
    std::vector<unsigned char> block;
    for (size_t b = 0; b < m_Blocks.size(); ++b) {
        if (!m_Patched[b]) continue;
        const uint64_t start = b * kBlockBytes;
        const size_t length = static_cast<size_t>(std::min<uint64_t>(kBlockBytes, m_Appended - start));
        block.resize(length);
        size_t done = 0;
        while (done < length) {
            const ssize_t got =
                ::pread(descriptor, block.data() + done, length - done, static_cast<off_t>(start + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                if (got == 0) errno = EIO;  // shorter than what was written
                throw CUError(CUFailure(kResultReadFailure,
                                        "cannot read back " + path + ": " + std::strerror(errno), path,
                                        static_cast<int64_t>(start + done)));
            }
            done += static_cast<size_t>(got);
        }
        m_Blocks[b] = XXH3_64bits(block.data(), length);
        m_Patched[b] = false;
    }
    return DigestOfBlocks(m_Blocks);
}

uint64_t CUContentDigest::OfFile(const std::string& path) {
    CUDriveFileReader reader(path, CUDriveFileReader::Source::kCached);
    const CUDriveFileReader::Buffer buffer = CUDriveFileReader::AllocateBuffer(kReadBytes);
    std::vector<uint64_t> blocks;
    for (;;) {
        const size_t got = reader.Read(buffer.get(), kReadBytes);
        for (size_t at = 0; at < got; at += kBlockBytes)
            blocks.push_back(XXH3_64bits(buffer.get() + at,
                                         static_cast<size_t>(std::min<uint64_t>(kBlockBytes, got - at))));
        if (got < kReadBytes) break;
    }
    return DigestOfBlocks(blocks);
}

std::string CUContentDigest::Text(uint64_t digest) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
    return text;
}

}  // namespace ComVantoVantoQZ64RADPlug
