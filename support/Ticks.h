#pragma once
// Millisecond clock and sleep used by the engine's pacing code.

#include <chrono>
#include <cstdint>
#include <thread>

// Milliseconds on a steady clock; only differences mean anything.
inline uint32_t TickCountMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

inline void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
