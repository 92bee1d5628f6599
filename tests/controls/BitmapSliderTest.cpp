#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <climits>
#include <memory>
#include <vector>

#include "WidgetEvents.h"
#include "controls/CBitmapSlider.h"
#include "res/SkinBitmaps.h"

namespace {

constexpr int kSliderId = 1004;

// Range 0..99 on a 100-pixel channel with a 10-pixel thumb and no margins.
class BitmapSliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(200, 50);
        slider = new CBitmapSlider(&parent, kSliderId);
        ASSERT_TRUE(slider->SetBitmapChannel(Solid({100, 16}, Qt::darkGray), QPixmap()));
        ASSERT_TRUE(slider->SetBitmapThumb(Solid({10, 16}, Qt::white), QPixmap()));
        slider->SetRange(0, 99);
        notices = std::make_unique<SliderNotices>(*slider);
    }

    static Notice Moving(int pos) { return {false, pos}; }
    static Notice Moved(int pos) { return {true, pos}; }

    QWidget parent;
    CBitmapSlider* slider = nullptr;
    std::unique_ptr<SliderNotices> notices;
};

TEST_F(BitmapSliderTest, PositionAndThumbCentreMapBothWays) {
    struct Row {
        int position, pixel;
    };
    for (const Row& row : {Row{0, 5}, Row{99, 95}, Row{49, 49}, Row{50, 50}, Row{1, 5}}) {
        EXPECT_EQ(slider->PosToPixel(row.position), row.pixel) << "position " << row.position;
    }
    // PixelToPos does not clamp: pixels outside the travel give positions outside the range.
    for (const Row& row : {Row{0, 5}, Row{99, 95}, Row{49, 50}, Row{-5, 0}, Row{104, 100}}) {
        EXPECT_EQ(slider->PixelToPos(row.pixel), row.position) << "pixel " << row.pixel;
    }
}

TEST_F(BitmapSliderTest, NegativeRangeMapsLikeAnyOther) {
    slider->SetRange(-5, 5);
    EXPECT_EQ(slider->PosToPixel(-5), 5);
    EXPECT_EQ(slider->PosToPixel(0), 50);
    EXPECT_EQ(slider->PosToPixel(5), 95);
    EXPECT_EQ(slider->PixelToPos(50), 0);
}

TEST_F(BitmapSliderTest, EmptyRangeKeepsTheThumbAtTheStart) {
    slider->SetRange(7, 7);
    slider->SetPos(7);
    EXPECT_EQ(slider->PosToPixel(7), 5);
    EXPECT_EQ(slider->PixelToPos(60), 7);
    Press(slider, {60, 8});  // must not divide by zero while dragging either
    Release(slider, {60, 8});
    EXPECT_EQ(slider->GetPos(), 7);
}

TEST_F(BitmapSliderTest, SetPosClampsToTheRange) {
    slider->SetPos(150);
    EXPECT_EQ(slider->GetPos(), 99);
    slider->SetPos(-3);
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_TRUE(notices->Take().empty()) << "SetPos is not a user action";
}

TEST_F(BitmapSliderTest, NarrowingTheRangePullsThePositionIn) {
    slider->SetPos(80);
    slider->SetRange(0, 30);
    EXPECT_EQ(slider->GetPos(), 30);
    slider->SetRange(40, 60);
    EXPECT_EQ(slider->GetPos(), 40);
}

TEST_F(BitmapSliderTest, PageSizeStartsAtTwentyAndReturnsThePrevious) {
    EXPECT_EQ(slider->SetPageSize(25), 20);
    EXPECT_EQ(slider->SetPageSize(5), 25);
}

