// The window's layout object: the views laid out again only for a recording of another camera
// count, where notes stand, and the map view and zoom window going before the window does.
#include "app/CZoomDlg.h"
#include "app/WindowLayout.h"
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
    ASSERT_EQ(Window().Player().GetCameraCount(), 2);
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
