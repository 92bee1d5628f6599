// Listing, opening, the transport commands and the display that follows playback, on the
// generated card.
#include <QAccessible>
#include <QTimer>
#include <set>

#include "app/panels/TimelinePanel.h"
#include "app/window/CSamplePlayerApp.h"
#include "telemetry/TelemetryLogic.h"
#include "telemetry/TelemetryWalk.h"
#include "tests/GeneratedRecording.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {
constexpr int kRows = 3;  // DRIVING: 8 s (row 0, newest), 60 s (row 1), 8 s (row 2)
}

TEST_F(MainWindowFixture, DrivingViewListsNewestFirstAndSelectsRowZeroWithoutPlaying) {
    ShowCard();
    RecordingListView* list = Window().List();
    ASSERT_EQ(list->RowCount(), kRows);
    EXPECT_EQ(list->PathOf(0).toStdString(), Card().driving[0]);
    EXPECT_EQ(list->PathOf(1).toStdString(), Card().driving[1]);
    EXPECT_EQ(ListCell(list, 0, 1), "REC");
    EXPECT_EQ(ListCell(list, 0, 2), "2026.03.14 18:25:49");
    EXPECT_EQ(ListCell(list, 0, 4), "\u2713");
    EXPECT_TRUE(IsListRowSelected(list, 0));
    EXPECT_FALSE(Window().IsPlayerActive());
    // Headings and widths of the English interface; the file name and the length (a trips
    // view's) are hidden and the path is the rows' data, in no column.
    const QStringList headings = {"FileName", "Type", "Date", "Length", "Rear", "Size"};
    // The date column takes what the list has beyond the others (at least its own width).
    const int widths[] = {0, 54, 124, 0, 40, 86};
    ASSERT_EQ(list->model()->columnCount(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ListHeading(list, i), headings[i]);
        EXPECT_EQ(list->isColumnHidden(i), widths[i] == 0) << i;
        if (i == 2) {
            EXPECT_GE(list->columnWidth(i), widths[i]);
        } else if (widths[i]) {
            EXPECT_EQ(list->columnWidth(i), widths[i]) << i;
        }
    }
}

TEST_F(MainWindowFixture, AllViewStacksUserThenEventAboveDriving) {
    ShowCard();
    Window().Navigator().Cards().ShowCategory(CatalogueView::All);
    RecordingListView* list = Window().List();
    ASSERT_EQ(list->RowCount(), kRows + 2);
    EXPECT_EQ(ListCell(list, 0, 1), "MAN");
    EXPECT_EQ(ListCell(list, 1, 1), "EVT");
    EXPECT_EQ(list->PathOf(2).toStdString(), Card().driving[0]);
    EXPECT_TRUE(IsListRowSelected(list, 0));
    EXPECT_TRUE(Window().Navigator().Cards().FolderPath().find("USER") != std::string::npos);
    Window().Navigator().Cards().ShowCategory(CatalogueView::Event);
    EXPECT_EQ(list->RowCount(), 1);
    Window().Navigator().Cards().ShowCategory(CatalogueView::Parking);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_TRUE(Window().messages.isEmpty()) << "an empty folder is no failure";
}

TEST_F(MainWindowFixture, ACardWithoutTheLayoutShowsTheMessageAndForgetsTheDrive) {
    ShowCard((workDir / "no-such-card").string());
    EXPECT_EQ(Window().List()->RowCount(), 0);
    ASSERT_EQ(Window().messages.size(), 1);
    EXPECT_EQ(Window().messages[0], "Blackbox info not found.\nPlease check location of drive");
    EXPECT_TRUE(Window().DrivePath().empty());
    // With no drive, OPEN asks for one; a cancelled question changes nothing.
    Key(Qt::Key_F2);
    EXPECT_EQ(Window().driveDialogs, 1);
    EXPECT_TRUE(Window().DrivePath().empty());
    Window().driveAnswer = Card().root;
    Window().OnBnClickedButtonOpen();
    EXPECT_EQ(Window().DrivePath(), Card().root);
    EXPECT_EQ(Window().List()->RowCount(), kRows);
}

