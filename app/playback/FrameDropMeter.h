#pragma once
// Tells whether playback is dropping pictures to keep up with the sound: the player counts
// the front pictures it played and those it let go unshown for lateness; over each 5 s of
// playing, more than 1 % let go means the machine cannot keep up with this recording.
//
// Not thread-safe: one owner feeds it.

#include <cstdint>
#include <optional>

class FrameDropMeter {
public:
    static constexpr int64_t kSpanMs = 5000;

    // The player's counters (since it was made) at nowMs, on a monotonic clock. Once a span
    // has passed since the first sample, tells whether it dropped more than 1 % of its
    // pictures and starts the next span; nothing before.
    std::optional<bool> Sample(int64_t nowMs, int64_t played, int64_t late);
    // Forgets the span: a pause, a seek or another recording starts a new one.
    void Reset() { m_started = false; }

private:
    bool m_started = false;
    int64_t m_startMs = 0, m_played = 0, m_late = 0;
};
