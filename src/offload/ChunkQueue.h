#pragma once
// What the reading thread hands one consumer thread (a destination's
// writer, the hashing thread), in order: a file begins, its chunks, it
// ends; and finally stop (a file begun and not ended is then abandoned).
// Its length is bounded by the chunk pool: items hold chunks. Thread safe:
// one thread pushes, one pops.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace qzoffload {

struct Chunk;

struct ChunkItem {
    enum class Kind { kBegin, kData, kEnd, kStop };
    Kind kind = Kind::kStop;
    size_t job = 0;          // index of the file in the copy's job list
    Chunk* chunk = nullptr;  // kData only
};

class ChunkQueue {
public:
    void Push(const ChunkItem& item);
    // Waits for the next item.
    ChunkItem Pop();

private:
    std::mutex m_Mutex;
    std::condition_variable m_Pushed;
    std::deque<ChunkItem> m_Items;
};

}  // namespace qzoffload
