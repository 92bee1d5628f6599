// What users of media players expect of the window: an enlargeable window, full screen over
// the whole screen, clicks and double clicks on the picture, Escape, the mouse wheel on the
// sliders, tooltips, and labels legible on the dark ground.
#include <QAbstractButton>
#include <QSizeGrip>
#include <QWheelEvent>
#include <cmath>

#include "telemetry/CGraphStatic.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {

double Luminance(QColor c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(QColor a, QColor b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void Wheel(QWidget* w, int notches) {
    QWheelEvent wheel(QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, notches * QWheelEvent::DefaultDeltasPerStep), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
}

}  // namespace

TEST(NormalLayout, AreasGrowTogetherKeeping16By9AndTheListTakesTheRest) {
    struct Row {
        QSize client;
        QRect main, small, list;
    } rows[] = {
        {{975, 635}, {4, 64, 640, 360}, {650, 268, 320, 180}, {650, 65, 320, 178}},
        // Smaller: the main area gives way, the list shortens and the small area keeps its
        // size, or fills a column left wider.
        {{975, 600}, {4, 64, 576, 324}, {586, 197, 384, 216}, {586, 65, 384, 107}},
        {{800, 560}, {4, 64, 464, 261}, {474, 193, 320, 180}, {474, 65, 321, 103}},
        {{700, 500}, {4, 64, 432, 243}, {442, 173, 320, 180}, {442, 65, 333, 83}},  // minimum
        // Wider only: the height holds the areas back, the column and the list widen.
        {{1400, 635}, {4, 64, 640, 360}, {650, 268, 320, 180}, {650, 65, 745, 178}},
        // Taller only: the width holds them back, the list takes the height.
        {{975, 900}, {4, 64, 640, 360}, {650, 533, 320, 180}, {650, 65, 320, 443}},
        // Both: areas scale by the tighter of the two.
        {{1295, 815}, {4, 64, 848, 477}, {858, 394, 416, 234}, {858, 65, 432, 304}},
        {{1935, 1355}, {4, 64, 1280, 720}, {1290, 808, 640, 360}, {1290, 65, 640, 718}},
    };
    for (const Row& row : rows) {
        const auto areas = CSamplePlayerDlg::NormalLayout(row.client);
        const std::string what =
            std::to_string(row.client.width()) + "x" + std::to_string(row.client.height());
        EXPECT_EQ(areas.main, row.main) << what;
        EXPECT_EQ(areas.small, row.small) << what;
        EXPECT_EQ(areas.list, row.list) << what;
        EXPECT_EQ(areas.main.width() * 9, areas.main.height() * 16) << what;
        EXPECT_EQ(areas.small.width() * 9, areas.small.height() * 16) << what;
        const int w = std::max(row.client.width(), 780), h = std::max(row.client.height(), 540);
        EXPECT_LE(areas.list.right(), w - 1) << what;
        EXPECT_LE(areas.small.bottom(), h - 188) << what << ": clear of the timeline";
    }
}

TEST_F(MainWindowFixture, TheWindowOpensAtItsBackgroundSizeAndGrowsButNeverShrinksBelowTheSmallest) {
    EXPECT_EQ(Window().size(), QSize(975, 635));
    EXPECT_EQ(Window().minimumSize(), QSize(780, 540));
    ShowCard();
    DoubleClickRow(0);
    ASSERT_EQ(Window().FrontView(), 1);

    Window().resize(1295, 815);
    const auto areas = CSamplePlayerDlg::NormalLayout(QSize(1295, 815));
    EXPECT_EQ(Window().FrontArea()->geometry(), areas.main);
    EXPECT_EQ(Window().RearArea()->geometry(), areas.small);
    EXPECT_EQ(Window().List()->geometry(), areas.list);
    // Bands below the pictures keep to the bottom, the title bar's buttons to the right.
    EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_PLAY)->geometry(), QRect(244, 457 + 180, 54, 54));
    EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_CLOSE)->geometry(), QRect(946 + 320, 5, 25, 25));
    EXPECT_EQ(Window().GetDlgItem(IDC_SLIDER_VOLUME)->geometry().topLeft(), QPoint(719 + 320, 657));
    // The graph takes the width gained; its legend keeps to the right edge.
    EXPECT_EQ(Window().GetDlgItem(IDC_STATIC_GRAPH)->geometry(), QRect(30, 700, 760 + 320, 104));
    EXPECT_EQ(Window().Graph()->PlotRect().width(), 760 + 320 - 6) << "the plot follows";
    // The position slider as long as the main picture grew, the time after it.
    EXPECT_EQ(Window().PositionSlider()->geometry(), QRect(92, 612, 394 + 208, 16));
    EXPECT_EQ(Window().GetDlgItem(IDC_STATIC_TOTALTIME)->geometry(), QRect(487 + 208, 613, 56, 14));
    // The map follows the areas too.
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_MAPVIEW), Qt::LeftButton);
    EXPECT_EQ(Window().GetDlgItem(IDC_MAPVIEW)->geometry(), areas.main);

    Window().resize(600, 400);
    EXPECT_EQ(Window().size(), QSize(780, 540)) << "780 x 540 is the smallest";
    EXPECT_EQ(Window().GetDlgItem(IDC_MAPVIEW)->geometry(), QRect(4, 64, 432, 243));
}

