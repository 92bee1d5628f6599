// The timeline panel over a trip of two recordings whose walk is handed in directly: event
// jumps across the recordings, in and out marks, the telemetry of one recording of the walk,
// and the clip exporter's proposed name and refusal of a recording as its target.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "app/dialogs/ClipExportCommand.h"
#include "app/dialogs/WindowDialogs.h"
#include "app/panels/EventListPanel.h"
#include "app/panels/TelemetryPanel.h"
#include "app/panels/TimelineLoader.h"
#include "app/panels/TimelinePanel.h"
#include "app/playback/PlaybackController.h"
#include "app/view/MainWindowControls.h"
#include "app/view/ViewerSettings.h"
#include "controls/CBitmapSlider.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CameraClock.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/FakePlayer.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

const std::string kFirst = "/nowhere/" + RecordingFileName("REC", {2026, 3, 14, 12, 0, 0}, true);
const std::string kSecond = "/nowhere/" + RecordingFileName("REC", {2026, 3, 14, 12, 0, 6}, true);

class TimelinePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        TimelinePanel::Host host;
        host.tripPaths = [this] { return &trip; };
        host.tripIndex = [this] { return tripIndex; };
        host.currentPath = [this] { return trip.empty() ? std::string() : trip[tripIndex]; };
        host.isPlayerActive = [] { return true; };
        host.openRecording = [this](const std::string& path, int index) {
            opened.push_back(path);
            if (!opens) return false;
            tripIndex = static_cast<size_t>(index);
            return true;
        };
        host.seekToRecordingMs = [this](int64_t ms) { seeks.push_back(ms); };
        host.pause = host.play = host.markTripRecordingInList = [] {};
        host.quitConfirmed = [] { return false; };
        host.seekOnTimeline = [](int64_t) { return false; };
        panelHost = host;
        telemetry = std::make_unique<TelemetryPanel>(
            window, controls, playback, playback.TextData(),
            TelemetryPanel::Host{[this]() -> const std::string& { return trip[tripIndex]; }, {}});
        panel = MakePanel(playback, host);
        panel->LoadTimeline(kFirst);
    }
    std::unique_ptr<TimelinePanel> MakePanel(PlaybackController& on, TimelinePanel::Host host) {
        return std::make_unique<TimelinePanel>(on, settings, *telemetry, dialogs, slider, graph,
                                               window, std::move(host));
    }
    // The walk of the trip arrives: events at 2 s, 4 s and 9 s (the second recording's 3 s).
    void Walked() { Walked(*panel); }
    void Walked(TimelinePanel& to) {
        TimelineResult walk;
        walk.paths = trip;
        walk.startsMs = {0, 6000};
        walk.timeline.durationMs = 12000;
        for (int64_t ms : {1000, 5000, 7000, 11000}) walk.timeline.fixes.push_back({ms, {}});
        for (int64_t ms : {2000, 4000, 9000}) walk.events.push_back({{}, ms, ms, 1.0});
        to.OnTimelineLoaded(walk);
    }

    std::vector<std::string> trip{kFirst, kSecond};
    size_t tripIndex = 0;
    bool opens = true;
    std::vector<std::string> opened;
    std::vector<int64_t> seeks;
    QWidget window;
    CBitmapSlider slider{&window};
    CGraphStatic graph{&window};
    PlaybackController playback;
    MainWindowControls controls{&window};
    ViewerSettings settings;
    WindowDialogs dialogs;
    std::unique_ptr<TelemetryPanel> telemetry;
    TimelinePanel::Host panelHost;
    std::unique_ptr<TimelinePanel> panel;
};

TEST_F(TimelinePanelTest, EventJumpsOpenTheTripRecordingHoldingTheEvent) {
    Walked();
    struct Row {
        bool next;
        std::vector<std::string> opened;
        int64_t seekMs;  // in the recording on screen
    };
    const Row rows[] = {
        {true, {}, 2000},        {true, {}, 4000}, {true, {kSecond}, 3000},  // 9 s on the trip
        {false, {kFirst}, 4000},  // back from the 9 s just jumped to
        {false, {}, 2000},
    };
    for (const Row& row : rows) {
        opened.clear();
        seeks.clear();
        row.next ? panel->OnNextEvent() : panel->OnPreviousEvent();
        EXPECT_EQ(opened, row.opened);
        EXPECT_EQ(seeks, std::vector<int64_t>{row.seekMs});
    }
}

