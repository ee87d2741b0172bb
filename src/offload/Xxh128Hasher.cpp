#include "Xxh128Hasher.h"

#include <xxhash.h>

#include <new>

namespace qzoffload {

namespace {

XXH3_state_t* State(void* state) {
    return static_cast<XXH3_state_t*>(state);
}

}  // namespace

Xxh128Hasher::Xxh128Hasher() : m_State(XXH3_createState()) {
    if (!m_State) throw std::bad_alloc();
    XXH3_128bits_reset(State(m_State));
}

Xxh128Hasher::~Xxh128Hasher() {
    XXH3_freeState(State(m_State));
}

void Xxh128Hasher::Update(const unsigned char* bytes, size_t size) {
    XXH3_128bits_update(State(m_State), bytes, size);
}

std::string Xxh128Hasher::Finish() {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(State(m_State)));
    return HexText(canonical.digest, sizeof canonical.digest);
}

}  // namespace qzoffload
