// The settings file, the close button, layouts and the window's controls at rest.
#include <QAction>
#include <QMenu>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/panels/TelemetryPanel.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary) << text;
}

std::string Config() {
    return CSamplePlayerDlg::ConfigPath();
}

}  // namespace

TEST(SettingsPath, FollowsXdgConfigHomeElseTheHomeFolder) {
    const bool hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    struct Row {
        const char* xdg;  // null: unset
        const char* path;
    } rows[] = {
        {"/tmp/cfg", "/tmp/cfg/tarvex/config.cfg"},
        {nullptr, "/home/ann/.config/tarvex/config.cfg"},
        {"", "/home/ann/.config/tarvex/config.cfg"},
        {"relative/cfg", "/home/ann/.config/tarvex/config.cfg"},  // ignored, as XDG says
    };
    qputenv("HOME", "/home/ann");
    for (const Row& row : rows) {
        if (row.xdg)
            qputenv("XDG_CONFIG_HOME", row.xdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(CSamplePlayerDlg::ConfigPath(), row.path) << (row.xdg ? row.xdg : "(unset)");
    }
    qputenv("HOME", savedHome);
    if (hadXdg)
        qputenv("XDG_CONFIG_HOME", savedXdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(MainWindowFixture, ASettingsFileInTheWorkingFolderIsImportedOnce) {
    WriteFile("config.cfg", "[config]\nbrightness=2\nvolume=70\nmap_tiles=http://t/{z}/{x}/{y}\n");
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 70);
    EXPECT_EQ(Window().BrightSlider()->GetPos(), 2);
    EXPECT_NE(ReadFile(Config()).find("map_tiles=http://t/{z}/{x}/{y}"), std::string::npos)
        << "every key comes along";

    // From now on the imported file is the one used; the old one is left alone.
    WriteFile("config.cfg", "[config]\nvolume=10\n");
    window.reset();
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 70);
    SendSliderRelease(IDC_SLIDER_VOLUME, 35);
    Window().quitAnswer = false;
    Window().OnBnClickedButtonClose();
    EXPECT_EQ(ReadFile("config.cfg"), "[config]\nvolume=10\n");
    EXPECT_NE(ReadFile(Config()).find("volume=35"), std::string::npos);
}

TEST_F(MainWindowFixture, WithoutASettingsFileAnEmptyOneIsMadeAndDefaultsApply) {
    Window();
    EXPECT_EQ(Config(), (workDir / "xdg/tarvex/config.cfg").string());
    EXPECT_TRUE(std::filesystem::exists(Config())) << "its folder is made too";
    EXPECT_FALSE(std::filesystem::exists("config.cfg")) << "nothing in the working folder";
    EXPECT_EQ(ReadFile(Config()), "");
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 50);
    EXPECT_EQ(Window().BrightSlider()->GetPos(), 0);
    EXPECT_EQ(Window().Playback().Session().Output().GetVolume() & 0xFFFF, 32767u) << "restored volume applied";
}

TEST_F(MainWindowFixture, StoredValuesAreReadLikeTheProfileFunctionsDo) {
    struct Row {
        const char* volume;
        const char* brightness;
        int volumeSlider;
        int brightSlider;
    } rows[] = {
        {"70", "3", 70, 3},
        {"-200", "-200", 50, 0},          // the missing marker
        {"abc", "x", 0, 0},               // not a number
        {"1234567890123", "-3", 99, -3},  // nine characters seen, clamped; negative kept
        {"100", "9", 99, 5},              // clamped to the real ranges
    };
    for (const Row& row : rows) {
        WriteFile(Config(), std::string("[config]\r\nbrightness=") + row.brightness +
                                "\r\nvolume=" + row.volume + "\r\n");
        window.reset();
        EXPECT_EQ(Window().VolumeSlider()->GetPos(), row.volumeSlider) << row.volume;
        EXPECT_EQ(Window().BrightSlider()->GetPos(), row.brightSlider) << row.brightness;
    }
    const std::vector<std::string> traces = Traces();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "Volume => 123456789\n"), traces.end());
}

TEST_F(MainWindowFixture, CloseButtonSavesAndAsksAndClosesOnlyOnYes) {
    ShowCard();
    DoubleClickRow(0);
    SendSliderRelease(IDC_SLIDER_VOLUME, 35);
    SendSliderRelease(IDC_SLIDER_BRIGHT, -2);
    Window().quitAnswer = false;
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_CLOSE), Qt::LeftButton);
    EXPECT_EQ(Window().quitQuestions, 1);
    EXPECT_TRUE(Window().isVisible());
    // "No" leaves the recording playing; the settings are written either way, with the card.
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_TRUE(Window().IsFollowingPlayback());
    const std::string text = ReadFile(Config());
    const QRect place = Window().geometry();
    const std::string placeText = std::to_string(place.x()) + "," + std::to_string(place.y()) +
                                  "," + std::to_string(place.width()) + "," +
                                  std::to_string(place.height());
    EXPECT_EQ(text, "[config]\r\nbrightness=-2\r\nvolume=35\r\nspeed_unit=kmh\r\nwindow=" +
                        placeText + "\r\nlast_card=" + Card().root + "\r\n");

    window.reset();  // read back by the next start
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 35);
    EXPECT_EQ(Window().BrightSlider()->GetPos(), -2);

    Window().quitAnswer = true;
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_CLOSE), Qt::LeftButton);
    EXPECT_FALSE(Window().isVisible());
}

