#include <gtest/gtest.h>
#include <unistd.h>

#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/view/QtVideoArea.h"
#include "media/CPlaybackSession.h"
#include "support/CPixImagePool.h"
#include "tests/app/AppTestSupport.h"
#include "tools/cardgen/CardGenerator.h"

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

// Counts the repaints Qt makes of a window: one update request per backing-store flush.
class RepaintCounter : public QObject {
public:
    int updateRequests = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) ++updateRequests;
        return QObject::eventFilter(watched, event);
    }
};

// The rear camera's window as the player sees it, slowed down like a large rear picture's
// decode: without a pair bracket the GUI paints the front picture while the rear one is on
// its way.
class SlowWindow : public VideoWindow {
public:
    explicit SlowWindow(QtVideoArea& area) : m_area(area) {}
    VideoSize Size() const override { return m_area.Size(); }
    void Present(std::shared_ptr<const CPixImgBase> picture) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(8));
        m_area.Present(std::move(picture));
    }
    void BeginPair() override { m_area.BeginPair(); }
    void EndPair() override { m_area.EndPair(); }

private:
    QtVideoArea& m_area;
};

std::string TwoCameraRecording() {
    const std::string path = std::string(TARVEX_TEST_DATA_DIR) + "/video_area_pairs_D.AVI";
    if (std::filesystem::exists(path)) return path;
    RecordingOptions o;
    o.durationSec = 2;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 320;
    o.rearHeight = 180;
    o.audio = false;
    std::string error;
    const std::string temp = path + "." + std::to_string(getpid()) + ".part";
    EXPECT_TRUE(WriteRecording(temp, o, &error)) << error;
    std::filesystem::rename(temp, path);
    return path;
}

// A window with a front and a rear area that repaint together, as in the viewer.
struct PairedAreas {
    PairedAreas() {
        window.resize(500, 200);
        front.setGeometry(0, 0, 320, 180);
        rear.setGeometry(330, 0, 160, 90);
        rear.RepaintWith(&front);
        window.show();
    }
    QWidget window;
    QtVideoArea front{&window};
    QtVideoArea rear{&window};
};

}  // namespace

TEST(QtVideoArea, PlaybackRepaintsTheWindowOncePerFrontAndRearPair) {
    PairedAreas areas;
    QWidget& window = areas.window;
    QtVideoArea& front = areas.front;
    QtVideoArea& rear = areas.rear;
    QCoreApplication::processEvents();
    RepaintCounter counter;
    window.installEventFilter(&counter);

    SlowWindow slowRear(rear);
    CPlaybackSession session;
    ASSERT_TRUE(session.Start(&front, &slowRear, false));
    // Every pair counts here: a busy machine must not make the player skip late ones.
    session.Player().SetDropLateFrames(false);
    ASSERT_TRUE(session.Player().Open(TwoCameraRecording().c_str()));
    // A real event loop, as the viewer has: the GUI thread handles each picture as soon as it
    // is posted, so pictures presented apart are painted apart.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (session.Player().Ended()) loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    session.Stop();
    QCoreApplication::processEvents();
    window.removeEventFilter(&counter);

    const int pairs = front.PresentCount();
    EXPECT_EQ(pairs, 60);
    EXPECT_EQ(rear.PresentCount(), 60);
    std::printf("%d update requests for %d pairs (%.2f per pair)\n", counter.updateRequests, pairs,
                pairs ? double(counter.updateRequests) / pairs : 0.0);
    // One repaint may cover two moments when the GUI is slow, never less than one each;
    // presented apart, front and rear cost two.
    EXPECT_LE(counter.updateRequests, pairs + pairs / 10);
    EXPECT_GE(counter.updateRequests, pairs / 4);
    EXPECT_GE(front.PaintCount(), pairs / 4);
    EXPECT_GE(rear.PaintCount(), pairs / 4);
}

TEST(QtVideoArea, PausedStepsSeeksAndChangesRepaintTheWindowOnceEach) {
    PairedAreas areas;
    QWidget& window = areas.window;
    QtVideoArea& front = areas.front;
    QtVideoArea& rear = areas.rear;
    SlowWindow slowRear(rear);
    CPlaybackSession session;
    ASSERT_TRUE(session.Start(&front, &slowRear, false));
    CQRVMediaPlayer& player = session.Player();
    ASSERT_TRUE(player.Open(TwoCameraRecording().c_str()));
    player.Pause();
    player.WaitForWorker();
    QCoreApplication::processEvents();

    // Each command is carried out while the GUI thread runs its event loop, as in the viewer.
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"step forward", [&] { player.StepFrame(1); }},
        {"step forward again", [&] { player.StepFrame(1); }},
        {"step back", [&] { player.StepFrame(-1); }},
        {"seek", [&] { player.SeekToMs(1000); }},
        {"mirror", [&] { player.SetMirror(0, true); }},
    };
    for (const auto& [name, command] : commands) {
        RepaintCounter counter;
        window.installEventFilter(&counter);
        const int before = rear.PresentCount();
        command();
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        window.removeEventFilter(&counter);
        EXPECT_GT(rear.PresentCount(), before) << name;
        EXPECT_EQ(counter.updateRequests, 1) << name;
    }
    session.Stop();
}

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
