#include "OutputFileIO.h"

#include "CUFailure.h"
#include "CUOutputFile.h"
#include "ImportError.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>

namespace qzrewrap {

using ComVantoVantoQZ64RADPlug::CUError;
using ComVantoVantoQZ64RADPlug::CUOutputFile;

namespace {

// Only the muxer's own small fields pass through this buffer: the context
// is direct, so packet bytes go straight to the file, whose own buffer
// gathers them into large writes.
constexpr int kBufferBytes = 64 << 10;

// A seek past the end is filled with zeros when written after; never more
// than this at once.
constexpr size_t kZeroBlock = 64 * 1024;

}  // namespace

void OutputFileIO::ContextFree::operator()(AVIOContext* context) const {
    if (!context) return;
    av_freep(&context->buffer);  // libavformat may have replaced the buffer given
    avio_context_free(&context);
}

OutputFileIO::OutputFileIO(CUOutputFile& file) : m_file(file), m_position(file.Size()) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (!buffer) throw qzimport::ImportError("no memory for the output buffer of " + file.FinalPath());
    m_context.reset(avio_alloc_context(buffer, kBufferBytes, 1, this, nullptr, &OutputFileIO::WritePacket,
                                       &OutputFileIO::Seek));
    if (!m_context) {
        av_free(buffer);
        throw qzimport::ImportError("no memory for the output context of " + file.FinalPath());
    }
    m_context->direct = 1;
}

OutputFileIO::~OutputFileIO() = default;

void OutputFileIO::KeepWritesFrom(uint64_t offset) {
    m_keeping = true;
    m_keptFrom = offset;
    m_kept.clear();
}

void OutputFileIO::Keep(const uint8_t* bytes, size_t size) {
    const uint64_t end = m_position + size;
    if (!m_keeping || end <= m_keptFrom) return;
    const uint64_t from = std::max(m_position, m_keptFrom);
    if (end - m_keptFrom > m_kept.size()) m_kept.resize(end - m_keptFrom);
    std::copy(bytes + (from - m_position), bytes + size, m_kept.begin() + (from - m_keptFrom));
}

int OutputFileIO::Write(const uint8_t* bytes, size_t size) {
    // libavformat is C: a failure must not unwind through it. It gets EIO
    // and the writer reports the file's own reason afterwards.
    try {
        static const uint8_t kZeros[kZeroBlock] = {};
        while (m_file.Size() < m_position)
            m_file.Write(kZeros, std::min<uint64_t>(kZeroBlock, m_position - m_file.Size()));
        Keep(bytes, size);
        const uint64_t end = m_file.Size();
        const size_t inside =
            m_position < end ? static_cast<size_t>(std::min<uint64_t>(size, end - m_position)) : 0;
        if (inside > 0) m_file.WriteAt(m_position, bytes, inside);
        if (size > inside) m_file.Write(bytes + inside, size - inside);
        m_position += size;
        return static_cast<int>(size);
    } catch (const CUError& e) {
        if (m_failure.empty()) {
            m_failure = e.what();
            m_failureCode = e.Code();
            m_failureFile = e.Failure().File();
        }
        return AVERROR(EIO);
    }
}

void OutputFileIO::ThrowIfNoRoom() const {
    if (m_failureCode == ComVantoVantoQZ64RADPlug::kResultOutputNoRoom)
        throw CUError(ComVantoVantoQZ64RADPlug::CUFailure(m_failureCode, m_failure, m_failureFile));
}

int OutputFileIO::WritePacket(void* opaque, uint8_t* bytes, int size) {
    if (size < 0) return AVERROR(EINVAL);
    return static_cast<OutputFileIO*>(opaque)->Write(bytes, static_cast<size_t>(size));
}

int64_t OutputFileIO::Seek(void* opaque, int64_t offset, int whence) {
    auto& io = *static_cast<OutputFileIO*>(opaque);
    const int64_t size = static_cast<int64_t>(std::max(io.m_file.Size(), io.m_position));
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = static_cast<int64_t>(io.m_position) + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    io.m_position = static_cast<uint64_t>(target);
    return target;
}

}  // namespace qzrewrap