TEST_F(MainWindowFixture, NormalLayoutPutsTheControlsAtTheirRectangles) {
    EXPECT_EQ(Window().size(), QSize(975, 635));
    struct Row {
        int id;
        QRect rect;
    } rows[] = {
        {IDC_BUTTON_CLOSE, {946, 5, 25, 25}},    {IDC_BUTTON_DRIVING, {649, 39, 65, 24}},
        {IDC_BUTTON_ALL, {907, 39, 64, 24}},     {IDC_LIST_FILENAME, {650, 65, 320, 178}},
        {IDC_STATIC_CURTIME, {20, 433, 68, 14}}, {IDC_BUTTON_PLAY, {244, 457, 54, 54}},
        {IDC_BUTTON_PAUSE, {244, 457, 54, 54}},  {IDC_BUTTON_NEXT, {376, 470, 30, 30}},
        {IDC_BUTTON_MUTE, {679, 470, 30, 30}},   {IDC_SLIDER_BRIGHT, {860, 477, 81, 16}},
        {IDC_STATIC_GRAPH, {30, 520, 760, 104}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Window().GetDlgItem(row.id)->geometry(), row.rect) << row.id;
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
    EXPECT_FALSE(Visible(IDC_BUTTON_PAUSE));
    EXPECT_FALSE(Visible(IDC_BUTTON_PREVSIZE));
    // View buttons wait for a recording.
    EXPECT_FALSE(Window().GetDlgItem(IDC_BUTTON_CHANGEVIEW)->isEnabled());
    EXPECT_EQ(LabelText(IDC_STATIC_CURTIME), "00:00:00");
    EXPECT_FALSE(Window().Layout().Background().isNull());
}

TEST_F(MainWindowFixture, FullScreenVideoRectangleFollowsTheClientSize) {
    struct Row {
        int w, h;
        QRect video;
    } rows[] = {
        // The whole screen as far as 16:9 goes, centred.
        {1920, 1080, {0, 0, 1920, 1080}},
        {1280, 800, {0, 40, 1280, 720}},
        {1280, 829, {0, 54, 1280, 720}},
        {1279, 1080, {0, 180, 1279, 719}},
        {2560, 1080, {320, 0, 1920, 1080}},
        {0, 0, {0, 0, 0, 0}},
        // Room for the control bands above and below: the picture keeps clear of them.
        {800, 600, {0, 51, 800, 450}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CSamplePlayerDlg::FullScreenVideoRect(row.w, row.h), row.video)
            << row.w << "x" << row.h;
    }
    ShowCard();
    DoubleClickRow(0);
    Window().OnBnClickedButtonFullScreen();
    for (const Row& row : {rows[0], rows[1], rows[4]}) {
        Window().resize(row.w, row.h);
        EXPECT_EQ(Window().FrontArea()->geometry(), row.video);
        EXPECT_TRUE(Window().FrontArea()->isVisible());
        EXPECT_FALSE(Window().RearArea()->isVisible()) << "the rear camera is in the small area";
        EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_CLOSE)->geometry(), QRect(row.w - 45, 10, 25, 25));
        EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_PLAY)->geometry(),
                  QRect(row.w - 236, row.h - 54, 54, 54));
    }
}

TEST_F(MainWindowFixture, ARecordingOpenedInFullScreenAfterStopFillsTheVideoRectangle) {
    ShowCard();
    Window().OnBnClickedButtonFullScreen();
    Window().resize(1280, 800);
    DoubleClickRow(0);
    Window().OnBnClickedButtonStop();
    EXPECT_EQ(Window().FrontArea()->Size().width, 0);
    SelectListRow(Window().List(), 1);
    Window().OnBnClickedButtonPlay();
    WaitOpened(Window());
    // The size the full-screen window has by then (the screen's, once events ran).
    EXPECT_EQ(Window().FrontArea()->geometry(),
              CSamplePlayerDlg::FullScreenVideoRect(Window().width(), Window().height()));
    EXPECT_GT(Window().FrontArea()->width(), 0);
}

TEST_F(MainWindowFixture, TheBackgroundDragsTheNormalWindowButNotTheFullScreenOne) {
    Window().move(100, 100);
    const QPoint start = Window().pos();
    QTest::mousePress(&Window(), Qt::LeftButton, Qt::NoModifier, QPoint(500, 20));
    QTest::mouseMove(&Window(), QPoint(540, 50));
    QTest::mouseRelease(&Window(), Qt::LeftButton, Qt::NoModifier, QPoint(540, 50));
    EXPECT_EQ(Window().pos(), start + QPoint(40, 30));

    Window().OnBnClickedButtonFullScreen();
    const QPoint full = Window().pos();
    QTest::mousePress(&Window(), Qt::LeftButton, Qt::NoModifier, QPoint(500, 300));
    QTest::mouseMove(&Window(), QPoint(540, 330));
    QTest::mouseRelease(&Window(), Qt::LeftButton, Qt::NoModifier, QPoint(540, 330));
    EXPECT_EQ(Window().pos(), full);
}

