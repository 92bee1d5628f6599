// Playback commands: opening a recording, the transport buttons, sliders and mute.
#include <filesystem>

#include "app/CSamplePlayerDlg.h"
#include "app/QtVideoArea.h"
#include "app/RecordingListView.h"
#include "app/Resource.h"
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
    NoteUnplayable(path);
    if (m_bHandingOver) {
        // Inside a hand-over already: the loop in MoveOnFromFailedRow moves on from here.
        m_bOpenFailedInHandOver = true;
        return false;
    }
    MoveOnFromFailedRow();
    ShowUnplayableNote();
    update();
    return false;
}

void CSamplePlayerDlg::MoveOnFromFailedRow() {
    if (m_bHandingOver) {
        m_bOpenFailedInHandOver = true;
        return;
    }
    // A recording that fails hands over to the row above. A run of failing rows is walked
    // here one row at a time, so a card full of broken files never deepens the stack.
    m_bHandingOver = true;
    do {
        m_bOpenFailedInHandOver = false;
        OnBnClickedButtonNext();
    } while (m_bOpenFailedInHandOver);
    m_bHandingOver = false;
}

bool CSamplePlayerDlg::TryOpen(const std::string& path, int tripIndex) {
    m_strCurrentPath.clear();
    m_textData.RemoveAll();
    m_bOpening = true;
    const bool opened = tripIndex >= 0 ? m_playback.PlayTripAt(tripIndex)
                                       : m_playback.PlayRecording(QString::fromStdString(path));
    m_bOpening = false;
    if (!opened) {
        m_telemetry->ForgetRecording();
        setWindowTitle(QString::fromStdString(FormatResourceString(IDS_TITLE)));
        return false;
    }
    ShowOpened(path);
    update();
    return true;
}

void CSamplePlayerDlg::ShowOpened(const std::string& path) {
    m_telemetry->ForgetRecording(false);
    ShowRecording(path);
    ShowPlayButton(m_playback.State() != PlaybackState::Playing);
    m_nShownSecond = -1;
    OnPlaybackPosition(m_playback.Position());
}

void CSamplePlayerDlg::ShowRecording(const std::string& path, bool keepLayout) {
    m_strCurrentPath = path;
    FollowTripRow(path);
    m_telemetry->Clock().SetRecording(path);
    ApplyClockFixes();
    m_telemetry->ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
    const int64_t total = m_playback.Duration() / kMsPerSec;
    m_sliderPos->SetRange(0, static_cast<int>(total), false);
    m_telemetry->ShowTotalTime(total);

    Layout().OpenViews(keepLayout);
    LoadTimeline(path);
}

void CSamplePlayerDlg::RowMove(int row) {
    m_nCurIndex = row;
    const std::string path = PathCell(row);
    if (path.empty()) return;
    SelectOnly(row, false);
    if (OpenRecording(path)) {
        m_listFilename->ScrollToRow(row);
    }
    m_listFilename->viewport()->update();
}

// Play and pause only flip the player's run flag, which the worker samples at the top of
// each step, so the handlers return at once.
void CSamplePlayerDlg::OnBnClickedButtonPlay() {
    if (IsPlayerActive()) {
        m_playback.Play();
        return;
    }
    if (IsHeldAtEnd() && !m_listFilename->HasSelection()) {
        // The recording held at its end plays again from its start.
        m_playback.Play();
        return;
    }
    if (m_listFilename->RowCount() == 0 || !m_listFilename->HasSelection()) return;
    if (PlaySelectedTrip()) return;
    const int row = m_listFilename->SelectedRow();
    if (row != m_nCurIndex) {
        m_nCurIndex = row;
        if (!OpenRecording(PathCell(row))) return;
    }
    m_playback.Play();
}

void CSamplePlayerDlg::OnBnClickedButtonPause() {
    if (IsPlayerActive()) m_playback.Pause();
}

