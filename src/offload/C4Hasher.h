#pragma once
// C4 ids (SMPTE ST 2114): the SHA-512 digest of the bytes read as one
// big-endian number, written in base 58 (alphabet 1-9, A-Z without I and O,
// a-z without l), left-padded with '1' to 88 digits after the prefix "c4".
// The id an ASC MHL chain gives each generation file. Used by one thread at
// a time; the static functions may be called from any thread.
#include "Hasher.h"

#include <string>

namespace qzoffload {

class C4Hasher : public Hasher {
public:
    C4Hasher();
    ~C4Hasher() override;
    C4Hasher(const C4Hasher&) = delete;
    C4Hasher& operator=(const C4Hasher&) = delete;

    void Update(const unsigned char* bytes, size_t size) override;
    std::string Finish() override;

    // The id of a SHA-512 digest (64 bytes).
    static std::string IdOfDigest(const unsigned char* digest);
    // The id of a block of bytes.
    static std::string IdOf(const void* bytes, size_t size);

private:
    void* m_Context;  // EVP_MD_CTX, kept out of this header
};

}  // namespace qzoffload
