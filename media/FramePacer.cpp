#include "media/FramePacer.h"

#include <algorithm>
#include <numeric>

#include "support/Ticks.h"
#include "support/Trace.h"

FramePacer& FramePacer::Instance() {
    static FramePacer pacer;
    return pacer;
}

int FramePacer::Update(int channel, int difMs, int frameRate) {
    if (frameRate <= 0) frameRate = kFallbackFrameRate;
    difMs = std::clamp(difMs, 0, kMaxDifMs);
    m_history.push_back(difMs);
    if (static_cast<int>(m_history.size()) > kHistoryLength) m_history.pop_front();
    const int mean =
        std::accumulate(m_history.begin(), m_history.end(), 0) / static_cast<int>(m_history.size());
    const int wait = 1000 / frameRate - mean - kMarginMs;
    TraceFrame("[%02d] dif %2d, mean %2d : %2d msec\n", channel, difMs, mean, wait);
    return wait;
}

void FramePacer::Pace(int channel, int frameRate) {
    const uint32_t now = TickCountMs();
    // Ticks are unsigned and wrap; a difference read as signed is negative only when the
    // clock went backwards, which counts as 0.
    const int dif = m_lastTick == 0 ? kMaxDifMs
                                    : static_cast<int>(std::min<int64_t>(
                                          static_cast<int32_t>(now - m_lastTick), kMaxDifMs));
    const int wait = Update(channel, dif, frameRate);
    if (ShouldSleep(wait)) SleepMs(wait);
    m_lastTick = TickCountMs();
}
