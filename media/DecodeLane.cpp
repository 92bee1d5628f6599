#include "media/DecodeLane.h"

#include "media/VMediaDecoder.h"

void DecodeLane::Post(VMediaDecoder* decoder, int camera, VideoWindow* window, bool show,
                      const uint8_t* data, int32_t size) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_job = Job{decoder, camera, window, show, data, size};
        m_busy = true;
        m_stop = false;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Loop(); });
        return;
    }
    m_wake.notify_one();
}

void DecodeLane::Wait() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [this] { return !m_busy; });
}

void DecodeLane::Stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void DecodeLane::Loop() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_busy || m_stop; });
        if (!m_busy) return;
        const Job job = m_job;
        lock.unlock();
        if (job.show)
            job.decoder->DecodeFrame(job.camera, job.window, job.data, job.size);
        else
            job.decoder->DecodeOnly(job.camera, job.data, job.size);
        lock.lock();
        m_busy = false;
        m_done.notify_one();
    }
}
