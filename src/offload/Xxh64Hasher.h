#pragma once
// xxHash64 (seed 0) as libxxhash computes it, written in the canonical
// big-endian form (the byte order xxhsum prints and ASC MHL requires). Used
// by one thread at a time.
#include "Hasher.h"

namespace qzoffload {

class Xxh64Hasher : public Hasher {
public:
    Xxh64Hasher();
    ~Xxh64Hasher() override;
    Xxh64Hasher(const Xxh64Hasher&) = delete;
    Xxh64Hasher& operator=(const Xxh64Hasher&) = delete;

    void Update(const unsigned char* bytes, size_t size) override;
    std::string Finish() override;

private:
    void* m_State;  // the library's state, kept out of this header
};

}  // namespace qzoffload