TEST_F(BitmapSliderTest, KeysMoveThroughSetPosAndPostMoved) {
    struct Row {
        int key, from, expected;
    };
    slider->SetPageSize(25);
    const Row rows[] = {
        {Qt::Key_PageUp, 10, 0},    {Qt::Key_PageUp, 60, 35}, {Qt::Key_PageDown, 10, 35},
        {Qt::Key_PageDown, 90, 99}, {Qt::Key_Home, 40, 0},    {Qt::Key_End, 40, 99},
        {Qt::Key_Right, 40, 41},    {Qt::Key_Down, 40, 41},   {Qt::Key_Left, 40, 39},
        {Qt::Key_Up, 40, 39},       {Qt::Key_Left, 0, 0},     {Qt::Key_Right, 99, 99},
    };
    for (const Row& row : rows) {
        slider->SetPos(row.from);
        Key(slider, row.key);
        EXPECT_EQ(slider->GetPos(), row.expected) << "key " << row.key << " from " << row.from;
        EXPECT_EQ(notices->Take(), std::vector<Notice>{Moved(row.expected)})
            << "key " << row.key << " from " << row.from;
    }
}

TEST_F(BitmapSliderTest, OtherKeysPostNothing) {
    slider->SetPos(40);
    Key(slider, Qt::Key_A);
    EXPECT_EQ(slider->GetPos(), 40);
    EXPECT_TRUE(notices->Take().empty());
}

TEST_F(BitmapSliderTest, PageStepsAtTheEndsOfTheIntRangeDoNotWrap) {
    slider->SetRange(INT_MAX - 10, INT_MAX);
    slider->SetPageSize(25);
    slider->SetPos(INT_MAX - 5);
    Key(slider, Qt::Key_PageDown);
    EXPECT_EQ(slider->GetPos(), INT_MAX);
    slider->SetRange(INT_MIN, INT_MIN + 10);
    slider->SetPos(INT_MIN + 5);
    Key(slider, Qt::Key_PageUp);
    EXPECT_EQ(slider->GetPos(), INT_MIN);
}

TEST_F(BitmapSliderTest, DraggingTheThumbPostsMovingThenMovedOnRelease) {
    Press(slider, {5, 8});  // on the thumb centre at position 0
    EXPECT_TRUE(slider->IsDragging());
    EXPECT_TRUE(notices->Take().empty()) << "taking hold of the thumb does not move it";
    DragTo(slider, {50, 8});
    EXPECT_EQ(slider->GetPos(), 49);
    EXPECT_EQ(notices->Take(), std::vector<Notice>{Moving(49)});
    DragTo(slider, {60, 8});
    Release(slider, {60, 8});
    EXPECT_FALSE(slider->IsDragging());
    const int pos = slider->GetPos();
    EXPECT_EQ(pos, 60);
    EXPECT_EQ(notices->Take(), (std::vector<Notice>{Moving(60), Moved(60)}));
}

TEST_F(BitmapSliderTest, GrabKeepsThePointerOffsetFromTheThumbCentre) {
    Press(slider, {8, 8});  // three pixels right of the centre: within half a thumb
    EXPECT_EQ(slider->GetPos(), 0);
    DragTo(slider, {53, 8});  // the centre follows to 50
    EXPECT_EQ(slider->GetPos(), 49);
}

TEST_F(BitmapSliderTest, ClickAwayFromTheThumbJumpsItsCentreToThePointer) {
    Press(slider, {70, 8});
    EXPECT_EQ(slider->GetPos(), 71);  // trunc(65 / 90 * 99)
    EXPECT_EQ(notices->Take(), std::vector<Notice>{Moving(71)});
    Release(slider, {70, 8});
    EXPECT_EQ(notices->Take(), std::vector<Notice>{Moved(71)});
}

TEST_F(BitmapSliderTest, DragBeyondTheEndsStopsAtMinimumAndMaximum) {
    slider->SetPos(50);
    Press(slider, {50, 8});
    DragTo(slider, {500, 8});
    EXPECT_EQ(slider->GetPos(), 99);
    DragTo(slider, {-300, 8});
    EXPECT_EQ(slider->GetPos(), 0);
}

