// The telemetry panel on its own: the time labels' format, the G-sensor graph plotted once per
// second and again after a clear, and the map page's binding followed only for the map view
// the panel was given.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>

#include "app/panels/TelemetryPanel.h"
#include "app/playback/PlaybackController.h"
#include "app/view/MainWindowControls.h"
#include "app/window/Resource.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/CTextData.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

class TelemetryPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        controls = std::make_unique<MainWindowControls>(&window);
        panel = std::make_unique<TelemetryPanel>(
            window, *controls, playback, textData,
            TelemetryPanel::Host{[this]() -> const std::string& { return currentPath; },
                                 [this] { ++momentsShownAgain; }});
        panel->SetUpGraph();
    }

    QWidget window;
    std::unique_ptr<MainWindowControls> controls;
    PlaybackController playback;
    CTextData textData;
    std::string currentPath;
    int momentsShownAgain = 0;
    std::unique_ptr<TelemetryPanel> panel;
};

}  // namespace

TEST(TelemetryPanelFormat, HmsCountsHoursPastADay) {
    const struct {
        int64_t seconds;
        const char* text;
    } rows[] = {
        {0, "00:00:00"},    {59, "00:00:59"},    {61, "00:01:01"},    {3599, "00:59:59"},
        {3600, "01:00:00"}, {86399, "23:59:59"}, {86400, "24:00:00"}, {360001, "100:00:01"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TelemetryPanel::FormatHms(row.seconds), row.text) << row.seconds;
}

TEST_F(TelemetryPanelTest, GraphIsPlottedOncePerLaterSecondAndAgainAfterAClear) {
    for (int i = 0; i < 3; ++i) textData.AddGSensor(CGSensorData(128, 128, 128, 0));
    const GraphSeries& x = *panel->SeriesX();
    const struct {
        const char* what;
        int64_t plotAtSec;  // -1: clear instead
        int lastPlotSec;
        int values;
    } steps[] = {
        {"second 0 is not later than nothing plotted", 0, 0, 0},
        {"second 2 plots what was collected", 2, 2, 3},
        {"an earlier second leaves the plot", 1, 2, 3},
        {"a clear empties the graph", -1, 0, 0},
        {"after a clear an early second plots again", 1, 1, 3},
    };
    for (const auto& step : steps) {
        if (step.plotAtSec < 0) {
            panel->ClearGraph();
        } else {
            panel->ReplotGraph(step.plotAtSec);
        }
        EXPECT_EQ(panel->LastPlotSec(), step.lastPlotSec) << step.what;
        EXPECT_EQ(x.writeIndex, step.values) << step.what;
    }
}

TEST_F(TelemetryPanelTest, MapBindingIsFollowedOnlyForTheViewHandedOver) {
    const struct {
        const char* what;
        bool handBack;  // the view is taken back before its page answers
        bool reload;    // the page loads again after it answered
        std::string path;
        bool ready;
        int shownAgain;
    } rows[] = {
        {"bound with a recording open", false, false, "/card/a.avi", true, 1},
        {"bound with nothing open", false, false, "", true, 0},
        {"a reload waits for the page again", false, true, "/card/a.avi", false, 1},
        {"a view taken back reaches the panel no more", true, false, "/card/a.avi", false, 0},
    };
    for (const auto& row : rows) {
        CMapView view(nullptr, CMapView::BrowserStart::WhenShown);
        currentPath = row.path;
        momentsShownAgain = 0;
        panel->SetMapView(&view, true);
        EXPECT_FALSE(panel->IsMapReady()) << row.what;
        if (row.handBack) panel->SetMapView(nullptr, false);
        emit view.scriptBound();
        if (row.reload) emit view.pageLoaded(true);
        EXPECT_EQ(panel->IsMapReady(), row.ready) << row.what;
        EXPECT_EQ(momentsShownAgain, row.shownAgain) << row.what;
        panel->SetMapView(nullptr, false);
    }
}

TEST_F(TelemetryPanelTest, AViewDeletedWhileItsPageLoadsIsAskedNoMore) {
    auto view = std::make_unique<CMapView>(nullptr, CMapView::BrowserStart::WhenShown);
    panel->SetMapView(view.get(), true);
    emit view->pageLoaded(true);  // the binding is asked for once a second from now on
    view.reset();
    QTest::qWait(kMapTimerPeriodMs + 200);  // a tick passes; it must not reach the gone view
    EXPECT_FALSE(panel->IsMapReady());
}

TEST_F(TelemetryPanelTest, AnotherRecordingWithoutFixesKeepsNoSpeedOfTheOneBefore) {
    CGPSData fix;
    fix.valid = 1;
    fix.speed = 30.0;
    textData.AddGps(fix);
    panel->ShowSpeedAndPosition(0, 0);
    ASSERT_FALSE(controls->speed->text().isEmpty());
    const struct {
        const char* what;
        bool redraw;
    } rows[] = {{"opened by the window", false}, {"handed over to", true}};
    for (const auto& row : rows) {
        textData.RemoveAll();  // the new recording has no fixes
        panel->ForgetRecording(row.redraw);
        panel->ShowSpeedAndPosition(0, 0);
        EXPECT_TRUE(controls->speed->text().isEmpty()) << row.what;
        textData.AddGps(fix);
        panel->ShowSpeedAndPosition(0, 0);
    }
}

// The whole-timeline graph draws each stretch by its sample farthest from the mean, so a
// short spike survives however long the stretch; a stretch without samples keeps the one
// before.
TEST(TelemetryPanelWholeTimeline, EachStretchKeepsItsPeakAndGapsKeepTheValueBefore) {
    std::vector<TimedSample> samples;
    for (int64_t ms = 0; ms < 3000; ms += 100)
        samples.push_back({ms, CGSensorData(ms == 1400 ? 220 : 128, 128, 128, 0)});
    samples.push_back({2900, CGSensorData(140, 128, 128, 0)});  // the last before the gap
    samples.push_back({5200, CGSensorData(100, 128, 128, 0)});
    const int rest = CGSensorData(128, 128, 128, 0).x, spike = CGSensorData(220, 128, 128, 0).x;
    const int before = CGSensorData(140, 128, 128, 0).x, after = CGSensorData(100, 128, 128, 0).x;
    const struct {
        int64_t msPerValue;
        std::vector<int> x;
    } rows[] = {
        {1000, {rest, spike, before, before, before, after}},
        {2000, {spike, before, after}},
    };
    for (const auto& row : rows) {
        std::vector<int> x;
        for (const CGSensorData& d :
             TelemetryPanel::PickWholeTimeline(samples, 6000, row.msPerValue))
            x.push_back(d.x);
        EXPECT_EQ(x, row.x) << row.msPerValue;
    }
    EXPECT_TRUE(TelemetryPanel::PickWholeTimeline({}, 6000, 1000).empty());
}

TEST(TelemetryPanelScale, RulerIsTheLargestRoundNumberOfGThatFitsHalfTheRange) {
    const struct {
        double unitsPerG;
        int range;
        int units;
        const char* text;
    } rows[] = {
        {64, 200, 64, "1 g"}, {32, 200, 64, "2 g"},   {128, 200, 64, "0.5 g"},
        {20, 200, 80, "4 g"}, {64, 100, 32, "0.5 g"}, {256, 100, 0, ""},  // not even 0.25 g fits
        {1000, 200, 0, ""},
    };
    for (const auto& row : rows) {
        const TelemetryPanel::GraphRuler ruler = TelemetryPanel::RulerFor(row.unitsPerG, row.range);
        EXPECT_EQ(ruler.units, row.units) << row.unitsPerG << " " << row.range;
        EXPECT_EQ(ruler.text.toStdString(), row.text) << row.unitsPerG << " " << row.range;
    }
}

// Samples of seconds 1 to 3: x +0.5 g, y -0.5 g at rest otherwise (64 units to the g).
TEST_F(TelemetryPanelTest, GraphTipGivesTheTimeAndEachAxisInG) {
    textData.AddGSensor(CGSensorData(128, 128, 128, 0));
    textData.AddGSensor(CGSensorData(96, 160, 128, 0));
    textData.AddGSensor(CGSensorData(64, 128, 192, 0));
    panel->ReplotGraph(3);
    const struct {
        const char* what;
        double unitsPerG;
        std::string recording;
        int index;
        const char* tip;
    } rows[] = {
        {"at rest", 64, "", 0, "00:00:01\nX +0.00 g   Y +0.00 g   Z +0.00 g"},
        {"second 2", 64, "", 1, "00:00:02\nX +0.50 g   Y -0.50 g   Z +0.00 g"},
        {"another sensor", 32, "", 1, "00:00:02\nX +1.00 g   Y -1.00 g   Z +0.00 g"},
        {"on the camera clock", 64, RecordingFileName("REC", {2026, 3, 14, 12, 0, 0}, false), 2,
         "12:00:03\nX +1.00 g   Y +0.00 g   Z -1.00 g"},
        {"past the samples", 64, "", 3, ""},
        {"before them", 64, "", -1, ""},
    };
    for (const auto& row : rows) {
        panel->SetUnitsPerG(row.unitsPerG);
        panel->Clock().SetRecording(row.recording);
        EXPECT_EQ(panel->GraphValueTip(row.index).toStdString(), row.tip) << row.what;
        EXPECT_EQ(
            controls->graph->ToolTipAt(controls->graph->PlotRect().left() + (2 - row.index) * 13)
                .toStdString(),
            row.index >= 0 && row.index < 3 ? row.tip : "")
            << row.what;
    }
}

TEST_F(TelemetryPanelTest, PlayheadFollowsTheSecondShownAndGoesWithAClear) {
    for (int i = 0; i < 5; ++i) textData.AddGSensor(CGSensorData(128, 128, 128, 0));
    const struct {
        int64_t ms;  // -1: clear instead
        int playhead;
    } steps[] = {{5000, 4}, {2500, 1}, {0, -1}, {3000, 2}, {-1, -1}};
    for (const auto& step : steps) {
        if (step.ms < 0)
            panel->ClearGraph();
        else
            panel->ShowMoment(step.ms, step.ms / 1000);
        EXPECT_EQ(controls->graph->Playhead(), step.playhead) << step.ms;
    }
}
