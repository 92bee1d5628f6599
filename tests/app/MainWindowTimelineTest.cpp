// The window's timeline on a card with a two-recording trip and G-sensor events at known
// times: event marks and jumps, graph and map clicks, in/out marks with clip export, and the
// trips view playing a trip across its recordings.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/dialogs/CEvidenceDlg.h"
#include "app/dialogs/CExportDlg.h"
#include "app/jobs/BackgroundJob.h"
#include "app/panels/TimelineLoader.h"
#include "app/view/QtVideoArea.h"
#include "controls/CBitmapSlider.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/CameraClock.h"
#include "tests/app/AppTestSupport.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 6;
constexpr int kRate = 30;

// Two recordings of one drive, back to back: events at 2 s (braking) and 4 s (impact) in
// the first, 3 s (turn) in the second.
const std::string& TripCard() {
    static const std::string root = [] {
        const fs::path card = fs::path(TARVEX_TEST_DATA_DIR) / "timeline_card";
        fs::create_directories(card / "DRIVING");
        for (int i = 0; i < 2; ++i) {
            RecordingOptions o;
            o.durationSec = kSeconds;
            o.frontWidth = o.rearWidth = 160;
            o.frontHeight = o.rearHeight = 96;
            o.calmDrive = true;
            o.hour = 12;
            o.minute = 0;
            o.second = i * kSeconds;
            o.seed = static_cast<uint32_t>(i + 1);
            o.gEvents = i == 0 ? std::vector<GeneratedGEvent>{{'b', 2000}, {'i', 4000}}
                               : std::vector<GeneratedGEvent>{{'t', 3000}};
            const fs::path path =
                card / "DRIVING" /
                RecordingFileName("REC", {2026, 3, 14, 12, 0, i * kSeconds}, true);
            std::string error;
            if (!fs::exists(path) && !WriteRecording(path.string(), o, &error))
                ADD_FAILURE() << error;
        }
        return card.string() + "/";
    }();
    return root;
}

class ExportingWindow : public apptest::TestWindow {
public:
    QString exportAnswer;
    QString exportProposed;  // what the save dialog was offered
    ClipResult exportResult = ClipResult::Failed;
    ClipSummary exportSummary;
    // Runs the export dialog instead of waiting for the export's end, when set.
    std::function<void(CExportDlg&)> onExportDialog;

    CExportDlg::Choice exportChoice;
    QString evidenceAnswer;
    QString evidenceProposed;
    bool evidenceWritten = false;
    std::vector<ClipExportCommand::Stretch> stretchesOffered;
    bool stretchAnswer = true;

protected:
    QString RunEvidenceFolderDialog(const QString& proposed) override {
        evidenceProposed = proposed;
        return evidenceAnswer;
    }
    bool RunEvidenceStretchDialog(ClipExportCommand::Stretch* stretch) override {
        stretchesOffered.push_back(*stretch);
        return stretchAnswer;
    }
    void RunEvidenceDialog(CEvidenceDlg& dialog) override {
        apptest::WaitUntil([&] { return dialog.IsFinished(); }, 120000);
        evidenceWritten = dialog.Succeeded();
    }
    bool RunExportOptionsDialog(CExportDlg::Choice* choice) override {
        *choice = exportChoice;
        return true;
    }
    QString RunExportPathDialog(const QString& proposed) override {
        exportProposed = proposed;
        return exportAnswer;
    }
    void RunExportDialog(CExportDlg& dialog) override {
        if (onExportDialog) return onExportDialog(dialog);
        apptest::WaitUntil([&] { return dialog.IsFinished(); }, 60000);
        exportResult = dialog.Result();
        exportSummary = dialog.Summary();
    }
};

class MainWindowTimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("LANG", "en_US.UTF-8");
        TripCard();
        workDir = fs::path(TARVEX_TEST_DATA_DIR) /
                  ("timeline-cwd-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(workDir);
        fs::create_directories(workDir);
        savedDir = fs::current_path();
        fs::current_path(workDir);
        window = std::make_unique<ExportingWindow>();
        window->show();
        window->Navigator().Cards().SetDrivePath(TripCard());
        window->Navigator().Cards().ShowCategory(CatalogueView::Driving);
    }
    void TearDown() override {
        window.reset();
        fs::current_path(savedDir);
    }

    void Key(Qt::Key key) {
        QTest::keyClick(window.get(), key);
        apptest::WaitOpened(*window);
        // T shows the trips view at once and lists its rows in the background.
        ASSERT_TRUE(apptest::WaitUntil([&] { return !window->Navigator().IsListingTrips(); }));
    }
    int FrontFrame() const { return ReadFramePattern(window->FrontArea()->LastImage()).frameIndex; }
    // Opens a list row and waits for the walk of its telemetry (events, route).
    void OpenAndWalk(int row) {
        window->Navigator().OnListDoubleClick(row);
        ASSERT_TRUE(apptest::WaitOpened(*window));
        ASSERT_TRUE(apptest::WaitUntil([&] { return !window->Timeline().IsTimelineLoading(); }));
    }
    // Plays until the picture shows a frame in [low, high).
    bool WaitForFrameIn(int low, int high) {
        return apptest::WaitUntil([&] {
            const int f = FrontFrame();
            return f >= low && f < high;
        });
    }

    std::unique_ptr<ExportingWindow> window;
    fs::path workDir, savedDir;
};

TEST_F(MainWindowTimelineTest, EventsAreMarkedAtOpenAndKeysJumpToThem) {
    OpenAndWalk(1);  // the older recording: braking at 2 s, impact at 4 s
    ASSERT_EQ(window->Timeline().Events().size(), 2u);
    std::vector<int> slider, graph;
    for (const auto& m : window->PositionSlider()->Marks()) slider.push_back(m.position);
    for (const auto& m : window->Graph()->Marks()) graph.push_back(m.valueIndex);
    EXPECT_EQ(slider, (std::vector<int>{2, 4}));
    EXPECT_EQ(graph, (std::vector<int>{2, 4}));  // the whole recording: a value a second
    EXPECT_EQ(window->Graph()->Span(), kSeconds);
    // Resting the pointer on a tick names the event there, as a jump to it does.
    const CBitmapSlider* position = window->PositionSlider();
    const QString impactTip = position->MarkTextAt(position->PosToPixel(4));
    EXPECT_TRUE(QRegularExpression(R"(^Impact \d\.\d\d g · 12:00:04 · \d+ km/h$)")
                    .match(impactTip)
                    .hasMatch())
        << impactTip.toStdString();
    // The whole route is on the map from the start: a fix a second.
    if (CMapView* map = window->MapViewWidget()) {
        EXPECT_EQ(map->Route().size(), static_cast<size_t>(kSeconds));
    }

    ASSERT_TRUE(WaitForFrameIn(1, 30));
    Key(Qt::Key_N);
    EXPECT_TRUE(WaitForFrameIn(2 * kRate, 3 * kRate)) << FrontFrame();
    Key(Qt::Key_N);
    EXPECT_TRUE(WaitForFrameIn(4 * kRate, 5 * kRate)) << FrontFrame();
    // The impact names itself: kind, peak, time of day on the camera clock, speed.
    ASSERT_FALSE(window->notes.isEmpty());
    EXPECT_TRUE(QRegularExpression(R"(^Impact \d\.\d\d g · 12:00:04 · \d+ km/h$)")
                    .match(window->notes.last())
                    .hasMatch())
        << window->notes.last().toStdString();
    Key(Qt::Key_P);
    EXPECT_TRUE(WaitForFrameIn(2 * kRate, 3 * kRate)) << FrontFrame();
    EXPECT_TRUE(window->notes.last().startsWith("Hard braking "))
        << window->notes.last().toStdString();
}

