#include "tests/app/FakePlayer.h"

#include <algorithm>

void FakePlayer::Notify(PlayerEvent::Kind kind, const char* reason) {
    PlayerEvent event;
    event.kind = kind;
    event.openSerial = m_serial;
    event.handOvers = m_handOvers;
    event.positionMs = m_positionMs;
    event.durationMs = DurationMs();
    event.reason = reason;
    if (m_callback) m_callback(m_user, event);
}

uint32_t FakePlayer::PostOpen(const std::string& path, int32_t startMs, bool play) {
    ++m_serial;
    m_opens.push_back(path);
    m_next.clear();
    m_ended = false;
    m_sinceFrameMs = 0;
    const auto found = m_recordings.find(path);
    if (found == m_recordings.end()) {
        m_open = nullptr;
        m_playing = false;
        Notify(PlayerEvent::Kind::Failed, "not a recording");
        return m_serial;
    }
    m_open = &found->second;
    m_positionMs = std::clamp(startMs / kFrameMs * kFrameMs, 0, LastPictureMs());
    m_playing = play;
    Notify(PlayerEvent::Kind::Opened);
    return m_serial;
}

uint32_t FakePlayer::PostClose() {
    m_open = nullptr;
    m_next.clear();
    m_playing = m_ended = false;
    m_positionMs = 0;
    return ++m_serial;
}

void FakePlayer::QueueNext(const std::string& path) {
    m_queued.push_back(path);
    if (m_open && !m_ended) m_next = path;
}

void FakePlayer::Play() {
    if (!m_open) return;
    // A recording played out plays again from its start.
    if (m_ended) m_positionMs = 0, m_ended = false;
    m_playing = true;
}

void FakePlayer::SeekToMs(int32_t ms) {
    if (!m_open) return;
    m_positionMs = std::clamp(ms / kFrameMs * kFrameMs, 0, LastPictureMs());
    m_sinceFrameMs = 0;
    m_ended = false;
}

void FakePlayer::StepFrame(int direction) {
    if (!m_open) return;
    m_playing = false;
    m_positionMs = std::clamp(m_positionMs + direction * kFrameMs, 0, LastPictureMs());
}

int32_t FakePlayer::ProbeLengthMs(const std::string& path) const {
    const auto found = m_recordings.find(path);
    return found == m_recordings.end() ? -1 : found->second.lengthMs;
}

int32_t FakePlayer::LastPictureMs() const {
    if (!m_open) return 0;
    const int32_t end = m_open->picturesEndMs >= 0 ? m_open->picturesEndMs : m_open->lengthMs;
    return std::max(end - kFrameMs, 0);
}

bool FakePlayer::NextFrame() {
    if (m_positionMs + kFrameMs <= LastPictureMs()) {
        m_positionMs += kFrameMs;
        return true;
    }
    const auto next = m_recordings.find(m_next);
    if (m_next.empty() || next == m_recordings.end() || !next->second.joinable) return false;
    m_open = &next->second;
    m_next.clear();
    m_positionMs = 0;
    ++m_handOvers;
    Notify(PlayerEvent::Kind::HandOver);
    return true;
}

void FakePlayer::End() {
    m_playing = false;
    m_ended = true;
    m_next.clear();
    // Played out, the position reads the whole length; a cut file stays on its last picture.
    if (m_open->picturesEndMs < 0) m_positionMs = m_open->lengthMs;
    Notify(PlayerEvent::Kind::Ended);
}

void FakePlayer::Advance(int32_t ms) {
    if (!m_playing || !m_open) return;
    for (m_sinceFrameMs += ms; m_playing && m_sinceFrameMs >= kFrameMs;
         m_sinceFrameMs -= kFrameMs) {
        if (!NextFrame()) {
            End();
            return;
        }
        ++m_playedFrames;
        Notify(PlayerEvent::Kind::FrameShown);
    }
}
