#include "CUMutex.h"

#include <cerrno>
#include <system_error>

namespace ComVantoVantoQZ64RADPlug {

CUMutex::CUMutex() {
    int rc = pthread_mutexattr_init(&m_Attr);
    if (rc != 0) throw std::system_error(rc, std::generic_category(), "pthread_mutexattr_init");
    rc = pthread_mutexattr_settype(&m_Attr, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0) rc = pthread_mutex_init(&m_Mutex, &m_Attr);
    if (rc != 0) {
        pthread_mutexattr_destroy(&m_Attr);
        throw std::system_error(rc, std::generic_category(), "pthread_mutex_init");
    }
}

CUMutex::~CUMutex() {
    pthread_mutex_destroy(&m_Mutex);
    pthread_mutexattr_destroy(&m_Attr);
}

bool CUMutex::WaitOne() {
    return pthread_mutex_lock(&m_Mutex) == 0;
}

void CUMutex::ReleaseMutex() {
    pthread_mutex_unlock(&m_Mutex);
}

}  // namespace ComVantoVantoQZ64RADPlug
