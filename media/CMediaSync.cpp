#include "media/CMediaSync.h"

#include <algorithm>
#include <cstring>

CMediaSync::CMediaSync() = default;

CMediaSync::~CMediaSync() {
    StopFeeding();
}

bool CMediaSync::StartFeeding() {
    m_worker.BeginThread(&CMediaSync::FeedOnce, this);
    return true;
}

void CMediaSync::StopFeeding() {
    {
        std::lock_guard<std::mutex> lock(m_wakeLock);
        m_stopping.store(true);
    }
    m_wake.notify_all();
    m_worker.StopThread();
    m_stopping.store(false);
}

bool CMediaSync::PushPcm(const uint8_t* data, int32_t length) {
    length = std::clamp(length, 0, kPcmPacketBytes);
    {
        CSyncLock lock(m_queueLock);
        _packet_pcm& packet = m_queue.emplace_back();
        packet.length = length;
        if (length > 0 && data) std::memcpy(packet.samples, data, static_cast<size_t>(length));
        m_count.store(static_cast<int>(m_queue.size()));
    }
    {
        // Taken so the wake cannot fall between the feeder's test and its wait.
        std::lock_guard<std::mutex> wakeLock(m_wakeLock);
    }
    m_wake.notify_one();
    return true;
}

bool CMediaSync::PopPcm(uint8_t* buffer, int32_t* length) {
    if (m_count.load() == 0) return false;
    {
        CSyncLock lock(m_queueLock);
        // A clear may have emptied the queue since the count was read.
        if (m_queue.empty()) return false;
        const _packet_pcm& packet = m_queue.front();
        std::memcpy(buffer, packet.samples, static_cast<size_t>(packet.length));
        *length = packet.length;
        m_queue.pop_front();
        m_count.store(static_cast<int>(m_queue.size()));
    }
    WakeDrainWaiter();
    return true;
}

void CMediaSync::ClearPcm() {
    {
        CSyncLock lock(m_queueLock);
        m_queue.clear();
        m_count.store(0);
    }
    WakeDrainWaiter();
}

void CMediaSync::WakeDrainWaiter() {
    {
        // Taken so the wake cannot fall between the waiter's test and its wait.
        std::lock_guard<std::mutex> wakeLock(m_wakeLock);
    }
    m_drained.notify_all();
}

void CMediaSync::WaitDrained() {
    std::unique_lock<std::mutex> lock(m_wakeLock);
    m_drained.wait(lock, [this] { return m_count.load() < 2 || m_drainAbandoned; });
}

void CMediaSync::AbandonDrainWaits() {
    {
        std::lock_guard<std::mutex> lock(m_wakeLock);
        m_drainAbandoned = true;
    }
    m_drained.notify_all();
}

void CMediaSync::ResumeDrainWaits() {
    std::lock_guard<std::mutex> lock(m_wakeLock);
    m_drainAbandoned = false;
}

bool CMediaSync::FeedOnce(void* self) {
    CMediaSync* sync = static_cast<CMediaSync*>(self);
    if (sync->PopPcm(sync->m_work.samples, &sync->m_work.length)) {
        // Without an output the packet is dropped, so the drain wait still ends.
        if (sync->m_output) sync->m_output->Write(sync->m_work.samples, sync->m_work.length);
    } else {
        // A push or StopFeeding wakes the feeder; an idle feeder costs nothing.
        std::unique_lock<std::mutex> lock(sync->m_wakeLock);
        sync->m_wake.wait(lock,
                          [sync] { return sync->m_count.load() > 0 || sync->m_stopping.load(); });
    }
    return true;
}
