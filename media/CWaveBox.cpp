#include "media/CWaveBox.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "support/Ticks.h"
#include "support/Trace.h"

namespace {
// About 20 ms of sound per device period, so the device takes a buffer in small steps.
int DevicePeriodSamples(int rate) {
    int samples = 64;
    while (samples * 50 < rate && samples < 4096) samples *= 2;
    return samples;
}
}  // namespace

CWaveBox::CWaveBox() = default;

CWaveBox::~CWaveBox() {
    Close();
}

bool CWaveBox::Open(uint16_t bitsPerSample, int32_t samplesPerSecond) {
    Close();
    if ((bitsPerSample != 8 && bitsPerSample != 16) || samplesPerSecond <= 0) return false;
    std::lock_guard<std::mutex> writeLock(m_writeLock);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Trace("waveOutOpen failed: %s\n", SDL_GetError());
        return false;
    }
    m_sdlStarted = true;
    SDL_AudioSpec want{};
    want.freq = samplesPerSecond;
    want.format = bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = 1;
    want.samples = static_cast<Uint16>(DevicePeriodSamples(samplesPerSecond));
    want.callback = &CWaveBox::DeviceCallback;
    want.userdata = this;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        ResetBuffers();
    }
    m_bits = bitsPerSample;
    m_rate = samplesPerSecond;
    m_silence = bitsPerSample == 8 ? 0x80 : 0;
    m_nextBuffer = 0;
    SDL_AudioSpec have{};
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) {
        Trace("waveOutOpen failed: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_sdlStarted = false;
        return false;
    }
    m_open.store(true);
    ApplyHold();
    return true;
}

int32_t CWaveBox::Close() {
    // Cleared and signalled first, so a writer waiting for a free buffer gives up at once
    // instead of holding the feeder until SDL has shut the device down.
    m_open.store(false);
    WakeWriter();
    std::lock_guard<std::mutex> writeLock(m_writeLock);
    // A reopened device plays at once, whatever held this one.
    m_held = m_paused = false;
    if (m_device != 0) {
        // Waits for a running callback; after it the callback is never called again.
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
    if (m_sdlStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_sdlStarted = false;
    }
    std::lock_guard<std::mutex> lock(m_stateLock);
    ResetBuffers();
    return 1;
}

void CWaveBox::ResetBuffers() {
    m_queued[0] = m_queued[1] = false;
    m_length[0] = m_length[1] = 0;
    m_freeBuffers = kBufferCount;
    m_playBuffer = 0;
    m_playOffset = 0;
}

void CWaveBox::Flush() {
    {
        std::lock_guard<std::mutex> writeLock(m_writeLock);
        std::lock_guard<std::mutex> lock(m_stateLock);
        ResetBuffers();
        ++m_flushEpoch;
        // The device takes the buffer the writer fills next.
        m_playBuffer = m_nextBuffer;
    }
    m_bufferFreed.notify_all();
}

void CWaveBox::Write(const uint8_t* data, int32_t length) {
    uint64_t epoch;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        epoch = m_flushEpoch;
    }
    while (m_open.load()) {
        {
            // A flush while this packet waited for room means the player has moved on.
            std::lock_guard<std::mutex> lock(m_stateLock);
            if (m_flushEpoch != epoch) return;
        }
        if (WriteAttempt(data, length) != kBusy) return;
        WaitForFreeBuffer();
    }
}

void CWaveBox::WaitForFreeBuffer() {
    std::unique_lock<std::mutex> lock(m_stateLock);
    m_bufferFreed.wait(lock, [this] { return m_freeBuffers >= 1 || !m_open.load(); });
}

void CWaveBox::WakeWriter() {
    {
        // The open flag is not guarded by m_stateLock; taking the lock here orders the
        // flag's change before a waiter's test or after its wait has begun.
        std::lock_guard<std::mutex> lock(m_stateLock);
    }
    m_bufferFreed.notify_all();
}

