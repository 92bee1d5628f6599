#include "support/CSingleThread.h"

#include <pthread.h>

CSingleThread::CSingleThread(const char* name) : m_name(name ? name : "") {}

CSingleThread::~CSingleThread() { StopThread(); }

bool CSingleThread::BeginThread(Body body, void* arg, unsigned, int) {
    if (m_thread.joinable() || body == nullptr) return false;
    m_stop.store(false);
    try {
        m_thread = std::thread(&CSingleThread::Loop, this, body, arg);
    } catch (...) {
        return false;
    }
    if (!m_name.empty()) {
        // The kernel keeps at most 15 characters of a thread name.
        pthread_setname_np(m_thread.native_handle(), m_name.substr(0, 15).c_str());
    }
    return true;
}

void CSingleThread::StopThread() {
    m_stop.store(true);
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id()) {
            // Called from the body: the loop ends after this call returns; joining here
            // would wait for ourselves.
            m_thread.detach();
            return;
        }
        m_thread.join();
    }
}

void CSingleThread::Loop(Body body, void* arg) {
    while (!m_stop.load()) body(arg);
}
