#include "ChunkPool.h"

#include <chrono>

namespace qzoffload {

using ComVantoVantoQZ64RADPlug::CUDriveFileReader;

ChunkPool::ChunkPool(size_t count, size_t bytes) : m_Bytes(bytes), m_Chunks(count) {
    for (Chunk& chunk : m_Chunks) {
        m_Buffers.push_back(CUDriveFileReader::AllocateBuffer(bytes));
        chunk.data = m_Buffers.back().get();
        m_Free.push_back(&chunk);
    }
}

Chunk* ChunkPool::Acquire(int users, const std::function<bool()>& stop) {
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (m_Free.empty()) {
        if (stop && stop()) return nullptr;
        m_Freed.wait_for(lock, std::chrono::milliseconds(100));
    }
    Chunk* chunk = m_Free.back();
    m_Free.pop_back();
    chunk->size = 0;
    chunk->users.store(users);
    return chunk;
}

void ChunkPool::Release(Chunk* chunk) {
    if (!chunk || chunk->users.fetch_sub(1) != 1) return;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Free.push_back(chunk);
    }
    m_Freed.notify_one();
}

}  // namespace qzoffload