TEST_F(MainWindowFixture, TimeAndSpeedLabelsSitOnTheirPlateOnlyWhileTheyHaveText) {
    auto corner = [&](int id) {
        return QColor(Window().GetDlgItem(id)->grab().toImage().pixel(1, 1));
    };
    const QColor plate(43, 52, 61);
    EXPECT_EQ(corner(IDC_STATIC_CURTIME), plate);
    EXPECT_EQ(corner(IDC_STATIC_SPEED), QColor(Qt::black)) << "no speed yet";
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitUntil([&] { return !LabelText(IDC_STATIC_SPEED).isEmpty(); }));
    EXPECT_EQ(corner(IDC_STATIC_SPEED), plate);
}

TEST_F(MainWindowFixture, TheRateLabelShowsNothingAtNormalSpeedAndAPlateOtherwise) {
    QWidget* rate = Window().GetDlgItem(IDC_STATIC_RATE);
    const QRect place = rate->geometry();
    auto shown = [&] { return Window().grab(place).toImage(); };
    rate->hide();
    const QImage without = shown();
    rate->show();
    EXPECT_EQ(shown(), without) << "at 1x the label must leave the panel and plates as they are";

    Key(Qt::Key_BracketRight);
    Key(Qt::Key_BracketRight);
    ASSERT_EQ(LabelText(IDC_STATIC_RATE), QString::fromUtf8("2\u00d7"));
    EXPECT_EQ(QColor(shown().pixel(1, 1)), QColor(43, 52, 61));
    Key(Qt::Key_BracketLeft);
    Key(Qt::Key_BracketLeft);
    EXPECT_EQ(shown(), without);

    // The longest rate fits its plate and touches neither the total time nor the speed, in
    // the normal window and in full screen.
    for (const bool full : {false, true}) {
        if (full) Window().OnBnClickedButtonFullScreen();
        for (int step = 0; step < 2; ++step) Key(Qt::Key_BracketLeft);
        ASSERT_EQ(LabelText(IDC_STATIC_RATE), QString::fromUtf8("0.25\u00d7"));
        const QRect at = rate->geometry();
        EXPECT_LE(rate->fontMetrics().horizontalAdvance(LabelText(IDC_STATIC_RATE)), at.width())
            << full;
        for (int id : {IDC_STATIC_TOTALTIME, IDC_STATIC_SPEED})
            EXPECT_FALSE(at.intersects(Window().GetDlgItem(id)->geometry())) << full << " " << id;
        for (int step = 0; step < 2; ++step) Key(Qt::Key_BracketRight);
    }
}

// The speed box's menu picks the unit: the box shows it at once and the settings keep it for
// the next start.
TEST_F(MainWindowFixture, TheSpeedBoxMenuPicksTheUnitTheViewerKeeps) {
    ShowCard();
    DoubleClickRow(0);
    ASSERT_TRUE(WaitUntil([&] { return LabelText(IDC_STATIC_SPEED).endsWith(" km/h"); }));
    Window().OnBnClickedButtonPause();
    for (const char* unit : {"mph", "km/h"}) {
        std::unique_ptr<QMenu> menu(Window().Telemetry().MakeSpeedUnitMenu(&Window()));
        ASSERT_EQ(menu->actions().size(), 2);
        QAction* pick = menu->actions()[std::string(unit) == "mph" ? 1 : 0];
        EXPECT_FALSE(pick->isChecked()) << unit;
        pick->trigger();
        EXPECT_TRUE(LabelText(IDC_STATIC_SPEED).endsWith(QString(" ") + unit))
            << LabelText(IDC_STATIC_SPEED).toStdString();
        const bool mph = std::string(unit) == "mph";
        EXPECT_NE(ReadFile(Config()).find(mph ? "speed_unit=mph" : "speed_unit=kmh"),
                  std::string::npos);
    }
    Window().Telemetry().MakeSpeedUnitMenu(&Window())->actions()[1]->trigger();
    window.reset();
    EXPECT_EQ(Window().Telemetry().GetSpeedUnit(), SpeedUnit::Mph) << "read again at start";
}

TEST_F(MainWindowFixture, TheNextStartOpensWhereTheWindowWasLeftWhileThatFitsTheScreen) {
    const QRect screen = Window().screen()->availableGeometry();
    const struct {
        const char* what;
        QRect left;
        bool kept;
    } rows[] = {
        {"inside the screen", QRect(screen.topLeft() + QPoint(30, 20), QSize(900, 600)), true},
        {"partly off it", QRect(screen.bottomRight() - QPoint(400, 300), QSize(900, 600)), false},
    };
    for (const auto& row : rows) {
        Window().setGeometry(row.left);
        Window().SaveConfig();
        window.reset();
        const QRect opened = Window().geometry();
        EXPECT_EQ(opened == row.left, row.kept) << row.what;
        EXPECT_TRUE(screen.contains(opened)) << row.what;
    }
}
