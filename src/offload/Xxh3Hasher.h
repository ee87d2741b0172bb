#pragma once
// XXH3 with 64-bit output (seed 0) as libxxhash computes it, written in the canonical
// big-endian form (the byte order xxhsum prints and ASC MHL requires). Used
// by one thread at a time.
#include "Hasher.h"

namespace qzoffload {

class Xxh3Hasher : public Hasher {
public:
    Xxh3Hasher();
    ~Xxh3Hasher() override;
    Xxh3Hasher(const Xxh3Hasher&) = delete;
    Xxh3Hasher& operator=(const Xxh3Hasher&) = delete;

    void Update(const unsigned char* bytes, size_t size) override;
    std::string Finish() override;

private:
    void* m_State;  // the library's state, kept out of this header
};

}  // namespace qzoffload
