// The view commands over the six view states with one and two cameras, full screen from a
// map state, and the rear-camera mirror.
#include "telemetry/CMapView.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {

struct View {
    int front, rear, map;
    bool operator==(const View&) const = default;
};

// Named by the main area's content, then the small area's.
const View FR{1, 2, 0}, RF{2, 1, 0}, FM{1, 0, 2}, RM{0, 1, 2}, MF{2, 0, 1}, MR{0, 2, 1};

std::string Name(const View& v) {
    auto in = [&](int area) {
        return v.front == area ? "F" : v.rear == area ? "R" : v.map == area ? "M" : "-";
    };
    return std::string(in(1)) + in(2);
}

QRect Where(int view, QRect hidden) {
    return view == 1   ? CSamplePlayerDlg::kMainArea
           : view == 2 ? CSamplePlayerDlg::kSmallArea
                       : hidden;
}

class MainWindowViewTest : public MainWindowFixture {
protected:
    View Current() { return {Window().FrontView(), Window().RearView(), Window().MapView()}; }

    void Press(int id) {
        QWidget* button = Window().GetDlgItem(id);
        if (button->isEnabled()) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            // A disabled button takes no click; its command must still be harmless.
            switch (id) {
                case IDC_BUTTON_CHANGEVIEW:
                    Window().OnBnClickedButtonChangeView();
                    break;
                case IDC_CHECK_MAPSMALL:
                    Window().OnBnClickedButtonMapSmall();
                    break;
                case IDC_CHECK_CAMSMALL:
                    Window().OnBnClickedButtonSubCamera();
                    break;
                case IDC_BUTTON_MAPVIEW:
                    Window().OnBnClickedButtonMapLarge();
                    break;
            }
        }
    }

    // The areas and the map view stand where the state says.
    void ExpectPlaced(const View& v, bool twoCameras, const std::string& what) {
        const QRect mapHidden(650, 268, 0, 0);
        EXPECT_EQ(Window().FrontArea()->isVisible(), v.front != 0) << what;
        if (v.front) {
            EXPECT_EQ(Window().FrontArea()->geometry(), Where(v.front, {})) << what;
        }
        EXPECT_EQ(Window().RearArea()->isVisible(), twoCameras && v.rear != 0) << what;
        if (v.rear) {
            EXPECT_EQ(Window().RearArea()->geometry(), Where(v.rear, {})) << what;
        }
        EXPECT_EQ(Window().MapViewWidget()->geometry(), Where(v.map, mapHidden)) << what;
        const auto* mapButton =
            static_cast<QAbstractButton*>(Window().GetDlgItem(IDC_BUTTON_MAPVIEW));
        EXPECT_EQ(mapButton->text(),
                  QString::fromUtf8(v.map == 1 ? "지도 작게보기" : "지도 크게보기"))
            << what;
    }
};

struct Step {
    View from;
    int command;
    View to;
};

}  // namespace

TEST_F(MainWindowViewTest, EveryCommandFromEveryStateWithTwoCameras) {
    ShowCard();
    DoubleClickRow(0);
    ASSERT_EQ(Window().Playback().Player().GetCameraCount(), 2);
    EXPECT_EQ(Current(), FR) << "a two-camera recording opens front main, rear small";
    const int swap = IDC_BUTTON_CHANGEVIEW, mapSmall = IDC_CHECK_MAPSMALL,
              camSmall = IDC_CHECK_CAMSMALL, mapLarge = IDC_BUTTON_MAPVIEW;
    const Step steps[] = {
        {FR, swap, RF}, {FR, mapSmall, FM}, {FR, camSmall, FR}, {FR, mapLarge, MF},
        {RF, swap, FR}, {RF, mapSmall, RM}, {RF, camSmall, RF}, {RF, mapLarge, MR},
        {FM, swap, RM}, {FM, mapSmall, FM}, {FM, camSmall, FR}, {FM, mapLarge, MF},
        {RM, swap, FM}, {RM, mapSmall, RM}, {RM, camSmall, RF}, {RM, mapLarge, MR},
        {MF, swap, MR}, {MF, mapSmall, MR}, {MF, camSmall, FR}, {MF, mapLarge, FM},
        {MR, swap, MF}, {MR, mapSmall, MR}, {MR, camSmall, FR}, {MR, mapLarge, RM},
    };
    for (const Step& step : steps) {
        const std::string what = Name(step.from) + " + " + std::to_string(step.command);
        Window().Layout().SetViewState(step.from.front, step.from.rear, step.from.map);
        for (int id : {swap, mapSmall, camSmall, mapLarge})
            ASSERT_TRUE(Window().GetDlgItem(id)->isEnabled()) << what << ": " << id;
        Press(step.command);
        EXPECT_EQ(Name(Current()), Name(step.to)) << what;
        ExpectPlaced(step.to, true, what);
        if (step.command == mapSmall) {
            EXPECT_TRUE(static_cast<CxSkinButton*>(Window().GetDlgItem(mapSmall))->GetCheck())
                << what;
            EXPECT_FALSE(static_cast<CxSkinButton*>(Window().GetDlgItem(camSmall))->GetCheck())
                << what;
        }
        if (step.command == camSmall) {
            EXPECT_TRUE(static_cast<CxSkinButton*>(Window().GetDlgItem(camSmall))->GetCheck())
                << what;
            EXPECT_FALSE(static_cast<CxSkinButton*>(Window().GetDlgItem(mapSmall))->GetCheck())
                << what;
        }
    }
}

