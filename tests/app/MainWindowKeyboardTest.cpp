// The keyboard table: every key is traced and consumed, and the listed keys act.
#include <QAction>
#include <QSignalSpy>
#include <map>
#include <memory>

#include "app/view/MainWindowActions.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

TEST_F(MainWindowFixture, SpacePausesAndResumes) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    Key(Qt::Key_Space);
    EXPECT_FALSE(Window().Playback().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    const int paused = Window().Playback().Player().GetFrameCounter();
    Pump(300);
    EXPECT_LE(Window().Playback().Player().GetFrameCounter(), paused + 1);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Window().Playback().Player().IsRunning());
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
    ASSERT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() >= 10000; }));
    ASSERT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() > 11000; }));
    const int before = Window().Playback().Player().GetPositionMs();
    Key(Qt::Key_Left);
    ASSERT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() < before - 5000; }));
}

TEST_F(MainWindowFixture, PageUpAndPageDownStepThroughRowsAndStopAtTheEnds) {
    ShowCard();
    DoubleClickRow(1);
    Key(Qt::Key_PageDown);  // older: row 2
    EXPECT_EQ(Window().CurIndex(), 2);
    EXPECT_TRUE(IsListRowSelected(Window().List(), 2));
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
        EXPECT_EQ(Window().Playback().Session().Output().GetVolume() & 0xFFFF,
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
    EXPECT_TRUE(Window().Layout().Background().isNull());
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
    EXPECT_TRUE(IsListRowSelected(Window().List(), 0));
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
    EXPECT_TRUE(Window().Playback().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));

    Window().Navigator().Cards().SetDrivePath("");
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
    EXPECT_FALSE(Window().Playback().Player().IsRunning());
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
        EXPECT_EQ(Window().Playback().Player().GetRatePercent(), rate.percent);
        EXPECT_EQ(LabelText(IDC_STATIC_RATE), QString::fromUtf8(rate.label)) << rate.percent;
    }
}

namespace {

constexpr WindowCommand kAllCommands[] = {
    WindowCommand::Minimize,   WindowCommand::Close,       WindowCommand::FullScreen,
    WindowCommand::PrevSize,   WindowCommand::ChangeView,  WindowCommand::MapLarge,
    WindowCommand::SubCamera,  WindowCommand::MapSmall,    WindowCommand::Mirror,
    WindowCommand::Driving,    WindowCommand::Event,       WindowCommand::Parking,
    WindowCommand::User,       WindowCommand::All,         WindowCommand::Open,
    WindowCommand::Stop,       WindowCommand::Pre,         WindowCommand::Backward,
    WindowCommand::Play,       WindowCommand::Pause,       WindowCommand::Forward,
    WindowCommand::Next,       WindowCommand::Zoom,        WindowCommand::Capture,
    WindowCommand::Setting,    WindowCommand::Mute,        WindowCommand::VolumeUp,
    WindowCommand::VolumeDown, WindowCommand::StepBack,    WindowCommand::StepForward,
    WindowCommand::Slower,     WindowCommand::Faster,      WindowCommand::PreviousEvent,
    WindowCommand::NextEvent,  WindowCommand::MarkIn,      WindowCommand::MarkOut,
    WindowCommand::ExportClip, WindowCommand::ToggleTrips,
};

}  // namespace

TEST_F(MainWindowFixture, EachKeyTriggersExactlyTheActionOfTheButtonShown) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().List()->clearFocus();  // a focused list keeps Up, Down and Enter for itself
    std::map<WindowCommand, std::unique_ptr<QSignalSpy>> spies;
    for (WindowCommand command : kAllCommands) {
        QAction* action = Window().Actions().Action(command);
        ASSERT_NE(action, nullptr) << static_cast<int>(command);
        spies[command] = std::make_unique<QSignalSpy>(action, &QAction::triggered);
    }
    using C = WindowCommand;
    constexpr int kNone = -1;
    // In order: each row starts where the one before left the window.
    const struct {
        int key;
        int command;  // kNone: the key only writes its trace line
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    } rows[] = {
        {Qt::Key_Space, int(C::Pause)},
        {Qt::Key_Space, int(C::Play)},
        {Qt::Key_Left, int(C::Backward)},
        {Qt::Key_Right, int(C::Forward)},
        {Qt::Key_Up, int(C::VolumeUp)},
        {Qt::Key_Down, int(C::VolumeDown)},
        {Qt::Key_Period, int(C::StepForward)},
        {Qt::Key_Comma, int(C::StepBack)},
        {Qt::Key_BracketRight, int(C::Faster)},
        {Qt::Key_BracketLeft, int(C::Slower)},
        {Qt::Key_Escape, kNone},
        {Qt::Key_Return, int(C::FullScreen)},
        {Qt::Key_Return, int(C::PrevSize)},
        {Qt::Key_Enter, int(C::FullScreen)},
        {Qt::Key_Escape, int(C::PrevSize)},
        {Qt::Key_F3, int(C::Setting)},
        {Qt::Key_PageUp, int(C::Next)},
        {Qt::Key_PageDown, int(C::Pre)},
        {Qt::Key_Tab, kNone},
        {Qt::Key_I, int(C::MarkIn)},
        {Qt::Key_O, int(C::MarkOut)},
        {Qt::Key_N, int(C::NextEvent)},
        {Qt::Key_P, int(C::PreviousEvent)},
        {Qt::Key_I, kNone, Qt::ControlModifier},
        {Qt::Key_N, kNone, Qt::AltModifier},
        {Qt::Key_Left, int(C::Backward), Qt::ShiftModifier},
        {Qt::Key_T, int(C::ToggleTrips)},
        {Qt::Key_T, int(C::ToggleTrips)},
    };
    for (const auto& row : rows) {
        for (auto& [command, spy] : spies) spy->clear();
        QTest::keyClick(&Window(), static_cast<Qt::Key>(row.key), row.modifiers);
        for (const auto& [command, spy] : spies) {
            EXPECT_EQ(spy->count(), int(command) == row.command ? 1 : 0)
                << "key " << std::hex << row.key << " command " << std::dec << int(command);
        }
    }
}

