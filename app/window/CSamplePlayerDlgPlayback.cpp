// Playback commands: opening a recording, the transport buttons, sliders and mute.
#include <QFileSystemWatcher>
#include <filesystem>
#include <utility>

#include "app/list/RecordingListView.h"
#include "app/view/QtNoteLabel.h"
#include "app/view/QtVideoArea.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"

namespace {

constexpr int64_t kMsPerSec = 1000;
constexpr int64_t kBackMinimumMs = 11000;
constexpr int64_t kForwardMinimumMs = 10000;
constexpr double kVolumePerStep = 655.35;  // slider 0..99 onto the 16-bit channel volume

uint32_t ChannelVolumeWord(int sliderValue) {
    const uint32_t channel = static_cast<uint32_t>(sliderValue * kVolumePerStep) & 0xFFFF;
    return channel | (channel << 16);
}

}  // namespace

bool CSamplePlayerDlg::OpenRecording(const std::string& path, int tripIndex) {
    if (TryOpen(path, tripIndex)) return true;
    if (m_navigator->OnOpenFailed(path)) update();
    return false;
}

bool CSamplePlayerDlg::TryOpen(const std::string& path, int tripIndex) {
    m_strCurrentPath.clear();
    m_playback.TextData().RemoveAll();
    m_whenOpened = nullptr;
    m_bOpening = true;
    const bool asked = tripIndex >= 0 ? m_playback.PlayTripAt(tripIndex)
                                      : m_playback.PlayRecording(QString::fromStdString(path));
    m_bOpening = false;
    if (!asked) ForgetOpened();
    // Shown once the controller says it is open (ShowOpened), or moved on from if it fails.
    return asked;
}

void CSamplePlayerDlg::ForgetOpened() {
    m_whenOpened = nullptr;
    m_telemetry->ForgetRecording();
    setWindowTitle(QString::fromStdString(FormatResourceString(IDS_TITLE)));
}

void CSamplePlayerDlg::ShowOpened(const std::string& path) {
    m_telemetry->ForgetRecording(false);
    ShowRecording(path);
    ShowPlayButton(m_playback.State() != PlaybackState::Playing);
    m_nShownSecond = -1;
    OnPlaybackPosition(m_playback.Position());
    m_navigator->OnOpened();
    if (auto then = std::exchange(m_whenOpened, nullptr)) then();
    update();
}

void CSamplePlayerDlg::ShowRecording(const std::string& path, bool keepLayout) {
    // A lasting note belongs to the recording it is about.
    if (path != m_strCurrentPath) m_dialogs->ClearPersistentNote();
    m_strCurrentPath = path;
    WatchRecording(path);
    m_navigator->FollowTripRow(path);
    m_telemetry->Clock().SetRecording(path);
    m_pTimeline->ApplyClockFixes();
    m_telemetry->ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
    const int64_t total = m_playback.Duration() / kMsPerSec;
    m_ui->position->SetRange(0, static_cast<int>(total), false);
    m_telemetry->ShowTotalTime(total);

    Layout().OpenViews(keepLayout);
    m_pTimeline->LoadTimeline(path);
    // A recording cut short by a power loss says where it ends, for as long as it is on screen.
    const QString early = List()->Model()->EndsEarlyNote(QString::fromStdString(path));
    if (!early.isEmpty()) m_dialogs->ShowNote(early, true);
}

// Play and pause only flip the player's run flag, which the worker samples at the top of
// each step, so the handlers return at once.
void CSamplePlayerDlg::OnBnClickedButtonPlay() {
    if (IsPlayerActive()) {
        m_playback.Play();
        return;
    }
    if (IsHeldAtEnd() && !List()->HasSelection()) {
        // The recording held at its end plays again from its start.
        m_playback.Play();
        return;
    }
    if (m_navigator->OpenSelected()) m_playback.Play();
}

void CSamplePlayerDlg::OnBnClickedButtonPause() {
    // Also while a recording opens: it then opens paused.
    m_playback.Pause();
}

