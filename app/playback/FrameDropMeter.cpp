#include "app/playback/FrameDropMeter.h"

std::optional<bool> FrameDropMeter::Sample(int64_t nowMs, int64_t played, int64_t late) {
    // Counters that went back belong to another player: start over from here.
    if (!m_started || played < m_played || late < m_late || nowMs < m_startMs) {
        m_started = true;
        m_startMs = nowMs;
        m_played = played;
        m_late = late;
        return std::nullopt;
    }
    if (nowMs - m_startMs < kSpanMs) return std::nullopt;
    const int64_t playedInSpan = played - m_played, lateInSpan = late - m_late;
    m_startMs = nowMs;
    m_played = played;
    m_late = late;
    return playedInSpan > 0 && lateInSpan * 100 > playedInSpan;
}
