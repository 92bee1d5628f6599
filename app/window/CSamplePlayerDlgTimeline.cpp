// The timeline panel (TimelinePanel) and what it asks of the window.

#include "app/dialogs/ClipExportCommand.h"
#include "app/panels/TimelinePanel.h"
#include "app/redaction/RedactionTool.h"
#include "app/window/CSamplePlayerDlg.h"

void CSamplePlayerDlg::CreateTimeline() {
    TimelinePanel::Host host;
    host.tripPaths = [this] { return &TripPaths(); };
    host.tripIndex = [this] { return TripIndex(); };
    host.currentPath = [this] { return m_view->CurrentPath(); };
    host.isPlayerActive = [this] { return IsPlayerActive(); };
    host.openRecording = [this](const std::string& path, int index) {
        return OpenRecording(path, index);
    };
    host.seekToRecordingMs = [this](int64_t ms) { SeekToRecordingMs(ms); };
    host.seekOnTimeline = [this](int64_t ms) {
        SeekOnTimeline(ms);
        return m_playback.State() != PlaybackState::Failed;
    };
    host.pause = [this] { OnBnClickedButtonPause(); };
    host.play = [this] { OnBnClickedButtonPlay(); };
    host.quitConfirmed = [this] { return IsClosing(); };
    host.markTripRecordingInList = [this] { m_navigator->MarkTripRecordingInList(); };
    host.exportDialogs = m_dialogs->ForExport([this](const std::vector<std::string>& paths) {
        return m_pRedaction ? m_pRedaction->MasksForClip(paths) : std::string();
    });
    m_pTimeline = std::make_unique<TimelinePanel>(m_playback, *m_settings, Telemetry(), *m_dialogs,
                                                  *Controls().position, *Controls().graph, *this,
                                                  std::move(host));
}
