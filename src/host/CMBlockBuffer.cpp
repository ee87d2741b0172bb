#include "CMBlockBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Checks a block and its data range and makes the segment, allocating the
// block when memoryBlock is null.
OSStatus MakeSegment(void* memoryBlock, size_t blockLength, CFAllocatorRef blockAllocator,
                     const CMBlockBufferCustomBlockSource* source, size_t offsetToData, size_t dataLength,
                     CMBlockBuffer::Segment* segment) {
    if (blockLength == 0 || blockLength > kCMBlockBufferMaxBlockLength || dataLength == 0)
        return kCMBlockBufferBadLengthParameterErr;
    if (offsetToData >= blockLength) return kCMBlockBufferBadOffsetParameterErr;
    if (dataLength > blockLength - offsetToData) return kCMBlockBufferBadLengthParameterErr;
    if (source && (source->version != 0 || (!memoryBlock && !source->AllocateBlock)))
        return kCMBlockBufferBadCustomBlockSourceErr;
    const bool allocated = !memoryBlock;
    if (allocated) {
        memoryBlock = source ? source->AllocateBlock(source->refCon, blockLength)
                             : CFAllocator::Allocate(blockAllocator, blockLength);
        if (!memoryBlock) return kCMBlockBufferBlockAllocationFailedErr;
    }
    auto* bytes = static_cast<uint8_t*>(memoryBlock);
    try {
        if (source) {
            const CMBlockBufferCustomBlockSource copy = *source;
            segment->block = std::shared_ptr<uint8_t>(bytes, [copy, blockLength](uint8_t* p) {
                if (copy.FreeBlock) copy.FreeBlock(copy.refCon, p, blockLength);
            });
        } else {
            segment->block = std::shared_ptr<uint8_t>(
                bytes, [blockAllocator](uint8_t* p) { CFAllocator::Deallocate(blockAllocator, p); });
        }
    } catch (const std::bad_alloc&) {
        // The block goes back: the caller learns it was not taken.
        if (source && source->FreeBlock)
            source->FreeBlock(source->refCon, bytes, blockLength);
        else
            CFAllocator::Deallocate(blockAllocator, bytes);
        return kCMBlockBufferStructureAllocationFailedErr;
    }
    segment->offset = offsetToData;
    segment->length = dataLength;
    return kCMBlockBufferNoErr;
}

// Checks a range of buffer: offset + length ≤ the data length.
OSStatus CheckRange(CMBlockBufferRef buffer, size_t offset, size_t length) {
    if (!buffer) return kCMBlockBufferBadPointerParameterErr;
    if (buffer->DataLength() == 0) return kCMBlockBufferEmptyBBufErr;
    if (offset >= buffer->DataLength()) return kCMBlockBufferBadOffsetParameterErr;
    if (length > buffer->DataLength() - offset) return kCMBlockBufferBadLengthParameterErr;
    return kCMBlockBufferNoErr;
}

// Calls visit(data, length) for each piece of the range, in order.
template <class Visit>
void ForEachPiece(CMBlockBufferRef buffer, size_t offset, size_t length, Visit visit) {
    size_t inSegment;
    const CMBlockBuffer::Segment* segment = &buffer->SegmentAt(offset, &inSegment);
    while (length > 0) {
        const size_t piece = std::min(length, segment->length - inSegment);
        visit(segment->Data() + inSegment, piece);
        length -= piece;
        ++segment;
        inSegment = 0;
    }
}

}  // namespace

const CMBlockBuffer::Segment& CMBlockBuffer::SegmentAt(size_t offset, size_t* offsetInSegment) const {
    for (const Segment& segment : m_segments) {
        if (offset < segment.length) {
            *offsetInSegment = offset;
            return segment;
        }
        offset -= segment.length;
    }
    *offsetInSegment = 0;
    return m_segments.back();  // callers check offset < DataLength first
}

