// Following the playback controller: position slider, time labels, speed, the map's marker
// and the G-sensor graph, the recording on screen, its end and failures; and the map page's
// binding.
#include <QGuiApplication>
#include <QLabel>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/CSamplePlayerDlg.h"
#include "app/RecordingListView.h"
#include "app/Resource.h"
#include "controls/CBitmapSlider.h"
#include "library/CardRoot.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/TelemetryLogic.h"

namespace {

constexpr int kGraphOffsetX = 150;  // rest lines at three quarters, half and a quarter
constexpr int kGraphOffsetY = 100;
constexpr int kGraphOffsetZ = 50;
constexpr int64_t kMsPerSec = 1000;

}  // namespace

std::string CSamplePlayerDlg::FormatHms(int64_t seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>((seconds % 3600) / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

void CSamplePlayerDlg::UpdateTimeLabels(int64_t current, int64_t total) {
    SetLabelText(m_pCurTime, FormatHms(current));  // only repaints on a change
    SetLabelText(m_pTotalTime, FormatHms(total));
}

void CSamplePlayerDlg::OnTimer(int id) {
    if (id != kMapTimer) return;
    // The page is asked until it answers that it defines its functions; then the tick stops.
    if (MapViewWidget() && MapViewWidget()->BindScript() == 1) {
        m_bMapReady = true;
        KillTimer(kMapTimer);
    }
}

void CSamplePlayerDlg::WatchMapBinding() {
    if (!MapViewWidget()) return;
    // The binding is asked for only between a page's load and its answer, not for ever.
    connect(MapViewWidget(), &CMapView::pageLoaded, this, [this](bool ok) {
        m_bMapReady = false;
        if (ok && m_bMapNavigated) SetTimer(kMapTimer, kMapTimerPeriodMs);
    });
    connect(MapViewWidget(), &CMapView::scriptBound, this, [this] {
        m_bMapReady = true;
        KillTimer(kMapTimer);
        // Paused, no frame comes to put the marker where the picture is: put it there now.
        if (!m_strCurrentPath.empty()) {
            m_nShownSecond = -1;
            OnPlaybackPosition(m_playback.Position());
        }
    });
}

void CSamplePlayerDlg::ConnectPlayback() {
    PlaybackController* playback = &m_playback;
    connect(playback, &PlaybackController::positionChanged, this,
            [this](qint64 ms) { OnPlaybackPosition(ms); });
    connect(playback, &PlaybackController::stateChanged, this,
            [this](PlaybackState state) { OnPlaybackState(state); });
    connect(playback, &PlaybackController::recordingChanged, this,
            [this](const QString& path) { OnPlaybackRecording(path); });
    connect(playback, &PlaybackController::durationChanged, this,
            [this](qint64 ms) { OnPlaybackLength(ms); });
    connect(playback, &PlaybackController::rateChanged, this, [this] { ShowRate(); });
    connect(playback, &PlaybackController::ended, this, [this] { OnPlaybackEnded(); });
    connect(playback, &PlaybackController::failed, this,
            [this](const QString& path) { OnPlaybackFailed(path); });
}

QString CSamplePlayerDlg::ClockText() const {
    return m_pClock ? m_pClock->text() : QString();
}

void CSamplePlayerDlg::ShowClock(int64_t positionMs) {
    const std::string text = m_strCurrentPath.empty() ? std::string() : m_clock.TextAt(positionMs);
    SetLabelText(m_pClock, text);
    QString tip;
    if (!text.empty()) {
        const std::optional<int64_t> offset = m_clock.OffsetSec();
        tip = QString::fromStdString(
            offset ? FormatResourceString(PickStringId(IDS_CLOCK_UTC_KO, IDS_CLOCK_UTC_EN),
                                          PictureClock::FormatOffset(*offset).c_str())
                   : FormatResourceString(PickStringId(IDS_CLOCK_NO_FIX_KO, IDS_CLOCK_NO_FIX_EN)));
    }
    if (m_pClock->toolTip() != tip) m_pClock->setToolTip(tip);
    const QString product = QString::fromStdString(FormatResourceString(IDS_TITLE));
    QString title = product;
    if (!m_strCurrentPath.empty()) {
        title = QString::fromStdString(std::filesystem::path(m_strCurrentPath).filename().string());
        if (!text.empty()) title += QStringLiteral(" \u2014 ") + QString::fromStdString(text);
        title += QStringLiteral(" - ") + product;
    }
    if (windowTitle() != title) setWindowTitle(title);
}

void CSamplePlayerDlg::ClearGraph() {
    for (GraphSeries* series : {m_pSeriesX, m_pSeriesY, m_pSeriesZ}) m_pGraph->ClearSeries(series);
    m_pGraph->Redraw();
}

void CSamplePlayerDlg::ShowSpeedAndPosition(int64_t positionSec, int64_t sliderSec) {
    CGPSData fix;
    if (!ChooseDisplayFix(m_textData, positionSec, sliderSec, fix)) return;
    SetLabelText(m_pSpeed, FormatSpeedLabel(fix, m_eSpeedUnit));
    // Sent on every tick, also while paused or while the map is not shown; before the page
    // is bound the view keeps the positions for the track it draws once shown.
    if (MapViewWidget()) {
        MapViewWidget()->ShowPosition(static_cast<float>(fix.GetLatitude()),
                                      static_cast<float>(fix.GetLongitude()));
    }
}

void CSamplePlayerDlg::ReplotGraph(int64_t positionSec) {
    if (positionSec <= m_nLastPlotSec) return;
    for (GraphSeries* series : {m_pSeriesX, m_pSeriesY, m_pSeriesZ}) m_pGraph->ClearSeries(series);
    for (const CGSensorData& sample : m_textData.SnapshotGSensor()) {
        m_pGraph->AddValue(m_pSeriesX, sample.x + kGraphOffsetX);
        m_pGraph->AddValue(m_pSeriesY, sample.y + kGraphOffsetY);
        m_pGraph->AddValue(m_pSeriesZ, sample.z + kGraphOffsetZ);
    }
    m_nLastPlotSec = static_cast<int>(positionSec);
}

void CSamplePlayerDlg::OnPlaybackPosition(int64_t timelineMs) {
    if (m_bOpening || m_strCurrentPath.empty()) return;
    const int64_t positionSec = std::max<int64_t>(timelineMs / kMsPerSec, 0);
    // A recording still being written can play past the length its index gave at open.
    const int64_t totalSec = std::max<int64_t>(m_playback.Duration() / kMsPerSec, positionSec);
    const int64_t startSec = m_playback.RecordingStartMs() / kMsPerSec;
    const int64_t sliderSec = m_sliderPos->GetPos();
    // Holding the left button (on the slider) leaves the slider where the hand put it.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        m_sliderPos->SetPos(static_cast<int>(positionSec));
    UpdateTimeLabels(positionSec, totalSec);
    // The telemetry and the graph belong to the recording on screen.
    const int64_t recordingSec = std::max<int64_t>(positionSec - startSec, 0);
    ShowSpeedAndPosition(recordingSec, std::max<int64_t>(sliderSec - startSec, 0));
    ReplotGraph(recordingSec);
    ShowClock(timelineMs - m_playback.RecordingStartMs());
    if (positionSec != m_nShownSecond) {
        m_nShownSecond = positionSec;
        CheckRecordingStillThere();
    }
}

void CSamplePlayerDlg::OnPlaybackState(PlaybackState state) {
    if (state == PlaybackState::Loading) return;
    ShowPlayButton(state != PlaybackState::Playing);
}

void CSamplePlayerDlg::OnPlaybackLength(int64_t ms) {
    if (m_bOpening || m_strCurrentPath.empty()) return;
    const int64_t total = ms / kMsPerSec;
    m_sliderPos->SetRange(0, static_cast<int>(total), false);
    SetLabelText(m_pTotalTime, FormatHms(std::max<int64_t>(total, m_sliderPos->GetPos())));
    m_pTimeline->ShowTimelineMarks();
}

void CSamplePlayerDlg::OnPlaybackRecording(const QString& path) {
    const std::string recording = path.toStdString();
    if (m_bOpening || recording.empty() || recording == m_strCurrentPath) return;
    emit RecordingEnded(QString::fromStdString(m_strCurrentPath));
    // The telemetry of the new recording is already being collected; only what was drawn
    // from the old one goes.
    if (MapViewWidget()) MapViewWidget()->ClearTrack();
    m_nLastPlotSec = 0;
    ClearGraph();
    ShowRecording(recording, true);
    OnPlaybackPosition(m_playback.Position());
}

// The controller ends only once the last frame it could read was shown: the recording has
// been seen to its end (or to where a damaged or cut file ends), so the window moves on to
// the next newer row. The newest one holds its last picture and the whole length on screen
// (often the moment just after an incident) until PLAY starts it again or a seek shows
// another of its pictures.
void CSamplePlayerDlg::OnPlaybackEnded() {
    if (m_strCurrentPath.empty() || !CheckRecordingStillThere()) return;
    const int64_t positionSec = m_playback.Position() / kMsPerSec;
    m_sliderPos->SetPos(static_cast<int>(positionSec));
    UpdateTimeLabels(positionSec, std::max(m_playback.Duration() / kMsPerSec, positionSec));
    ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
    emit RecordingEnded(QString::fromStdString(m_strCurrentPath));
    if (!IsNewestPlaying()) OnBnClickedButtonNext();
}

void CSamplePlayerDlg::OnPlaybackFailed(const QString& path) {
    // A failure of the window's own open is handled where it asked.
    if (!m_bOpening) LeaveUnplayable(path.toStdString());
}

void CSamplePlayerDlg::LeaveUnplayable(const std::string& path) {
    m_strCurrentPath.clear();
    m_navigator->LeaveUnplayable(path);
}

bool CSamplePlayerDlg::IsNewestPlaying() const {
    const qsizetype trip = m_playback.TripPaths().size();
    const bool tripGoesOn = trip > 0 && static_cast<qsizetype>(TripIndex()) + 1 < trip;
    return !tripGoesOn && CurIndex() <= 0;
}

bool CSamplePlayerDlg::CheckRecordingStillThere() {
    if (m_strCurrentPath.empty()) return true;
    std::error_code error;
    if (std::filesystem::exists(m_strCurrentPath, error)) return true;
    const std::string root = CardRoot(DrivePath());
    if (root.empty() || std::filesystem::is_directory(root, error)) {
        // Only this file went away: say so and move on as for a recording that fails.
        const std::string gone = m_strCurrentPath;
        m_strCurrentPath.clear();
        m_playback.Stop();
        LeaveUnplayable(gone);
        return false;
    }
    // The card itself is gone. Its folder is kept, so OPEN and the category buttons find it
    // again when it comes back.
    OnBnClickedButtonStop();
    m_navigator->Cards().LoseCard();
    ShowNote(QString::fromStdString(
        FormatResourceString(PickStringId(IDS_CARD_REMOVED_KO, IDS_CARD_REMOVED_EN))));
    return false;
}
