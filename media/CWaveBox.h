#pragma once
// Sound output on SDL2's audio subsystem, in the shape of a two-buffer wave output.
//
// Two buffers of 3840 bytes alternate: Write fills the next free one and queues it; when both
// are queued, Write sleeps until the device has finished one. That back-pressure is what
// paces the audio feeder, and through the drain wait the video.
//
// Threads: Open, Close, Flush and SetPaused come from the player's worker; SetVolume from the
// UI thread; Write from the audio feeder only; the device callback runs on SDL's audio thread.
// m_stateLock guards the buffer bookkeeping shared with the callback; m_writeLock keeps one write
// attempt from overlapping an Open or Close. Lock order: m_writeLock, then m_stateLock. The
// callback takes only m_stateLock, and Close never holds it while SDL waits for the callback to
// finish. A writer waiting for room holds neither lock while it sleeps on m_bufferFreed, which the
// callback signals when it finishes a buffer, and Flush and Close when they free them all.

#include <SDL2/SDL_audio.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "media/VAudio.h"

class CWaveBox : public VAudio {
public:
    static constexpr int kBufferCount = 2;
    static constexpr int kBufferBytes = 3840;
    // Pause after each accepted write, so at most one packet is queued per 10 ms.
    static constexpr int kWritePauseMs = 10;
    static constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

    CWaveBox();
    ~CWaveBox() override;
    CWaveBox(const CWaveBox&) = delete;
    CWaveBox& operator=(const CWaveBox&) = delete;

    bool Open(uint16_t bitsPerSample, int32_t samplesPerSecond) override;
    // Drops whatever is still queued; the output can be opened again afterwards.
    int32_t Close() override;
    void Write(const uint8_t* data, int32_t length) override;
    void Flush() override;
    void SetPaused(bool paused) override;
    bool PlayedPosition(int64_t* bytes, int64_t* atUs) const override;
    bool Idle() const override;

    // The wave output's volume word: low 16 bits left, high 16 bits right, 0xFFFF is full
    // volume. The output is mono, so the left value is the gain, as on a mono device.
    void SetVolume(uint32_t volume);
    uint32_t GetVolume() const { return m_volume.load(); }

    // Holds or resumes the device's consumption (a stalled sound card, for tests).
    void SetDeviceHeld(bool held);

    // The gain of a volume word applied to mono PCM of the given bits, in place.
    static void ApplyGain(uint8_t* samples, int length, int bits, uint32_t volume);

    bool IsOpen() const { return m_open.load(); }
    int FreeBuffers() const;
    // Bytes the device has taken out of the buffers since construction.
    int64_t BytesConsumed() const { return m_bytesConsumed.load(); }
    // Device callbacks that found fewer bytes queued than they asked for (the sound broke
    // off, or nothing was playing), and flushes made; both since construction.
    int64_t Underruns() const { return m_underruns.load(); }
    uint64_t Flushes() const;

    // Observer of what the device consumes, called on the audio thread with the bytes just
    // taken (before the gain). For measuring sound/picture offset; set while closed.
    using ConsumeTap = void (*)(void* user, const uint8_t* data, int length);
    void SetConsumeTap(ConsumeTap tap, void* user);

private:
    enum AttemptResult { kWritten = 1, kBusy = 2, kFinished = -1 };
    AttemptResult WriteAttempt(const uint8_t* data, int32_t length);
    void WaitForFreeBuffer();
    void WakeWriter();
    static void SDLCALL DeviceCallback(void* user, Uint8* stream, int length);
    void Consume(Uint8* stream, int length);
    void ResetBuffers();  // caller holds m_stateLock
    void ApplyHold();     // caller holds m_writeLock

    std::mutex m_writeLock;
    mutable std::mutex m_stateLock;
    std::condition_variable m_bufferFreed;  // with m_stateLock
    SDL_AudioDeviceID m_device = 0;         // guarded by m_writeLock
    bool m_sdlStarted = false;              // guarded by m_writeLock
    int m_bits = 16;                        // guarded by m_writeLock; read by the callback
                                            // only while the device is open
    uint8_t m_silence = 0;                  // as m_bits
    int m_rate = 8000;                      // as m_bits
    uint8_t m_buffers[kBufferCount][kBufferBytes] = {};  // a buffer is the writer's while not
                                                         // queued, the callback's while queued
    int m_length[kBufferCount] = {0, 0};                 // guarded by m_stateLock
    bool m_queued[kBufferCount] = {false, false};        // guarded by m_stateLock
    int m_freeBuffers = kBufferCount;                    // guarded by m_stateLock
    int m_nextBuffer = 0;                                // writer only (under m_writeLock)
    int m_playBuffer = 0;                                // guarded by m_stateLock
    int m_playOffset = 0;                                // guarded by m_stateLock
    std::atomic<bool> m_open{false};                     // written by Open/Close, read by Write
    std::atomic<uint32_t> m_volume{kFullVolume};
    std::atomic<int64_t> m_bytesConsumed{0};  // written under m_stateLock
    std::atomic<int64_t> m_underruns{0};      // written by the callback
    int64_t m_nextByteUs = 0;                 // guarded by m_stateLock
    uint64_t m_flushEpoch = 0;                // guarded by m_stateLock; counts flushes
    bool m_held = false;                      // guarded by m_writeLock
    bool m_paused = false;                    // guarded by m_writeLock
    ConsumeTap m_tap = nullptr;               // set while closed, read by the callback
    void* m_tapUser = nullptr;
};