TEST_F(MainWindowFixture, FullScreenCoversTheScreenAndLeavingItRestoresTheEnlargedWindow) {
    ShowCard();
    DoubleClickRow(0);
    Window().setGeometry(QRect(40, 30, 1200, 760));
    const QRect before = Window().geometry();
    Window().setFocus();  // the list takes Return for its row while it has the focus
    Key(Qt::Key_Return);
    const QRect screen = Window().screen()->geometry();
    EXPECT_EQ(Window().geometry(), screen);
    EXPECT_EQ(Window().FrontArea()->geometry(),
              CSamplePlayerDlg::FullScreenVideoRect(screen.width(), screen.height()));
    EXPECT_TRUE(Window().FrontArea()->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_EQ(Window().ScreenMode(), CSamplePlayerDlg::kScreenNormal);
    EXPECT_EQ(Window().geometry(), before);
    EXPECT_EQ(Window().FrontArea()->geometry(), CSamplePlayerDlg::NormalLayout(before.size()).main);
    Key(Qt::Key_Escape);  // in the normal window Escape does nothing
    EXPECT_EQ(Window().ScreenMode(), CSamplePlayerDlg::kScreenNormal);
    EXPECT_EQ(Window().geometry(), before);
}

TEST_F(MainWindowFixture, ViewButtonsAreEnabledAfterFullScreenAsBeforeIt) {
    struct Row {
        const char* what;
        std::string card;  // empty: nothing opened
        bool changeView, mapView, camSmall, mapSmall;
    } rows[] = {
        {"nothing open", "", false, false, false, false},
        {"one camera", OneCamera().root, false, true, false, false},
        {"two cameras", Card().root, true, true, true, true},
    };
    for (const Row& row : rows) {
        window.reset();
        if (!row.card.empty()) {
            ShowCard(row.card);
            DoubleClickRow(0);
        }
        for (int pass = 0; pass < 2; ++pass) {
            const std::string what = std::string(row.what) + (pass ? ", after full screen" : "");
            auto enabled = [&](int id) { return Window().GetDlgItem(id)->isEnabled(); };
            EXPECT_EQ(enabled(IDC_BUTTON_CHANGEVIEW), row.changeView) << what;
            EXPECT_EQ(enabled(IDC_BUTTON_MAPVIEW), row.mapView) << what;
            EXPECT_EQ(enabled(IDC_CHECK_CAMSMALL), row.camSmall) << what;
            EXPECT_EQ(enabled(IDC_CHECK_MAPSMALL), row.mapSmall) << what;
            Window().OnBnClickedButtonFullScreen();
            Window().OnBnClickedButtonPrevSize();
        }
    }
}

TEST_F(MainWindowFixture, ClickOnThePicturePausesAndResumesDoubleClickTogglesFullScreen) {
    ShowCard();
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForFrontFrame(1));
    QWidget* front = Window().FrontArea();
    QTest::mouseClick(front, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return Visible(IDC_BUTTON_PLAY); })) << "a click pauses";
    EXPECT_FALSE(Window().Playback().Player().IsRunning());
    QTest::mouseClick(front, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return Visible(IDC_BUTTON_PAUSE); })) << "and resumes";

    QTest::mouseDClick(front, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseRelease(front, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(Window().ScreenMode(), CSamplePlayerDlg::kScreenFull);
    Pump(QApplication::doubleClickInterval() + 200);
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE)) << "a double click is not also a click";
    QTest::mouseDClick(front, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseRelease(front, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    EXPECT_EQ(Window().ScreenMode(), CSamplePlayerDlg::kScreenNormal);
    Pump(QApplication::doubleClickInterval() + 200);
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
}

TEST_F(MainWindowFixture, WheelOnTheSlidersSeeksTenSecondsAndStepsVolumeAndBrightnessByFive) {
    ShowCard();
    DoubleClickRow(1);  // 60 s
    ASSERT_TRUE(WaitForFrontFrame(1));
    // Seeks are carried out while playing; each notch is ten seconds of the slider.
    const int start = Window().PositionSlider()->GetPos();
    Wheel(Window().PositionSlider(), 2);
    EXPECT_EQ(Window().PositionSlider()->GetPos(), start + 20);
    constexpr int kSoonMs = 3000;  // well short of the twenty seconds playing would take
    EXPECT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() >= (start + 20) * 1000; },
                          kSoonMs));
    const int forward = Window().PositionSlider()->GetPos();
    Wheel(Window().PositionSlider(), -1);
    EXPECT_TRUE(WaitUntil([&] { return Window().Playback().Player().GetPositionMs() < (forward - 5) * 1000; },
                          kSoonMs));

    Window().VolumeSlider()->SetPos(50);
    Window().BrightSlider()->SetPos(0);
    struct Row {
        CBitmapSlider* slider;
        int notches, position;
    } rows[] = {
        {Window().VolumeSlider(), 1, 55},  {Window().VolumeSlider(), -3, 40},
        {Window().VolumeSlider(), 20, 99}, {Window().BrightSlider(), 1, 5},
        {Window().BrightSlider(), 1, 5},   {Window().BrightSlider(), -3, -5},
    };
    for (const Row& row : rows) {
        Wheel(row.slider, row.notches);
        EXPECT_EQ(row.slider->GetPos(), row.position);
    }
    // The volume is applied as a slider release would.
    Wheel(Window().VolumeSlider(), -20);
    QCoreApplication::sendPostedEvents(&Window());
    EXPECT_EQ(MuteCheck(), 1) << "wheeled down to 0 mutes";
}