TEST_F(MainWindowViewTest, OneCameraOnlyTogglesBetweenFrontMainAndMapMain) {
    ShowCard(OneCamera().root);
    DoubleClickRow(0);
    ASSERT_EQ(Window().Playback().Player().GetCameraCount(), 1);
    EXPECT_EQ(Current(), FM) << "a one-camera recording opens with the map small";
    ExpectPlaced(FM, false, "open");
    for (int id : {IDC_BUTTON_CHANGEVIEW, IDC_CHECK_MAPSMALL, IDC_CHECK_CAMSMALL})
        EXPECT_FALSE(Window().GetDlgItem(id)->isEnabled()) << id;
    EXPECT_TRUE(Window().GetDlgItem(IDC_BUTTON_MAPVIEW)->isEnabled());
    const Step steps[] = {
        {FM, IDC_BUTTON_CHANGEVIEW, FM}, {FM, IDC_CHECK_MAPSMALL, FM},
        {FM, IDC_CHECK_CAMSMALL, FM},    {FM, IDC_BUTTON_MAPVIEW, MF},
        {MF, IDC_BUTTON_CHANGEVIEW, MF}, {MF, IDC_CHECK_MAPSMALL, MF},
        {MF, IDC_CHECK_CAMSMALL, MF},    {MF, IDC_BUTTON_MAPVIEW, FM},
    };
    for (const Step& step : steps) {
        const std::string what = Name(step.from) + " + " + std::to_string(step.command);
        Window().Layout().SetViewState(step.from.front, step.from.rear, step.from.map);
        Press(step.command);
        EXPECT_EQ(Name(Current()), Name(step.to)) << what;
        ExpectPlaced(step.to, false, what);
    }
}

TEST_F(MainWindowViewTest, AfterStopTheViewButtonsWaitAndTheMapLeavesTheScreen) {
    ShowCard(OneCamera().root);
    DoubleClickRow(0);
    Press(IDC_BUTTON_MAPVIEW);  // MF: the map holds the main area
    ASSERT_EQ(Window().MapViewWidget()->geometry(), CSamplePlayerDlg::kMainArea);
    Window().OnBnClickedButtonStop();
    EXPECT_EQ(Current(), (View{0, 0, 0}));
    EXPECT_EQ(Window().MapViewWidget()->geometry(), QRect(650, 268, 0, 0));
    EXPECT_FALSE(Window().GetDlgItem(IDC_BUTTON_MAPVIEW)->isEnabled());
    // Nothing open: the commands leave everything hidden.
    Window().OnBnClickedButtonMapLarge();
    Window().OnBnClickedButtonChangeView();
    EXPECT_EQ(Current(), (View{0, 0, 0}));
    EXPECT_EQ(Window().FrontArea()->Size().width, 0);
    EXPECT_EQ(Window().MapViewWidget()->size(), QSize(0, 0));
}

