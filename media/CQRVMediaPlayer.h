#pragma once
// The playback engine: plays one recording at a time on its own worker thread.
//
// Design
// - Threads. The owner's thread (the UI thread in the viewer) calls every public operation.
//   The worker (m_worker, owned here) repeats RunOnce: it reads chunks through the container
//   reader, queues video packets, pushes PCM into m_sync, decodes and presents pictures
//   through the decoder into the two VideoWindows, and calls the text callback. m_sync owns
//   the "MediaSync" thread that feeds the sound output. The sound output runs its own device
//   callback thread. The reader, decoder and output are not owned; they must outlive the
//   threads (StopThreads, or the destructor, joins them).
// - How they talk. Commands (Play, Pause, seeks) are atomics the worker samples at the top of
//   each loop; state, position and duration are atomics read without a lock. Everything
//   else a step touches is guarded by m_lock, which the worker holds for a whole step and
//   which Open, Close, Capture and SetTextCallback take. The worker never calls up into the
//   window: it presents pictures through VideoWindow and hands telemetry to the callback.
// - Lock order: m_lock first, then the audio queue's locks (CMediaSync), the decode lock
//   (CDecoder) or the output's own locks (Open, Close and Flush of the output are called
//   with m_lock held). The MediaSync thread never takes m_lock, so the drain wait inside a
//   step ends once the output takes packets; Open, Close and StopThreads abandon the drain
//   wait before they take m_lock or join, so they do not depend on the output for that.
// - Shutdown order (StopThreads): run := 0, abandon the drain wait, join the worker (it leaves
//   its step at the next loop), close the output (which wakes a feeder waiting for room),
//   join the MediaSync thread, shut the reader down. Only then may the reader, decoder and
//   output be destroyed.
// - Timing. The position is a count of front frames shown: ms = counter * 1000 / rate. Before
//   each front frame the worker waits until the audio queue holds at most one packet, then
//   paces to the frame period; the no-clock mode skips both to process a file as fast as the
//   machine allows. The drain wait and the output's wait for room sleep until their event
//   (a packet taken, a buffer finished) rather than polling, and the pacer sleeps its
//   remainder in one piece, so a playing worker wakes once or twice per front frame.

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "media/CMediaSync.h"
#include "media/MediaInfo.h"
#include "media/VAudio.h"
#include "media/VMediaDecoder.h"
#include "media/VMediaParser.h"
#include "support/CSingleThread.h"
#include "support/CSync.h"

class VideoWindow;

// Receives every telemetry chunk of the playing recording, on the player's worker thread with
// the player lock held (so it must not call Open or Capture):
//   user        the value given with SetTextCallback
//   payload     the chunk's bytes, followed by a zero byte the player writes after them
//   length      payload bytes, not counting the zero byte
//   positionMs  position of the front frames shown so far (frame counter * 1000 / rate)
using TextChunkCallback = void (*)(void* user, const uint8_t* payload, int32_t length,
                                   int32_t positionMs);

class CQRVMediaPlayer {
public:
    static constexpr int32_t kChunkCapacityBytes = 1048576;
    static constexpr int kPrebufferMs = 700;
    static constexpr int kDefaultOutputBits = 16;
    static constexpr int kDefaultOutputRate = 8000;
    // Frame rate assumed for a recording that declares none (below 1 frame a second).
    static constexpr int kFallbackFrameRate = 30;
    static constexpr int kHoldPollMs = 10;
    static constexpr int kStepPauseMs = 1;
    static constexpr uint8_t kNonIdrSliceHeader = 0x41;

    static constexpr int32_t kStatePlaying = 0;  // the last step completed normally
    static constexpr int32_t kStateStopped = 2;  // nothing open, closed, or the recording ended

    CQRVMediaPlayer();
    virtual ~CQRVMediaPlayer();
    CQRVMediaPlayer(const CQRVMediaPlayer&) = delete;
    CQRVMediaPlayer& operator=(const CQRVMediaPlayer&) = delete;

    // Wiring, before Start. The output may be null (no sound; video runs on the pacer).
    void SetParser(VMediaParser* parser) { m_parser = parser; }
    void SetOutput(VAudio* output) { m_output = output; }
    void SetDecoder(VMediaDecoder* decoder) { m_decoder = decoder; }
    // May be called at any time; takes the player lock.
    void SetTextCallback(TextChunkCallback callback, void* user);
    // Skips the drain wait and the pacer. For analysis and benchmarks only.
    void SetNoClock(bool noClock) { m_noClock.store(noClock); }

    // Initialises reader and decoder, opens the output at 16 bits / 8000 Hz, starts the
    // MediaSync thread and the worker. Called once.
    bool Start(VideoWindow* frontWindow, VideoWindow* rearWindow);
    // Stops and joins both threads, shuts the reader down and closes the output.
    void StopThreads();

    // Opens a recording and prepares playback from its start. False when the reader rejects
    // the file. Leaves the player running (run 1) in both cases. After a successful Open the
    // state reads 0 until the recording has been played out (2), so a caller can wait for 2.
    bool Open(const char* path);
    // Waits for a running step to finish, then closes the file and empties the queues.
    void Close();
    void Play() { m_run.store(1); }
    void Pause() { m_run.store(0); }
    // Requests are acted on by a running step; one made while paused is dropped.
    void SeekBackward(int seconds);
    void SeekForward(int seconds);
    // 0 requests nothing.
    bool SeekToMs(int32_t ms);

