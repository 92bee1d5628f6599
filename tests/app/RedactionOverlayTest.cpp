// The overlay turns the mouse on a picture area into boxes in the camera picture's own
// pixels, whatever the area's size and with the picture mirrored; with the tool off the
// mouse goes through to the picture.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "app/redaction/RedactionOverlay.h"
#include "redact/RegionEdit.h"

namespace {

struct Case {
    bool mirrored;
    QRect dragged;  // on a 320 x 180 area
    QRect picture;  // on the 640 x 360 front picture
};

TEST(RedactionOverlay, DragDrawsABoxInThePicturesOwnPixels) {
    RegionEdit edit;
    edit.Reset("REC.AVI", 10000, {{0, 640, 360, 300}});
    const Case cases[] = {
        {false, QRect(QPoint(10, 20), QPoint(50, 40)), QRect(20, 40, 80, 40)},
        {true, QRect(QPoint(10, 20), QPoint(50, 40)), QRect(540, 40, 80, 40)},
        // Dragged up and to the left: the same box.
        {false, QRect(QPoint(50, 40), QPoint(10, 20)), QRect(20, 40, 80, 40)},
    };
    for (const Case& c : cases) {
        QWidget area;
        area.resize(320, 180);
        bool mirrored = c.mirrored;
        RedactionOverlay overlay(
            &area, 0,
            {&edit, [] { return int64_t{42}; }, [&] { return mirrored; }, [] { return 0; }});
        QSignalSpy drawn(&overlay, &RedactionOverlay::boxDrawn);
        overlay.SetEditing(true);
        QTest::mousePress(&overlay, Qt::LeftButton, Qt::NoModifier, c.dragged.topLeft());
        QTest::mouseRelease(&overlay, Qt::LeftButton, Qt::NoModifier, c.dragged.bottomRight());
        ASSERT_EQ(drawn.count(), 1) << c.mirrored;
        EXPECT_EQ(drawn[0][1].toLongLong(), 42);
        EXPECT_EQ(drawn[0][2].toRect(), c.picture) << c.mirrored;
        // And back onto the area where it was drawn.
        EXPECT_EQ(overlay.ToWidget(c.picture), QRect(10, 20, 40, 20)) << c.mirrored;

        overlay.SetEditing(false);
        EXPECT_TRUE(overlay.testAttribute(Qt::WA_TransparentForMouseEvents));
    }
}

}  // namespace
