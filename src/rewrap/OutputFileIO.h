#pragma once
// libavformat's output written onto a CUOutputFile through a custom
// AVIOContext: appends go to Write, a muxer's seek back (to patch a size or
// rewrite a header) to WriteAt, and a write that runs past the end is split
// between the two. The file stays a partial until the importer commits it.
// One object serves one muxer, used by one thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVIOContext;

namespace ComVantoVantoQZ64RADPlug {
class CUOutputFile;
}

namespace qzrewrap {

class OutputFileIO {
public:
    // Throws qzimport::ImportError when libavformat cannot allocate the context.
    explicit OutputFileIO(ComVantoVantoQZ64RADPlug::CUOutputFile& file);
    ~OutputFileIO();
    OutputFileIO(const OutputFileIO&) = delete;
    OutputFileIO& operator=(const OutputFileIO&) = delete;

    AVIOContext* Context() const { return m_context.get(); }
    // Why the file refused a write or seek, "" while it never did (the muxer
    // itself only learns of an I/O error).
    const std::string& Failure() const { return m_failure; }
    // Rethrows the file's own CUError when it refused a write for want of
    // room (kResultOutputNoRoom), so that the caller can say how much room
    // the output wanted; nothing otherwise.
    void ThrowIfNoRoom() const;

    // From now on keeps a copy of every byte written at or after `offset`
    // (what a muxer writes last, its index), see KeptBytes.
    void KeepWritesFrom(uint64_t offset);
    // The bytes kept, the first being the one at `offset`.
    const std::vector<uint8_t>& KeptBytes() const { return m_kept; }

private:
    struct ContextFree {
        void operator()(AVIOContext* context) const;
    };
    static int WritePacket(void* opaque, uint8_t* bytes, int size);
    static int64_t Seek(void* opaque, int64_t offset, int whence);
    int Write(const uint8_t* bytes, size_t size);
    void Keep(const uint8_t* bytes, size_t size);

    ComVantoVantoQZ64RADPlug::CUOutputFile& m_file;
    uint64_t m_position = 0;
    std::string m_failure;
    uint32_t m_failureCode = 0;
    std::string m_failureFile;
    bool m_keeping = false;
    uint64_t m_keptFrom = 0;
    std::vector<uint8_t> m_kept;
    std::unique_ptr<AVIOContext, ContextFree> m_context;
};

}  // namespace qzrewrap
