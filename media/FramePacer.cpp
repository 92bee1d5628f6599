#include "media/FramePacer.h"

#include <algorithm>
#include <numeric>

#include "support/Trace.h"

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

int64_t FramePacer::MediaAt(int64_t nowUs) const {
    return m_baseMediaUs + (nowUs - m_baseWallUs) * m_ratePercent / kNormalRatePercent;
}

void FramePacer::SetRate(int percent, int64_t nowUs) {
    if (percent <= 0) percent = kNormalRatePercent;
    if (m_running) {
        m_baseMediaUs = MediaAt(nowUs);
        m_baseWallUs = nowUs;
    }
    m_ratePercent = percent;
}

int64_t FramePacer::DueAt(int64_t mediaUs, int64_t nowUs, bool rebaseWhenLate) {
    if (!m_running) {
        m_running = true;
        m_baseMediaUs = mediaUs;
        m_baseWallUs = nowUs;
        return nowUs;
    }
    const int64_t due =
        m_baseWallUs + (mediaUs - m_baseMediaUs) * kNormalRatePercent / m_ratePercent;
    if (rebaseWhenLate && nowUs - due > kLateRebaseUs) {
        m_baseMediaUs = mediaUs;
        m_baseWallUs = nowUs;
        return nowUs;
    }
    return due;
}

void FramePacer::SyncTo(int64_t mediaUs, int64_t atUs) {
    if (!m_running) return;
    const int64_t drift = mediaUs - MediaAt(atUs);
    if (drift > kSyncToleranceUs || drift < -kSyncToleranceUs) {
        m_baseMediaUs = mediaUs;
        m_baseWallUs = atUs;
    }
}