// Once the controller knows the trip's lengths a jump is a seek on its timeline: the controller
// opens the recording holding the event itself.
TEST_F(TimelinePanelTest, EventJumpsAreTimelineSeeksOnceTheControllerKnowsTheTrip) {
    auto fake = std::make_unique<FakePlayer>();
    fake->Add(kFirst, {6000});
    fake->Add(kSecond, {6000});
    PlaybackController controller(std::move(fake));
    ASSERT_TRUE(controller.Start(nullptr, nullptr, false));
    ASSERT_TRUE(
        controller.PlayTrip({QString::fromStdString(kFirst), QString::fromStdString(kSecond)}, 0));
    ASSERT_TRUE(apptest::WaitUntil([&] { return !controller.Timeline().Empty(); }));
    std::vector<int64_t> timelineSeeks;
    TimelinePanel::Host host = panelHost;
    host.seekOnTimeline = [&](int64_t ms) {
        timelineSeeks.push_back(ms);
        return controller.SeekTo(ms);
    };
    std::unique_ptr<TimelinePanel> onController = MakePanel(controller, host);
    onController->LoadTimeline(kFirst);
    Walked(*onController);
    for (int i = 0; i < 3; ++i) onController->OnNextEvent();
    EXPECT_EQ(timelineSeeks, (std::vector<int64_t>{2000, 4000, 9000}));
    EXPECT_TRUE(opened.empty()) << "the window is not asked to open anything";
    EXPECT_EQ(controller.Path().toStdString(), kSecond);
    EXPECT_EQ(controller.Position(), 9000);
}

TEST_F(TimelinePanelTest, AJumpWhoseRecordingFailsToOpenSeeksNowhere) {
    Walked();
    tripIndex = 1;  // at 6 s: the next event is the 9 s one, in this recording
    opens = false;
    panel->OnPreviousEvent();  // 4 s lies in the first recording, which does not open
    EXPECT_EQ(opened, std::vector<std::string>{kFirst});
    EXPECT_TRUE(seeks.empty());
    panel->OnNextEvent();
    EXPECT_EQ(seeks, std::vector<int64_t>{3000});
}

TEST_F(TimelinePanelTest, MarksAreOnTheTripTimelineAndNeverCross) {
    struct Row {
        bool walked;
        size_t inIndex, outIndex;  // the recording on screen at each mark (position 0)
        int64_t in, out;
    };
    const Row rows[] = {
        {true, 0, 1, 0, 6000},
        {true, 1, 0, -1, 0},     // out before in: the in mark goes
        {true, 1, 1, -1, 6000},  // out on in
        {false, 1, 1, -1, -1},   // the trip's starts are not known before the walk
    };
    for (const Row& row : rows) {
        SetUp();
        if (row.walked) Walked();
        tripIndex = row.inIndex;
        panel->OnMarkIn();
        tripIndex = row.outIndex;
        panel->OnMarkOut();
        EXPECT_EQ(panel->InMarkMs(), row.in) << row.inIndex << row.outIndex;
        EXPECT_EQ(panel->OutMarkMs(), row.out) << row.inIndex << row.outIndex;
    }
}

TEST_F(TimelinePanelTest, PartOfGivesOneRecordingOfTheWalkOnItsOwnTimes) {
    EXPECT_TRUE(panel->PartOf(kSecond).fixes.empty()) << "before the walk";
    TimelineResult stale;
    stale.paths = {kSecond};
    stale.events = {{}};
    panel->OnTimelineLoaded(stale);
    EXPECT_TRUE(panel->Events().empty()) << "a walk of what was open before";
    Walked();
    const struct {
        std::string path;
        std::vector<int64_t> fixMs;
    } rows[] = {{kFirst, {1000, 5000}}, {kSecond, {1000, 5000}}, {"/nowhere/other.avi", {}}};
    for (const auto& row : rows) {
        std::vector<int64_t> times;
        for (const TimedFix& f : panel->PartOf(row.path).fixes) times.push_back(f.timeMs);
        EXPECT_EQ(times, row.fixMs) << row.path;
    }
}

TEST_F(TimelinePanelTest, EventListFollowsTheWalkAndAClickOnARowJumpsThere) {
    panel->ShowEventList();
    QTreeWidget* rows = panel->EventList()->Rows();
    const auto click = [&](int row) {
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                          rows->visualItemRect(rows->topLevelItem(row)).center());
    };
    // Before the walk one row says there are none; it jumps nowhere.
    ASSERT_EQ(rows->topLevelItemCount(), 1);
    EXPECT_EQ(rows->topLevelItem(0)->text(0), "No events");
    click(0);
    EXPECT_TRUE(seeks.empty());

    Walked();
    ASSERT_EQ(rows->topLevelItemCount(), 3);
    const struct {
        int row;
        const char* time;  // on the clock of the recording the event lies in
        std::vector<std::string> opened;
        int64_t seekMs;
    } table[] = {
        {2, "12:00:09", {kSecond}, 3000},
        {0, "12:00:02", {kFirst}, 2000},
        {1, "12:00:04", {}, 4000},
    };
    for (const auto& row : table) {
        QTreeWidgetItem* item = rows->topLevelItem(row.row);
        EXPECT_EQ(item->text(EventListPanel::kTimeColumn).toStdString(), row.time);
        EXPECT_EQ(item->text(EventListPanel::kKindColumn), "Hard braking");
        EXPECT_EQ(item->text(EventListPanel::kPeakColumn), "1.00 g");
        EXPECT_EQ(item->text(EventListPanel::kSpeedColumn), "") << "no valid fix near it";
        opened.clear();
        seeks.clear();
        click(row.row);
        EXPECT_EQ(opened, row.opened) << row.row;
        EXPECT_EQ(seeks, std::vector<int64_t>{row.seekMs}) << row.row;
    }

    // Another recording opens: its walk has not come yet, so the list has none.
    trip.clear();
    panel->LoadTimeline("/nowhere/other.avi");
    ASSERT_EQ(rows->topLevelItemCount(), 1);
    EXPECT_EQ(rows->topLevelItem(0)->text(0), "No events");
}

