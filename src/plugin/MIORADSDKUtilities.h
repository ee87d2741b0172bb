#pragma once
// The host framework's convenience functions for building sample buffers:
// from any sample cursor by reading the bytes it locates in a file, from
// several single-channel audio buffers as one multi-channel buffer, and a
// block of a file as a block buffer. The plug-in module exports them under
// these unmangled names; the plug-in's own cursors do not use them.
// A file handle is a POSIX descriptor the caller owns; the functions move
// its file position, so one thread uses a descriptor at a time. Results
// handed out belong to the caller; on any failure the out value is null.
#include <cstdint>

#include "CFArray.h"
#include "CMBlockBuffer.h"
#include "CMSampleBuffer.h"
#include "MIORADSampleCursorProtocol.h"

namespace ComVantoVantoQZ64RADPlug {

// End of file: a seek or read stopped before the bytes asked for.
inline constexpr OSStatus kMIORADEndOfFileErr = -39;
// A length, offset or out-argument that cannot be used.
inline constexpr OSStatus kMIORADParameterErr = -50;

extern "C" {

// The cursor's sample as a buffer read from `fileHandle`. Audio ('soun')
// from a cursor that tells its chunk: the chunk from the cursor's own sample
// on (the cursor is stepped through it and put back). Video ('vide'), or
// audio without chunk details: the cursor's sections, read in order into
// one sample. Any other type, a message the cursor does not answer, chunk
// details that do not hold together (sample index outside the count, the
// sample outside its chunk) or negative or overflowing lengths give none.
void CreateSampleBufferFromSampleCursor(MIORADSampleCursorProtocol* cursor, int fileHandle,
                                        FourCharCode mediaType, CMSampleBufferRef* sampleBufferOut);

// One non-interleaved buffer of n channels from n mono buffers of the same
// format and sample count, channel k labelled as buffer k's channel is
// (a discrete channel when its layout has no channel description), with
// the first buffer's timing. An empty array, or buffers that differ, give
// none.
void CoalesceAudioSampleBuffers(CFArrayRef sampleBuffers, CMSampleBufferRef* sampleBufferOut);

// `length` bytes at `offset` (both >= 0). 0 with the buffer and
// bytesRead = length; kMIORADEndOfFileErr with no buffer and the bytes that
// were there when the file ends first (0 when the seek fails); a block
// buffer failure's status as it is. A length past the end of a regular file
// is never allocated.
OSStatus ReadAndCreateBlockBuffer(int fileHandle, int64_t length, int64_t offset,
                                  CMBlockBufferRef* blockBufferOut, int64_t* bytesReadOut);

// Bytes from `offset` to the end of the file, 0 when there are none or the
// end cannot be found. Leaves the file position at the end. Always 0.
OSStatus GetAvailableLengthAtOffset(int fileHandle, int64_t offset, int64_t* lengthOut);

}  // extern "C"

}  // namespace ComVantoVantoQZ64RADPlug