void CSamplePlayerDlg::OnBnClickedButtonStop() {
    m_strCurrentPath.clear();
    m_playback.Stop();
    Layout().HideVideoAreas();
    m_pFrontArea->Clear();
    m_pRearArea->Clear();
    m_sliderPos->SetPos(0);
    m_nCurIndex = -1;
    ShowPlayButton(true);
    m_ui->camSmall->SetCheck(0);
    m_ui->mapSmall->SetCheck(0);
    m_ui->mirror->SetCheck(0);
    // The mirror option goes with its check mark, so the next recording's rear picture is
    // not flipped while the button shows it plain.
    m_player.SetMirror(1, false);
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
    if (m_nCurIndex + 1 < m_listFilename->RowCount()) {
        RowMove(m_nCurIndex + 1);
    } else {
        OnBnClickedButtonStop();
    }
}

void CSamplePlayerDlg::OnBnClickedButtonNext() {
    if (PlayNextInTrip()) return;
    if (m_nCurIndex > 0 && m_nCurIndex - 1 < m_listFilename->RowCount()) {
        RowMove(m_nCurIndex - 1);
    } else if (m_nCurIndex <= 0) {
        OnBnClickedButtonStop();
    }
}

void CSamplePlayerDlg::OnBnClickedButtonBackward() {
    if (CanSeek() && m_playback.Position() > kBackMinimumMs)
        SeekOnTimeline([this] { return m_playback.SeekBy(-kSeekStepSec * kMsPerSec); });
}

void CSamplePlayerDlg::OnBnClickedButtonForward() {
    if (IsPlayerActive() && m_playback.Duration() - m_playback.Position() > kForwardMinimumMs)
        SeekOnTimeline([this] { return m_playback.SeekBy(kSeekStepSec * kMsPerSec); });
}

void CSamplePlayerDlg::ApplyVolume(int value) {
    CxSkinButton* mute = m_ui->mute;
    if (value > 0) {
        mute->SetCheck(0);
        m_playback.Session().SetVolume(ChannelVolumeWord(value));
    } else {
        mute->SetCheck(1);
        m_playback.Session().SetVolume(0);
    }
    emit VolumeChanged();
}

void CSamplePlayerDlg::ApplyBrightness(int value) {
    m_player.SetBrightness(0, value);
    m_player.SetBrightness(1, value);
}

int CSamplePlayerDlg::OnSliderMoved(int controlId, int position) {
    switch (controlId) {
        case IDC_SLIDER_POS:
            // The place the hand left the thumb: playback may have moved the thumb on since
            // the notice was posted.
            SeekOnTimeline(int64_t{position} * kMsPerSec);
            break;
        case IDC_SLIDER_VOLUME:  // these two: the slider's own position, whatever was carried
            ApplyVolume(m_sliderVolume->GetPos());
            break;
        case IDC_SLIDER_BRIGHT:
            ApplyBrightness(m_sliderBright->GetPos());
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
        m_playback.Session().SetVolume(0);
        mute->SetCheck(1);
    } else {
        const int value = m_sliderVolume->GetPos();
        m_playback.Session().SetVolume(value > 0 ? ChannelVolumeWord(value) : 0);
        mute->SetCheck(0);
    }
    emit VolumeChanged();
}

// OPEN always asks which card (or folder), also while one is listed, so another card can be
// chosen; a cancelled question leaves the list as it was.
void CSamplePlayerDlg::OnBnClickedButtonOpen() { AskForCard(); }

void CSamplePlayerDlg::OnListDoubleClick(int row) {
    if (row < 0) return;
    if (OnTripDoubleClick(row)) return;
    const std::string path = PathCell(row);
    if (path.empty()) return;
    m_nCurIndex = row;
    if (OpenRecording(path)) {
        SelectOnly(row, true);
        m_listFilename->setFocus();
        m_listFilename->viewport()->update();
    } else if (!IsPlayerActive()) {
        // A failed open has already handed over to the row above; only when that found
        // nothing to play is there no current row.
        m_nCurIndex = -1;
    }
}
