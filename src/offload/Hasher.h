#pragma once
// One hash of one stream of bytes, behind one interface for every format:
// the bytes arrive in chunks (the same chunks that go to the copies) and the
// text comes out once at the end, as an ASC MHL history writes it. Each
// library is its own class (XxhHasher for the xxHash formats, EvpHasher for
// MD5 and SHA-1, C4Hasher). A hasher is used by one thread at a time.
#include "HashFormat.h"

#include <cstddef>
#include <memory>
#include <string>

namespace qzoffload {

class Hasher {
public:
    virtual ~Hasher() = default;
    virtual void Update(const unsigned char* bytes, size_t size) = 0;
    // The hash of everything fed so far; the hasher is spent afterwards.
    virtual std::string Finish() = 0;

    static std::unique_ptr<Hasher> Create(HashFormat format);
    // Lowercase hexadecimal, two digits per byte in the order given.
    static std::string HexText(const unsigned char* bytes, size_t size);
};

}  // namespace qzoffload
