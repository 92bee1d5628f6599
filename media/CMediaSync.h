#pragma once
// The audio queue between the player's worker and the sound output, and the "MediaSync"
// thread that feeds the output from it.
//
// Audio leads: before each front frame is shown the player waits here until at most one
// packet is still queued, so video never runs ahead of what the output has taken.
//
// Threads: PushPcm and WaitDrained come from the player's worker (with the player lock
// held); ClearPcm from the UI thread through the player's Open (same lock); PopPcm and the
// output's Write from the "MediaSync" thread, which never takes the player lock. m_queueLock
// is held only for push, pop and clear, never while calling the output. Nobody polls: the
// feeder sleeps on m_wake until a push, and a drain wait sleeps on m_drained until a pop or
// clear lowers the count. m_wakeLock is taken after m_queueLock is released, never inside it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "media/VAudio.h"
#include "support/CSingleThread.h"
#include "support/CSync.h"

constexpr int kPcmPacketBytes = 3840;

// One queued audio packet.
struct _packet_pcm {
    uint8_t samples[kPcmPacketBytes];
    int32_t length;  // valid bytes, 0 ... 3840
};

class CMediaSync {
public:
    CMediaSync();
    virtual ~CMediaSync();
    CMediaSync(const CMediaSync&) = delete;
    CMediaSync& operator=(const CMediaSync&) = delete;

    // Set while the feeding thread is stopped.
    void SetOutput(VAudio* output) { m_output = output; }

    bool StartFeeding();
    void StopFeeding();

    // Queues one packet; bytes past 3840 are dropped.
    bool PushPcm(const uint8_t* data, int32_t length);
    // Takes the oldest packet; false when the queue is empty. buffer holds 3840 bytes.
    bool PopPcm(uint8_t* buffer, int32_t* length);
    void ClearPcm();
    // Returns once fewer than two packets are queued, or at once while drain waits are
    // abandoned.
    void WaitDrained();
    // Ends a running drain wait and lets later ones return at once until ResumeDrainWaits.
    // The player abandons them while it closes or stops, so a sound output that no longer
    // takes packets cannot hold the worker, and with it the player lock, for ever.
    void AbandonDrainWaits();
    void ResumeDrainWaits();
    int QueuedPackets() const { return m_count.load(); }

    // One feeding step: the body of the "MediaSync" thread.
    static bool FeedOnce(void* self);

private:
    void WakeDrainWaiter();

    VAudio* m_output = nullptr;  // set before StartFeeding, read-only while feeding
    CSingleThread m_worker{"MediaSync"};
    std::deque<_packet_pcm> m_queue;  // guarded by m_queueLock
    std::atomic<int> m_count{0};      // mirrors m_queue.size() for the lock-free tests
    _packet_pcm m_work{};             // feeding thread only
    CSync m_queueLock{"none"};
    // The count is changed under m_queueLock, but a push or pop takes m_wakeLock before it
    // notifies, so a waiter that has just tested the count cannot miss the change.
    std::mutex m_wakeLock;
    std::condition_variable m_wake;     // with m_wakeLock; an idle feeder waits for a push
    std::condition_variable m_drained;  // with m_wakeLock; a drain wait waits for a pop
    bool m_drainAbandoned = false;      // guarded by m_wakeLock
    std::atomic<bool> m_stopping{false};
};