TEST_F(MainWindowFixture, EveryButtonAndSliderHasATooltipInEitherLanguage) {
    const int controls[] = {
        IDC_BUTTON_MINIMIZE,   IDC_BUTTON_CLOSE,    IDC_BUTTON_FULLSCREEN, IDC_BUTTON_PREVSIZE,
        IDC_BUTTON_CHANGEVIEW, IDC_BUTTON_MAPVIEW,  IDC_CHECK_CAMSMALL,    IDC_CHECK_MAPSMALL,
        IDC_CHECK_MIRROR,      IDC_BUTTON_DRIVING,  IDC_BUTTON_EVENT,      IDC_BUTTON_PARKING,
        IDC_BUTTON_USER,       IDC_BUTTON_ALL,      IDC_BUTTON_OPEN,       IDC_BUTTON_STOP,
        IDC_BUTTON_PRE,        IDC_BUTTON_BACKWARD, IDC_BUTTON_PLAY,       IDC_BUTTON_PAUSE,
        IDC_BUTTON_FORWARD,    IDC_BUTTON_NEXT,     IDC_BUTTON_ZOOM,       IDC_BUTTON_CAPTURE,
        IDC_BUTTON_SETTING,    IDC_BUTTON_MUTE,     IDC_SLIDER_VOLUME,     IDC_SLIDER_BRIGHT,
        IDC_SLIDER_POS,
    };
    struct Row {
        const char* lang;
        // Tips that must name their key, and a word of the language.
        QString play, open, volume, fullScreen;
    } rows[] = {
        {"en_US.UTF-8", "Play (Space, click the picture)", "Open a card (F2)", "Up/Down", "Enter"},
        {"ko_KR.UTF-8", "재생 (Space, 화면 클릭)", "카드 열기 (F2)", "↑/↓", "Enter"},
    };
    for (const Row& row : rows) {
        window.reset();
        qputenv("LANG", row.lang);
        QStringList seen;
        for (int id : controls) {
            const QString tip = Window().GetDlgItem(id)->toolTip();
            EXPECT_FALSE(tip.isEmpty()) << row.lang << ": control " << id;
            EXPECT_FALSE(seen.contains(tip)) << row.lang << ": " << tip.toStdString();
            seen << tip;
        }
        EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_PLAY)->toolTip(), row.play);
        EXPECT_EQ(Window().GetDlgItem(IDC_BUTTON_OPEN)->toolTip(), row.open);
        EXPECT_TRUE(Window().GetDlgItem(IDC_SLIDER_VOLUME)->toolTip().contains(row.volume));
        EXPECT_TRUE(Window().GetDlgItem(IDC_BUTTON_FULLSCREEN)->toolTip().contains(row.fullScreen));
    }
}

TEST_F(MainWindowFixture, TimeAndSpeedTextsReadOnTheirPlateAtFourAndAHalfToOne) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitUntil([&] { return !LabelText(IDC_STATIC_SPEED).isEmpty(); }));
    EXPECT_TRUE(LabelText(IDC_STATIC_SPEED).endsWith(" km/h"));
    for (int id : {IDC_STATIC_CURTIME, IDC_STATIC_TOTALTIME, IDC_STATIC_SPEED}) {
        auto* label = static_cast<QLabel*>(Window().GetDlgItem(id));
        label->ensurePolished();
        const QColor text = label->palette().color(QPalette::WindowText);
        const QColor plate = label->palette().color(QPalette::Window);
        EXPECT_EQ(plate, QColor(43, 52, 61)) << id;
        EXPECT_GE(Contrast(text, plate), 4.5) << id << ": " << text.name().toStdString();
    }
}