void CSamplePlayerDlg::WatchRecording(const std::string& path) {
    if (!m_pRecordingWatcher) {
        m_pRecordingWatcher = new QFileSystemWatcher(this);
        // A file removed, or its card unmounted, changes the file as far as the watch goes.
        connect(m_pRecordingWatcher, &QFileSystemWatcher::fileChanged, this,
                [this] { CheckRecordingStillThere(); });
    }
    if (const QStringList watched = m_pRecordingWatcher->files(); !watched.isEmpty())
        m_pRecordingWatcher->removePaths(watched);
    if (!path.empty()) m_pRecordingWatcher->addPath(QString::fromStdString(path));
}

void CSamplePlayerDlg::OnBnClickedButtonStop() {
    m_dialogs->ClearPersistentNote();
    m_strCurrentPath.clear();
    WatchRecording({});
    m_playback.Stop();
    Layout().HideVideoAreas();
    m_ui->front->Clear();
    m_ui->rear->Clear();
    m_ui->position->SetPos(0);
    m_navigator->SetCurIndex(-1);
    ShowPlayButton(true);
    m_ui->camSmall->SetCheck(0);
    m_ui->mapSmall->SetCheck(0);
    m_ui->mirror->SetCheck(0);
    // The mirror option goes with its check mark, so the next recording's rear picture is
    // not flipped while the button shows it plain.
    m_playback.SetMirror(1, false);
    Layout().CloseViews();
    // Nothing is shown any more, so nothing of it stays: speed, graph, the recording's name.
    m_telemetry->Clear();
    // Nothing is open: the map leaves the screen with the pictures, and the view commands
    // wait for the next recording.
    Layout().PlaceMapView(ViewPlace::Hidden);
    m_ui->EnableViewButtons(false);
    update();
}

void CSamplePlayerDlg::OnBnClickedButtonPre() {
    m_navigator->PlayOlder();
}

void CSamplePlayerDlg::OnBnClickedButtonNext() {
    m_navigator->PlayNewer();
}

// Closer to an end than a whole step, the step goes to that end: the first picture, or the
// last one (the trip's, in a trip).
void CSamplePlayerDlg::OnBnClickedButtonBackward() {
    if (!CanSeek()) return;
    if (m_playback.Position() > kBackMinimumMs)
        SeekOnTimeline([this] { return m_playback.SeekBy(-kSeekStepSec * kMsPerSec); });
    else
        SeekOnTimeline(0);
}

void CSamplePlayerDlg::OnBnClickedButtonForward() {
    if (!IsPlayerActive()) return;
    if (m_playback.Duration() - m_playback.Position() > kForwardMinimumMs)
        SeekOnTimeline([this] { return m_playback.SeekBy(kSeekStepSec * kMsPerSec); });
    else
        SeekOnTimeline(m_playback.Duration());
}

void CSamplePlayerDlg::ApplyVolume(int value) {
    CxSkinButton* mute = m_ui->mute;
    if (value > 0) {
        mute->SetCheck(0);
        m_playback.SetVolume(ChannelVolumeWord(value));
    } else {
        mute->SetCheck(1);
        m_playback.SetVolume(0);
    }
    emit VolumeChanged();
}

int CSamplePlayerDlg::OnSliderMoved(int controlId, int position) {
    switch (controlId) {
        case IDC_SLIDER_POS:
            // The place the hand left the thumb: playback may have moved the thumb on since
            // the notice was posted.
            SeekOnTimeline(int64_t{position} * kMsPerSec);
            break;
        case IDC_SLIDER_VOLUME:  // these two: the slider's own position, whatever was carried
            ApplyVolume(m_ui->volume->GetPos());
            break;
        case IDC_SLIDER_BRIGHT:
            m_playback.SetBrightness(m_ui->bright->GetPos());
            break;
        default:
            break;
    }
    return 0;
}

void CSamplePlayerDlg::OnBnClickedButtonMute() {
    // A check box: its state has already flipped when the click arrives.
    CxSkinButton* mute = m_ui->mute;
    if (mute->GetCheck()) {
        m_playback.SetVolume(0);
        mute->SetCheck(1);
    } else {
        const int value = m_ui->volume->GetPos();
        m_playback.SetVolume(value > 0 ? ChannelVolumeWord(value) : 0);
        mute->SetCheck(0);
    }
    emit VolumeChanged();
}

// OPEN always asks which card (or folder), also while one is listed, so another card can be
// chosen; a cancelled question leaves the list as it was.
void CSamplePlayerDlg::OnBnClickedButtonOpen() {
    m_navigator->AskForCard();
}
