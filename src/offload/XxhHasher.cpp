#include "XxhHasher.h"

#include <xxhash.h>

#include <new>

namespace qzoffload {

namespace {

XXH64_state_t* State64(void* state) {
    return static_cast<XXH64_state_t*>(state);
}

XXH3_state_t* State3(void* state) {
    return static_cast<XXH3_state_t*>(state);
}

}  // namespace

XxhHasher::XxhHasher(HashFormat format)
    : m_Format(format),
      m_State(format == HashFormat::kXxh64 ? static_cast<void*>(XXH64_createState())
                                           : static_cast<void*>(XXH3_createState())) {
    if (!m_State) throw std::bad_alloc();
    switch (m_Format) {
        case HashFormat::kXxh3:
            XXH3_64bits_reset(State3(m_State));
            break;
        case HashFormat::kXxh128:
            XXH3_128bits_reset(State3(m_State));
            break;
        default:
            XXH64_reset(State64(m_State), 0);
    }
}

XxhHasher::~XxhHasher() {
    if (m_Format == HashFormat::kXxh64)
        XXH64_freeState(State64(m_State));
    else
        XXH3_freeState(State3(m_State));
}

void XxhHasher::Update(const unsigned char* bytes, size_t size) {
    switch (m_Format) {
        case HashFormat::kXxh3:
            XXH3_64bits_update(State3(m_State), bytes, size);
            break;
        case HashFormat::kXxh128:
            XXH3_128bits_update(State3(m_State), bytes, size);
            break;
        default:
            XXH64_update(State64(m_State), bytes, size);
    }
}

std::string XxhHasher::Finish() {
    if (m_Format == HashFormat::kXxh128) {
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(State3(m_State)));
        return HexText(canonical.digest, sizeof canonical.digest);
    }
    XXH64_canonical_t canonical;
    XXH64_canonicalFromHash(&canonical, m_Format == HashFormat::kXxh3 ? XXH3_64bits_digest(State3(m_State))
                                                                      : XXH64_digest(State64(m_State)));
    return HexText(canonical.digest, sizeof canonical.digest);
}

}  // namespace qzoffload
