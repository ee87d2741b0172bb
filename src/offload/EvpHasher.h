#pragma once
// MD5 or SHA-1 through OpenSSL's digest interface, written as lowercase
// hexadecimal. Used by one thread at a time.
#include "Hasher.h"

namespace qzoffload {

class EvpHasher : public Hasher {
public:
    // `format` is kMd5 or kSha1 (anything else is taken as kSha1).
    explicit EvpHasher(HashFormat format);
    ~EvpHasher() override;
    EvpHasher(const EvpHasher&) = delete;
    EvpHasher& operator=(const EvpHasher&) = delete;

    void Update(const unsigned char* bytes, size_t size) override;
    std::string Finish() override;

private:
    void* m_Context;  // EVP_MD_CTX, kept out of this header
};

}  // namespace qzoffload
