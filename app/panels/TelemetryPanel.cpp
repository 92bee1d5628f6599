#include "app/panels/TelemetryPanel.h"

#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/playback/PlaybackController.h"
#include "app/view/MainWindowControls.h"
#include "app/view/ViewerSettings.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/CTextData.h"

namespace {

constexpr int kGraphRange = 200;
constexpr int kGraphPerDivision = 50;
constexpr int kGraphXStep = 13;
constexpr uint32_t kGraphColourX = 0xFF0000;  // blue
constexpr uint32_t kGraphColourY = 0x00FFFF;  // yellow
constexpr uint32_t kGraphColourZ = 0x0000FF;  // red
// Pure blue text on the black plot is hard to read; the rest line's label is a lighter blue.
constexpr uint32_t kGraphLabelColourX = 0xFF9A6E;
constexpr int kGraphOffsetX = 150;  // rest lines at three quarters, half and a quarter
constexpr int kGraphOffsetY = 100;
constexpr int kGraphOffsetZ = 50;
constexpr int kNormalRatePercent = 100;
// The ruler's heights to choose from, in g.
constexpr double kRulerSteps[] = {0.25, 0.5, 1, 2, 4, 8, 16};
constexpr int64_t kMsPerSec = 1000;

}  // namespace

TelemetryPanel::TelemetryPanel(QWidget& window, MainWindowControls& controls,
                               PlaybackController& playback, CTextData& textData, Host host)
    : m_window(window),
      m_ui(controls),
      m_playback(playback),
      m_textData(textData),
      m_host(std::move(host)) {
    m_mapTimer.setInterval(kMapTimerPeriodMs);
    connect(&m_mapTimer, &QTimer::timeout, this, [this] { OnMapTimer(); });
}

bool TelemetryPanel::ShowsTenths() const {
    // Paused, stepping or dragging the eye looks for the moment within the second; playing,
    // a tenth that changes ten times a second is only noise.
    return m_playback.State() != PlaybackState::Playing ||
           (m_ui.position && m_ui.position->IsDragging());
}

void TelemetryPanel::ShowMoment(int64_t timelineMs, int64_t sliderSec) {
    const int64_t positionSec = std::max<int64_t>(timelineMs / kMsPerSec, 0);
    // A recording still being written can play past the length its index gave at open.
    const int64_t totalSec = std::max<int64_t>(m_playback.Duration() / kMsPerSec, positionSec);
    const int64_t startSec = m_playback.RecordingStartMs() / kMsPerSec;
    ShowTimes(std::max<int64_t>(timelineMs, 0), totalSec);
    // The telemetry and the graph belong to the recording on screen.
    const int64_t recordingSec = std::max<int64_t>(positionSec - startSec, 0);
    ShowSpeedAndPosition(recordingSec, std::max<int64_t>(sliderSec - startSec, 0));
    ReplotGraph(recordingSec);
    if (m_nGraphMsPerValue > 0)
        m_ui.graph->SetPlayhead(
            static_cast<int>(std::max<int64_t>(timelineMs, 0) / m_nGraphMsPerValue));
    else  // value k is the sample of second k + 1; after a seek back it stands inside the plot
        m_ui.graph->SetPlayhead(static_cast<int>(recordingSec) - 1);
    ShowClock(timelineMs - m_playback.RecordingStartMs());
}

void TelemetryPanel::ShowEnd() {
    const int64_t positionSec = m_playback.Position() / kMsPerSec;
    ShowTimes(std::max<int64_t>(m_playback.Position(), 0),
              std::max(m_playback.Duration() / kMsPerSec, positionSec));
    ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
}

void TelemetryPanel::Clear() {
    UpdateTimeLabels(0, 0);
    m_ui.SetLabelText(m_ui.speed, QString());
    ClearGraph();
    ShowClock(0);
}