TEST_F(BitmapSliderTest, ReleaseWithoutMovingStillPostsMoved) {
    slider->SetPos(30);
    const int centre = slider->PosToPixel(30);
    Press(slider, {centre, 8});
    Release(slider, {centre, 8});
    EXPECT_EQ(notices->Take(), std::vector<Notice>{Moved(30)});
}

TEST_F(BitmapSliderTest, ReleaseWithoutAPressOnTheSliderPostsNothing) {
    Release(slider, {70, 8});
    EXPECT_TRUE(notices->Take().empty());
}

TEST_F(BitmapSliderTest, DisabledSliderIgnoresPointerAndKeys) {
    slider->setEnabled(false);
    Press(slider, {70, 8});
    Release(slider, {70, 8});
    Key(slider, Qt::Key_End);
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_TRUE(notices->Take().empty());
}

TEST_F(BitmapSliderTest, RightButtonDoesNotDrag) {
    SendMouse(slider, QEvent::MouseButtonPress, {70, 8}, Qt::RightButton, Qt::RightButton);
    SendMouse(slider, QEvent::MouseButtonRelease, {70, 8}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_TRUE(notices->Take().empty());
}

TEST(BitmapSliderBitmaps, ChannelGivesTheSliderItsSizeAndUnloadsOnFailure) {
    QWidget parent;
    CBitmapSlider slider(&parent, 1002);
    slider.move(92, 432);
    ASSERT_TRUE(slider.SetBitmapChannel(SkinId::kPositionChannel, SkinId::kPositionChannelActive,
                                        true, 0xFF000000, 0, 0));
    EXPECT_EQ(slider.size(), QSize(410, 16));
    EXPECT_EQ(slider.pos(), QPoint(92, 432));
    EXPECT_FALSE(slider.SetBitmapChannel(SkinId::kPositionChannel, 9999, true));
    EXPECT_FALSE(slider.SetBitmapChannel(9999, 0));
    EXPECT_TRUE(slider.SetBitmapChannel(0, 0)) << "unloading always succeeds";
    EXPECT_TRUE(slider.SetBitmapThumb(SkinId::kThumb, SkinId::kThumb, true, 0xFF000000, 0, 0));
    EXPECT_FALSE(slider.SetBitmapThumb(9999, 0));
}

// Channel: key colour at its edges, grey track; active channel: the same with an orange
// track; thumb: key colour outside a white core. The slider sits on a blue parent.
class BitmapSliderPaintTest : public ::testing::Test {
protected:
    static QPixmap Track(QColor colour) {
        QPixmap p(100, 16);
        p.fill(QColor(10, 20, 30));  // key colour, picked up from pixel (0,0)
        QPainter(&p).fillRect(0, 6, 100, 4, colour);
        return p;
    }
    void SetUp() override {
        parent.resize(140, 40);
        parent.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, Qt::blue);
        parent.setPalette(pal);
        slider = new CBitmapSlider(&parent, 1002);
        slider->move(20, 10);
        QPixmap thumb(10, 16);
        thumb.fill(Qt::black);
        QPainter(&thumb).fillRect(2, 2, 6, 12, Qt::white);
        ASSERT_TRUE(slider->SetBitmapChannel(Track(Qt::gray), Track(QColor(255, 128, 0)), true,
                                             0xFF000000, 0, 0));
        ASSERT_TRUE(slider->SetBitmapThumb(thumb, thumb, true, 0xFF000000, 0, 0));
        slider->SetRange(0, 99);
        slider->SetDrawFocusRect(false, false);
        slider->SetPos(49);  // thumb centre at x 49
    }
    QColor At(int x, int y) { return ShownAt(parent, QPoint(20 + x, 10 + y)); }

    QWidget parent;
    CBitmapSlider* slider = nullptr;
};

