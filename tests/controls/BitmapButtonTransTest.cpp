#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>

#include "WidgetEvents.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/DrawTransparent.h"
#include "res/SkinBitmaps.h"

namespace {

// A 20 x 20 face: black one-pixel frame with a black corner block, filled with the given
// colour inside.
QPixmap Face(QColor fill) {
    QPixmap p(20, 20);
    p.fill(Qt::black);
    QPainter painter(&p);
    painter.fillRect(1, 1, 18, 18, fill);
    painter.fillRect(1, 1, 4, 4, Qt::black);
    return p;
}

class BitmapButtonTransTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(60, 40);
        parent.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, Qt::red);
        parent.setPalette(pal);
        button = new CBitmapButtonTrans(&parent, 1006);
        button->move(10, 10);
    }
    QColor At(int x, int y) { return ShownAt(parent, QPoint(10 + x, 10 + y)); }

    QWidget parent;
    CBitmapButtonTrans* button = nullptr;
};

TEST_F(BitmapButtonTransTest, KeyColourLeavesTheBackgroundVisible) {
    ASSERT_TRUE(button->LoadBitmaps(Face(Qt::green)));
    button->SizeToContent();
    button->SetTransparentColor(0x000000);
    EXPECT_EQ(button->size(), QSize(20, 20));
    for (QPoint key : {QPoint(0, 0), QPoint(19, 19), QPoint(3, 3), QPoint(19, 0)})
        EXPECT_EQ(At(key.x(), key.y()), QColor(Qt::red)) << key.x() << "," << key.y();
    for (QPoint face : {QPoint(10, 10), QPoint(1, 18), QPoint(18, 1)})
        EXPECT_EQ(At(face.x(), face.y()), QColor(Qt::green)) << face.x() << "," << face.y();
}

TEST_F(BitmapButtonTransTest, ColourKeyMatchesOnlyThatExactColour) {
    QPixmap face = Face(QColor(1, 0, 0));  // one step from black: must stay visible
    ASSERT_TRUE(button->LoadBitmaps(face));
    button->SizeToContent();
    button->SetTransparentColor(0x000000);
    EXPECT_EQ(At(10, 10), QColor(1, 0, 0));
    EXPECT_EQ(At(0, 0), QColor(Qt::red));
}

TEST_F(BitmapButtonTransTest, MagentaIsTheKeyUntilAnotherIsSet) {
    EXPECT_EQ(button->GetTransparentColor(), 0xFF00FFu);
    ASSERT_TRUE(button->LoadBitmaps(Face(Qt::magenta)));
    button->SizeToContent();
    EXPECT_EQ(At(0, 0), QColor(Qt::black)) << "black is an ordinary colour here";
    EXPECT_EQ(At(10, 10), QColor(Qt::red)) << "magenta shows the background";
    button->SetTransparentColor(0x0000FF);  // 0x00BBGGRR: red
    EXPECT_EQ(At(10, 10), QColor(Qt::magenta));
}

TEST_F(BitmapButtonTransTest, FaceFollowsPressedAndDisabledStates) {
    ASSERT_TRUE(button->LoadBitmaps(Face(Qt::green), Face(Qt::yellow)));
    button->SizeToContent();
    button->SetTransparentColor(0);
    EXPECT_EQ(At(10, 10), QColor(Qt::green));
    button->setDown(true);
    EXPECT_EQ(At(10, 10), QColor(Qt::yellow));
    button->setDown(false);
    button->setEnabled(false);
    EXPECT_EQ(At(10, 10), QColor(Qt::green)) << "no disabled face: the released one";
    ASSERT_TRUE(button->LoadBitmaps(Face(Qt::green), Face(Qt::yellow), QPixmap(), Face(Qt::gray)));
    EXPECT_EQ(At(10, 10), QColor(Qt::gray));
}

TEST_F(BitmapButtonTransTest, ClickReportsTheControlId) {
    ASSERT_TRUE(button->LoadBitmaps(Face(Qt::green)));
    button->SizeToContent();
    QSignalSpy commands(button, &CBitmapButtonTrans::command);
    Press(button, {10, 10});
    Release(button, {10, 10});
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 1006);
    Press(button, {10, 10});
    DragTo(button, {40, 10});
    Release(button, {40, 10});
    EXPECT_EQ(commands.count(), 1) << "released outside: no click";
}

TEST_F(BitmapButtonTransTest, SkinFacesLoadByIdAndSizeTheButton) {
    EXPECT_TRUE(button->LoadBitmaps(SkinId::kPlay, SkinId::kPlayDown));
    button->SizeToContent();
    EXPECT_EQ(button->size(), QSize(54, 54));
    EXPECT_FALSE(button->LoadBitmaps(9999, SkinId::kPlayDown)) << "no released face";
}

TEST(DrawTransparentTest, CopiesTheFaceExactlyAndLeavesKeyPixelsAlone) {
    QImage target(30, 30, QImage::Format_RGB32);
    target.fill(QColor(Qt::red));
    {
        QPainter painter(&target);
        DrawTransparent(painter, Face(QColor(12, 34, 56)), 5, 5, 0x000000);
        DrawTransparent(painter, QPixmap(), 0, 0, 0x000000);  // nothing to draw
    }
    EXPECT_EQ(target.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(7, 7), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(15, 15), QColor(12, 34, 56));
    EXPECT_EQ(target.pixelColor(24, 24), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(26, 26), QColor(Qt::red));
}

}  // namespace
