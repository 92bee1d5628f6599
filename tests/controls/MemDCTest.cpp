#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "controls/CMemDC.h"

namespace {

QImage Pattern() {
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 6, y * 8, 100));
    return image;
}

TEST(MemDCTest, CopyBackgroundWithNothingDrawnLeavesTheTargetUnchanged) {
    QImage target = Pattern();
    const QImage before = target;
    {
        QPainter painter(&target);
        CMemDC dc(painter, QRect(5, 4, 20, 15), true);
        EXPECT_TRUE(dc.IsOffScreen());
    }
    EXPECT_EQ(target, before);
}

TEST(MemDCTest, DrawingReachesTheTargetOnlyAtReleaseAndOnlyInsideTheRect) {
    QImage target = Pattern();
    const QImage before = target;
    {
        QPainter painter(&target);
        CMemDC dc(painter, QRect(10, 10, 10, 10), true);
        dc->fillRect(QRect(0, 0, 40, 30), Qt::green);  // target coordinates, clipped to rect
        dc->fillRect(QRect(12, 12, 2, 2), Qt::blue);
        painter.end();  // nothing drawn on the target yet
        EXPECT_EQ(target, before);
        painter.begin(&target);
    }
    EXPECT_EQ(target.pixelColor(12, 12), QColor(Qt::blue));
    EXPECT_EQ(target.pixelColor(10, 10), QColor(Qt::green));
    EXPECT_EQ(target.pixelColor(19, 19), QColor(Qt::green));
    EXPECT_EQ(target.pixel(9, 10), before.pixel(9, 10));
    EXPECT_EQ(target.pixel(20, 19), before.pixel(20, 19));
}

TEST(MemDCTest, FollowsTheTargetsTransform) {
    QImage target = Pattern();
    {
        QPainter painter(&target);
        painter.translate(5, 5);
        CMemDC dc(painter, QRect(0, 0, 10, 10), true);
        dc->fillRect(QRect(1, 1, 1, 1), Qt::blue);
    }
    EXPECT_EQ(target.pixelColor(6, 6), QColor(Qt::blue));
}

TEST(MemDCTest, WithoutCopyTheRectStartsInTheBackgroundColour) {
    QImage target = Pattern();
    const QImage before = target;
    {
        QPainter painter(&target);
        painter.setBackground(QColor(Qt::yellow));
        CMemDC dc(painter, QRect(2, 2, 6, 6), false);
    }
    EXPECT_EQ(target.pixelColor(2, 2), QColor(Qt::yellow));
    EXPECT_EQ(target.pixelColor(7, 7), QColor(Qt::yellow));
    EXPECT_EQ(target.pixel(8, 8), before.pixel(8, 8));
}

TEST(MemDCTest, EmptyRectCoversTheWholeTarget) {
    QImage target = Pattern();
    {
        QPainter painter(&target);
        CMemDC dc(painter);
        EXPECT_EQ(dc.Rect(), QRect(0, 0, 40, 30));
        dc->fillRect(QRect(39, 29, 1, 1), Qt::blue);
    }
    EXPECT_EQ(target.pixelColor(39, 29), QColor(Qt::blue));
}

}  // namespace
