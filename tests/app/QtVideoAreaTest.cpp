#include <gtest/gtest.h>

#include <QImage>
#include <atomic>
#include <thread>

#include "app/QtVideoArea.h"
#include "support/CPixImagePool.h"
#include "tests/app/AppTestSupport.h"

namespace {

CPixImage Uniform(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
    CPixImage image;
    image.Allocate(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.Row(y) + x * 3;
            p[0] = b, p[1] = g, p[2] = r;
        }
    }
    return image;
}

}  // namespace

TEST(QtVideoArea, ReportsZeroSizeWhileHiddenOrShrunk) {
    QWidget parent;
    parent.resize(400, 300);
    QtVideoArea area(&parent);
    area.setGeometry(0, 0, 160, 90);
    EXPECT_EQ(area.Size().width, 0) << "parent not shown yet";
    parent.show();
    EXPECT_EQ(area.Size().width, 160);
    EXPECT_EQ(area.Size().height, 90);
    area.setGeometry(4, 64, 0, 0);
    EXPECT_EQ(area.Size().width, 0);
    area.setGeometry(0, 0, 160, 90);
    area.hide();
    EXPECT_EQ(area.Size().height, 0);
    area.show();
    EXPECT_EQ(area.Size().height, 90);
}

TEST(QtVideoArea, KeepsTheNewestPictureAndPaintsItInBGROrder) {
    QWidget parent;
    QtVideoArea area(&parent);
    area.setGeometry(0, 0, 32, 16);
    parent.show();
    std::thread worker([&] {
        area.PresentCopy(Uniform(32, 16, 0, 0, 255));  // red
        area.PresentCopy(Uniform(32, 16, 255, 0, 0));  // blue
    });
    worker.join();
    EXPECT_EQ(area.PresentCount(), 2);
    const CPixImage last = area.LastImage();
    ASSERT_EQ(last.Width(), 32);
    EXPECT_EQ(last.Row(5)[0], 255);
    EXPECT_EQ(last.Row(5)[2], 0);
    const QImage shown = area.grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(10, 8)), QColor(0, 0, 255));

    area.Clear();
    EXPECT_EQ(QColor(area.grab().toImage().pixel(10, 8)), QColor(Qt::black));
}

TEST(QtVideoArea, PaintsWholePicturesWhileAWorkerPresents) {
    QWidget parent;
    QtVideoArea area(&parent);
    area.setGeometry(0, 0, 64, 48);
    parent.show();
    const CPixImage pictures[] = {Uniform(64, 48, 0, 0, 255), Uniform(64, 48, 0, 255, 0)};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        for (int i = 0; !stop; ++i) area.PresentCopy(pictures[i % 2]);
    });
    int mixed = 0;
    int grabs = 0;
    while (grabs < 200 || area.PresentCount() < 200) {
        ++grabs;
        QCoreApplication::processEvents();
        const QImage shown = area.grab().toImage();
        const QRgb first = shown.pixel(0, 0);
        for (int y = 0; y < shown.height(); y += 7) {
            for (int x = 0; x < shown.width(); x += 5) mixed += shown.pixel(x, y) != first;
        }
    }
    stop = true;
    worker.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(area.PresentCount(), 0);
}

TEST(QtVideoArea, IgnoresEmptyPictures) {
    QtVideoArea area;
    area.PresentCopy(CPixImage());
    EXPECT_EQ(area.PresentCount(), 0);
    EXPECT_TRUE(area.LastImage().IsEmpty());
}

TEST(QtVideoArea, ReportsZeroSizeWhileItsWindowIsMinimised) {
    QWidget window;
    window.resize(400, 300);
    QtVideoArea area(&window);
    area.setGeometry(0, 0, 160, 90);
    window.show();
    ASSERT_EQ(area.Size().width, 160);
    window.setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(area.Size().width, 0) << "nobody sees it: nothing to convert";
    window.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(area.Size().width, 160);
}

TEST(QtVideoArea, PaintsPooledPicturesWithoutCopyingAndHoldsThemWhileShown) {
    QWidget parent;
    QtVideoArea area(&parent);
    area.setGeometry(0, 0, 32, 16);
    parent.show();
    CPixImagePool pool(1);
    for (const QColor colour : {QColor(255, 0, 0), QColor(0, 200, 40)}) {
        std::shared_ptr<CPixImgBase> picture = pool.Acquire(32, 16);
        ASSERT_TRUE(picture);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) {
                uint8_t* p = picture->Row(y) + x * 4;
                p[0] = colour.blue(), p[1] = colour.green(), p[2] = colour.red(), p[3] = 0xFF;
            }
        }
        const CPixImgBase* shown = picture.get();
        area.Present(std::move(picture));
        EXPECT_EQ(pool.FreeCount(), 0u) << "the area holds the picture it shows";
        EXPECT_EQ(QColor(area.grab().toImage().pixel(10, 8)), colour);
        const CPixImage last = area.LastImage();
        EXPECT_EQ(last.Channels(), 3);
        EXPECT_EQ(last.Row(3)[2], colour.red());
        area.Clear();
        EXPECT_EQ(pool.FreeCount(), 1u) << "let go of: back in the pool";
        EXPECT_EQ(pool.Acquire(32, 16).get(), shown);
    }
}
