#pragma once
// The sound output the audio feeder writes PCM packets to.
//
// Lifecycle: Open with the recording's sample format, Write any number of packets, Close;
// an output may be opened again after Close.
//
// Threads: Open, Close and SetVolume come from the UI thread (through the player); Write
// comes from the audio feeder only. Write returns once the packet was accepted, or at once
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
    // player jumps (open, seek), so the old position's sound does not play on.
    virtual void Flush() {}
};