TEST(ClipExportCommandTest, ProposesTheInPointsCameraTimeAndAFreeName) {
    const fs::path home = fs::path(TARVEX_TEST_DATA_DIR) / "exporter-home";
    fs::remove_all(home);
    fs::create_directories(home);
    qputenv("HOME", QByteArray::fromStdString(home.string()));
    const int64_t start = RecordingStartSec(kFirst).value();
    const std::string stemAt7s = FormatClockStem(start + 7);
    std::ofstream(home / (FormatClockStem(start + 2) + "_clip.mp4")) << "taken";
    const struct {
        std::vector<std::string> inputs;
        std::vector<int64_t> startsMs;
        int64_t fromMs;
        std::string name;
    } rows[] = {
        {{kFirst}, {0}, 5000, FormatClockStem(start + 5) + "_clip.mp4"},
        {{kFirst, kSecond}, {0, 6000}, 7500, stemAt7s + "_clip.mp4"},
        {{kFirst}, {0}, 2000, FormatClockStem(start + 2) + "_clip-2.mp4"},
        {{"/nowhere/drive.avi"}, {0}, 3000, "drive_clip.mp4"},
    };
    for (const auto& row : rows) {
        const QString proposed = ClipExportCommand::ProposedClipPath(
            row.inputs, TripTimeline::FromStarts(row.startsMs, INT64_MAX, row.inputs), row.fromMs);
        EXPECT_EQ(proposed.toStdString(), (home / row.name).string());
    }
}

TEST(ClipExportCommandTest, ARecordingAsTheTargetIsRefusedBeforeTheExportStarts) {
    QWidget window;
    int runs = 0;
    QStringList messages;
    bool asked = true;
    ClipExportCommand exporter(window,
                               {[&](CExportDlg::Choice*) { return asked; },
                                [](const QString&) { return QString::fromStdString(kSecond); },
                                [&](CExportDlg&) { ++runs; },
                                [&](const QString& text) { messages << text; },
                                {},
                                {}});
    ClipRequest request;
    request.paths = {kFirst, kSecond};
    request.toMs = 12000;
    exporter.Export(request, TripTimeline({6000, 6000}), 64.0);
    EXPECT_EQ(messages.size(), 1);
    asked = false;  // cancelled options: the file is not asked for
    exporter.Export(request, TripTimeline({6000, 6000}), 64.0);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(runs, 0);
}

// The first export offers the composed picture, the lossless copy second with a line on what
// it is for; the file question starts in the videos folder, then where the last clip went.
TEST(ClipExportCommandTest, TheFirstExportOffersTheComposedClipInTheVideosFolder) {
    const fs::path home = fs::path(TARVEX_TEST_DATA_DIR) / "exporter-videos";
    fs::remove_all(home);
    fs::create_directories(home / "Videos");
    fs::create_directories(home / "elsewhere");
    qputenv("HOME", QByteArray::fromStdString(home.string()));
    QWidget window;
    std::vector<ClipCompose> offered;
    QStringList proposed;
    ClipExportCommand exporter(
        window, {[&](CExportDlg::Choice* c) {
                     offered.push_back(c->compose);
                     return true;
                 },
                 [&](const QString& path) {
                     proposed << QFileInfo(path).absolutePath();
                     return QString::fromStdString((home / "elsewhere" / "a.mp4").string());
                 },
                 [](CExportDlg&) {},
                 [](const QString&) {},
                 {},
                 {}});
    ClipRequest request;
    request.paths = {kFirst};
    request.toMs = 4000;
    exporter.Export(request, TripTimeline({4000}), 64.0);
    exporter.Export(request, TripTimeline({4000}), 64.0);
    ASSERT_EQ(proposed.size(), 2);
    EXPECT_EQ(offered.front(), ClipCompose::PictureInPicture);
    EXPECT_EQ(proposed[0].toStdString(), (home / "Videos").string());
    EXPECT_EQ(proposed[1].toStdString(), (home / "elsewhere").string());

    // The options dialog itself, as the person sees it.
    CExportDlg::Choice choice{ClipCompose::PictureInPicture};
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* tier = dialog->findChild<QComboBox*>(QStringLiteral("tier"));
        auto* hint = dialog->findChild<QLabel*>(QStringLiteral("tierHint"));
        ASSERT_TRUE(tier && hint);
        EXPECT_EQ(tier->currentIndex(), 0);
        EXPECT_TRUE(tier->itemText(0).startsWith("One picture")) << tier->itemText(0).toStdString();
        EXPECT_TRUE(tier->itemText(1).startsWith("Lossless")) << tier->itemText(1).toStdString();
        tier->setCurrentIndex(1);
        EXPECT_TRUE(hint->text().contains("evidence")) << hint->text().toStdString();
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(CExportDlg::ChooseOptions(&window, &choice));
    EXPECT_EQ(choice.compose, ClipCompose::None);
}

}  // namespace