TEST_F(MainWindowFixture, DoubleClickOpensTheRowAndFrontFramesAdvance) {
    ShowCard();
    DoubleClickRow(1);
    EXPECT_EQ(Window().CurIndex(), 1);
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_TRUE(Window().IsFollowingPlayback());
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
    EXPECT_FALSE(Visible(IDC_BUTTON_PLAY));
    EXPECT_EQ(Window().FrontArea()->geometry(), QRect(4, 64, 640, 360));
    EXPECT_EQ(Window().RearArea()->geometry(), QRect(650, 268, 320, 180));
    ASSERT_TRUE(WaitForFrontFrame(1));
    const int first = FrontFrame();
    ASSERT_TRUE(WaitForFrontFrame(first + 15));
    EXPECT_EQ(ReadFramePattern(Window().FrontArea()->LastImage()).camera, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return ReadFramePattern(Window().RearArea()->LastImage()).camera == 1; }));
    // The tick moves the labels and the speed as the recording plays.
    ASSERT_TRUE(WaitUntil([&] { return LabelText(IDC_STATIC_CURTIME) == "00:00:01"; }));
    EXPECT_TRUE(LabelText(IDC_STATIC_SPEED).endsWith(" km/h"));
    EXPECT_EQ(Window().PositionSlider()->GetPos(), 1);
}

TEST_F(MainWindowFixture, SixtySecondRecordingShowsOneMinuteAndHandsOverAtItsEnd) {
    ShowCard();
    DoubleClickRow(1);
    EXPECT_EQ(LabelText(IDC_STATIC_TOTALTIME), "00:01:00");
    EXPECT_EQ(Window().PositionSlider()->GetRangeMax(), 60);
    ASSERT_TRUE(WaitForFrontFrame(1));
    SendSliderRelease(IDC_SLIDER_POS, 55);
    ASSERT_TRUE(WaitUntil([&] { return Window().CurIndex() == 0; }));
    WaitOpened(Window());
    EXPECT_EQ(LabelText(IDC_STATIC_TOTALTIME), "00:00:08");
    EXPECT_TRUE(IsListRowSelected(Window().List(), 0));
    // The top row, played to its end, holds its last picture and its whole length.
    ASSERT_TRUE(WaitUntil([&] { return Window().IsHeldAtEnd(); }));
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    EXPECT_EQ(LabelText(IDC_STATIC_CURTIME), "00:00:08.0") << "held, to the tenth";
    EXPECT_EQ(Window().PositionSlider()->GetPos(), 8);
    EXPECT_EQ(FrontFrame(), 239) << "the last picture stays";
    EXPECT_NE(Window().CurrentPath().find("182549_D.AVI"), std::string::npos);
    // A seek shows another of its pictures, paused; PLAY plays on from there.
    Window().SeekToRecordingMs(4000);
    ASSERT_TRUE(WaitUntil([&] { return FrontFrame() == 120; })) << FrontFrame();
    EXPECT_FALSE(Window().Playback().Player().IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return !Window().IsHeldAtEnd(); }));
    Window().OnBnClickedButtonPlay();
    ASSERT_TRUE(WaitUntil([&] { return FrontFrame() > 130; })) << FrontFrame();
    // Held at the end again, PLAY starts it from its beginning.
    ASSERT_TRUE(WaitUntil([&] { return Window().IsHeldAtEnd(); }));
    Window().List()->clearSelection();
    Window().OnBnClickedButtonPlay();
    ASSERT_TRUE(WaitUntil([&] { return FrontFrame() < 30; })) << FrontFrame();
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
}

TEST_F(MainWindowFixture, StopResetsLabelsSliderButtonsAndAreas) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitUntil([&] { return Window().PositionSlider()->GetPos() >= 1; }));
    Window().OnBnClickedButtonStop();
    EXPECT_FALSE(Window().IsPlayerActive());
    EXPECT_FALSE(Window().IsFollowingPlayback());
    EXPECT_EQ(Window().CurIndex(), -1);
    EXPECT_EQ(Window().PositionSlider()->GetPos(), 0);
    EXPECT_EQ(LabelText(IDC_STATIC_CURTIME), "00:00:00");
    EXPECT_EQ(LabelText(IDC_STATIC_TOTALTIME), "00:00:00");
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    EXPECT_FALSE(Visible(IDC_BUTTON_PAUSE));
    EXPECT_EQ(Window().FrontArea()->Size().width, 0);
    EXPECT_EQ(Window().RearArea()->Size().width, 0);
    EXPECT_EQ(Window().FrontView(), 0);
    // PLAY with the selected row opens it again.
    SelectListRow(Window().List(), 2);  // as a click selects
    Window().OnBnClickedButtonPlay();
    WaitOpened(Window());
    EXPECT_EQ(Window().CurIndex(), 2);
    EXPECT_TRUE(Window().IsPlayerActive());
}

