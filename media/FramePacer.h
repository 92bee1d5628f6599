#pragma once
// The player's clock: says when each front frame is due, at the playback rate, and follows
// the sound output when there is one.
//
// The clock maps media time (microseconds into the recording) onto the steady clock through
// one reference point. The first frame after a reset starts it; the sound output moves the
// reference when the two disagree by more than kSyncToleranceUs, so the picture follows the
// sound the user hears instead of draining and catching up. Without sound a frame that comes
// more than kLateRebaseUs late restarts the clock at itself, so a stall is not followed by a
// burst of frames.
//
// Update keeps the per-frame statistics line: the time the rest of the loop took since the
// previous frame, its average over the last 24 frames, and the wait that leaves.
//
// Threads: the player's worker only; each player has its own.

#include <cstdint>
#include <deque>

class FramePacer {
public:
    static constexpr int kHistoryLength = 24;
    static constexpr int kMaxDifMs = 60;
    static constexpr int kMarginMs = 2;
    static constexpr int kMaxSleepMs = 39;
    static constexpr int kFallbackFrameRate = 30;
    static constexpr int kNormalRatePercent = 100;
    static constexpr int64_t kSyncToleranceUs = 8000;
    static constexpr int64_t kLateRebaseUs = 250000;

    // The statistics arithmetic of one frame: records dif, writes the trace line and returns
    // the wait in milliseconds the loop time leaves of the frame period.
    int Update(int channel, int difMs, int frameRate);
    static bool ShouldSleep(int waitMs) { return waitMs >= 1 && waitMs <= kMaxSleepMs; }

    // Forgets the reference; the next frame starts the clock.
    void Reset() { m_running = false; }
    bool Running() const { return m_running; }
    // Keeps the media time continuous across the change.
    void SetRate(int percent, int64_t nowUs);
    int RatePercent() const { return m_ratePercent; }
    // Steady-clock time at which the frame at mediaUs is due. A stopped clock starts here, so
    // the frame is due now. rebaseWhenLate: restart the clock at a frame that is late.
    int64_t DueAt(int64_t mediaUs, int64_t nowUs, bool rebaseWhenLate);
    // The sound output says that media time mediaUs plays at steady-clock time atUs.
    void SyncTo(int64_t mediaUs, int64_t atUs);
    // Media time the clock reads at nowUs (meaningful only while running).
    int64_t MediaAt(int64_t nowUs) const;

private:
    std::deque<int> m_history;  // recent loop times
    bool m_running = false;
    int64_t m_baseMediaUs = 0;
    int64_t m_baseWallUs = 0;
    int m_ratePercent = kNormalRatePercent;
};