TEST_F(MainWindowViewTest, FullScreenFromAMapStateShowsTheSmallAreasCameraFullSize) {
    struct Row {
        View from;
        View inFullScreen;
        bool frontShown, rearShown;
    } rows[] = {{MR, RM, false, true}, {MF, FM, true, false}};
    ShowCard();
    DoubleClickRow(0);
    Window().setFocus();  // Return is the window's, not the list's row
    for (const Row& row : rows) {
        const std::string what = Name(row.from);
        Window().Layout().SetViewState(row.from.front, row.from.rear, row.from.map);
        Key(Qt::Key_Return);
        EXPECT_EQ(Name(Current()), Name(row.inFullScreen)) << what;
        EXPECT_EQ(Window().FrontArea()->isVisible(), row.frontShown) << what;
        EXPECT_EQ(Window().RearArea()->isVisible(), row.rearShown) << what;
        EXPECT_EQ(Window().MapViewWidget()->size(), QSize(0, 0)) << what;
        const QRect video =
            CSamplePlayerDlg::FullScreenVideoRect(Window().width(), Window().height());
        EXPECT_EQ((row.frontShown ? Window().FrontArea() : Window().RearArea())->geometry(), video);
        for (int id : {IDC_BUTTON_MAPVIEW, IDC_CHECK_MAPSMALL, IDC_CHECK_CAMSMALL})
            EXPECT_FALSE(Visible(id)) << what << ": " << id;
        EXPECT_TRUE(Visible(IDC_BUTTON_CHANGEVIEW)) << what;
        EXPECT_TRUE(Window().GetDlgItem(IDC_BUTTON_CHANGEVIEW)->isEnabled()) << what;
        Key(Qt::Key_Return);  // back: the map returns to the small area
        EXPECT_EQ(Window().MapViewWidget()->geometry(), CSamplePlayerDlg::kSmallArea) << what;
    }
}

TEST_F(MainWindowViewTest, MirrorFlipsOnlyTheRearPicture) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    auto rear = [&] { return Window().RearArea()->LastImage(); };
    ASSERT_TRUE(WaitUntil([&] { return ReadFramePattern(rear()).frameIndex >= 0; }));

    QTest::mouseClick(Window().GetDlgItem(IDC_CHECK_MIRROR), Qt::LeftButton);
    EXPECT_EQ(static_cast<CxSkinButton*>(Window().GetDlgItem(IDC_CHECK_MIRROR))->GetCheck(), 1);
    EXPECT_TRUE(Window().View().IsRearMirrored());
    ASSERT_TRUE(WaitUntil([&] { return ReadFramePatternMirrored(rear()).frameIndex >= 0; }))
        << "the rear picture never came mirrored";
    const FrameMark mirrored = ReadFramePatternMirrored(rear());
    EXPECT_EQ(mirrored.camera, 1);
    EXPECT_EQ(ReadFramePattern(rear()).frameIndex, -1) << "a mirrored picture reads only mirrored";
    const int shown = FrontFrame();
    ASSERT_TRUE(WaitForFrontFrame(shown + 2));
    EXPECT_EQ(ReadFramePattern(Window().FrontArea()->LastImage()).camera, 0)
        << "the front picture stays as it is";

    QTest::mouseClick(Window().GetDlgItem(IDC_CHECK_MIRROR), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return ReadFramePattern(rear()).frameIndex >= 0; }));

    // STOP clears the check mark and the option with it: the next recording is plain.
    QTest::mouseClick(Window().GetDlgItem(IDC_CHECK_MIRROR), Qt::LeftButton);
    Window().OnBnClickedButtonStop();
    EXPECT_EQ(static_cast<CxSkinButton*>(Window().GetDlgItem(IDC_CHECK_MIRROR))->GetCheck(), 0);
    EXPECT_FALSE(Window().View().IsRearMirrored());
    Window().RearArea()->Clear();
    DoubleClickRow(1);
    EXPECT_TRUE(WaitUntil([&] { return ReadFramePattern(rear()).frameIndex >= 0; }));
}

TEST_F(MainWindowViewTest, MirrorWithOneCameraOnlyClearsItsCheckMark) {
    ShowCard(OneCamera().root);
    DoubleClickRow(0);
    QTest::mouseClick(Window().GetDlgItem(IDC_CHECK_MIRROR), Qt::LeftButton);
    EXPECT_EQ(static_cast<CxSkinButton*>(Window().GetDlgItem(IDC_CHECK_MIRROR))->GetCheck(), 0);
}

TEST_F(MainWindowViewTest, CheckMarksSayWhatTheSmallAreaShowsFromTheFirstOpen) {
    ShowCard();
    auto checks = [&] {
        auto check = [&](int id) {
            return static_cast<CxSkinButton*>(Window().GetDlgItem(id))->GetCheck();
        };
        return std::make_pair(check(IDC_CHECK_CAMSMALL), check(IDC_CHECK_MAPSMALL));
    };
    DoubleClickRow(0);
    ASSERT_EQ(Current(), FR);
    EXPECT_EQ(checks(), std::make_pair(1, 0)) << "the rear camera is small at open";
    Press(IDC_CHECK_MAPSMALL);
    EXPECT_EQ(checks(), std::make_pair(0, 1));
    Window().OnBnClickedButtonStop();
    EXPECT_EQ(checks(), std::make_pair(0, 0)) << "nothing open, nothing checked";
    DoubleClickRow(0);
    EXPECT_EQ(checks(), std::make_pair(1, 0)) << "a reopened recording shows its own marks";
}
