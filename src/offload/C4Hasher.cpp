#include "C4Hasher.h"

#include <openssl/evp.h>

#include <array>
#include <new>

namespace qzoffload {

namespace {

constexpr size_t kDigestBytes = 64;
constexpr size_t kIdDigits = 88;

EVP_MD_CTX* Context(void* context) {
    return static_cast<EVP_MD_CTX*>(context);
}

}  // namespace

C4Hasher::C4Hasher() : m_Context(EVP_MD_CTX_new()) {
    if (!m_Context) throw std::bad_alloc();
    if (EVP_DigestInit_ex(Context(m_Context), EVP_sha512(), nullptr) != 1) {
        EVP_MD_CTX_free(Context(m_Context));
        throw std::bad_alloc();
    }
}

C4Hasher::~C4Hasher() {
    EVP_MD_CTX_free(Context(m_Context));
}

void C4Hasher::Update(const unsigned char* bytes, size_t size) {
    EVP_DigestUpdate(Context(m_Context), bytes, size);
}

std::string C4Hasher::Finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(Context(m_Context), digest, &length);
    return IdOfDigest(digest);
}

std::string C4Hasher::IdOfDigest(const unsigned char* digest) {
    static const char kAlphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
    // Long division of the 512-bit number by 58, least significant digit first.
    std::array<unsigned char, kDigestBytes> number;
    std::copy(digest, digest + kDigestBytes, number.begin());
    std::string digits(kIdDigits, '1');
    for (size_t place = kIdDigits; place-- > 0;) {
        unsigned remainder = 0;
        for (unsigned char& byte : number) {
            const unsigned value = (remainder << 8) | byte;
            byte = static_cast<unsigned char>(value / 58);
            remainder = value % 58;
        }
        digits[place] = kAlphabet[remainder];
    }
    return "c4" + digits;
}

std::string C4Hasher::IdOf(const void* bytes, size_t size) {
    C4Hasher hasher;
    hasher.Update(static_cast<const unsigned char*>(bytes), size);
    return hasher.Finish();
}

}  // namespace qzoffload
