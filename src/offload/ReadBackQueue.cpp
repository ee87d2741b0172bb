#include "ReadBackQueue.h"

namespace qzoffload {

bool ReadBackQueue::Push(WrittenFile file) {
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Changed.wait(lock, [this] { return m_Closed || m_InHand < m_Capacity; });
        if (m_Closed) return false;
        ++m_InHand;
        m_Files.push_back(std::move(file));
    }
    m_Changed.notify_all();
    return true;
}

std::optional<WrittenFile> ReadBackQueue::Pop() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Closed || !m_Files.empty(); });
    if (m_Files.empty()) return std::nullopt;
    WrittenFile file = std::move(m_Files.front());
    m_Files.pop_front();
    return file;
}

void ReadBackQueue::Done() {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        --m_InHand;
    }
    m_Changed.notify_all();
}

void ReadBackQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Closed = true;
    }
    m_Changed.notify_all();
}

}  // namespace qzoffload