TEST_F(MainWindowTimelineTest, GraphAndMapClicksSeekToTheirSecond) {
    OpenAndWalk(1);
    ASSERT_TRUE(WaitForFrameIn(3 * kRate + 10, kSeconds * kRate));
    // The whole recording across the plot's width, a value a second, second 0 at the left
    // edge; the playhead stands at the second playing, the tip names the value's time.
    CGraphStatic* graph = window->Graph();
    const QRect plot = graph->PlotRect();
    ASSERT_EQ(graph->Span(), kSeconds);
    const double step = double(plot.width()) / (kSeconds - 1);
    EXPECT_EQ(graph->ValueIndexAt(plot.left()), 0);
    EXPECT_EQ(graph->ValueIndexAt(plot.left() + plot.width()), kSeconds - 1);
    EXPECT_GE(graph->Playhead(), 3);
    const int second1 = plot.left() + static_cast<int>(step);
    EXPECT_TRUE(graph->ToolTipAt(second1).startsWith("12:00:01\nX "))
        << graph->ToolTipAt(second1).toStdString();
    QTest::mouseClick(graph, Qt::LeftButton, Qt::NoModifier, QPoint(second1, graph->height() / 2));
    EXPECT_TRUE(WaitForFrameIn(kRate, 2 * kRate)) << FrontFrame();
    EXPECT_TRUE(apptest::WaitUntil([&] { return graph->Playhead() == 1; }));

    // A click on the route near the fix of second 4 lands on second 4.
    const auto& fixes = window->Timeline().Telemetry().fixes;
    ASSERT_GE(fixes.size(), 5u);
    const CGPSData& fix = fixes[4].fix;
    ASSERT_EQ(fixes[4].timeMs, 4000);
    if (CMapView* map = window->MapViewWidget())
        emit map->routeClicked(fix.GetLatitude() + 1e-6, fix.GetLongitude());
    else
        window->Timeline().OnRouteClicked(fix.GetLatitude() + 1e-6, fix.GetLongitude());
    EXPECT_TRUE(WaitForFrameIn(4 * kRate, 5 * kRate)) << FrontFrame();
}

// The open and the walk run beside the window; a walk for a recording opened before never
// replaces the walk of the one open now.
TEST_F(MainWindowTimelineTest, OnlyTheWalkOfTheRecordingOpenNowIsShown) {
    window->Navigator().OnListDoubleClick(1);  // braking and impact
    EXPECT_EQ(window->Playback().State(), PlaybackState::Loading) << "the open is not waited for";
    int opens = 0;
    QObject::connect(&window->Playback(), &PlaybackController::opened, window.get(), [&] {
        // Just open: the walk has started and is not waited for.
        EXPECT_TRUE(window->Timeline().IsTimelineLoading());
        ++opens;
    });
    ASSERT_TRUE(apptest::WaitOpened(*window));
    ASSERT_EQ(opens, 1);
    std::vector<std::vector<std::string>> delivered;
    // Open the other recording while the first walk still runs or its result waits.
    QObject::connect(window->Timeline().TimelineWalker(), &TimelineLoader::loaded, window.get(),
                     [&](const TimelineResult& r) { delivered.push_back(r.paths); });
    window->Navigator().OnListDoubleClick(0);  // one sharp turn
    ASSERT_TRUE(apptest::WaitOpened(*window));
    ASSERT_TRUE(apptest::WaitUntil([&] { return !window->Timeline().IsTimelineLoading(); }));
    apptest::Pump(200);
    ASSERT_FALSE(delivered.empty());
    EXPECT_EQ(delivered.back(), std::vector<std::string>{window->CurrentPath()});
    ASSERT_EQ(window->Timeline().Events().size(), 1u);
    EXPECT_EQ(window->Timeline().Events()[0].kind, DrivingEventKind::SharpTurn);
    ASSERT_EQ(window->PositionSlider()->Marks().size(), 1u);
    EXPECT_EQ(window->PositionSlider()->Marks()[0].position, 3);
    TimelineResult expected;
    ASSERT_TRUE(TimelineLoader::Walk({window->CurrentPath()}, {}, expected));
    EXPECT_EQ(window->Timeline().Telemetry().fixes.size(), expected.timeline.fixes.size());
    if (CMapView* map = window->MapViewWidget()) {
        ASSERT_EQ(map->Route().size(), static_cast<size_t>(kSeconds));
        EXPECT_EQ(map->Route().back().latitude, expected.timeline.fixes.back().fix.GetLatitude());
    }
}

