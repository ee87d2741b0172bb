#pragma once
// Allocators as the host's creation functions take them. Only three exist:
// the default (null) and malloc allocators, which allocate with malloc and
// free what they own, and the null allocator, which allocates nothing and
// frees nothing (for memory a caller keeps owning).
#include <cstddef>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

class CFAllocator {
public:
    enum Kind { kMalloc, kNull };

    constexpr explicit CFAllocator(Kind kind) : m_kind(kind) {}
    Kind GetKind() const { return m_kind; }

    // Null for 0 bytes, for the null allocator and when memory is short.
    static void* Allocate(CFAllocatorRef allocator, size_t size);
    // Frees memory the allocator made or was given to own.
    static void Deallocate(CFAllocatorRef allocator, void* memory);

private:
    Kind m_kind;
};

inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;
extern const CFAllocatorRef kCFAllocatorMalloc;
extern const CFAllocatorRef kCFAllocatorNull;

}  // namespace ComVantoVantoQZ64RADPlug