    int32_t GetPositionMs() const;
    int32_t GetDuration() const { return m_duration.load(); }
    int32_t GetState() const { return m_state.load(); }
    bool IsRunning() const { return m_run.load() == 1; }
    int32_t GetFrameCounter() const { return m_frameCounter.load(); }
    int32_t GetFrontFrameRate() const { return m_frontFrameRate.load(); }
    int GetCameraCount() const { return m_cameraCount.load(); }
    // How often the worker has polled while held (and dropped pending seeks); lets a caller
    // know that a request made while paused is gone.
    int64_t GetHeldPolls() const { return m_heldPolls.load(); }
    // Audio packets read but not yet handed to the output.
    int GetQueuedAudioPackets() const { return m_sync.QueuedPackets(); }

    // Saves the camera's current picture (camera 0 front, 1 rear) under the player lock.
    // False when nothing is playing (state 2) or nothing was decoded yet.
    bool Capture(int camera, const char* path);
    void SetBrightness(int camera, int level);
    void SetMirror(int camera, bool on);
    bool BuildIndex(const char* path, MediaInfo* info);

    // The player's own arithmetic, for callers that describe a file without playing it.
    // Camera count: 2 when the character before the four-character extension is 'D' or 'd'
    // (a rear-camera recording's name), 1 otherwise; with no path, 2 when a rear stream exists.
    static int CameraCountFor(const std::string& path, int32_t rearFrameRate);
    // Duration in ms of frameCount front frames at frameRate (0: the fallback rate).
    static int32_t DurationMsFor(int32_t frameCount, int32_t frameRate);
    // A packet is a key frame unless its first NAL header (after the start code) is a
    // non-IDR reference slice.
    static bool IsKeyFrame(const uint8_t* data, int32_t size);
    // Opens path with parser as Open does and reports its duration and camera count; the
    // parser's file is closed again. False when the reader rejects the file.
    static bool ProbeFile(const char* path, VMediaParser& parser, int32_t* durationMs,
                          int* cameras);

private:
    struct QueuedPacket {
        int camera = 0;
        std::vector<uint8_t> bytes;
    };

    static bool RunOnce(void* self);
    bool Step();
    bool HandleChunk(const char id[4], int32_t length, bool* show);  // false ends the step
    bool ShowOldest();                                               // false: queue empty
    void QueuePacket(int camera, const uint8_t* data, int32_t length);
    void SeekToFrame(int32_t target);
    void ResetForSeeking();
    void ClearFrameQueue();
    int32_t Rate() const;  // front frame rate, never 0
    void JoinThreads();

    CSingleThread m_worker;                            // owner's thread starts and stops it
    VMediaParser* m_parser = nullptr;                  // set before Start, read-only after
    VAudio* m_output = nullptr;                        // set before Start, read-only after
    VMediaDecoder* m_decoder = nullptr;                // set before Start, read-only after
    CMediaSync m_sync;                                 // has its own lock
    std::deque<QueuedPacket> m_frameQueue;             // guarded by m_lock
    std::vector<std::vector<uint8_t>> m_spareBuffers;  // guarded by m_lock; reused packets
    bool m_prebuffering = true;                        // guarded by m_lock
    std::atomic<int32_t> m_run{0};                     // any thread
    std::atomic<int32_t> m_state{kStateStopped};       // written under m_lock, read anywhere
    std::atomic<int32_t> m_frontFrameRate{0};          // written under m_lock, read anywhere
    int32_t m_rearFrameRate = 0;                       // guarded by m_lock
    std::atomic<int32_t> m_duration{0};                // written under m_lock, read anywhere
    std::atomic<int32_t> m_frameCounter{0};            // written under m_lock, read anywhere
    std::atomic<int32_t> m_relativeSeek{0};            // any thread; consumed by the worker
    std::atomic<int32_t> m_absoluteSeek{0};            // any thread; consumed by the worker
    int32_t m_totalFrames = 0;                         // guarded by m_lock
    bool m_waitFrontKey = true;                        // guarded by m_lock
    bool m_waitRearKey = true;                         // guarded by m_lock
    CSync m_lock{"none"};
    int32_t m_queuedFront = 0;                   // guarded by m_lock
    int32_t m_outputBits = kDefaultOutputBits;   // guarded by m_lock
    int32_t m_outputRate = kDefaultOutputRate;   // guarded by m_lock
    int32_t m_prebufferMs = kPrebufferMs;        // read-only
    TextChunkCallback m_textCallback = nullptr;  // guarded by m_lock
    void* m_textCallbackUser = nullptr;          // guarded by m_lock
    std::vector<uint8_t> m_readBuffer;           // guarded by m_lock; one byte beyond the capacity
    VideoWindow* m_frontWindow = nullptr;        // set by Start, read-only after
    VideoWindow* m_rearWindow = nullptr;         // set by Start, read-only after
    std::string m_path;                          // guarded by m_lock
    // Front frame positions from the index, for recordings that declare no frame rate (the
    // reader cannot seek those by second).
    std::vector<int64_t> m_framePositions;   // guarded by m_lock
    bool m_rateDeclared = true;              // guarded by m_lock
    std::atomic<int> m_cameraCount{1};       // written under m_lock, read anywhere
    std::atomic<bool> m_noClock{false};      // any thread
    std::atomic<int64_t> m_heldPolls{0};     // written by the worker, read anywhere
    bool m_started = false;                  // owner's thread only
};
