#include "support/CSingleThread.h"

#include <pthread.h>

CSingleThread::CSingleThread(const char* name) : m_name(name ? name : "") {}

CSingleThread::~CSingleThread() {
    StopThread();
}

bool CSingleThread::BeginThread(Body body, void* arg, unsigned, int) {
    if (m_thread.joinable() || body == nullptr) return false;
    m_stop.store(false);
    try {
        m_thread = std::thread(&CSingleThread::Loop, this, body, arg);
    } catch (...) {
        return false;
    }
    m_id.store(m_thread.get_id());
    if (!m_name.empty()) {
        // The kernel keeps at most 15 characters of a thread name.
        pthread_setname_np(m_thread.native_handle(), m_name.substr(0, 15).c_str());
    }
    return true;
}

void CSingleThread::StopThread() {
    m_stop.store(true);
    // From the body, joining would wait for ourselves: the loop ends after this call returns
    // and the owner's own StopThread joins it.
    if (IsWorkerThread()) return;
    if (m_thread.joinable()) m_thread.join();
    m_id.store(std::thread::id());
}

void CSingleThread::Loop(Body body, void* arg) {
    m_id.store(std::this_thread::get_id());
    while (!m_stop.load()) body(arg);
}