TEST_F(MainWindowFixture, TooltipsNameTheirKeysInBothLanguagesAndEveryControlHasAName) {
    using C = WindowCommand;
    struct Tip {
        const char* lang;
        C command;
        QString tip;
    } tips[] = {
        {"en_US.UTF-8", C::Backward, "Back 10 s (Left)"},
        {"ko_KR.UTF-8", C::Backward, "10초 뒤로 (←)"},
        {"en_US.UTF-8", C::PrevSize, "Leave full screen (Enter, Esc, double-click the picture)"},
        {"ko_KR.UTF-8", C::Next, "다음 녹화 (Page Up)"},
        {"en_US.UTF-8", C::Faster, "Faster (])"},
        {"ko_KR.UTF-8", C::Setting, "블랙박스 설정 (F3)"},
    };
    for (const char* lang : {"en_US.UTF-8", "ko_KR.UTF-8"}) {
        window.reset();
        qputenv("LANG", lang);
        MainWindowActions& actions = Window().Actions();
        for (const Tip& tip : tips) {
            if (std::string(tip.lang) == lang) {
                EXPECT_EQ(actions.Action(tip.command)->toolTip(), tip.tip) << lang;
            }
        }
        for (C command : kAllCommands) {
            const QAction* action = actions.Action(command);
            const QString tipText = action->toolTip();
            EXPECT_FALSE(tipText.contains(QStringLiteral("%s"))) << tipText.toStdString();
            for (const QKeySequence& key : action->shortcuts()) {
                EXPECT_TRUE(tipText.contains(MainWindowActions::KeyName(key)))
                    << lang << ": " << tipText.toStdString();
            }
        }
        // A button shows its action's tip; every control has a name to be read out.
        EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_PLAY)->toolTip(),
                  actions.Action(C::Play)->toolTip());
        for (int id :
             {IDC_BUTTON_MINIMIZE,   IDC_BUTTON_CLOSE,   IDC_BUTTON_FULLSCREEN, IDC_BUTTON_PREVSIZE,
              IDC_BUTTON_CHANGEVIEW, IDC_BUTTON_MAPVIEW, IDC_CHECK_CAMSMALL,    IDC_CHECK_MAPSMALL,
              IDC_CHECK_MIRROR,      IDC_BUTTON_ALL,     IDC_BUTTON_OPEN,       IDC_BUTTON_PLAY,
              IDC_BUTTON_PAUSE,      IDC_BUTTON_MUTE,    IDC_SLIDER_VOLUME,     IDC_SLIDER_BRIGHT,
              IDC_SLIDER_POS,        IDC_STATIC_CURTIME, IDC_STATIC_RATE,       IDC_STATIC_GRAPH,
              IDC_STATIC_FRONT,      IDC_STATIC_REAR,    IDC_LIST_FILENAME,     IDC_MAPVIEW}) {
            const QString name = Window().GetDlgItem(id)->accessibleName();
            EXPECT_FALSE(name.isEmpty()) << lang << ": control " << id;
            EXPECT_FALSE(name.contains(QLatin1Char('('))) << name.toStdString();
        }
    }
    EXPECT_TRUE(Window().GetDlgItem(IDC_SLIDER_VOLUME)->toolTip().contains(QStringLiteral("↑/↓")));
    EXPECT_TRUE(
        Window().GetDlgItem(IDC_STATIC_RATE)->toolTip().startsWith(QStringLiteral("재생 속도: [")));
}
