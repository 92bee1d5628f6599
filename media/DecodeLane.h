#pragma once
// A second thread beside the player's worker for one decode at a time: the rear camera's
// picture of a moment decodes here while the worker decodes the front one, so a pair costs
// the longer of the two instead of their sum. The worker posts a packet and waits for it
// before it presents the pair, so nothing else changes hands: the decoder, the packet's
// bytes and the rear window are the worker's again once Wait returns.
//
// Threads: Post, Wait and Stop are called by the player's worker only (the destructor by the
// player's owner once the worker is joined); the job runs on the lane's own thread.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class VMediaDecoder;
class VideoWindow;

class DecodeLane {
public:
    DecodeLane() = default;
    ~DecodeLane() { Stop(); }
    DecodeLane(const DecodeLane&) = delete;
    DecodeLane& operator=(const DecodeLane&) = delete;

    // Decodes the packet of camera on the lane and presents it in window (DecodeFrame), or
    // only decodes it when show is false (DecodeOnly); starts the thread the first time. Each
    // Post is followed by Wait before the next one.
    void Post(VMediaDecoder* decoder, int camera, VideoWindow* window, bool show,
              const uint8_t* data, int32_t size);
    // Returns once the posted packet is done.
    void Wait();
    // Ends the thread; the next Post starts it again.
    void Stop();

private:
    struct Job {
        VMediaDecoder* decoder = nullptr;
        int camera = 0;
        VideoWindow* window = nullptr;
        bool show = true;
        const uint8_t* data = nullptr;
        int32_t size = 0;
    };
    void Loop();

    std::mutex m_lock;
    std::condition_variable m_wake;  // a job or a stop for the lane
    std::condition_variable m_done;  // the job finished, for the worker
    Job m_job;                       // guarded by m_lock
    bool m_busy = false;             // guarded by m_lock: posted and not finished
    bool m_stop = false;             // guarded by m_lock
    std::thread m_thread;            // the worker's
};