CWaveBox::AttemptResult CWaveBox::WriteAttempt(const uint8_t* data, int32_t length) {
    {
        std::lock_guard<std::mutex> writeLock(m_writeLock);
        if (m_device == 0) return kFinished;
        int freeBuffers;
        {
            std::lock_guard<std::mutex> lock(m_stateLock);
            freeBuffers = m_freeBuffers;
        }
        // The caller sleeps until the device finishes a buffer.
        if (freeBuffers < 1) return kBusy;
        length = std::min(std::max(length, 0), kBufferBytes);
        if (length == 0 || !data) {
            // An empty write only asks whether the device has finished everything.
            std::lock_guard<std::mutex> lock(m_stateLock);
            if (m_freeBuffers == kBufferCount) return kFinished;
        } else {
            const int index = m_nextBuffer;
            std::memcpy(m_buffers[index], data, static_cast<size_t>(length));
            {
                std::lock_guard<std::mutex> lock(m_stateLock);
                m_length[index] = length;
                m_queued[index] = true;
                --m_freeBuffers;
            }
            m_nextBuffer = (m_nextBuffer + 1) % kBufferCount;
        }
    }
    // Outside the lock, so a Close never waits for the pause.
    SleepMs(kWritePauseMs);
    return kWritten;
}

void SDLCALL CWaveBox::DeviceCallback(void* user, Uint8* stream, int length) {
    static_cast<CWaveBox*>(user)->Consume(stream, length);
}

void CWaveBox::Consume(Uint8* stream, int length) {
    int filled = 0;
    bool freed = false;
    const int64_t nowUs = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        while (filled < length && m_queued[m_playBuffer]) {
            const int index = m_playBuffer;
            const int take = std::min(length - filled, m_length[index] - m_playOffset);
            std::memcpy(stream + filled, m_buffers[index] + m_playOffset,
                        static_cast<size_t>(take));
            if (m_tap) m_tap(m_tapUser, m_buffers[index] + m_playOffset, take);
            filled += take;
            m_playOffset += take;
            if (m_playOffset >= m_length[index]) {
                // The buffer is done: the counterpart of the wave output's done message.
                m_queued[index] = false;
                ++m_freeBuffers;
                m_playBuffer = (index + 1) % kBufferCount;
                m_playOffset = 0;
                freed = true;
            }
        }
        if (filled > 0) {
            m_bytesConsumed.fetch_add(filled);
            // The byte after these starts playing once they have been played.
            const int64_t bytesPerSecond = static_cast<int64_t>(m_rate) * (m_bits / 8);
            m_nextByteUs = nowUs + (bytesPerSecond > 0 ? filled * 1000000 / bytesPerSecond : 0);
        }
    }
    if (freed) m_bufferFreed.notify_one();
    ApplyGain(stream, filled, m_bits, m_volume.load());
    if (filled < length) {
        m_underruns.fetch_add(1);
        std::memset(stream + filled, m_silence, static_cast<size_t>(length - filled));
    }
}

uint64_t CWaveBox::Flushes() const {
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_flushEpoch;
}

void CWaveBox::ApplyGain(uint8_t* samples, int length, int bits, uint32_t volume) {
    const int32_t gain = static_cast<int32_t>(volume & 0xFFFFu);
    if (gain == 0xFFFF || length <= 0) return;
    if (bits == 8) {
        for (int i = 0; i < length; ++i) {
            const int32_t centred = static_cast<int32_t>(samples[i]) - 128;
            samples[i] = static_cast<uint8_t>(128 + centred * gain / 0xFFFF);
        }
        return;
    }
    for (int i = 0; i + 1 < length; i += 2) {
        int16_t sample;
        std::memcpy(&sample, samples + i, 2);
        sample = static_cast<int16_t>(static_cast<int32_t>(sample) * gain / 0xFFFF);
        std::memcpy(samples + i, &sample, 2);
    }
}

void CWaveBox::SetDeviceHeld(bool held) {
    std::lock_guard<std::mutex> writeLock(m_writeLock);
    m_held = held;
    ApplyHold();
}

void CWaveBox::SetPaused(bool paused) {
    std::lock_guard<std::mutex> writeLock(m_writeLock);
    m_paused = paused;
    ApplyHold();
}

void CWaveBox::ApplyHold() {
    if (m_device != 0) SDL_PauseAudioDevice(m_device, m_held || m_paused ? 1 : 0);
}

bool CWaveBox::PlayedPosition(int64_t* bytes, int64_t* atUs) const {
    if (!m_open.load()) return false;
    std::lock_guard<std::mutex> lock(m_stateLock);
    if (bytes) *bytes = m_bytesConsumed.load();
    if (atUs) *atUs = m_nextByteUs;
    return true;
}

bool CWaveBox::Idle() const {
    if (!m_open.load()) return true;
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_freeBuffers == kBufferCount;
}

void CWaveBox::SetVolume(uint32_t volume) {
    m_volume.store(volume);
}

int CWaveBox::FreeBuffers() const {
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_freeBuffers;
}

void CWaveBox::SetConsumeTap(ConsumeTap tap, void* user) {
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_tap = tap;
    m_tapUser = user;
}
