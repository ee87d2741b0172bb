#include "EvpHasher.h"

#include <openssl/evp.h>

#include <new>

namespace qzoffload {

namespace {

EVP_MD_CTX* Context(void* context) {
    return static_cast<EVP_MD_CTX*>(context);
}

}  // namespace

EvpHasher::EvpHasher(HashFormat format) : m_Context(EVP_MD_CTX_new()) {
    if (!m_Context) throw std::bad_alloc();
    if (EVP_DigestInit_ex(Context(m_Context), format == HashFormat::kMd5 ? EVP_md5() : EVP_sha1(), nullptr) !=
        1) {
        EVP_MD_CTX_free(Context(m_Context));
        throw std::bad_alloc();
    }
}

EvpHasher::~EvpHasher() {
    EVP_MD_CTX_free(Context(m_Context));
}

void EvpHasher::Update(const unsigned char* bytes, size_t size) {
    EVP_DigestUpdate(Context(m_Context), bytes, size);
}

std::string EvpHasher::Finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(Context(m_Context), digest, &length);
    return HexText(digest, length);
}

}  // namespace qzoffload
