// The window's side of the timeline: the panel that keeps it (TimelinePanel) and what it asks
// of the window, the trip on screen, seeking and showing where a seek landed.
#include <algorithm>

#include "app/dialogs/ClipExportCommand.h"
#include "app/panels/TimelinePanel.h"
#include "app/redaction/RedactionTool.h"
#include "app/window/CSamplePlayerDlg.h"

void CSamplePlayerDlg::CreateTimeline() {
    TimelinePanel::Host host;
    host.tripPaths = [this] { return &TripPaths(); };
    host.tripIndex = [this] { return TripIndex(); };
    host.currentPath = [this] { return m_strCurrentPath; };
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
    host.quitConfirmed = [this] { return m_bQuitConfirmed; };
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
    host.speedUnit = [this] { return m_telemetry->GetSpeedUnit(); };
    host.plotGraph = [this](const std::vector<TimedSample>& samples, int64_t durationMs,
                            std::function<QString(int64_t)> timeOfDay) {
        const int64_t msPerValue =
            m_telemetry->PlotWholeTimeline(samples, durationMs, std::move(timeOfDay));
        // The playhead at once, paused or not.
        if (msPerValue > 0) OnPlaybackPosition(m_playback.Position());
        return msPerValue;
    };
    m_pTimeline = std::make_unique<TimelinePanel>(m_playback, *m_ui->position, *m_ui->graph, *this,
                                                  std::move(host));
}

const std::vector<std::string>& CSamplePlayerDlg::TripPaths() const {
    // Lists that share their data compare at once; a new trip is converted once.
    if (m_tripView.trip != m_playback.TripPaths() ||
        m_tripView.paths.size() != size_t(m_playback.TripPaths().size())) {
        m_tripView.paths.clear();
        for (const QString& p : m_playback.TripPaths()) m_tripView.paths.push_back(p.toStdString());
        m_tripView.indexKnown = false;
    }
    m_tripView.trip = m_playback.TripPaths();
    return m_tripView.paths;
}

size_t CSamplePlayerDlg::TripIndex() const {
    // The recording the window shows: during a hand-over the controller is a step ahead.
    const std::vector<std::string>& trip = TripPaths();
    if (!m_tripView.indexKnown || m_tripView.shown != m_strCurrentPath) {
        const auto at = std::find(trip.begin(), trip.end(), m_strCurrentPath);
        m_tripView.index = at == trip.end() ? -1 : at - trip.begin();
        m_tripView.shown = m_strCurrentPath;
        m_tripView.indexKnown = true;
    }
    if (m_tripView.index >= 0) return static_cast<size_t>(m_tripView.index);
    return static_cast<size_t>(std::max(m_playback.TripIndex(), 0));
}

// ---- seeking ----

void CSamplePlayerDlg::SeekToRecordingMs(int64_t ms) {
    SeekOnTimeline(m_playback.RecordingStartMs() + std::max<int64_t>(ms, 0));
}

void CSamplePlayerDlg::SeekOnTimeline(int64_t timelineMs) {
    SeekOnTimeline([this, timelineMs] { return m_playback.SeekTo(timelineMs); });
}

void CSamplePlayerDlg::SeekOnTimeline(const std::function<bool()>& seek) {
    if (!CanSeek()) return;
    m_bOpening = true;
    const bool landed = seek();
    m_bOpening = false;
    if (!landed && m_playback.State() == PlaybackState::Failed)
        LeaveUnplayable(m_playback.Path().toStdString());
    else if (m_playback.State() != PlaybackState::Loading || !m_strCurrentPath.empty())
        OnPlaybackPosition(m_playback.Position());
    // Another recording opening shows itself when it is open (ShowOpened).
}
