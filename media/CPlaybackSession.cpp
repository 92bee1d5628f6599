#include "media/CPlaybackSession.h"

bool CPlaybackSession::Start(VideoWindow* frontWindow, VideoWindow* rearWindow, bool withSound) {
    if (m_started) return true;
    m_player.SetParser(&m_reader);
    m_player.SetNextParser(&m_nextReader);
    m_player.SetDecoder(&m_decoder);
    m_player.SetOutput(withSound ? &m_output : nullptr);
    m_started = m_player.Start(frontWindow, rearWindow);
    return m_started;
}

void CPlaybackSession::Stop() {
    if (!m_started) return;
    m_player.StopThreads();
    m_started = false;
}