TEST_F(MainWindowFixture, PlayWithoutASelectedRowDoesNothing) {
    ShowCard();
    Window().List()->clearSelection();
    Window().OnBnClickedButtonPlay();
    WaitOpened(Window());
    EXPECT_FALSE(Window().IsPlayerActive());
    EXPECT_EQ(Window().CurIndex(), -1);
}

TEST_F(MainWindowFixture, VolumeSliderReleaseSetsTheChannelVolumeOrMutes) {
    struct Row {
        int position;
        uint32_t channel;
        int mute;
    } rows[] = {{1, 655, 0}, {50, 32767, 0}, {99, 64879, 0}, {0, 0, 1}, {50, 32767, 0}};
    for (const Row& row : rows) {
        SendSliderRelease(IDC_SLIDER_VOLUME, row.position);
        EXPECT_EQ(Window().Playback().Session().Output().GetVolume(), row.channel | (row.channel << 16))
            << row.position;
        EXPECT_EQ(MuteCheck(), row.mute) << row.position;
    }
}

TEST_F(MainWindowFixture, MuteButtonSilencesAndRestoresTheSliderVolume) {
    SendSliderRelease(IDC_SLIDER_VOLUME, 50);
    auto* mute = Window().GetDlgItem(IDC_BUTTON_MUTE);
    QTest::mouseClick(mute, Qt::LeftButton);
    EXPECT_EQ(MuteCheck(), 1);
    EXPECT_EQ(Window().Playback().Session().Output().GetVolume(), 0u);
    QTest::mouseClick(mute, Qt::LeftButton);
    EXPECT_EQ(MuteCheck(), 0);
    EXPECT_EQ(Window().Playback().Session().Output().GetVolume() & 0xFFFF, 32767u);
}

TEST_F(MainWindowFixture, PositionSliderAtZeroGoesToTheStart) {
    ShowCard();
    DoubleClickRow(1);
    SendSliderRelease(IDC_SLIDER_POS, 20);
    ASSERT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() >= 20000; }));
    SendSliderRelease(IDC_SLIDER_POS, 0);
    EXPECT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() < 1000; }));
}

TEST_F(MainWindowFixture, StartingWithACardFolderShowsItsDrivingRecordings) {
    int rows = -1;
    std::string drive;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<CSamplePlayerDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        rows = shown->List()->RowCount();
        drive = shown->DrivePath();
        shown->QuitNow();
    });
    CSamplePlayerApp app;
    EXPECT_FALSE(app.InitInstance(Card().root));
    EXPECT_EQ(rows, kRows);
    EXPECT_EQ(drive, Card().root);
}

// The picture's date and time on the camera clock beside the position and in the title, and
// the clock's offset from GPS time in its tooltip once the recording's fixes are read.
TEST_F(MainWindowFixture, TheTimeOfDayIsThePictures) {
    ShowCard();
    DoubleClickRow(1);  // REC_20260314_182529_D.AVI, 60 s; by its fixes the clock is 9 h 20 s ahead
    ASSERT_TRUE(WaitForFrontFrame(1));
    Window().OnBnClickedButtonPause();
    Window().SeekToRecordingMs(10000);
    EXPECT_EQ(Window().Telemetry().ClockText(), "2026-03-14 18:25:39.0") << "paused: tenths";
    EXPECT_EQ(Window().windowTitle(), QString::fromUtf8("REC_20260314_182529_D.AVI \u2014 "
                                                        "2026-03-14 18:25:39 - Tarvex K310VZN PC "
                                                        "Viewer"));
    EXPECT_TRUE(WaitUntil([&] {
        return Window().GetDlgItem(IDC_STATIC_CLOCK)->toolTip().contains("+09:00:20");
    })) << Window().GetDlgItem(IDC_STATIC_CLOCK)->toolTip().toStdString();
    EXPECT_EQ(PictureClock::FormatOffset(-3723), "-01:02:03");

    Window().OnBnClickedButtonStop();
    EXPECT_EQ(Window().Telemetry().ClockText(), "");
    EXPECT_EQ(Window().windowTitle(), "Tarvex K310VZN PC Viewer");
}

