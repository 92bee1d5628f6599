#pragma once
// The sound output the audio feeder writes PCM packets to.
//
// Lifecycle: Open with the recording's sample format, Write any number of packets, Close;
// an output may be opened again after Close.
//
// Threads: Open, Close, Flush and SetPaused come from the player's worker; SetVolume from
// the UI thread (through the playback session); Write from the audio feeder only; the
// queries from any thread. Write returns once the packet was accepted, or at once
// when the output is not open (the bytes are then dropped), and a Close frees a writer that
// is waiting for room within one poll.

#include <cstdint>

class VAudio {
public:
    virtual ~VAudio() = default;

    // Mono PCM of the given bits per sample (8 or 16) and sample rate. False leaves the
    // output closed.
    virtual bool Open(uint16_t bitsPerSample, int32_t samplesPerSecond) = 0;
    // 1 when the device closed, -1 when it refused.
    virtual int32_t Close() = 0;
    virtual void Write(const uint8_t* data, int32_t length) = 0;
    // Drops what was written but not yet played; the output stays open. Called when the
    // player jumps (open, seek), so the old position's sound does not play on. A Write
    // waiting for room when the flush comes drops its packet.
    virtual void Flush() {}
    // Holds (true) or resumes the device's playing; what is queued stays queued. The player
    // holds it while paused, so the sound stops with the picture and the clock stands.
    virtual void SetPaused(bool paused) { (void)paused; }
    // Bytes the device has taken since the output was made, and the steady-clock time in
    // microseconds at which the next byte starts playing. False when the output cannot tell;
    // the player then times the picture on the wall clock alone.
    virtual bool PlayedPosition(int64_t* bytes, int64_t* atUs) const {
        (void)bytes;
        (void)atUs;
        return false;
    }
    // True when nothing written is still waiting to be played (or the output is closed).
    virtual bool Idle() const { return true; }
};
