#include "ChunkQueue.h"

namespace qzoffload {

void ChunkQueue::Push(const ChunkItem& item) {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Items.push_back(item);
    }
    m_Pushed.notify_one();
}

ChunkItem ChunkQueue::Pop() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Pushed.wait(lock, [this] { return !m_Items.empty(); });
    const ChunkItem item = m_Items.front();
    m_Items.pop_front();
    return item;
}

}  // namespace qzoffload
