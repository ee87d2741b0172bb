#pragma once
// The xxHash formats as libxxhash computes them: XXH64 (seed 0), XXH3 64-bit
// and XXH3 128-bit, written in the canonical big-endian form (the byte order
// xxhsum prints and ASC MHL requires). One class: the formats differ only in
// the library's functions. Used by one thread at a time.
#include "HashFormat.h"
#include "Hasher.h"

namespace qzoffload {

class XxhHasher : public Hasher {
public:
    // `format` is kXxh64, kXxh3 or kXxh128.
    explicit XxhHasher(HashFormat format);
    ~XxhHasher() override;
    XxhHasher(const XxhHasher&) = delete;
    XxhHasher& operator=(const XxhHasher&) = delete;

    void Update(const unsigned char* bytes, size_t size) override;
    std::string Finish() override;

private:
    HashFormat m_Format;
    void* m_State;  // the library's state (XXH64 or XXH3), kept out of this header
};

}  // namespace qzoffload
