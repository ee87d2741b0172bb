#include "Xxh3Hasher.h"

#include <xxhash.h>

#include <new>

namespace qzoffload {

namespace {

XXH3_state_t* State(void* state) {
    return static_cast<XXH3_state_t*>(state);
}

}  // namespace

Xxh3Hasher::Xxh3Hasher() : m_State(XXH3_createState()) {
    if (!m_State) throw std::bad_alloc();
    XXH3_64bits_reset(State(m_State));
}

Xxh3Hasher::~Xxh3Hasher() {
    XXH3_freeState(State(m_State));
}

void Xxh3Hasher::Update(const unsigned char* bytes, size_t size) {
    XXH3_64bits_update(State(m_State), bytes, size);
}

std::string Xxh3Hasher::Finish() {
    XXH64_canonical_t canonical;
    XXH64_canonicalFromHash(&canonical, XXH3_64bits_digest(State(m_State)));
    return HexText(canonical.digest, sizeof canonical.digest);
}

}  // namespace qzoffload