TEST_F(MainWindowTimelineTest, ListRowsHoldingEventsCarryTheMarkAndTheCount) {
    RecordingListView* list = window->List();
    ASSERT_EQ(list->RowCount(), 2);
    // The newer recording (row 0) holds one event, the older two.
    const QString tips[] = {"1 event", "2 events"};
    const auto mark = [&](int row) {
        return apptest::ListIndex(list, row, 1).data(Qt::DecorationRole).value<QIcon>();
    };
    ASSERT_TRUE(apptest::WaitUntil([&] { return !mark(1).isNull(); }));
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(mark(row).isNull()) << row;
        EXPECT_EQ(apptest::ListToolTip(list, row, 1), tips[row]);
        EXPECT_EQ(apptest::ListToolTip(list, row, 2), tips[row]);
        // The text keeps the list's colour: amber belongs to the selected row.
        EXPECT_FALSE(apptest::ListIndex(list, row, 2).data(Qt::ForegroundRole).isValid()) << row;
    }
}

TEST_F(MainWindowTimelineTest, InAndOutMarksExportTheClip) {
    OpenAndWalk(1);
    ASSERT_TRUE(WaitForFrameIn(1, kRate));
    Key(Qt::Key_I);
    ASSERT_TRUE(WaitForFrameIn(3 * kRate, kSeconds * kRate));
    Key(Qt::Key_O);
    const int64_t in = window->Timeline().InMarkMs(), out = window->Timeline().OutMarkMs();
    ASSERT_GE(in, 0);
    ASSERT_GT(out, in);
    EXPECT_EQ(window->PositionSlider()->InMark(), in / 1000);
    EXPECT_EQ(window->PositionSlider()->OutMark(), out / 1000);

    const fs::path mp4 = workDir / "clip.mp4";
    window->exportAnswer = QString::fromStdString(mp4.string());
    Key(Qt::Key_X);
    ASSERT_EQ(window->exportResult, ClipResult::Done);
    EXPECT_TRUE(fs::exists(mp4));
    EXPECT_TRUE(fs::exists(workDir / "clip.gpx"));
    // The clip starts on the key frame at or before the in point (every second here).
    EXPECT_EQ(window->exportSummary.startMs, in / 1000 * 1000);
    // The name offered is the in point's time on the camera clock (one recording plays).
    const std::string recording = window->windowTitle().section(' ', 0, 0).toStdString();
    EXPECT_EQ(QFileInfo(window->exportProposed).fileName().toStdString(),
              FormatClockStem(RecordingStartSec(recording).value_or(0) + in / 1000) + "_clip.mp4");
    EXPECT_NEAR(window->exportSummary.endMs, out, 1000.0 / kRate);

    // The marks belong to the recording they were set on: another one starts without them,
    // on its slider and in its export, which then covers all of it.
    OpenAndWalk(0);
    EXPECT_EQ(window->PositionSlider()->InMark(), -1);
    EXPECT_EQ(window->PositionSlider()->OutMark(), -1);
    window->exportAnswer = QString::fromStdString((workDir / "whole.mp4").string());
    Key(Qt::Key_X);
    ASSERT_EQ(window->exportResult, ClipResult::Done);
    EXPECT_EQ(window->exportSummary.startMs, 0);
    EXPECT_NEAR(window->exportSummary.endMs, kSeconds * 1000, 1000.0 / kRate);
}