bool CMBlockBuffer::Append(Segment segment) {
    try {
        m_segments.push_back(std::move(segment));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_length += m_segments.back().length;
    return true;
}

OSStatus CMBlockBufferCreateWithMemoryBlock(CFAllocatorRef, void* memoryBlock, size_t blockLength,
                                            CFAllocatorRef blockAllocator,
                                            const CMBlockBufferCustomBlockSource* customBlockSource,
                                            size_t offsetToData, size_t dataLength, CMBlockBufferFlags flags,
                                            CMBlockBufferRef* blockBufferOut) {
    if (!blockBufferOut) return kCMBlockBufferBadPointerParameterErr;
    *blockBufferOut = nullptr;
    CMBlockBufferRef buffer;
    OSStatus status = CMBlockBufferCreateEmpty(nullptr, 1, flags, &buffer);
    if (status != kCMBlockBufferNoErr) return status;
    status = CMBlockBufferAppendMemoryBlock(buffer, memoryBlock, blockLength, blockAllocator,
                                            customBlockSource, offsetToData, dataLength, flags);
    if (status != kCMBlockBufferNoErr) {
        CFRelease(buffer);
        return status;
    }
    *blockBufferOut = buffer;
    return kCMBlockBufferNoErr;
}

OSStatus CMBlockBufferCreateEmpty(CFAllocatorRef, uint32_t, CMBlockBufferFlags,
                                  CMBlockBufferRef* blockBufferOut) {
    if (!blockBufferOut) return kCMBlockBufferBadPointerParameterErr;
    *blockBufferOut = new (std::nothrow) CMBlockBuffer();
    return *blockBufferOut ? kCMBlockBufferNoErr : kCMBlockBufferStructureAllocationFailedErr;
}

OSStatus CMBlockBufferCreateWithBufferReference(CFAllocatorRef, CMBlockBufferRef target, size_t offsetToData,
                                                size_t dataLength, CMBlockBufferFlags flags,
                                                CMBlockBufferRef* blockBufferOut) {
    if (!blockBufferOut) return kCMBlockBufferBadPointerParameterErr;
    *blockBufferOut = nullptr;
    CMBlockBufferRef buffer;
    OSStatus status = CMBlockBufferCreateEmpty(nullptr, 1, flags, &buffer);
    if (status != kCMBlockBufferNoErr) return status;
    status = CMBlockBufferAppendBufferReference(buffer, target, offsetToData, dataLength, flags);
    if (status != kCMBlockBufferNoErr) {
        CFRelease(buffer);
        return status;
    }
    *blockBufferOut = buffer;
    return kCMBlockBufferNoErr;
}

OSStatus CMBlockBufferAppendMemoryBlock(CMBlockBufferRef buffer, void* memoryBlock, size_t blockLength,
                                        CFAllocatorRef blockAllocator,
                                        const CMBlockBufferCustomBlockSource* customBlockSource,
                                        size_t offsetToData, size_t dataLength, CMBlockBufferFlags) {
    if (!buffer) return kCMBlockBufferBadPointerParameterErr;
    CMBlockBuffer::Segment segment;
    const OSStatus status = MakeSegment(memoryBlock, blockLength, blockAllocator, customBlockSource,
                                        offsetToData, dataLength, &segment);
    if (status != kCMBlockBufferNoErr) return status;
    return buffer->Append(std::move(segment)) ? kCMBlockBufferNoErr
                                              : kCMBlockBufferStructureAllocationFailedErr;
}

OSStatus CMBlockBufferAppendBufferReference(CMBlockBufferRef buffer, CMBlockBufferRef target,
                                            size_t offsetToData, size_t dataLength,
                                            CMBlockBufferFlags flags) {
    if (!buffer || !target) return kCMBlockBufferBadPointerParameterErr;
    if (dataLength == 0) {
        if ((flags & kCMBlockBufferPermitEmptyReferenceFlag) && offsetToData <= target->DataLength())
            return kCMBlockBufferNoErr;
        return kCMBlockBufferBadLengthParameterErr;
    }
    const OSStatus status = CheckRange(target, offsetToData, dataLength);
    if (status != kCMBlockBufferNoErr) return status;
    // The pieces are gathered first: target may be buffer itself.
    std::vector<CMBlockBuffer::Segment> pieces;
    try {
        size_t inSegment;
        const CMBlockBuffer::Segment* segment = &target->SegmentAt(offsetToData, &inSegment);
        for (size_t left = dataLength; left > 0; ++segment, inSegment = 0) {
            const size_t piece = std::min(left, segment->length - inSegment);
            pieces.push_back({segment->block, segment->offset + inSegment, piece});
            left -= piece;
        }
    } catch (const std::bad_alloc&) {
        return kCMBlockBufferStructureAllocationFailedErr;
    }
    for (auto& piece : pieces)
        if (!buffer->Append(std::move(piece))) return kCMBlockBufferStructureAllocationFailedErr;
    return kCMBlockBufferNoErr;
}

size_t CMBlockBufferGetDataLength(CMBlockBufferRef buffer) {
    return buffer ? buffer->DataLength() : 0;
}

Boolean CMBlockBufferIsEmpty(CMBlockBufferRef buffer) {
    return !buffer || buffer->DataLength() == 0;
}

OSStatus CMBlockBufferGetDataPointer(CMBlockBufferRef buffer, size_t offset, size_t* lengthAtOffsetOut,
                                     size_t* totalLengthOut, char** dataPointerOut) {
    const OSStatus status = CheckRange(buffer, offset, 0);
    if (status != kCMBlockBufferNoErr) {
        if (dataPointerOut) *dataPointerOut = nullptr;
        if (lengthAtOffsetOut) *lengthAtOffsetOut = 0;
        if (totalLengthOut) *totalLengthOut = buffer ? buffer->DataLength() : 0;
        return status;
    }
    size_t inSegment;
    const CMBlockBuffer::Segment& segment = buffer->SegmentAt(offset, &inSegment);
    if (dataPointerOut) *dataPointerOut = reinterpret_cast<char*>(segment.Data() + inSegment);
    if (lengthAtOffsetOut) *lengthAtOffsetOut = segment.length - inSegment;
    if (totalLengthOut) *totalLengthOut = buffer->DataLength();
    return kCMBlockBufferNoErr;
}

Boolean CMBlockBufferIsRangeContiguous(CMBlockBufferRef buffer, size_t offset, size_t length) {
    if (buffer && length == 0 && offset < buffer->DataLength()) length = buffer->DataLength() - offset;
    if (CheckRange(buffer, offset, length) != kCMBlockBufferNoErr) return false;
    size_t inSegment;
    return length <= buffer->SegmentAt(offset, &inSegment).length - inSegment;
}

OSStatus CMBlockBufferCopyDataBytes(CMBlockBufferRef source, size_t offsetToData, size_t dataLength,
                                    void* destination) {
    if (!destination) return kCMBlockBufferBadPointerParameterErr;
    const OSStatus status = CheckRange(source, offsetToData, dataLength);
    if (status != kCMBlockBufferNoErr) return status;
    auto* out = static_cast<uint8_t*>(destination);
    ForEachPiece(source, offsetToData, dataLength, [&out](uint8_t* data, size_t length) {
        std::memcpy(out, data, length);
        out += length;
    });
    return kCMBlockBufferNoErr;
}

OSStatus CMBlockBufferReplaceDataBytes(const void* sourceBytes, CMBlockBufferRef destinationBuffer,
                                       size_t offsetIntoDestination, size_t dataLength) {
    if (!sourceBytes) return kCMBlockBufferBadPointerParameterErr;
    const OSStatus status = CheckRange(destinationBuffer, offsetIntoDestination, dataLength);
    if (status != kCMBlockBufferNoErr) return status;
    const auto* in = static_cast<const uint8_t*>(sourceBytes);
    ForEachPiece(destinationBuffer, offsetIntoDestination, dataLength, [&in](uint8_t* data, size_t length) {
        std::memmove(data, in, length);
        in += length;
    });
    return kCMBlockBufferNoErr;
}

OSStatus CMBlockBufferFillDataBytes(char fillByte, CMBlockBufferRef destinationBuffer,
                                    size_t offsetIntoDestination, size_t dataLength) {
    if (destinationBuffer && dataLength == 0 && offsetIntoDestination < destinationBuffer->DataLength())
        dataLength = destinationBuffer->DataLength() - offsetIntoDestination;
    const OSStatus status = CheckRange(destinationBuffer, offsetIntoDestination, dataLength);
    if (status != kCMBlockBufferNoErr) return status;
    ForEachPiece(destinationBuffer, offsetIntoDestination, dataLength,
                 [fillByte](uint8_t* data, size_t length) { std::memset(data, fillByte, length); });
    return kCMBlockBufferNoErr;
}

}  // namespace ComVantoVantoQZ64RADPlug
