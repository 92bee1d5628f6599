// The telemetry panel on its own: the time labels' format, the G-sensor graph plotted once per
// second and again after a clear, and the map page's binding followed only for the map view
// the panel was given.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>

#include "app/MainWindowControls.h"
#include "app/PlaybackController.h"
#include "app/Resource.h"
#include "app/TelemetryPanel.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/CTextData.h"

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
