#pragma once
// XXH3 with 128-bit output (seed 0) as libxxhash computes it, written in the canonical
// big-endian form (the byte order xxhsum prints and ASC MHL requires). Used
// by one thread at a time.
#include "Hasher.h"

namespace qzoffload {

class Xxh128Hasher : public Hasher {
public:
    Xxh128Hasher();
    ~Xxh128Hasher() override;
    Xxh128Hasher(const Xxh128Hasher&) = delete;
    Xxh128Hasher& operator=(const Xxh128Hasher&) = delete;

    void Update(const unsigned char* bytes, size_t size) override;
    std::string Finish() override;

private:
    void* m_State;  // the library's state, kept out of this header
};

}  // namespace qzoffload
