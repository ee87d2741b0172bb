#pragma once
// The fixed set of buffers the card is read into: a chunk goes from the
// reading thread to every thread that uses its bytes (the writers of the
// destinations, the hashing thread) and comes back when the last of them
// releases it. The count and size of the chunks bound the memory an
// offload takes, whatever the size of the card. Thread safe.
#include "CUDriveFileReader.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace qzoffload {

struct Chunk {
    unsigned char* data = nullptr;
    size_t size = 0;            // bytes of data in use
    std::atomic<int> users{0};  // threads that have yet to release it
};

class ChunkPool {
public:
    ChunkPool(size_t count, size_t bytes);
    ChunkPool(const ChunkPool&) = delete;
    ChunkPool& operator=(const ChunkPool&) = delete;

    // A free chunk for `users` users; waits while none is free. Null when
    // `stop` answers true while waiting (it is asked every 100 ms).
    Chunk* Acquire(int users, const std::function<bool()>& stop);
    // One user is done with the chunk; the last one gives it back.
    void Release(Chunk* chunk);
    size_t ChunkBytes() const { return m_Bytes; }

private:
    size_t m_Bytes;
    std::vector<ComVantoVantoQZ64RADPlug::CUDriveFileReader::Buffer> m_Buffers;
    std::vector<Chunk> m_Chunks;
    std::vector<Chunk*> m_Free;
    std::mutex m_Mutex;
    std::condition_variable m_Freed;
};

}  // namespace qzoffload