// The tier and options picked in the dialog reach the clip: one composed picture, no sound
// track, no GPS track beside it.
TEST_F(MainWindowTimelineTest, ExportTakesTheTierAndOptionsPicked) {
    OpenAndWalk(1);
    const fs::path mp4 = workDir / "composed.mp4";
    window->exportChoice = {ClipCompose::PictureInPicture, true, true, false};
    window->exportAnswer = QString::fromStdString(mp4.string());
    Key(Qt::Key_X);
    ASSERT_EQ(window->exportResult, ClipResult::Done);
    std::string streams;
    FILE* probe = popen(
        ("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + mp4.string()).c_str(),
        "r");
    ASSERT_NE(probe, nullptr);
    char line[64];
    while (fgets(line, sizeof line, probe)) streams += line;
    pclose(probe);
    EXPECT_EQ(streams, "video\n");
    EXPECT_FALSE(fs::exists(workDir / "composed.gpx"));
}

// The evidence package of the marked stretch, offered by the export's options and by the
// slider's menu: named after the in point, its stills at the picture on screen.
TEST_F(MainWindowTimelineTest, TheEvidencePackageHoldsTheMarkedStretch) {
    OpenAndWalk(1);
    ASSERT_TRUE(WaitForFrameIn(1, kRate));
    Key(Qt::Key_I);
    ASSERT_TRUE(WaitForFrameIn(3 * kRate, kSeconds * kRate));
    Key(Qt::Key_O);
    window->exportChoice.evidencePackage = true;
    window->evidenceAnswer = QString::fromStdString((workDir / "package").string());
    Key(Qt::Key_X);
    ASSERT_TRUE(window->evidenceWritten);
    for (const char* name : {"SHA256SUMS", "manifest.json", "clip.mp4", "report.pdf"})
        EXPECT_TRUE(fs::exists(workDir / "package" / name)) << name;
    const std::string recording = window->windowTitle().section(' ', 0, 0).toStdString();
    const int64_t in = window->Timeline().InMarkMs();
    EXPECT_EQ(QFileInfo(window->evidenceProposed).fileName().toStdString(),
              FormatClockStem(RecordingStartSec(recording).value_or(0) + in / 1000) + "_evidence");

    window->OnBnClickedButtonPause();
    window->Playback().SeekTo((in / 1000 + 1) * 1000);  // a whole second: its stills' name
    window->evidenceAnswer = QString::fromStdString((workDir / "at-picture").string());
    window->evidenceWritten = false;
    window->Timeline().OnEvidencePackage();
    ASSERT_TRUE(window->evidenceWritten);
    const std::string stem =
        FormatClockStem(RecordingStartSec(recording).value_or(0) + in / 1000 + 1);
    EXPECT_TRUE(fs::exists(workDir / "at-picture" / (stem + ".000_front.jpg"))) << stem;
}

// Without marks the package offers the picture on screen +-60 s, cut to the trip, with its
// stills at that picture; cancelling the offer asks nothing more.
TEST_F(MainWindowTimelineTest, TheEvidencePackageOffersTheMomentOnScreen) {
    OpenAndWalk(1);
    window->OnBnClickedButtonPause();
    window->Playback().SeekTo(3000);
    ASSERT_TRUE(WaitForFrameIn(2 * kRate, 3 * kRate + 1));
    window->stretchAnswer = false;
    window->evidenceProposed.clear();
    window->Timeline().OnEvidencePackage();
    ASSERT_EQ(window->stretchesOffered.size(), 1u);
    const ClipExportCommand::Stretch offered = window->stretchesOffered.back();
    EXPECT_EQ(offered.fromMs, 0);
    EXPECT_GE(offered.lengthMs, kSeconds * 1000);
    EXPECT_EQ(offered.toMs, offered.lengthMs);  // the trip is shorter than a minute after
    EXPECT_GE(offered.atMs, 2000);
    EXPECT_LE(offered.atMs, 3000);
    EXPECT_TRUE(window->evidenceProposed.isEmpty());
}

TEST_F(MainWindowTimelineTest, ExportRefusesTheRecordingItIsMadeFromAsTheTarget) {
    OpenAndWalk(1);
    const fs::path recording =
        fs::path(TripCard()) / "DRIVING" / RecordingFileName("REC", {2026, 3, 14, 12, 0, 0}, true);
    std::ifstream in(recording, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(before.empty());
    // The file dialog's "replace?" was answered yes: the window still refuses, before writing.
    window->exportAnswer = QString::fromStdString(recording.string());
    window->messages.clear();
    Key(Qt::Key_X);
    ASSERT_EQ(window->messages.size(), 1);
    EXPECT_TRUE(window->messages[0].contains("one of the recordings the clip is made from"))
        << window->messages[0].toStdString();
    std::ifstream after(recording, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), before);
}

TEST_F(MainWindowTimelineTest, AQuitWhileTheExportDialogRunsEndsTheWindowAndLeavesNoClip) {
    OpenAndWalk(1);
    const fs::path mp4 = workDir / "clip.mp4";
    window->exportAnswer = QString::fromStdString(mp4.string());
    // A composed clip: a copy of a few seconds can be done before the quit comes.
    window->exportChoice.compose = ClipCompose::PictureInPicture;
    bool forcedShut = false;
    window->onExportDialog = [&](CExportDlg& dialog) {
        // The quit signal's road, taken while the export runs (its end is posted later).
        QTimer::singleShot(0, window.get(), [&] { window->QuitNow(); });
        // Only for a dialog that stays up: the test then fails instead of hanging.
        QTimer::singleShot(20000, &dialog, [&] {
            forcedShut = true;
            dialog.done(QDialog::Accepted);
        });
        dialog.exec();
    };
    Key(Qt::Key_X);
    EXPECT_FALSE(forcedShut) << "the export dialog outlived the quit";
    EXPECT_FALSE(window->isVisible());
    // The cancelled export ends on its own and takes its temporary file with it.
    ASSERT_TRUE(BackgroundJob::WaitForJobs(20000));
    for (const auto& entry : fs::directory_iterator(workDir))
        EXPECT_EQ(entry.path().filename().string().find("clip"), std::string::npos) << entry.path();
}

TEST_F(MainWindowTimelineTest, TripsViewPlaysTheTripAcrossItsRecordings) {
    Key(Qt::Key_T);
    ASSERT_TRUE(window->Navigator().IsTripsView());
    RecordingListView* list = window->List();
    ASSERT_EQ(list->RowCount(), 1);
    EXPECT_EQ(apptest::ListCell(list, 0, 1), "TRIP");
    EXPECT_EQ(apptest::ListCell(list, 0, 2), "2026.03.14 12:00:00");
    EXPECT_EQ(apptest::ListCell(list, 0, 3), "0:12");
    EXPECT_EQ(apptest::ListCell(list, 0, 4), "2");

    OpenAndWalk(0);
    ASSERT_EQ(window->TripPaths().size(), 2u);
    EXPECT_EQ(window->TripIndex(), 0u);
    // Events of the whole trip: the turn of the second recording at 6 s + 3 s.
    ASSERT_EQ(window->Timeline().Events().size(), 3u);
    EXPECT_EQ(window->Timeline().Events()[2].timeMs, kSeconds * 1000 + 3000);
    ASSERT_TRUE(WaitForFrameIn(1, kRate));
    for (int i = 0; i < 3; ++i) {
        Key(Qt::Key_N);
        apptest::Pump(300);
    }
    // The third jump opens the second recording at its 3 s.
    EXPECT_EQ(window->TripIndex(), 1u);
    EXPECT_TRUE(WaitForFrameIn(3 * kRate, 4 * kRate)) << FrontFrame();

    Key(Qt::Key_T);
    EXPECT_FALSE(window->Navigator().IsTripsView());
    EXPECT_EQ(list->RowCount(), 2);
}

// N and P search from the picture on screen across the whole trip, whatever moved it there,
// and leave a paused trip paused, also when they open its other recording.
TEST_F(MainWindowTimelineTest, NextAndPreviousSearchFromThePictureAndKeepThePause) {
    Key(Qt::Key_T);
    OpenAndWalk(0);
    ASSERT_TRUE(WaitForFrameIn(1, kRate));
    window->OnBnClickedButtonPause();
    // The picture's time on the trip's timeline, once the picture has settled there.
    const auto pictureMs = [&] {
        return static_cast<int64_t>(window->TripIndex()) * kSeconds * 1000 +
               FrontFrame() * 1000 / kRate;
    };
    const auto landsNear = [&](int64_t ms) {
        return apptest::WaitUntil([&] { return std::llabs(pictureMs() - ms) <= 1000; }, 10000);
    };
    // Events: braking 2 s, impact 4 s, turn 6 + 3 s.
    const struct {
        int64_t fromMs;  // where another kind of jump put the picture first; -1: stay
        Qt::Key key;
        int64_t landsMs;
    } steps[] = {{-1, Qt::Key_N, 2000},    {-1, Qt::Key_N, 4000},    {-1, Qt::Key_N, 9000},
                 {-1, Qt::Key_P, 4000},    {11000, Qt::Key_P, 9000}, {1000, Qt::Key_N, 2000},
                 {10000, Qt::Key_P, 9000}, {5000, Qt::Key_N, 9000}};
    for (const auto& step : steps) {
        if (step.fromMs >= 0) {
            window->SeekOnTimeline(step.fromMs);
            apptest::WaitOpened(*window);
            ASSERT_TRUE(landsNear(step.fromMs)) << step.fromMs;
        }
        Key(step.key);
        EXPECT_TRUE(landsNear(step.landsMs))
            << "from " << step.fromMs << " to " << step.landsMs << ", at " << pictureMs();
        EXPECT_EQ(window->Playback().State(), PlaybackState::Paused) << step.landsMs;
    }
}

// Paused in a trip: a step back from a recording's first picture goes on to the last picture
// of the one before it, and the ten-second keys closer to an end than ten seconds go to that end.
TEST_F(MainWindowTimelineTest, StepsAndTenSecondKeysReachAcrossTheJoinAndToTheEnds) {
    Key(Qt::Key_T);
    OpenAndWalk(0);
    ASSERT_TRUE(WaitForFrameIn(1, kRate));
    window->OnBnClickedButtonPause();
    const int last = kSeconds * kRate - 1;
    const struct {
        int64_t fromMs;
        Qt::Key key;
        size_t recording;
        int frame;
    } steps[] = {{kSeconds * 1000, Qt::Key_Comma, 0, last},
                 {3000, Qt::Key_Left, 0, 0},
                 {3000, Qt::Key_Right, 1, last}};
    for (const auto& step : steps) {
        window->SeekOnTimeline(step.fromMs);
        apptest::WaitOpened(*window);
        ASSERT_TRUE(apptest::WaitUntil(
            [&] { return window->Playback().Position() / 100 == step.fromMs / 100; }));
        Key(step.key);
        EXPECT_TRUE(apptest::WaitUntil([&] {
            return window->TripIndex() == step.recording && FrontFrame() == step.frame;
        })) << "from "
            << step.fromMs << ": recording " << window->TripIndex() << ", frame " << FrontFrame();
        EXPECT_EQ(window->Playback().State(), PlaybackState::Paused) << step.fromMs;
    }
}

TEST_F(MainWindowTimelineTest, ATripRowExpandsIntoItsRecordingsAndPlaysFromTheOneChosen) {
    Key(Qt::Key_T);
    RecordingListView* list = window->List();
    ASSERT_EQ(list->RowCount(), 1);
    const QModelIndex trip = apptest::ListIndex(list, 0);
    ASSERT_EQ(list->model()->rowCount(trip), 2);
    EXPECT_EQ(apptest::ListCell(list, 0, 2, 0), "12:00:00");
    EXPECT_EQ(apptest::ListCell(list, 1, 2, 0), "12:00:06");
    EXPECT_EQ(apptest::ListCell(list, 1, 3, 0), "0:06");
    EXPECT_EQ(apptest::ListCell(list, 1, 1, 0), "REC");
    list->expand(trip);
    const auto pathUnder = [&](int index) {
        return apptest::ListIndex(list, index, 0, 0)
            .data(RecordingListModel::PathRole)
            .toString()
            .toStdString();
    };

    // A real double click on the second recording: the trip plays from it.
    const QPoint at = list->visualRect(apptest::ListIndex(list, 1, 2, 0)).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);  // not held
    ASSERT_TRUE(apptest::WaitOpened(*window));
    ASSERT_EQ(window->TripPaths().size(), 2u);
    EXPECT_EQ(window->TripIndex(), 1u);
    EXPECT_EQ(window->CurrentPath(), pathUnder(1));
    EXPECT_TRUE(apptest::IsListRowSelected(list, 1, 0));
    EXPECT_TRUE(WaitForFrameIn(1, kRate)) << FrontFrame();
    // Once the trip is walked and its lengths are known, the slider spans the whole trip and
    // carries all its marks: this recording's turn at 3 s is at 6 s + 3 s.
    ASSERT_TRUE(apptest::WaitUntil([&] {
        return !window->Timeline().IsTimelineLoading() &&
               window->PositionSlider()->GetRangeMax() == 2 * kSeconds;
    }));
    ASSERT_EQ(window->PositionSlider()->Marks().size(), 3u);
    EXPECT_EQ(window->PositionSlider()->Marks()[2].position, kSeconds + 3);

    // Up moves from the recording to the one before it; Return plays the trip from there.
    list->setFocus();
    Key(Qt::Key_Up);
    EXPECT_TRUE(apptest::IsListRowSelected(list, 0, 0));
    Key(Qt::Key_Return);
    EXPECT_EQ(window->TripIndex(), 0u);
    EXPECT_EQ(window->CurrentPath(), pathUnder(0));

    // Stopped, PLAY plays the trip from the recording selected, not that file on its own.
    window->OnBnClickedButtonStop();
    Key(Qt::Key_Down);
    window->OnBnClickedButtonPlay();
    ASSERT_TRUE(apptest::WaitOpened(*window));
    EXPECT_EQ(window->TripPaths().size(), 2u);
    EXPECT_EQ(window->TripIndex(), 1u);
    EXPECT_EQ(window->CurrentPath(), pathUnder(1));

    // Back to the recordings: a flat list with its own columns again.
    Key(Qt::Key_T);
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_TRUE(list->isColumnHidden(RecordingListModel::kLengthColumn));
    EXPECT_EQ(list->columnWidth(RecordingListModel::kRearColumn), 40);
    EXPECT_EQ(apptest::ListHeading(list, RecordingListModel::kRearColumn), "Rear");
}

