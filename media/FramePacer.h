#pragma once
// Paces front frames to their period from the wall clock: each call measures how long the
// rest of the frame loop took since the previous call, averages that over the last 24
// frames, and sleeps what the period leaves over, less 2 ms. Writes one statistics trace
// line per call.
//
// Threads: the player's worker only (one instance for the program, from Instance()).

#include <cstdint>
#include <deque>

class FramePacer {
public:
    static constexpr int kHistoryLength = 24;
    static constexpr int kMaxDifMs = 60;
    static constexpr int kMarginMs = 2;
    static constexpr int kMaxSleepMs = 39;
    static constexpr int kFallbackFrameRate = 30;

    static FramePacer& Instance();

    // Measures, traces and sleeps. A rate of 0 or less paces as 30 frames a second.
    void Pace(int channel, int frameRate);

    // The arithmetic of one call, without the clock: records dif, writes the trace line and
    // returns the wait in milliseconds (slept only when 1 ... 39).
    int Update(int channel, int difMs, int frameRate);
    static bool ShouldSleep(int waitMs) { return waitMs >= 1 && waitMs <= kMaxSleepMs; }

private:
    uint32_t m_lastTick = 0;    // worker only; 0 before the first call
    std::deque<int> m_history;  // worker only
};
