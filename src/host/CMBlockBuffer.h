#pragma once
// A run of bytes held in one or more memory blocks: a block it allocated,
// memory handed to it with the allocator that frees it, or ranges of other
// block buffers it references (sharing their memory). Block memory is
// allocated when the buffer is made, so a data pointer is always writable.
// A buffer is not guarded: one thread changes it at a time, and it is read
// by others only once it is complete (the host reads sample buffers so).
//
// Lengths given by callers are checked: a block is at most 2^31 − 1 bytes
// (kCMBlockBufferMaxBlockLength), a data range lies inside its block, and a
// refused or failed allocation returns its status with no buffer.
#include <cstddef>
#include <memory>
#include <vector>

#include "CFAllocator.h"

namespace ComVantoVantoQZ64RADPlug {

using CMBlockBufferFlags = uint32_t;
enum : CMBlockBufferFlags {
    kCMBlockBufferAssureMemoryNowFlag = 1u << 0,
    kCMBlockBufferAlwaysCopyDataFlag = 1u << 1,
    kCMBlockBufferDontOptimizeDepthFlag = 1u << 2,
    kCMBlockBufferPermitEmptyReferenceFlag = 1u << 3,
};

enum : OSStatus {
    kCMBlockBufferNoErr = 0,
    kCMBlockBufferStructureAllocationFailedErr = -12700,
    kCMBlockBufferBlockAllocationFailedErr = -12701,
    kCMBlockBufferBadCustomBlockSourceErr = -12702,
    kCMBlockBufferBadOffsetParameterErr = -12703,
    kCMBlockBufferBadLengthParameterErr = -12704,
    kCMBlockBufferBadPointerParameterErr = -12705,
    kCMBlockBufferEmptyBBufErr = -12706,
    kCMBlockBufferUnallocatedBlockErr = -12707,
    kCMBlockBufferInsufficientSpaceErr = -12708,
};

inline constexpr size_t kCMBlockBufferMaxBlockLength = 0x7fffffff;

// A caller's own way of allocating and freeing blocks.
struct CMBlockBufferCustomBlockSource {
    uint32_t version;
    void* (*AllocateBlock)(void* refCon, size_t sizeInBytes);
    void (*FreeBlock)(void* refCon, void* doomedMemoryBlock, size_t sizeInBytes);
    void* refCon;
};

class CMBlockBuffer final : public CFType {
public:
    struct Segment {
        std::shared_ptr<uint8_t> block;  // frees the block with the last segment using it
        size_t offset;                   // of the data in the block
        size_t length;
        uint8_t* Data() const { return block.get() + offset; }
    };

    CFTypeID TypeID() const override { return kCMBlockBufferTypeID; }
    const std::vector<Segment>& Segments() const { return m_segments; }
    size_t DataLength() const { return m_length; }
    // The segment holding byte `offset` (< DataLength) and the offset in it.
    const Segment& SegmentAt(size_t offset, size_t* offsetInSegment) const;
    bool Append(Segment segment);

private:
    std::vector<Segment> m_segments;
    size_t m_length = 0;
};

using CMBlockBufferRef = CMBlockBuffer*;

// A buffer of one block of blockLength bytes whose data are dataLength bytes
// from offsetToData. With memoryBlock null the block is allocated (by the
// custom source when given, else blockAllocator); otherwise the buffer owns
// memoryBlock and frees it with the custom source or blockAllocator
// (kCFAllocatorNull: never freed). A refused call leaves memoryBlock the
// caller's.
OSStatus CMBlockBufferCreateWithMemoryBlock(CFAllocatorRef structureAllocator, void* memoryBlock,
                                            size_t blockLength, CFAllocatorRef blockAllocator,
                                            const CMBlockBufferCustomBlockSource* customBlockSource,
                                            size_t offsetToData, size_t dataLength, CMBlockBufferFlags flags,
                                            CMBlockBufferRef* blockBufferOut);
// A buffer with no data, to append to.
OSStatus CMBlockBufferCreateEmpty(CFAllocatorRef structureAllocator, uint32_t subBlockCapacity,
                                  CMBlockBufferFlags flags, CMBlockBufferRef* blockBufferOut);
// A buffer referencing dataLength bytes of target from offsetToData.
OSStatus CMBlockBufferCreateWithBufferReference(CFAllocatorRef structureAllocator, CMBlockBufferRef target,
                                                size_t offsetToData, size_t dataLength,
                                                CMBlockBufferFlags flags, CMBlockBufferRef* blockBufferOut);
OSStatus CMBlockBufferAppendMemoryBlock(CMBlockBufferRef buffer, void* memoryBlock, size_t blockLength,
                                        CFAllocatorRef blockAllocator,
                                        const CMBlockBufferCustomBlockSource* customBlockSource,
                                        size_t offsetToData, size_t dataLength, CMBlockBufferFlags flags);
// Appends dataLength bytes of target from offsetToData, sharing its memory.
// A zero length is refused unless kCMBlockBufferPermitEmptyReferenceFlag
// is given.
OSStatus CMBlockBufferAppendBufferReference(CMBlockBufferRef buffer, CMBlockBufferRef target,
                                            size_t offsetToData, size_t dataLength, CMBlockBufferFlags flags);

size_t CMBlockBufferGetDataLength(CMBlockBufferRef buffer);
Boolean CMBlockBufferIsEmpty(CMBlockBufferRef buffer);
// The bytes at offset: the pointer, the length contiguous from there and
// the total length (each output optional).
OSStatus CMBlockBufferGetDataPointer(CMBlockBufferRef buffer, size_t offset, size_t* lengthAtOffsetOut,
                                     size_t* totalLengthOut, char** dataPointerOut);
// Whether length bytes from offset lie in one block (length 0: to the end).
Boolean CMBlockBufferIsRangeContiguous(CMBlockBufferRef buffer, size_t offset, size_t length);
OSStatus CMBlockBufferCopyDataBytes(CMBlockBufferRef source, size_t offsetToData, size_t dataLength,
                                    void* destination);
OSStatus CMBlockBufferReplaceDataBytes(const void* sourceBytes, CMBlockBufferRef destinationBuffer,
                                       size_t offsetIntoDestination, size_t dataLength);
// dataLength 0 fills to the end.
OSStatus CMBlockBufferFillDataBytes(char fillByte, CMBlockBufferRef destinationBuffer,
                                    size_t offsetIntoDestination, size_t dataLength);

}  // namespace ComVantoVantoQZ64RADPlug
