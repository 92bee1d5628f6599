// The map in the window: the page requested at set-up, loaded when the map is first shown and
// bound by the one-second timer, the marker following the recording's fixes on every display
// tick, the fixes shown before the map drawn when it appears, and the track emptied when
// another recording opens.
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdlib>
#include <memory>

#include "telemetry/CMapView.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {

// The browser engine needs no GPU here and, as root (in containers), no sandbox; set before
// the application starts.
struct BrowserEnvironment {
    BrowserEnvironment() { setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 0); }
};
const BrowserEnvironment g_browserEnvironment;

// The function name of a script call ("setCenter_wgs84(127, 37.5)" -> "setCenter_wgs84").
std::string Function(const std::string& call) {
    return call.substr(0, call.find('('));
}

QVariant RunScript(CMapView& view, const QString& script) {
    auto answer = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    view.Browser()->page()->runJavaScript(script, [answer](const QVariant& value) {
        *answer = {true, value};
    });
    EXPECT_TRUE(WaitUntil([&] { return answer->first; })) << "the page never answered";
    return answer->second;
}

class MainWindowMapTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        if (!CMapView::Available() || !CMapView::BrowserMayStart()) {
            GTEST_SKIP() << "no browser engine in this build or process";
        }
    }

    CMapView& Map() { return *Window().MapViewWidget(); }

    // Plays the one-camera recording until it has shown a fix, then pauses: nothing more is
    // sent until the page is bound (the fix on screen) or a frame is shown, which makes what
    // reaches the page easy to follow.
    void PlayUntilAFixAndPause() {
        ShowCard(OneCamera().root);
        DoubleClickRow(0);
        ASSERT_TRUE(WaitUntil([&] { return !LabelText(IDC_STATIC_SPEED).isEmpty(); }));
        Window().OnBnClickedButtonPause();
    }
};

}  // namespace

TEST_F(MainWindowMapTest, ThePageIsRequestedAtSetUpAndLoadedWhenTheMapIsFirstShown) {
    EXPECT_TRUE(Window().Telemetry().IsMapNavigated());
    EXPECT_EQ(Window().GetDlgItem(IDC_MAPVIEW), Window().MapViewWidget());
    EXPECT_EQ(Map().geometry(), QRect(650, 268, 0, 0)) << "hidden until a map state shows it";
    // No browser while the map is hidden: its mere presence makes every repaint expensive.
    Pump(1500);
    EXPECT_EQ(Map().Browser(), nullptr);
    EXPECT_FALSE(Window().Telemetry().IsMapReady());

    ShowCard(OneCamera().root);
    DoubleClickRow(0);  // one camera: the map shows in the small area
    EXPECT_NE(Map().Browser(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().IsMapReady(); }, 60000));
}

TEST_F(MainWindowMapTest, FixesShownBeforeTheMapExistsAreDrawnWhenItAppears) {
    ShowCard();
    DoubleClickRow(0);  // two cameras: front and rear, no map
    // The generated drive moves on with every fix, one a second: several seconds' worth.
    ASSERT_TRUE(WaitForFrontFrame(120));
    // Paused, so the 8 s recording cannot end (and the window stop at the top row) while the
    // browser engine starts, however long a loaded machine takes; the paused tick goes on
    // sending the fix shown.
    Window().OnBnClickedButtonPause();
    EXPECT_EQ(Map().Browser(), nullptr);

    Window().OnBnClickedButtonMapSmall();
    ASSERT_NE(Map().Browser(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().IsMapReady(); }, 60000));
    ASSERT_TRUE(WaitUntil([&] { return !Map().ScriptCalls().empty(); }));
    const QVariantMap state = RunScript(Map(), "tarvexMap.state()").toMap();
    EXPECT_GE(state.value("track").toList().size(), 3) << "the drive so far, not only its end";
    EXPECT_EQ(state.value("markers").toInt(), 1);
}

