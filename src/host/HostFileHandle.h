#pragma once
// A file descriptor the host hands a plug-in (not owned: the host opens and
// closes it), with the few positioned operations the sample buffer
// utilities need. Reads and seeks move the descriptor's one file position,
// so a descriptor is used by one thread at a time.
#include <cstddef>
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class HostFileHandle {
public:
    explicit HostFileHandle(int descriptor) : m_descriptor(descriptor) {}

    // The new position (offset bytes from the start), or -1 when the
    // descriptor cannot seek there.
    int64_t SeekFromStart(int64_t offset);
    // The end position (the file's length), or -1.
    int64_t SeekToEnd();
    // Reads up to `size` bytes at the current position, retrying short and
    // interrupted reads until `size` bytes or the end of the file; the bytes
    // read, or -1 when a read fails before any byte came.
    int64_t Read(void* buffer, size_t size);
    // The length of a regular file without moving the position; -1 when it
    // is not one or cannot be asked.
    int64_t Length() const;

private:
    int m_descriptor;
};

}  // namespace ComVantoVantoQZ64RADPlug
