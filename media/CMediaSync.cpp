#include "media/CMediaSync.h"

#include <algorithm>
#include <cstring>

CMediaSync::CMediaSync() = default;

CMediaSync::~CMediaSync() {
    StopFeeding();
}

bool CMediaSync::StartFeeding() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = false;
    }
    m_worker.BeginThread(&CMediaSync::FeedOnce, this);
    return true;
}

void CMediaSync::StopFeeding() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_worker.StopThread();
}

bool CMediaSync::PushPcm(const uint8_t* data, int32_t length) {
    length = std::clamp(length, 0, kPcmPacketBytes);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (static_cast<int>(m_queue.size()) >= kMaxPackets) return false;
        _packet_pcm& packet = m_queue.emplace_back();
        packet.length = length;
        if (length > 0 && data) std::memcpy(packet.samples, data, static_cast<size_t>(length));
        m_count.store(static_cast<int>(m_queue.size()));
    }
    m_wake.notify_one();
    return true;
}

bool CMediaSync::PopPcm(uint8_t* buffer, int32_t* length) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_queue.empty()) return false;
        const _packet_pcm& packet = m_queue.front();
        std::memcpy(buffer, packet.samples, static_cast<size_t>(packet.length));
        *length = packet.length;
        m_queue.pop_front();
        m_count.store(static_cast<int>(m_queue.size()));
        m_popped.fetch_add(1);
    }
    m_drained.notify_all();
    return true;
}

void CMediaSync::ClearPcm() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_queue.clear();
        m_count.store(0);
        ++m_generation;
    }
    m_drained.notify_all();
}

void CMediaSync::FlushAll() {
    ClearPcm();
    if (!m_output) return;
    m_output->Flush();
    bool handedOver;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        handedOver = m_feeding.load();
        m_drained.wait_for(lock, std::chrono::milliseconds(kFlushWaitMs),
                           [this] { return !m_feeding.load(); });
    }
    // A packet taken before the clear may have reached the output after its flush.
    if (handedOver) m_output->Flush();
}

void CMediaSync::WaitDrained() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_drained.wait(lock, [this] { return m_queue.size() < 2 || m_drainAbandoned; });
}

void CMediaSync::AbandonDrainWaits() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_drainAbandoned = true;
    }
    m_drained.notify_all();
}

void CMediaSync::ResumeDrainWaits() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_drainAbandoned = false;
}

bool CMediaSync::FeedOnce(void* self) {
    CMediaSync* sync = static_cast<CMediaSync*>(self);
    uint64_t generation;
    {
        // A push or StopFeeding wakes the feeder; an idle feeder costs nothing.
        std::unique_lock<std::mutex> lock(sync->m_lock);
        sync->m_wake.wait(lock, [sync] { return !sync->m_queue.empty() || sync->m_stopping; });
        if (sync->m_queue.empty()) return true;
        const _packet_pcm& packet = sync->m_queue.front();
        std::memcpy(sync->m_work.samples, packet.samples, static_cast<size_t>(packet.length));
        sync->m_work.length = packet.length;
        sync->m_queue.pop_front();
        sync->m_count.store(static_cast<int>(sync->m_queue.size()));
        sync->m_popped.fetch_add(1);
        sync->m_feeding.store(true);
        generation = sync->m_generation;
    }
    sync->m_drained.notify_all();
    // Without an output the packet is dropped, so the drain wait still ends. A clear since
    // the pop means the packet belongs to a position the player has left.
    if (sync->m_output) {
        bool current;
        {
            std::lock_guard<std::mutex> lock(sync->m_lock);
            current = generation == sync->m_generation;
        }
        if (current) sync->m_output->Write(sync->m_work.samples, sync->m_work.length);
    }
    {
        std::lock_guard<std::mutex> lock(sync->m_lock);
        sync->m_feeding.store(false);
    }
    sync->m_drained.notify_all();
    return true;
}
