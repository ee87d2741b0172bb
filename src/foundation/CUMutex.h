#pragma once
// Recursive platform mutex: the owning thread may lock it again and it is
// free once unlocked as often as locked. Safe to use from any thread.
#include "CUWaitHandle.h"

#include <pthread.h>

namespace ComVantoVantoQZ64RADPlug {

class CUMutex : public CUWaitHandle {
public:
    // Throws std::system_error when the platform mutex cannot be created.
    CUMutex();
    CUMutex(const CUMutex&) = delete;
    CUMutex& operator=(const CUMutex&) = delete;
    ~CUMutex() override;

    // Locks, waiting as long as needed; returns true.
    bool WaitOne() override;
    // Unlocks once.
    virtual void ReleaseMutex();
    pthread_mutex_t* GetMutex() { return &m_Mutex; }

private:
    pthread_mutex_t m_Mutex;
    pthread_mutexattr_t m_Attr;
};

}  // namespace ComVantoVantoQZ64RADPlug