std::string TelemetryPanel::FormatHms(int64_t seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>((seconds % 3600) / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string TelemetryPanel::FormatHmsTenths(int64_t ms) {
    return FormatHms(ms / kMsPerSec) + "." + std::to_string(ms % kMsPerSec / 100);
}

void TelemetryPanel::ShowTimes(int64_t elapsedMs, int64_t totalSec) {
    const std::string elapsed =
        ShowsTenths() ? FormatHmsTenths(elapsedMs) : FormatHms(elapsedMs / kMsPerSec);
    m_ui.SetLabelText(m_ui.curTime, QString::fromStdString(elapsed));
    ShowTotalTime(totalSec);
}

void TelemetryPanel::UpdateTimeLabels(int64_t current, int64_t total) {
    // The controls only repaint a label whose text changed.
    m_ui.SetLabelText(m_ui.curTime, QString::fromStdString(FormatHms(current)));
    ShowTotalTime(total);
}

void TelemetryPanel::ShowTotalTime(int64_t seconds) {
    m_ui.SetLabelText(m_ui.totalTime, QString::fromStdString(FormatHms(seconds)));
}

QString TelemetryPanel::ClockText() const {
    return m_ui.clock ? m_ui.clock->text() : QString();
}

void TelemetryPanel::ShowClock(int64_t positionMs) {
    const std::string& path = m_host.currentPath();
    const std::string text =
        path.empty() ? std::string() : m_clock.TextAt(positionMs, ShowsTenths());
    m_ui.SetLabelText(m_ui.clock, QString::fromStdString(text));
    QString tip;
    if (!text.empty()) {
        const std::optional<int64_t> offset = m_clock.OffsetSec();
        tip = QString::fromStdString(
            offset ? Text(texts::kClockUtc, PictureClock::FormatOffset(*offset).c_str())
                   : Text(texts::kClockNoFix));
    }
    if (m_ui.clock->toolTip() != tip) m_ui.clock->setToolTip(tip);
    const QString product = Tr(texts::kTitle);
    QString title = product;
    if (!path.empty()) {
        title = QString::fromStdString(std::filesystem::path(path).filename().string());
        // The task bar's title keeps to whole seconds.
        if (!text.empty())
            title +=
                QStringLiteral(" \u2014 ") + QString::fromStdString(m_clock.TextAt(positionMs));
        title += QStringLiteral(" - ") + product;
    }
    if (m_window.windowTitle() != title) m_window.setWindowTitle(title);
}

void TelemetryPanel::UseSettings(ViewerSettings& settings) {
    m_settings = &settings;
    m_eSpeedUnit = settings.Unit();
    SetUnitsPerG(settings.UnitsPerG());
    connect(&settings, &ViewerSettings::unitChanged, this, [this](SpeedUnit unit) {
        m_eSpeedUnit = unit;
        if (m_host.showMomentAgain) m_host.showMomentAgain();
    });
    QLabel* box = m_ui.speed;
    if (!box) return;
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, this, [this, box](const QPoint& at) {
        QMenu* menu = MakeSpeedUnitMenu(box);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(box->mapToGlobal(at));
    });
}

QMenu* TelemetryPanel::MakeSpeedUnitMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setAccessibleName(QStringLiteral("Speed unit"));
    auto* group = new QActionGroup(menu);
    for (const SpeedUnit unit : {SpeedUnit::Kmh, SpeedUnit::Mph}) {
        QAction* action = menu->addAction(
            QString::fromLatin1(unit == SpeedUnit::Kmh ? "km/h" : "mph"), this, [this, unit] {
                if (m_settings) {
                    m_settings->SetUnit(unit);  // the panel follows its signal
                    return;
                }
                m_eSpeedUnit = unit;
                if (m_host.showMomentAgain) m_host.showMomentAgain();
            });
        action->setCheckable(true);
        action->setChecked(unit == m_eSpeedUnit);
        group->addAction(action);
    }
    return menu;
}

void TelemetryPanel::ShowSpeedAndPosition(int64_t positionSec, int64_t sliderSec) {
    CGPSData fix;
    // The speed and place of the picture shown, also right after a jump (the player's own
    // arrays hold only what it has read since): from the walk once it is there.
    const int walked = m_host.fixOnScreen ? m_host.fixOnScreen(&fix) : -1;
    if (walked == 0) {
        m_ui.SetLabelText(m_ui.speed, QString());
        return;
    }
    if (walked < 0 && !ChooseDisplayFix(m_textData, positionSec, sliderSec, fix)) return;
    m_ui.SetLabelText(m_ui.speed, QString::fromStdString(FormatSpeedLabel(fix, m_eSpeedUnit)));
    // Sent on every tick, also while paused or while the map is not shown; before the page
    // is bound the view keeps the positions for the track it draws once shown.
    if (m_pMapView) {
        m_pMapView->ShowPosition(static_cast<float>(fix.GetLatitude()),
                                 static_cast<float>(fix.GetLongitude()));
    }
}

void TelemetryPanel::ShowRate() {
    const int percent = m_playback.Rate();
    // "0.25×" .. "4×"; nothing at normal speed.
    m_ui.SetLabelText(m_ui.rate, percent == kNormalRatePercent
                                     ? QString()
                                     : QString::number(percent / 100.0) + QStringLiteral("\u00d7"));
}

