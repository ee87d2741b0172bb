#include "CFAllocator.h"

#include <cstdlib>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr CFAllocator sMalloc(CFAllocator::kMalloc);
constexpr CFAllocator sNull(CFAllocator::kNull);
}  // namespace

const CFAllocatorRef kCFAllocatorMalloc = &sMalloc;
const CFAllocatorRef kCFAllocatorNull = &sNull;

void* CFAllocator::Allocate(CFAllocatorRef allocator, size_t size) {
    if (size == 0 || (allocator && allocator->m_kind == kNull)) return nullptr;
    return std::malloc(size);
}

void CFAllocator::Deallocate(CFAllocatorRef allocator, void* memory) {
    if (allocator && allocator->m_kind == kNull) return;
    std::free(memory);
}

}  // namespace ComVantoVantoQZ64RADPlug
