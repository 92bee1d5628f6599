// Following the playback controller: the position slider and what the telemetry panel shows
// of the moment, the recording on screen, its end and failures.
#include <QFileInfo>
#include <QGuiApplication>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "app/list/RecordingListView.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "library/CardRoot.h"
#include "support/StringTable.h"
#include "telemetry/CMapView.h"

namespace {

constexpr int64_t kMsPerSec = 1000;
constexpr int IDS_DROPPING_FRAMES_KO = 1414, IDS_DROPPING_FRAMES_EN = 1415;

}  // namespace

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
    connect(playback, &PlaybackController::rateChanged, this, [this] { m_telemetry->ShowRate(); });
    connect(playback, &PlaybackController::cutShort, this, [this](const QString& path, qint64 ms) {
        List()->Model()->MarkCutShort(path, ms, QFileInfo(path).size());
        if (path.toStdString() == m_strCurrentPath)
            m_dialogs->ShowNote(RecordingListModel::CutShortText(ms), true);
    });
    connect(playback, &PlaybackController::ended, this, [this] { OnPlaybackEnded(); });
    connect(playback, &PlaybackController::opened, this,
            [this](const QString& path) { ShowOpened(path.toStdString()); });
    connect(playback, &PlaybackController::failed, this,
            [this](const QString& path) { OnPlaybackFailed(path); });
    connect(playback, &PlaybackController::droppingFrames, this, [this] {
        m_dialogs->ShowNote(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_DROPPING_FRAMES_KO, IDS_DROPPING_FRAMES_EN))));
    });
}

void CSamplePlayerDlg::OnPlaybackPosition(int64_t timelineMs) {
    if (m_bOpening || m_strCurrentPath.empty()) return;
    const int64_t positionSec = std::max<int64_t>(timelineMs / kMsPerSec, 0);
    const int64_t sliderSec = m_ui->position->GetPos();
    // Holding the left button (on the slider) leaves the slider where the hand put it.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        m_ui->position->SetPos(static_cast<int>(positionSec));
    m_telemetry->ShowMoment(timelineMs, sliderSec);
    if (positionSec != m_nShownSecond) {
        m_nShownSecond = positionSec;
        CheckRecordingStillThere();
    }
}

void CSamplePlayerDlg::OnPlaybackState(PlaybackState state) {
    if (state == PlaybackState::Loading) return;
    ShowPlayButton(state != PlaybackState::Playing);
    // The times gain or lose their tenths with the state.
    if (state == PlaybackState::Paused || state == PlaybackState::Playing)
        OnPlaybackPosition(m_playback.Position());
}

void CSamplePlayerDlg::OnPlaybackLength(int64_t ms) {
    if (m_bOpening || m_strCurrentPath.empty()) return;
    const int64_t total = ms / kMsPerSec;
    m_ui->position->SetRange(0, static_cast<int>(total), false);
    m_telemetry->ShowTotalTime(std::max<int64_t>(total, m_ui->position->GetPos()));
    m_pTimeline->ShowTimelineMarks();
}

void CSamplePlayerDlg::OnPlaybackRecording(const QString& path) {
    const std::string recording = path.toStdString();
    if (m_bOpening || recording.empty() || recording == m_strCurrentPath) return;
    emit RecordingEnded(QString::fromStdString(m_strCurrentPath));
    // The telemetry of the new recording is already being collected; only what was drawn
    // from the old one goes.
    m_telemetry->ForgetRecording();
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
    m_ui->position->SetPos(static_cast<int>(positionSec));
    m_telemetry->ShowEnd();
    emit RecordingEnded(QString::fromStdString(m_strCurrentPath));
    if (!IsNewestPlaying()) OnBnClickedButtonNext();
}

void CSamplePlayerDlg::OnPlaybackFailed(const QString& path) {
    // A refusal given while the window asks is handled where it asked.
    if (m_bOpening) return;
    ForgetOpened();
    LeaveUnplayable(path.toStdString());
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
    m_dialogs->ShowNote(QString::fromStdString(
        FormatResourceString(PickStringId(IDS_CARD_REMOVED_KO, IDS_CARD_REMOVED_EN))));
    return false;
}
