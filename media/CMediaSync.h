#pragma once
// The audio queue between the player's worker and the sound output, and the "MediaSync"
// thread that feeds the output from it.
//
// Threads: PushPcm, ClearPcm and the queries come from the player's worker; PopPcm and the
// output's Write from the "MediaSync" thread. One mutex, m_lock, guards the queue and the
// flags below; it is held only to change or test them, never while calling the output.
// Nobody polls: the feeder sleeps on m_wake until a push, and a drain wait sleeps on
// m_drained until a pop or clear lowers the count.
//
// The queue is bounded (kMaxPackets): PushPcm refuses a packet beyond it, so a file of
// nothing but sound cannot grow memory; the player waits for room first while the output
// is taking packets.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "media/VAudio.h"
#include "support/CSingleThread.h"

constexpr int kPcmPacketBytes = 3840;

// One queued audio packet.
struct _packet_pcm {
    uint8_t samples[kPcmPacketBytes];
    int32_t length;  // valid bytes, 0 ... 3840
};

class CMediaSync {
public:
    // About 7.7 s of the dashcam's 8 kHz 16-bit sound.
    static constexpr int kMaxPackets = 32;
    static constexpr int kFlushWaitMs = 30;

    CMediaSync();
    virtual ~CMediaSync();
    CMediaSync(const CMediaSync&) = delete;
    CMediaSync& operator=(const CMediaSync&) = delete;

    // Set while the feeding thread is stopped.
    void SetOutput(VAudio* output) { m_output = output; }

    bool StartFeeding();
    void StopFeeding();

    // Queues one packet; bytes past 3840 are dropped. False (nothing queued) when the queue
    // already holds kMaxPackets.
    bool PushPcm(const uint8_t* data, int32_t length);
    // Takes the oldest packet; false when the queue is empty. buffer holds 3840 bytes.
    bool PopPcm(uint8_t* buffer, int32_t* length);
    // Empties the queue. A packet the feeder has taken but not yet handed to the output is
    // dropped too, so nothing from before the clear reaches the output after it.
    void ClearPcm();
    // ClearPcm, then drops what the output holds (its Flush), including a packet the feeder
    // was handing over meanwhile; waits at most kFlushWaitMs for such a hand-over.
    void FlushAll();
    // Returns once fewer than two packets are queued, or at once while drain waits are
    // abandoned.
    void WaitDrained();
    // Ends a running drain wait and lets later ones return at once until ResumeDrainWaits.
    void AbandonDrainWaits();
    void ResumeDrainWaits();
    int QueuedPackets() const { return m_count.load(); }
    // Packets taken off the queue since construction; lets a waiting producer see progress.
    int64_t PoppedPackets() const { return m_popped.load(); }
    // True while the feeder holds a packet it has not yet handed over.
    bool Feeding() const { return m_feeding.load(); }

    // One feeding step: the body of the "MediaSync" thread.
    static bool FeedOnce(void* self);

private:
    VAudio* m_output = nullptr;  // set before StartFeeding, read-only while feeding
    CSingleThread m_worker{"MediaSync"};
    std::mutex m_lock;
    std::condition_variable m_wake;     // with m_lock; an idle feeder waits for a push
    std::condition_variable m_drained;  // with m_lock; a drain wait waits for a pop
    std::deque<_packet_pcm> m_queue;    // guarded by m_lock
    uint64_t m_generation = 0;          // guarded by m_lock; counts clears
    bool m_drainAbandoned = false;      // guarded by m_lock
    bool m_stopping = false;            // guarded by m_lock
    std::atomic<int> m_count{0};        // mirrors m_queue.size() for lock-free queries
    std::atomic<int64_t> m_popped{0};
    std::atomic<bool> m_feeding{false};  // written under m_lock
    _packet_pcm m_work{};                // feeding thread only
};
