// The display tick: position slider, time labels, speed, the map's marker and the G-sensor
// graph; and the map page's binding.
#include <QGuiApplication>
#include <QLabel>
#include <cstdio>

#include "app/CSamplePlayerDlg.h"
#include "app/Resource.h"
#include "controls/CBitmapSlider.h"
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
    SetLabelText(m_pSpeed, FormatSpeedLabel(fix));
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
    const int64_t positionSec = static_cast<int64_t>(m_player.GetPositionMs()) / 1000;
    const int64_t totalSec = static_cast<int64_t>(m_player.GetDuration()) / 1000;
    if (IsPlayerActive()) {
        const int64_t sliderSec = m_sliderPos->GetPos();
        if (positionSec < totalSec - kHandOverSec && positionSec >= 0) {
            m_sliderPos->SetPos(static_cast<int>(positionSec));
            UpdateTimeLabels(positionSec, totalSec);
            ShowSpeedAndPosition(positionSec, sliderSec);
            ReplotGraph(positionSec);
        } else {
            // The last two seconds: hand over to the next newer recording.
            m_sliderPos->SetPos(static_cast<int>(positionSec));
            ClearGraph();
            UpdateTimeLabels(positionSec + 1, totalSec);
            OnBnClickedButtonNext();
        }
        return;
    }
    // The player stops by itself only when its recording ends. A damaged or cut recording
    // ends before its declared duration, and waiting for the position to reach it would
    // leave the window stuck on that recording; it is over either way, so move on.
    m_player.Pause();
    m_sliderPos->SetPos(static_cast<int>(positionSec));
    UpdateTimeLabels(positionSec, totalSec);
    OnBnClickedButtonNext();
}
