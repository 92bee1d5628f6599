// The keyboard table: every key is traced and consumed, and the listed keys act.
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

TEST_F(MainWindowFixture, SpacePausesAndResumes) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    Key(Qt::Key_Space);
    EXPECT_FALSE(Window().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    const int paused = Window().Player().GetFrameCounter();
    Pump(300);
    EXPECT_LE(Window().Player().GetFrameCounter(), paused + 1);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Window().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
    ASSERT_TRUE(WaitForFrontFrame(FrontFrame() + 10));
}

TEST_F(MainWindowFixture, RightAndLeftSeekTenSecondsWithTheirTraceLines) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    ClearTraces();
    Key(Qt::Key_Left);  // under 11 s: ignored
    Key(Qt::Key_Right);
    EXPECT_EQ(KeyTraces(),
              (std::vector<std::string>{"Press Button => 37\n", "Press Button => VK_LEFT\n",
                                        "Press Button => 39\n", "Press Button => VK_RIGHT\n"}));
    ASSERT_TRUE(WaitUntil([&] { return Window().Player().GetPositionMs() >= 10000; }));
    ASSERT_TRUE(WaitUntil([&] { return Window().Player().GetPositionMs() > 11000; }));
    const int before = Window().Player().GetPositionMs();
    Key(Qt::Key_Left);
    ASSERT_TRUE(WaitUntil([&] { return Window().Player().GetPositionMs() < before - 5000; }));
}

TEST_F(MainWindowFixture, PageUpAndPageDownStepThroughRowsAndStopAtTheEnds) {
    ShowCard();
    DoubleClickRow(1);
    Key(Qt::Key_PageDown);  // older: row 2
    EXPECT_EQ(Window().CurIndex(), 2);
    EXPECT_TRUE(Window().List()->topLevelItem(2)->isSelected());
    EXPECT_EQ(LabelText(IDC_STATIC_TOTALTIME), "00:00:08");
    Key(Qt::Key_PageDown);  // past the last row: stop
    EXPECT_EQ(Window().CurIndex(), -1);
    EXPECT_FALSE(Window().IsPlayerActive());

    DoubleClickRow(1);
    Key(Qt::Key_PageUp);  // newer: row 0
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_TRUE(Window().IsPlayerActive());
    Key(Qt::Key_PageUp);  // above the top row: stop
    EXPECT_EQ(Window().CurIndex(), -1);
    EXPECT_FALSE(Window().IsFollowingPlayback());
}

TEST_F(MainWindowFixture, UpAndDownMoveTheVolumeByFiveWithinItsRange) {
    SendSliderRelease(IDC_SLIDER_VOLUME, 92);
    ClearTraces();
    struct Step {
        Qt::Key key;
        int volume;
    } steps[] = {{Qt::Key_Up, 97}, {Qt::Key_Up, 99}, {Qt::Key_Down, 94}};
    for (const Step& step : steps) {
        Key(step.key);
        EXPECT_EQ(Window().VolumeSlider()->GetPos(), step.volume);
        EXPECT_EQ(Window().WaveBox().GetVolume() & 0xFFFF,
                  static_cast<uint32_t>(step.volume * 655.35));
    }
    EXPECT_EQ(KeyTraces()[1], "Press Button => VK_UP\n");
    EXPECT_EQ(KeyTraces()[5], "Press Button => VK_DOWN\n");
    SendSliderRelease(IDC_SLIDER_VOLUME, 3);
    Key(Qt::Key_Down);
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 0);
    EXPECT_EQ(MuteCheck(), 1);
}

TEST_F(MainWindowFixture, EnterEntersAndLeavesFullScreen) {
    Key(Qt::Key_Return);
    EXPECT_EQ(Window().ScreenMode(), 2);
    EXPECT_FALSE(Visible(IDC_LIST_FILENAME));
    EXPECT_FALSE(Visible(IDC_STATIC_GRAPH));
    EXPECT_TRUE(Visible(IDC_BUTTON_PREVSIZE));
    EXPECT_TRUE(Window().Background().isNull());
    Key(Qt::Key_Return);
    EXPECT_EQ(Window().ScreenMode(), 1);
    EXPECT_TRUE(Visible(IDC_LIST_FILENAME));
    EXPECT_FALSE(Visible(IDC_BUTTON_PREVSIZE));
    EXPECT_EQ(Window().size(), QSize(975, 635));
}

TEST_F(MainWindowFixture, KeysWithoutAnActionAreOnlyTracedAndNeverReachTheControls) {
    ShowCard();
    Window().List()->setFocus();
    QTest::keyClick(Window().List(), Qt::Key_Down);  // would move the list's selection
    EXPECT_TRUE(Window().List()->topLevelItem(0)->isSelected());
    ClearTraces();
    Key(Qt::Key_Escape);
    Key(Qt::Key_Tab);
    Key(Qt::Key_A);
    EXPECT_TRUE(Window().isVisible()) << "Escape must not close the window";
    EXPECT_EQ(KeyTraces(), (std::vector<std::string>{"Press Button => 27\n", "Press Button => 9\n",
                                                     "Press Button => 65\n"}));
}

TEST_F(MainWindowFixture, F3PausesAndAsksForADriveThenTheSpaceActionResumes) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(3));
    Key(Qt::Key_F3);  // drive already chosen: no question; pause, then Space resumes
    EXPECT_EQ(Window().driveDialogs, 0);
    EXPECT_TRUE(Window().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));

    Window().SetDrivePath("");
    Key(Qt::Key_F3);  // question cancelled
    EXPECT_EQ(Window().driveDialogs, 1);
    EXPECT_TRUE(Window().DrivePath().empty());
}

TEST_F(MainWindowFixture, CommaAndPeriodStepOneFrameAndBracketsWalkTheRates) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    Key(Qt::Key_Period);  // while playing: pauses first, then steps
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    EXPECT_FALSE(Window().Player().IsRunning());
    Pump(300);
    int frame = FrontFrame();
    const struct {
        int key, delta;
    } steps[] = {
        {Qt::Key_Period, 1}, {Qt::Key_Period, 1}, {Qt::Key_Comma, -1}, {Qt::Key_Comma, -1}};
    for (const auto& step : steps) {
        Key(step.key);
        frame += step.delta;
        EXPECT_TRUE(WaitUntil([&] { return FrontFrame() == frame; }, 5000))
            << "key " << step.key << " expected " << frame << " shows " << FrontFrame();
        EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    }

    const struct {
        int key, percent;
        const char* label;
    } rates[] = {{Qt::Key_BracketRight, 150, "1.5\u00d7"}, {Qt::Key_BracketRight, 200, "2\u00d7"},
                 {Qt::Key_BracketRight, 400, "4\u00d7"},   {Qt::Key_BracketRight, 400, "4\u00d7"},
                 {Qt::Key_BracketLeft, 200, "2\u00d7"},    {Qt::Key_BracketLeft, 150, "1.5\u00d7"},
                 {Qt::Key_BracketLeft, 100, ""},           {Qt::Key_BracketLeft, 50, "0.5\u00d7"},
                 {Qt::Key_BracketLeft, 25, "0.25\u00d7"},  {Qt::Key_BracketLeft, 25, "0.25\u00d7"}};
    for (const auto& rate : rates) {
        Key(rate.key);
        EXPECT_EQ(Window().Player().GetRatePercent(), rate.percent);
        EXPECT_EQ(LabelText(IDC_STATIC_RATE), QString::fromUtf8(rate.label)) << rate.percent;
    }
}