TEST_F(MainWindowMapTest, OnlyAFixThatMovesTheMarkerReachesThePage) {
    PlayUntilAFixAndPause();
    EXPECT_EQ(Map().geometry(), CSamplePlayerDlg::kSmallArea) << "one camera: the map is small";
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().IsMapReady(); }, 60000));
    // Bound while paused: the fix on screen once, and nothing more while nothing moves.
    ASSERT_TRUE(WaitUntil([&] { return Map().ScriptCalls().size() >= 3; }));
    Pump(500);
    EXPECT_EQ(Map().ScriptCalls().size(), 3u);
    // A frame step shows the next picture within the same fix: the page is left alone.
    Window().Playback().StepFrame(1);
    Pump(500);
    EXPECT_EQ(Map().ScriptCalls().size(), 3u);
    // Playing on, the next fix moves the marker there.
    Window().OnBnClickedButtonPlay();
    ASSERT_TRUE(WaitUntil([&] { return Map().ScriptCalls().size() >= 7; }));
    Window().OnBnClickedButtonPause();

    std::vector<std::string> calls(Map().ScriptCalls().begin(), Map().ScriptCalls().end());
    const std::vector<std::string> first = {"setCenter_wgs84", "addPoi_wgs84", "setCenter_wgs84"};
    const std::vector<std::string> later = {"setCenter_wgs84", "removePoi", "addPoi_wgs84",
                                            "setCenter_wgs84"};
    for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(Function(calls[i]), first[i]) << i;
    for (size_t i = 0; i < later.size(); ++i)
        EXPECT_EQ(Function(calls[first.size() + i]), later[i]) << i;
    EXPECT_EQ(calls[4], "removePoi(1)");
    // Longitude first, the generated drive starts in Seoul.
    const QRegularExpression add(
        R"(^addPoi_wgs84\(1, (126\.9\d*|127\.0\d*), (37\.5\d*), "", 0, 0, "gpspos"\)$)");
    EXPECT_TRUE(add.match(QString::fromStdString(calls[1])).hasMatch()) << calls[1];
    EXPECT_NE(calls[1], calls[5]);

    const QVariantMap state = RunScript(Map(), "tarvexMap.state()").toMap();
    EXPECT_EQ(state.value("markers").toInt(), 1) << "the page holds one marker";
}

TEST_F(MainWindowMapTest, AnotherRecordingEmptiesTheTrack) {
    PlayUntilAFixAndPause();
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().IsMapReady(); }, 60000));
    ASSERT_TRUE(WaitUntil([&] { return !Map().ScriptCalls().empty(); }));
    Window().OnBnClickedButtonStop();
    Map().ClearScriptCalls();
    DoubleClickRow(0);
    ASSERT_FALSE(Map().ScriptCalls().empty());
    EXPECT_EQ(Map().ScriptCalls().front(), "tarvexMap.clearTrack()");
}

TEST_F(MainWindowMapTest, StoppedPlayerSendsNothing) {
    PlayUntilAFixAndPause();
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().IsMapReady(); }, 60000));
    Window().OnBnClickedButtonStop();
    Map().ClearScriptCalls();
    Pump(500);  // several ticks' worth, had the display timer still run
    EXPECT_TRUE(Map().ScriptCalls().empty());
}

// A real click on the route drawn in the page seeks to the fix at that place: the fix chosen
// lies seconds before the picture shown, so playing on could never reach it by itself.
TEST_F(MainWindowMapTest, AClickOnTheRouteInThePageSeeksToTheFixThere) {
    ShowCard(OneCamera().root);
    DoubleClickRow(0);
    constexpr int kRate = 30;
    ASSERT_TRUE(WaitForFrontFrame(12 * kRate));
    Window().OnBnClickedButtonPause();
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().IsMapReady(); }, 60000));
    ASSERT_TRUE(WaitUntil([&] { return !Window().Timeline().IsTimelineLoading(); }));
    ASSERT_TRUE(WaitUntil([&] { return RunScript(Map(), "tarvexMap.routeSize()").toInt() > 1; }));
    Pump(500);  // the marker centred on the paused fix

    // Of the fixes at least four seconds back (and clear of the start), the one in view farthest
    // from the marker (the map's centre), so that the click meets the route and not the marker.
    const int64_t shownMs = FrontFrame() * 1000 / kRate;
    const QSize size = Map().Browser()->size();
    const QPoint centre(size.width() / 2, size.height() / 2);
    constexpr int kMargin = 12;
    QPoint target;
    int64_t targetMs = -1;
    for (const TimedFix& f : Window().Timeline().Telemetry().fixes) {
        if (!f.fix.valid || f.timeMs < 3000 || f.timeMs > shownMs - 4000) continue;
        const QVariantList p = RunScript(Map(), QString("tarvexMap.pointOf(%1, %2)")
                                                    .arg(f.fix.GetLatitude(), 0, 'f', 7)
                                                    .arg(f.fix.GetLongitude(), 0, 'f', 7))
                                   .toList();
        ASSERT_EQ(p.size(), 2);
        const QPoint at(qRound(p[0].toDouble()), qRound(p[1].toDouble()));
        if (at.x() < kMargin || at.y() < kMargin || at.x() > size.width() - kMargin ||
            at.y() > size.height() - kMargin)
            continue;
        if (targetMs < 0 || (at - centre).manhattanLength() > (target - centre).manhattanLength()) {
            target = at;
            targetMs = f.timeMs;
        }
    }
    ASSERT_GE(targetMs, 0) << "no earlier fix in view";
    ASSERT_GT((target - centre).manhattanLength(), 20) << "too close to the marker";

    QWidget* page = Map().Browser()->focusProxy();
    ASSERT_NE(page, nullptr);
    QTest::mouseClick(page, Qt::LeftButton, Qt::NoModifier, target);
    Window().OnBnClickedButtonPlay();
    const int second = static_cast<int>(targetMs / 1000);
    EXPECT_TRUE(WaitUntil([&] {
        const int f = FrontFrame();
        return f >= second * kRate && f < (second + 1) * kRate;
    })) << "wanted second "
        << second << ", shown frame " << FrontFrame();
}