TEST_F(BitmapSliderPaintTest, KeyColourShowsTheParentAndTrackFillsUpToTheThumb) {
    EXPECT_EQ(At(0, 0), QColor(Qt::blue)) << "key colour is transparent";
    EXPECT_EQ(At(30, 2), QColor(Qt::blue));
    EXPECT_EQ(At(20, 7), QColor(255, 128, 0)) << "active part left of the thumb";
    EXPECT_EQ(At(80, 7), QColor(Qt::gray)) << "plain part right of the thumb";
    EXPECT_EQ(At(49, 7), QColor(Qt::white)) << "thumb core at the thumb centre";
    EXPECT_EQ(At(44, 1), QColor(Qt::blue)) << "thumb's key-colour rim is transparent";
}

TEST_F(BitmapSliderPaintTest, DisabledSliderShowsThePlainChannelAndNoThumb) {
    slider->setEnabled(false);
    EXPECT_EQ(At(20, 7), QColor(Qt::gray));
    EXPECT_EQ(At(49, 7), QColor(Qt::gray));
}

TEST_F(BitmapSliderPaintTest, OpaqueChannelKeepsItsKeyColour) {
    ASSERT_TRUE(slider->SetBitmapChannel(Track(Qt::gray), QPixmap(), false));
    EXPECT_EQ(At(0, 0), QColor(10, 20, 30));
    EXPECT_EQ(At(20, 7), QColor(Qt::gray));
}

}  // namespace

namespace {

TEST_F(BitmapSliderPaintTest, KeyColourCanBeGivenOrTakenFromAnyPixelInside) {
    struct Row {
        uint32_t colour;
        int x, y;
        bool transparent;
    };
    const Row rows[] = {
        {0x1E140A, 0, 0, true},       // (10,20,30) given as 0x00BBGGRR
        {0x0A141E, 0, 0, false},      // the same bytes the other way round: another colour
        {0xFF000000, 99, 15, true},   // bottom-right corner holds the key colour too
        {0xFF000000, 50, 8, false},   // the track's grey: the edges stay
        {0xFF000000, 100, 0, false},  // outside the bitmap: nothing is transparent
        {0xFF000000, -1, 0, false},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(
            slider->SetBitmapChannel(Track(Qt::gray), QPixmap(), true, row.colour, row.x, row.y));
        EXPECT_EQ(At(0, 0), row.transparent ? QColor(Qt::blue) : QColor(10, 20, 30))
            << std::hex << row.colour << " at " << std::dec << row.x << "," << row.y;
    }
}

}  // namespace

