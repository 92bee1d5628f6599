// The caption-less window's frame on a bare window: which edges a press would drag, moving the
// window by its background, and the normal window's place kept across full screen.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWidget>
#include <memory>

#include "app/view/ControlPlaces.h"
#include "app/view/MainWindowControls.h"
#include "app/view/WindowFrame.h"

namespace {

class WindowFrameTest : public ::testing::Test {
protected:
    static constexpr int kWidth = MainWindowControls::kNormalWidth;
    static constexpr int kHeight = MainWindowControls::kNormalHeight;

    QWidget window;
    MainWindowControls controls{&window};
    bool fullScreen = false;
    WindowFrame frame{window, controls, [this] { return fullScreen; }};

    void SetUp() override { window.setGeometry(100, 80, kWidth, kHeight); }

    // A mouse event at `at` in the window, the pointer at the same place on the screen.
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        const QPointF local(at);
        const QPointF global(window.mapToGlobal(at));
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, global, button, held, Qt::NoModifier);
        if (type == QEvent::MouseButtonPress) frame.MousePress(&event);
        if (type == QEvent::MouseMove) frame.MouseMove(&event);
        if (type == QEvent::MouseButtonRelease) frame.MouseRelease(&event);
    }
};

TEST_F(WindowFrameTest, OnlyTheRightAndBottomBandsOfTheNormalWindowResize) {
    const struct {
        QPoint at;
        bool fullScreen;
        Qt::Edges edges;
    } rows[] = {
        {{kWidth / 2, kHeight / 2}, false, {}},
        {{kWidth - 1, kHeight / 2}, false, Qt::RightEdge},
        {{kWidth - 5, kHeight / 2}, false, Qt::RightEdge},
        {{kWidth - 6, kHeight / 2}, false, {}},
        {{kWidth / 2, kHeight - 5}, false, Qt::BottomEdge},
        {{kWidth - 1, kHeight - 1}, false, Qt::RightEdge | Qt::BottomEdge},
        {{0, 0}, false, {}},  // the left and top edges are the drag handle's
        {{kWidth - 1, kHeight - 1}, true, {}},
    };
    for (const auto& row : rows) {
        fullScreen = row.fullScreen;
        EXPECT_EQ(frame.ResizeEdgesAt(row.at), row.edges)
            << row.at.x() << "," << row.at.y() << (row.fullScreen ? " full screen" : "");
    }
}

TEST_F(WindowFrameTest, DraggingTheBackgroundMovesTheNormalWindowOnly) {
    const struct {
        const char* what;
        bool fullScreen;
        bool releasedFirst;
        QPoint moved;
    } rows[] = {
        {"normal window", false, false, {30, 20}},
        {"full screen", true, false, {0, 0}},
        {"after the release", false, true, {0, 0}},
    };
    for (const auto& row : rows) {
        fullScreen = row.fullScreen;
        window.move(100, 80);
        const QPoint before = window.pos();
        const QPoint grip(200, 150);
        Mouse(QEvent::MouseButtonPress, grip, Qt::LeftButton);
        if (row.releasedFirst) Mouse(QEvent::MouseButtonRelease, grip, Qt::NoButton);
        Mouse(QEvent::MouseMove, grip + QPoint(30, 20), Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, grip + QPoint(30, 20), Qt::NoButton);
        EXPECT_EQ(window.pos() - before, row.moved) << row.what;
    }
}

TEST_F(WindowFrameTest, LeavingFullScreenRestoresTheNormalWindowOnce) {
    const QRect normal(140, 90, kWidth + 60, kHeight + 40);
    window.setGeometry(normal);
    frame.LoadBackground();  // nothing kept yet: centred at the background's size
    EXPECT_EQ(window.size(), QSize(kWidth, kHeight));
    EXPECT_FALSE(frame.Background().isNull());

    window.setGeometry(normal);
    frame.EnterFullScreen();
    EXPECT_TRUE(frame.Background().isNull()) << "full screen paints no skin";
    EXPECT_EQ(window.minimumSize(), QSize(0, 0));
    window.showNormal();
    frame.LoadBackground();
    EXPECT_EQ(window.geometry(), normal);
    EXPECT_EQ(window.minimumSize(), QSize(ControlPlaces::kMinWidth, ControlPlaces::kMinHeight));

    // The kept place is used up: the next load starts from the default size again.
    frame.LoadBackground();
    EXPECT_EQ(window.size(), QSize(kWidth, kHeight));
}

}  // namespace

namespace {

TEST(WindowFramePlace, TheFirstPlaceLiesInsideTheFreeAreaAndKeepsAPlaceThatStillFits) {
    const struct {
        const char* what;
        QRect available, remembered, place;
    } rows[] = {
        {"large screen: the background's size, centred",
         {0, 0, 1920, 1080},
         {},
         {472, 222, 975, 635}},
        {"800 x 600: as large as the screen", {0, 0, 800, 600}, {}, {0, 0, 800, 600}},
        {"800 x 600 under a panel", {0, 32, 800, 568}, {}, {0, 32, 800, 568}},
        {"a free area below the smallest: its corner on screen",
         {0, 0, 640, 480},
         {},
         {0, 0, 780, 540}},
        {"the place left last time", {0, 0, 1920, 1080}, {100, 50, 900, 600}, {100, 50, 900, 600}},
        {"a place now partly off the screen",
         {0, 0, 1280, 1024},
         {1000, 800, 975, 635},
         {152, 194, 975, 635}},
        {"a place smaller than the smallest",
         {0, 0, 1920, 1080},
         {10, 10, 300, 200},
         {472, 222, 975, 635}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WindowFrame::FirstPlace(row.available, row.remembered), row.place) << row.what;
}

}  // namespace
