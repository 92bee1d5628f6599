// The window's layout object: the views laid out again only for a recording of another camera
// count, where notes stand, and the map view and zoom window going before the window does.
#include <QAbstractButton>
#include <QCursor>
#include <QGraphicsEffect>
#include <QScreen>
#include <map>

#include "app/dialogs/CZoomDlg.h"
#include "app/view/ControlPlaces.h"
#include "app/view/ControlsAutoHide.h"
#include "app/view/WindowLayout.h"
#include "telemetry/CMapView.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {

class WindowLayoutTest : public MainWindowFixture {
protected:
    WindowLayout& Layout() { return Window().Layout(); }
    ViewPlaces Places() { return Layout().View().Places(); }
};

TEST_F(WindowLayoutTest, AHandOverKeepsTheUsersViewsOnlyForTheSameCameras) {
    const struct {
        const char* what;
        bool keepLayout;
        ViewPlace frontAfter;
    } rows[] = {
        {"hand-over, same cameras", true, ViewPlace::Small},
        {"a fresh open", false, ViewPlace::Main},
    };
    ShowCard();
    DoubleClickRow(0);
    ASSERT_EQ(Window().Playback().Player().GetCameraCount(), 2);
    for (const auto& row : rows) {
        Window().OnBnClickedButtonChangeView();  // rear main, front small
        ASSERT_EQ(Places().front, ViewPlace::Small) << row.what;
        Layout().OpenViews(row.keepLayout);
        EXPECT_EQ(Places().front, row.frontAfter) << row.what;
        Layout().SetViewState(1, 2, 0);
    }
}

TEST_F(WindowLayoutTest, APlacementNoLayoutHasLeavesTheViewsAndAllHiddenClosesThem) {
    ShowCard();
    DoubleClickRow(0);
    const struct {
        int front, rear, map;
        bool open;
        ViewPlace frontAfter;
    } rows[] = {
        {1, 1, 0, true, ViewPlace::Main},  // two views in one area: ignored
        {2, 2, 2, true, ViewPlace::Main},  // nothing in the main area: ignored
        {2, 1, 0, true, ViewPlace::Small},
        {0, 0, 0, false, ViewPlace::Hidden},
    };
    for (const auto& row : rows) {
        Layout().SetViewState(1, 2, 0);
        Layout().SetViewState(row.front, row.rear, row.map);
        const std::string what =
            std::to_string(row.front) + std::to_string(row.rear) + std::to_string(row.map);
        EXPECT_EQ(Layout().View().IsOpen(), row.open) << what;
        EXPECT_EQ(Places().front, row.frontAfter) << what;
    }
}

TEST_F(WindowLayoutTest, NotesStandOverThePictureInBothLayouts) {
    ShowCard();
    DoubleClickRow(0);
    EXPECT_EQ(Layout().NoteArea(), Layout().MainAreaRect());
    Window().OnBnClickedButtonFullScreen();
    const QRect area = Layout().NoteArea();
    EXPECT_FALSE(area.isEmpty());
    EXPECT_TRUE(Window().rect().contains(area)) << "a note never stands outside the window";
    EXPECT_EQ(area, CSamplePlayerDlg::FullScreenVideoRect(Window().width(), Window().height())
                        .intersected(Window().rect()));
}

TEST_F(WindowLayoutTest, DestroyingTheViewsTwiceIsHarmlessAndForgetsTheMap) {
    Window().OnBnClickedButtonZoom();
    ASSERT_NE(Layout().ZoomDialog(), nullptr);
    ASSERT_NE(Layout().MapView(), nullptr);
    ASSERT_EQ(Window().GetDlgItem(IDC_MAPVIEW), Layout().MapView());
    Layout().DestroyViews();
    EXPECT_EQ(Layout().ZoomDialog(), nullptr);
    EXPECT_EQ(Layout().MapView(), nullptr);
    EXPECT_EQ(Window().GetDlgItem(IDC_MAPVIEW), nullptr);
    Layout().DestroyViews();
    Layout().PlaceMapView(ViewPlace::Main);  // no map: nothing to place
}

}  // namespace

// Full screen: the position slider spans the screen beside the transport, no two controls
// overlap, and the controls rest out of the picture 3 s after the mouse stopped, still
// answering keys, until it moves. The title bar's middle button maximises the window.
TEST_F(WindowLayoutTest, FullScreenControlsSpanTheScreenAndRestWhileTheMouseDoes) {
    ShowCard();
    DoubleClickRow(0);
    Window().OnBnClickedButtonFullScreen();
    Pump(50);
    const int w = Window().width();
    QWidget* slider = Window().GetDlgItem(IDC_SLIDER_POS);
    EXPECT_EQ(slider->geometry().width(), ControlPlaces::FullScreenSliderWidth(w));
    EXPECT_GT(slider->geometry().width(), w / 3);
    EXPECT_EQ(Window().GetDlgItem(IDC_STATIC_TOTALTIME)->geometry().right(),
              slider->geometry().right());
    for (const int width : {800, 1024, 1280, 1920, 3840}) {
        std::map<int, QRect> at;
        for (const auto& p : ControlPlaces::FullScreenPlaces(QSize(width, width * 9 / 16)))
            at[p.id] = p.rect;
        for (int a : ControlPlaces::kFullScreenSet)
            for (int b : ControlPlaces::kFullScreenSet) {
                const bool shared = a == IDC_BUTTON_PLAY && b == IDC_BUTTON_PAUSE;
                if (a >= b || shared) continue;
                EXPECT_FALSE(at[a].intersects(at[b])) << a << " overlaps " << b << " at " << width;
            }
    }

    const QPoint middle = Window().rect().center();
    QCursor::setPos(Window().mapToGlobal(middle));
    QTest::mouseMove(&Window(), middle);
    EXPECT_EQ(slider->graphicsEffect(), nullptr);
    QTest::qWait(ControlsAutoHide::kHideAfterMs + 400);
    ASSERT_NE(slider->graphicsEffect(), nullptr) << "the controls stay over the picture";
    EXPECT_EQ(Window().cursor().shape(), Qt::BlankCursor);
    QWidget* play = Window().GetDlgItem(IDC_BUTTON_PLAY);
    const bool playShown = !play->isHidden();
    Key(Qt::Key_Space);
    EXPECT_EQ(play->isHidden(), playShown) << "keys work while the controls rest";
    QTest::mouseMove(&Window(), middle + QPoint(7, 3));
    EXPECT_EQ(slider->graphicsEffect(), nullptr);

    Key(Qt::Key_Return);  // out of full screen
    ASSERT_EQ(Window().ScreenMode(), WindowLayout::kScreenNormal);
    EXPECT_EQ(slider->graphicsEffect(), nullptr);
    auto* maximize = static_cast<QAbstractButton*>(Window().GetDlgItem(IDC_BUTTON_FULLSCREEN));
    const QRect before = Window().geometry();
    QTest::mouseClick(maximize, Qt::LeftButton);
    const QRect free = Window().screen()->availableGeometry();
    EXPECT_EQ(Window().geometry().topLeft(), free.topLeft());
    EXPECT_EQ(Window().size(), free.size().expandedTo(Window().minimumSize()));
    EXPECT_EQ(Window().ScreenMode(), WindowLayout::kScreenNormal);
    QTest::mouseClick(maximize, Qt::LeftButton);
    EXPECT_EQ(Window().geometry(), before);
}
