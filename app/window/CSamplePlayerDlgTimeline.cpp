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
    host.configPath = [] { return ConfigPath(); };
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
    host.clockFixes = [this](const std::vector<TimedFix>& fixes) {
        m_telemetry->Clock().SetFixes(fixes);
    };
    host.tripClockFixes = [this](const std::vector<TimedFix>& fixes,
                                 const std::vector<int64_t>& startsMs, size_t index) {
        m_telemetry->Clock().SetTripFixes(fixes, startsMs, index);
    };
    host.showClock = [this] {
        m_telemetry->ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
    };
    host.mapView = [this] { return MapViewWidget(); };
    host.exportDialogs = m_dialogs->ForExport([this](const std::vector<std::string>& paths) {
        return m_pRedaction ? m_pRedaction->MasksForClip(paths) : std::string();
    });
    host.showNote = [this](const QString& text) { m_dialogs->ShowNote(text); };
    host.speedUnit = [this] { return m_settings->Unit(); };
    host.plotGraph = [this](const std::vector<TimedSample>& samples, int64_t durationMs,
                            std::function<QString(int64_t)> timeOfDay) {
        const int64_t msPerValue =
            m_telemetry->PlotWholeTimeline(samples, durationMs, std::move(timeOfDay));
        // The playhead at once, paused or not.
        if (msPerValue > 0) m_view->ShowMoment();
        return msPerValue;
    };
    m_pTimeline = std::make_unique<TimelinePanel>(m_playback, *m_ui->position, *m_ui->graph, *this,
                                                  std::move(host));
}