// Paused, after each jump the speed box reads the speed of the picture on screen: that of the
// recording's valid fix nearest the picture's time (to the km/h), also far ahead of what the
// player has read since the open.
TEST_F(MainWindowFixture, TheSpeedBoxReadsThePicturesSpeedAfterEachJump) {
    ShowCard();
    DoubleClickRow(1);  // REC_20260314_182529_D.AVI, 60 s of a drive whose speed changes
    ASSERT_TRUE(WaitForFrontFrame(1));
    Window().OnBnClickedButtonPause();
    RecordingTelemetry walked;
    ASSERT_TRUE(WalkTelemetry(Window().CurrentPath(), walked));
    ASSERT_TRUE(WaitUntil([&] { return !Window().Timeline().IsTimelineLoading(); }));
    std::set<int> speeds;
    for (const int64_t targetMs : {45000, 12000, 58000, 3000, 30000, 52000}) {
        Window().SeekToRecordingMs(targetMs);
        ASSERT_TRUE(WaitUntil([&] { return FrontFrame() == targetMs * 30 / 1000; })) << targetMs;
        const int64_t pictureMs = FrontFrame() * 1000 / 30;
        const int64_t nearest = NearestValidFix(walked.fixes, pictureMs);
        ASSERT_GE(nearest, 0);
        const QString expected = QString::fromStdString(
            FormatSpeedLabel(walked.fixes[static_cast<size_t>(nearest)].fix, SpeedUnit::Kmh));
        EXPECT_TRUE(WaitUntil([&] { return LabelText(IDC_STATIC_SPEED) == expected; }, 3000))
            << "at " << pictureMs << " ms the box reads "
            << LabelText(IDC_STATIC_SPEED).toStdString() << ", the picture's fix "
            << expected.toStdString();
        speeds.insert(expected.section(QLatin1Char(' '), 0, 0).toInt());
        // What a screen reader is given: the box's name and what it shows.
        for (const int id : {IDC_STATIC_SPEED, IDC_STATIC_CURTIME, IDC_STATIC_CLOCK}) {
            QAccessibleInterface* read =
                QAccessible::queryAccessibleInterface(Window().GetDlgItem(id));
            ASSERT_NE(read, nullptr);
            EXPECT_FALSE(read->text(QAccessible::Name).isEmpty()) << id;
            EXPECT_EQ(read->text(QAccessible::Description), LabelText(id)) << id;
        }
    }
    EXPECT_GT(speeds.size(), 2u) << "the drive's speed should change between the jumps";
}

// A recording with nothing to check its clock against says so, whatever the one before said.
TEST_F(MainWindowFixture, TheClocksOffsetIsTheOpenRecordingsOwn) {
    const QString withFix = QStringLiteral("+09:00:20");
    const QString noFix = QStringLiteral("No GPS fix in this recording");
    const struct {
        const char* name;
        bool telemetry;
        int noFixSeconds;
    } rows[] = {{"REC_20260314_190009_D.AVI", false, 0}, {"REC_20260314_191009_D.AVI", true, 3}};
    QWidget* clock = Window().GetDlgItem(IDC_STATIC_CLOCK);
    for (const auto& row : rows) {
        RecordingOptions o;
        o.durationSec = 3;
        o.frontWidth = 320, o.frontHeight = 180, o.rearWidth = 160, o.rearHeight = 90;
        o.telemetry = row.telemetry;
        o.noFixSeconds = row.noFixSeconds;
        const std::string unfixed = GeneratedRecording(
            std::string(TARVEX_TEST_DATA_DIR) + "/app-unfixed/DRIVING/" + row.name, o);
        ASSERT_TRUE(Open(Card().driving[1]));
        ASSERT_TRUE(WaitUntil([&] { return clock->toolTip().contains(withFix); }))
            << clock->toolTip().toStdString();
        ASSERT_TRUE(Open(unfixed)) << row.name;
        EXPECT_TRUE(clock->toolTip().contains(noFix))
            << row.name << ": " << clock->toolTip().toStdString();
        ASSERT_TRUE(WaitUntil([&] { return !Window().Timeline().IsTimelineLoading(); }));
        EXPECT_TRUE(clock->toolTip().contains(noFix))
            << row.name << ": " << clock->toolTip().toStdString();
        EXPECT_FALSE(clock->toolTip().contains(withFix));
    }
}
