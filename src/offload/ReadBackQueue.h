#pragma once
// The files a destination's writer has written, handed in order to the
// thread that syncs each, reads it back from the drive and commits it. At
// most `capacity` files are in that thread's hands at once (waiting or being
// checked): beyond that the writer waits, so it runs a bounded number of
// files ahead of the read-back. Thread safe: one thread pushes, one pops.
#include "CUOutputFile.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace qzoffload {

// A file written whole, not yet synced, read back or renamed into place.
struct WrittenFile {
    size_t job = 0;  // index of the file in the copy's job list
    std::unique_ptr<ComVantoVantoQZ64RADPlug::CUOutputFile> output;
};

class ReadBackQueue {
public:
    explicit ReadBackQueue(size_t capacity) : m_Capacity(capacity) {}

    // Hands a file over, waiting for room. False once the queue is closed:
    // the file is then dropped, which removes its partial.
    bool Push(WrittenFile file);
    // The oldest file handed over, waiting for one; nothing once the queue
    // is closed and every file handed over has been popped.
    std::optional<WrittenFile> Pop();
    // The file popped last is done with: its place is free.
    void Done();
    // No more files: a waiting Push gives up; Pop still gives the files
    // handed over before.
    void Close();

private:
    size_t m_Capacity;
    size_t m_InHand = 0;  // pushed and not yet done with
    bool m_Closed = false;
    std::deque<WrittenFile> m_Files;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
};

}  // namespace qzoffload
