// Block buffers: caller sizes checked before anything is allocated, blocks
// freed by their owner exactly once, appended and referenced ranges read
// back across block boundaries.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CFHolder.h"
#include "CMBlockBuffer.h"

using namespace ComVantoVantoQZ64RADPlug;

namespace {

void* AllocateBlock(void*, size_t size) {
    return std::malloc(size);
}
// Counts its calls in the int that refCon points to.
void FreeBlock(void* refCon, void* block, size_t) {
    ++*static_cast<int*>(refCon);
    std::free(block);
}

}  // namespace

TEST(CMBlockBufferTest, SizesAreCheckedBeforeAllocation) {
    const CMBlockBufferCustomBlockSource badSource = {1, AllocateBlock, FreeBlock, nullptr};
    struct Case {
        size_t block, offset, length;
        const CMBlockBufferCustomBlockSource* source;
        OSStatus expected;
    } cases[] = {
        {0, 0, 0, nullptr, kCMBlockBufferBadLengthParameterErr},
        {size_t(0x80000000), 0, size_t(0x80000000), nullptr, kCMBlockBufferBadLengthParameterErr},
        {size_t(-1), 0, size_t(-1), nullptr, kCMBlockBufferBadLengthParameterErr},  // a negative length
        {100, 100, 1, nullptr, kCMBlockBufferBadOffsetParameterErr},
        {100, 10, 91, nullptr, kCMBlockBufferBadLengthParameterErr},
        {100, 0, 0, nullptr, kCMBlockBufferBadLengthParameterErr},
        {100, 0, 100, &badSource, kCMBlockBufferBadCustomBlockSourceErr},
        {100, 10, 90, nullptr, kCMBlockBufferNoErr},
    };
    for (const Case& c : cases) {
        CMBlockBufferRef buffer = reinterpret_cast<CMBlockBufferRef>(1);
        EXPECT_EQ(CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, c.block, kCFAllocatorDefault, c.source,
                                                     c.offset, c.length, kCMBlockBufferAssureMemoryNowFlag,
                                                     &buffer),
                  c.expected)
            << c.block << " " << c.offset << " " << c.length;
        EXPECT_EQ(buffer != nullptr, c.expected == kCMBlockBufferNoErr);
        if (buffer) {
            char* data = nullptr;
            size_t atOffset = 0, total = 0;
            ASSERT_EQ(CMBlockBufferGetDataPointer(buffer, 0, &atOffset, &total, &data), kCMBlockBufferNoErr);
            std::memset(data, 0xAB, total);  // writable over its whole length
            EXPECT_EQ(total, c.length);
            EXPECT_EQ(atOffset, c.length);
            CFRelease(buffer);
        }
    }
    EXPECT_EQ(CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, 4, nullptr, nullptr, 0, 4, 0, nullptr),
              kCMBlockBufferBadPointerParameterErr);
}

TEST(CMBlockBufferTest, BlocksAreFreedByTheirOwnerOnce) {
    int frees = 0;
    const CMBlockBufferCustomBlockSource source = {0, AllocateBlock, FreeBlock, &frees};
    CMBlockBufferRef owner, reference;
    ASSERT_EQ(CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, 64, nullptr, &source, 0, 64, 0, &owner),
              0);
    ASSERT_EQ(CMBlockBufferCreateWithBufferReference(nullptr, owner, 8, 16, 0, &reference), 0);
    CFRelease(owner);
    EXPECT_EQ(frees, 0);  // the reference keeps the block
    CFRelease(reference);
    EXPECT_EQ(frees, 1);

    // Memory given with the null allocator stays the caller's.
    std::vector<uint8_t> mine(32, 7);
    CMBlockBufferRef wrapped;
    ASSERT_EQ(CMBlockBufferCreateWithMemoryBlock(nullptr, mine.data(), 32, kCFAllocatorNull, nullptr, 4, 8, 0,
                                                 &wrapped),
              0);
    uint8_t out[8];
    EXPECT_EQ(CMBlockBufferCopyDataBytes(wrapped, 0, 8, out), 0);
    EXPECT_EQ(out[7], 7);
    CFRelease(wrapped);
    EXPECT_EQ(mine[0], 7);
}

TEST(CMBlockBufferTest, AppendedRangesReadAcrossBlocks) {
    CMBlockBufferRef first, whole;
    ASSERT_EQ(CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, 10, nullptr, nullptr, 0, 10, 0, &first),
              0);
    auto firstHolder = CFHolder<CMBlockBufferRef>::Adopt(first);
    ASSERT_EQ(CMBlockBufferCreateEmpty(nullptr, 4, 0, &whole), 0);
    auto wholeHolder = CFHolder<CMBlockBufferRef>::Adopt(whole);
    char* data;
    EXPECT_EQ(CMBlockBufferGetDataPointer(whole, 0, nullptr, nullptr, &data), kCMBlockBufferEmptyBBufErr);
    uint8_t bytes[10];
    for (int i = 0; i < 10; ++i) bytes[i] = uint8_t(i);
    ASSERT_EQ(CMBlockBufferReplaceDataBytes(bytes, first, 0, 10), 0);
    ASSERT_EQ(CMBlockBufferAppendBufferReference(whole, first, 2, 8, 0), 0);  // 2..9
    ASSERT_EQ(CMBlockBufferAppendMemoryBlock(whole, nullptr, 6, nullptr, nullptr, 0, 6, 0),
              0);  // 6 new bytes
    ASSERT_EQ(CMBlockBufferFillDataBytes(char(0xEE), whole, 8, 0), 0);
    ASSERT_EQ(CMBlockBufferAppendBufferReference(whole, whole, 0, 3, 0), 0);  // 2, 3, 4
    EXPECT_EQ(CMBlockBufferGetDataLength(whole), 17u);
    EXPECT_FALSE(CMBlockBufferIsRangeContiguous(whole, 6, 4));
    EXPECT_TRUE(CMBlockBufferIsRangeContiguous(whole, 8, 6));
    size_t atOffset;
    ASSERT_EQ(CMBlockBufferGetDataPointer(whole, 9, &atOffset, nullptr, &data), 0);
    EXPECT_EQ(atOffset, 5u);
    uint8_t out[17];
    ASSERT_EQ(CMBlockBufferCopyDataBytes(whole, 0, 17, out), 0);
    const uint8_t expected[17] = {2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 2, 3, 4};
    EXPECT_EQ(std::memcmp(out, expected, 17), 0);
    // A reference shares memory: a write through it shows in the target.
    ASSERT_EQ(CMBlockBufferReplaceDataBytes("\x63", whole, 0, 1), 0);
    ASSERT_EQ(CMBlockBufferCopyDataBytes(first, 2, 1, out), 0);
    EXPECT_EQ(out[0], 0x63);
    // Ranges beyond the data are refused.
    EXPECT_EQ(CMBlockBufferCopyDataBytes(whole, 10, 8, out), kCMBlockBufferBadLengthParameterErr);
    EXPECT_EQ(CMBlockBufferCopyDataBytes(whole, 17, 0, out), kCMBlockBufferBadOffsetParameterErr);
    EXPECT_EQ(CMBlockBufferAppendBufferReference(whole, first, 5, 6, 0), kCMBlockBufferBadLengthParameterErr);
    EXPECT_EQ(CMBlockBufferAppendBufferReference(whole, first, 10, 0, kCMBlockBufferPermitEmptyReferenceFlag),
              0);
    EXPECT_EQ(CMBlockBufferGetDataLength(whole), 17u);
}