void TelemetryPanel::SetUpGraph() {
    CGraphStatic* graph = m_ui.graph;
    graph->PreSubclassWindow();
    graph->SetRange(kGraphRange, kGraphPerDivision);
    graph->SetXStep(kGraphXStep);
    graph->SetGrid(true);
    m_pSeriesX = graph->AddSeries(kGraphColourX, 1);
    m_pSeriesY = graph->AddSeries(kGraphColourY, 1);
    m_pSeriesZ = graph->AddSeries(kGraphColourZ, 1);
    m_nLastPlotSec = 0;
    graph->SetValueTip([this](int valueIndex) { return GraphValueTip(valueIndex); });
    ShowGraphScale();
}

void TelemetryPanel::SetUnitsPerG(double unitsPerG) {
    if (!(unitsPerG > 0)) return;
    m_dUnitsPerG = unitsPerG;
    if (m_pSeriesX) ShowGraphScale();
}

// Each axis rests on its own grid line; the ruler beside them says how tall a g is.
void TelemetryPanel::ShowGraphScale() {
    CGraphStatic* graph = m_ui.graph;
    graph->SetLabels({{kGraphOffsetX, QStringLiteral("X 0"), kGraphLabelColourX},
                      {kGraphOffsetY, QStringLiteral("Y 0"), kGraphColourY},
                      {kGraphOffsetZ, QStringLiteral("Z 0"), kGraphColourZ}});
    const GraphRuler ruler = RulerFor(m_dUnitsPerG, kGraphRange);
    graph->SetRuler(kGraphOffsetZ, kGraphOffsetZ + ruler.units, ruler.text);
}

TelemetryPanel::GraphRuler TelemetryPanel::RulerFor(double unitsPerG, int rangeUnits) {
    GraphRuler ruler;
    for (double g : kRulerSteps) {
        const int units = static_cast<int>(std::lround(g * unitsPerG));
        if (units > rangeUnits / 2) break;
        ruler = {units, QString::number(g) + QStringLiteral(" g")};
    }
    return ruler;
}

QString TelemetryPanel::GraphValueTip(int valueIndex) const {
    if (valueIndex < 0 || static_cast<size_t>(valueIndex) >= m_plotted.size()) return {};
    QString time;
    if (m_nGraphMsPerValue > 0) {
        const int64_t timelineMs = valueIndex * m_nGraphMsPerValue;
        if (m_graphTimeOfDay) time = m_graphTimeOfDay(timelineMs);
        if (time.isEmpty()) time = QString::fromStdString(FormatHms(timelineMs / kMsPerSec));
    } else {
        const int64_t recordingMs = (static_cast<int64_t>(valueIndex) + 1) * kMsPerSec;
        // "2026-03-14 18:25:14": the time of day is what follows the date.
        const QString clock = QString::fromStdString(m_clock.TextAt(recordingMs));
        time = !clock.isEmpty() ? clock.section(QLatin1Char(' '), -1)
                                : QString::fromStdString(FormatHms(
                                      (m_playback.RecordingStartMs() + recordingMs) / kMsPerSec));
    }
    const CGSensorData& sample = m_plotted[static_cast<size_t>(valueIndex)];
    const auto g = [&](int units) { return units / m_dUnitsPerG; };
    return time + QString::asprintf("\nX %+.2f g   Y %+.2f g   Z %+.2f g", g(sample.x), g(sample.y),
                                    g(sample.z));
}

void TelemetryPanel::ReplotGraph(int64_t positionSec) {
    if (m_nGraphMsPerValue > 0 || positionSec <= m_nLastPlotSec) return;
    m_plotted = m_textData.SnapshotGSensor();
    PlotSamples();
    m_nLastPlotSec = static_cast<int>(positionSec);
}

void TelemetryPanel::PlotSamples() {
    std::vector<int> x, y, z;
    for (const CGSensorData& sample : m_plotted) {
        x.push_back(sample.x + kGraphOffsetX);
        y.push_back(sample.y + kGraphOffsetY);
        z.push_back(sample.z + kGraphOffsetZ);
    }
    CGraphStatic* graph = m_ui.graph;
    graph->SetValues(m_pSeriesX, x);
    graph->SetValues(m_pSeriesY, y);
    graph->SetValues(m_pSeriesZ, z);
    graph->Redraw();
}

