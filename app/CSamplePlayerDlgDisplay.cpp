// The display tick: position slider, time labels, speed, the map's marker and the G-sensor
// graph; and the map page's binding.
#include <QGuiApplication>
#include <QLabel>
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

void CSamplePlayerDlg::OnTimer(int id) {
    if (id == kMapTimer) {
        // Until the page has loaded and defines its functions, every tick asks again.
        if (m_bMapNavigated && !m_bMapReady && m_pMapView && m_pMapView->BindScript() == 1) {
            m_bMapReady = true;
        }
        return;
    }
    if (id != kDisplayTimer) return;
    // Holding the left button (on a slider, a button or the background) freezes the tick.
    if (QGuiApplication::mouseButtons() & Qt::LeftButton) return;
    UpdateDisplay();
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
    if (m_pMapView) {
        m_pMapView->ShowPosition(static_cast<float>(fix.GetLatitude()),
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

void CSamplePlayerDlg::UpdateDisplay() {
    CheckRecordingStillThere();
    if (m_strCurrentPath.empty()) {
        // Nothing open (the last open failed and nothing took its place): nothing to follow.
        KillTimer(kDisplayTimer);
        return;
    }
    FollowPlayer();
    const int64_t positionSec = std::max<int64_t>(m_player.GetPositionMs() / 1000, 0);
    // A recording still being written can play past the length its index gave at open.
    const int64_t totalSec =
        std::max<int64_t>(static_cast<int64_t>(m_player.GetDuration()) / 1000, positionSec);
    if (IsPlayerActive()) {
        m_bEndHeld = false;
        const int64_t sliderSec = m_sliderPos->GetPos();
        m_sliderPos->SetPos(static_cast<int>(positionSec));
        UpdateTimeLabels(positionSec, totalSec);
        ShowSpeedAndPosition(positionSec, sliderSec);
        ReplotGraph(positionSec);
        ShowClock(m_player.GetPositionMs());
        return;
    }
    // The player stops by itself only once it has shown the last frame it could read: the
    // recording has been seen to its end (or to where a damaged or cut file ends), so the
    // window moves on to the next newer row. The newest one holds its last picture and the
    // whole length on screen (often the moment just after an incident) until PLAY starts it
    // again or a seek shows another of its pictures.
    if (m_bEndHeld) return;
    m_player.Pause();
    m_sliderPos->SetPos(static_cast<int>(positionSec));
    UpdateTimeLabels(positionSec, totalSec);
    ShowClock(m_player.GetPositionMs());
    emit RecordingEnded(QString::fromStdString(m_strCurrentPath));
    if (!IsNewestPlaying()) {
        OnBnClickedButtonNext();
        return;
    }
    m_bEndHeld = true;
    ShowPlayButton(true);
}

bool CSamplePlayerDlg::IsNewestPlaying() const {
    const bool tripGoesOn = !m_tripPaths.empty() && m_nTripIndex + 1 < m_tripPaths.size();
    return !tripGoesOn && m_nCurIndex <= 0;
}

void CSamplePlayerDlg::CheckRecordingStillThere() {
    if (m_strCurrentPath.empty()) return;
    std::error_code error;
    if (std::filesystem::exists(m_strCurrentPath, error)) return;
    const std::string root = CardRoot(m_strDrivePath);
    if (root.empty() || std::filesystem::is_directory(root, error)) {
        // Only this file went away: say so and move on as for a recording that fails.
        const std::string gone = m_strCurrentPath;
        m_player.Pause();
        m_player.Close();
        m_strCurrentPath.clear();
        NoteUnplayable(gone);
        MoveOnFromFailedRow();
        ShowUnplayableNote();
        return;
    }
    // The card itself is gone. Its folder is kept, so OPEN and the category buttons find it
    // again when it comes back.
    OnBnClickedButtonStop();
    m_strDrivePath.clear();
    m_bCardLost = true;
    m_listFilename->Clear();  // its rows lead nowhere now
    MarkCategoryButton(0);
    ShowNote(QString::fromStdString(
        FormatResourceString(PickStringId(IDS_CARD_REMOVED_KO, IDS_CARD_REMOVED_EN))));
}