TEST_F(BitmapSliderTest, WheelNotchesStepThePositionAndNotifyLikeAKey) {
    struct Row {
        const char* what;
        int step, start;
        std::vector<QPoint> deltas;  // angle deltas, eighths of a degree
        int position;
        size_t notices;
    };
    const Row rows[] = {
        {"no step: the wheel is not the slider's", 0, 50, {{0, 120}}, 50, 0},
        {"one notch up", 5, 50, {{0, 120}}, 55, 1},
        {"one notch down", 10, 50, {{0, -120}}, 40, 1},
        {"two notches at once", 5, 50, {{0, 240}}, 60, 1},
        {"touchpad pieces add up to one notch", 5, 50, {{0, 40}, {0, 40}, {0, 40}}, 55, 1},
        {"clamped at the maximum", 10, 95, {{0, 120}}, 99, 1},
        {"clamped at the minimum", 10, 3, {{0, -120}}, 0, 1},
        {"sideways wheel: right is up", 5, 50, {{-120, 0}}, 55, 1},
    };
    for (const Row& row : rows) {
        slider->SetWheelStep(row.step);
        slider->SetPos(row.start);
        notices->Take();
        for (QPoint delta : row.deltas) {
            QWheelEvent wheel(QPointF(50, 8), QPointF(slider->mapToGlobal(QPoint(50, 8))), QPoint(),
                              delta, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(slider, &wheel);
        }
        EXPECT_EQ(slider->GetPos(), row.position) << row.what;
        const std::vector<Notice> taken = notices->Take();
        ASSERT_EQ(taken.size(), row.notices) << row.what;
        if (!taken.empty()) {
            EXPECT_EQ(taken.back(), Moved(row.position)) << row.what;
        }
    }
}

TEST_F(BitmapSliderTest, ALongerChannelKeepsItsEndsAndMapsPositionsOverTheNewWidth) {
    // A channel whose ends differ from its middle: red ends of 16 pixels, grey between.
    QPixmap channel = Solid({100, 16}, Qt::darkGray);
    {
        QPainter p(&channel);
        p.fillRect(0, 0, 16, 16, Qt::red);
        p.fillRect(84, 0, 16, 16, Qt::red);
    }
    ASSERT_TRUE(slider->SetBitmapChannel(channel, QPixmap()));
    ASSERT_TRUE(slider->SetChannelLength(300));
    EXPECT_EQ(slider->size(), QSize(300, 16));
    EXPECT_EQ(slider->PosToPixel(0), 5);
    EXPECT_EQ(slider->PosToPixel(99), 295);
    EXPECT_EQ(slider->PixelToPos(150), 49);
    slider->SetPos(0);
    const QImage shown = slider->grab().toImage();
    for (int x : {12, 15, 284, 299}) EXPECT_EQ(QColor(shown.pixel(x, 8)), QColor(Qt::red)) << x;
    for (int x : {16, 150, 283}) EXPECT_EQ(QColor(shown.pixel(x, 8)), QColor(Qt::darkGray)) << x;
    Press(slider, {295, 8});
    Release(slider, {295, 8});
    EXPECT_EQ(slider->GetPos(), 99) << "the thumb reaches the new end";

    ASSERT_TRUE(slider->SetChannelLength(100));
    EXPECT_EQ(slider->size(), QSize(100, 16));
    EXPECT_EQ(slider->PosToPixel(99), 95);
    EXPECT_FALSE(CBitmapSlider().SetChannelLength(200)) << "no channel, nothing to lengthen";
}

// Ticks at 15 px (position 11, two events in one second), 25 px (22) and 55 px (55, no text);
// the tick tooltip reaches three pixels either side of a tick.
TEST_F(BitmapSliderTest, RestingOnAnEventTickNamesItsEventsElsewhereThePositionTipShows) {
    slider->SetMarks({{22, 0xFF, QStringLiteral("Impact")},
                      {11, 0xFF00, QStringLiteral("Braking")},
                      {11, 0xFF0000, QStringLiteral("Turn")},
                      {55, 0xFF, QString()},
                      {120, 0xFF, QStringLiteral("past the end")}});
    ASSERT_EQ(slider->PosToPixel(11), 15);
    ASSERT_EQ(slider->PosToPixel(22), 25);
    const struct Row {
        int x;
        const char* text;
    } rows[] = {
        {15, "Braking\nTurn"},
        {12, "Braking\nTurn"},
        {11, ""},
        {18, "Braking\nTurn"},
        {19, ""},
        {22, "Impact"},
        {28, "Impact"},
        {29, ""},
        {55, ""},
        {95, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(slider->MarkTextAt(row.x).toStdString(), row.text) << row.x;
    // Of two ticks in reach, the nearer one speaks.
    slider->SetMarks({{11, 0, QStringLiteral("a")}, {13, 0, QStringLiteral("b")}});
    ASSERT_EQ(slider->PosToPixel(13), 16);
    EXPECT_EQ(slider->MarkTextAt(15), "a");
    EXPECT_EQ(slider->MarkTextAt(17), "b");

    // Through the tooltip event: the tick's text at a tick, the slider's own tip off it.
    parent.show();
    slider->setToolTip(QStringLiteral("Position"));
    const auto tipAt = [&](int x) {
        QHelpEvent help(QEvent::ToolTip, QPoint(x, 8), slider->mapToGlobal(QPoint(x, 8)));
        QApplication::sendEvent(slider, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(16), "b");
    EXPECT_EQ(tipAt(60), "Position");
}