std::vector<CGSensorData> TelemetryPanel::PickWholeTimeline(const std::vector<TimedSample>& samples,
                                                            int64_t durationMs,
                                                            int64_t msPerValue) {
    if (samples.empty() || msPerValue <= 0) return {};
    const int64_t lengthMs = std::max(durationMs, samples.back().timeMs + 1);
    const size_t count = static_cast<size_t>((lengthMs + msPerValue - 1) / msPerValue);
    double mean[3] = {0, 0, 0};
    for (const TimedSample& t : samples) {
        mean[0] += t.sample.x;
        mean[1] += t.sample.y;
        mean[2] += t.sample.z;
    }
    for (double& m : mean) m /= static_cast<double>(samples.size());
    const auto distance = [&](const CGSensorData& d) {
        return std::max(
            {std::abs(d.x - mean[0]), std::abs(d.y - mean[1]), std::abs(d.z - mean[2])});
    };
    // A stretch without a sample (a gap between a trip's recordings) keeps the one before.
    std::vector<CGSensorData> picked(count);
    std::vector<bool> filled(count, false);
    for (const TimedSample& t : samples) {
        const size_t i = static_cast<size_t>(
            std::clamp<int64_t>(t.timeMs / msPerValue, 0, static_cast<int64_t>(count) - 1));
        if (!filled[i] || distance(t.sample) > distance(picked[i])) picked[i] = t.sample;
        filled[i] = true;
    }
    CGSensorData last = samples.front().sample;
    for (size_t i = 0; i < count; ++i) {
        if (filled[i])
            last = picked[i];
        else
            picked[i] = last;
    }
    return picked;
}

int64_t TelemetryPanel::PlotWholeTimeline(const std::vector<TimedSample>& samples,
                                          int64_t durationMs,
                                          std::function<QString(int64_t)> timeOfDay) {
    if (samples.empty() || !m_pSeriesX) return 0;
    const int64_t lengthMs = std::max(durationMs, samples.back().timeMs + 1);
    const int64_t maxValues = GraphSeries::kValueCount - 1;
    const int64_t seconds = (lengthMs + kMsPerSec - 1) / kMsPerSec;
    m_nGraphMsPerValue = ((seconds + maxValues - 1) / maxValues) * kMsPerSec;
    m_graphTimeOfDay = std::move(timeOfDay);
    m_plotted = PickWholeTimeline(samples, durationMs, m_nGraphMsPerValue);
    m_ui.graph->SetSpan(static_cast<int>(m_plotted.size()));
    PlotSamples();
    if (m_host.showMomentAgain) m_host.showMomentAgain();
    return m_nGraphMsPerValue;
}

void TelemetryPanel::ClearGraph(bool redraw) {
    m_nLastPlotSec = 0;
    m_nGraphMsPerValue = 0;
    m_graphTimeOfDay = nullptr;
    m_ui.graph->SetSpan(0);
    m_plotted.clear();
    m_ui.graph->SetPlayhead(-1, false);
    for (GraphSeries* series : {m_pSeriesX, m_pSeriesY, m_pSeriesZ})
        m_ui.graph->ClearSeries(series);
    if (redraw) m_ui.graph->Redraw();
}

void TelemetryPanel::ForgetRecording(bool redraw) {
    if (m_pMapView) m_pMapView->ClearTrack();
    m_ui.SetLabelText(m_ui.speed, QString());
    ClearGraph(redraw);
}

CMapView* TelemetryPanel::MapView() const {
    return m_pMapView.data();
}

void TelemetryPanel::SetMapView(CMapView* view, bool navigated) {
    if (m_pMapView) disconnect(m_pMapView, nullptr, this, nullptr);
    m_mapTimer.stop();
    m_bMapReady = false;
    m_pMapView = view;
    m_bMapNavigated = navigated;
    if (!view) return;
    // The binding is asked for only between a page's load and its answer, not for ever.
    connect(view, &CMapView::pageLoaded, this, [this](bool ok) {
        m_bMapReady = false;
        if (ok && m_bMapNavigated) m_mapTimer.start();
    });
    connect(view, &CMapView::scriptBound, this, [this] {
        m_bMapReady = true;
        m_mapTimer.stop();
        // Paused, no frame comes to put the marker where the picture is: put it there now.
        if (!m_host.currentPath().empty()) m_host.showMomentAgain();
    });
}

void TelemetryPanel::OnMapTimer() {
    // The page is asked until it answers that it defines its functions; then the tick stops.
    if (m_pMapView && m_pMapView->BindScript() == 1) {
        m_bMapReady = true;
        m_mapTimer.stop();
    }
}