TEST_F(MainWindowTimelineTest, ATripHandsOverWithoutABreakAndTheWindowFollows) {
    Key(Qt::Key_T);
    ASSERT_TRUE(window->Navigator().IsTripsView());
    int shownAtHandOver = -1;
    int presentsAtHandOver = 0;
    int32_t playerHandOvers = -1;
    size_t endedIndex = 99;
    QObject::connect(
        window.get(), &CSamplePlayerDlg::RecordingEnded, window.get(),
        [&] {
            if (endedIndex != 99) return;
            // The picture and the count of pictures, read at one moment.
            do {
                presentsAtHandOver = window->FrontArea()->PresentCount();
                shownAtHandOver = FrontFrame();
            } while (presentsAtHandOver != window->FrontArea()->PresentCount());
            playerHandOvers = window->Playback().Player().GetHandOvers();
            endedIndex = window->TripIndex();
        },
        Qt::DirectConnection);
    // The recording playing is shown under the trip.
    window->List()->expand(apptest::ListIndex(window->List(), 0));
    window->Navigator().OnListDoubleClick(0);
    ASSERT_TRUE(WaitForFrameIn(1, kRate));
    EXPECT_TRUE(apptest::IsListRowSelected(window->List(), 0, 0));
    ASSERT_TRUE(apptest::WaitUntil([&] { return window->TripIndex() == 1u; }, 20000));
    // The player went on into the second recording by itself; the window followed while
    // its first second was on screen.
    EXPECT_EQ(endedIndex, 0u);
    EXPECT_EQ(playerHandOvers, 1);
    EXPECT_GE(shownAtHandOver, 0);
    EXPECT_LT(shownAtHandOver, kRate);
    EXPECT_TRUE(window->windowTitle().startsWith(
        QString::fromStdString(fs::path(window->TripPaths()[1]).filename().string())))
        << window->windowTitle().toStdString();
    // One timeline: the slider spans both recordings and runs on past the join.
    EXPECT_EQ(window->PositionSlider()->GetRangeMax(), 2 * kSeconds);
    EXPECT_GE(window->PositionSlider()->GetPos(), kSeconds);
    EXPECT_LE(window->PositionSlider()->GetPos(), kSeconds + 1);
    // From there every front frame of the second recording was presented once.
    ASSERT_TRUE(apptest::WaitUntil([&] { return window->Playback().Player().Ended(); }, 20000));
    EXPECT_EQ(window->FrontArea()->PresentCount() - presentsAtHandOver,
              kSeconds * kRate - 1 - shownAtHandOver);
    EXPECT_EQ(FrontFrame(), kSeconds * kRate - 1);
    // The list shows the recording playing under its trip.
    EXPECT_TRUE(apptest::IsListRowSelected(window->List(), 1, 0));
    EXPECT_FALSE(apptest::IsListRowSelected(window->List(), 0, 0));
}

}  // namespace
