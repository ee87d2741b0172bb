#include "Xxh64Hasher.h"

#include <xxhash.h>

#include <new>

namespace qzoffload {

namespace {

XXH64_state_t* State(void* state) {
    return static_cast<XXH64_state_t*>(state);
}

}  // namespace

Xxh64Hasher::Xxh64Hasher() : m_State(XXH64_createState()) {
    if (!m_State) throw std::bad_alloc();
    XXH64_reset(State(m_State), 0);
}

Xxh64Hasher::~Xxh64Hasher() {
    XXH64_freeState(State(m_State));
}

void Xxh64Hasher::Update(const unsigned char* bytes, size_t size) {
    XXH64_update(State(m_State), bytes, size);
}

std::string Xxh64Hasher::Finish() {
    XXH64_canonical_t canonical;
    XXH64_canonicalFromHash(&canonical, XXH64_digest(State(m_State)));
    return HexText(canonical.digest, sizeof canonical.digest);
}

}  // namespace qzoffload
