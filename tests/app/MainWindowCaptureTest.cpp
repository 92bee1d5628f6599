// Still capture (file names, the pictures saved, pausing around the save dialog) and the
// zoom window.
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStandardPaths>
#include <exiv2/exiv2.hpp>
#include <fstream>

#include "app/dialogs/CZoomDlg.h"
#include "app/view/QtNoteLabel.h"
#include "telemetry/CameraClock.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

std::tm LocalAt(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

FrameMark SavedMark(const fs::path& path) {
    CPixImage image;
    if (!image.LoadImage(path.string())) return {};
    return ReadFramePattern(image);
}

std::map<std::string, std::string> ExifOf(const fs::path& path) {
    std::map<std::string, std::string> tags;
    auto image = Exiv2::ImageFactory::open(path.string());
    image->readMetadata();
    for (const Exiv2::Exifdatum& d : image->exifData()) tags[d.key()] = d.toString();
    return tags;
}

}  // namespace

TEST(CaptureNaming, ProposedNameIsZeroPaddedSoItSortsByTime) {
    EXPECT_EQ(StillCapture::CaptureFileName(LocalAt(2014, 3, 7, 18, 5, 9)),
              "Capture_20140307_180509.jpg");
    EXPECT_EQ(StillCapture::CaptureFileName(LocalAt(2026, 12, 7, 9, 12, 10)),
              "Capture_20261207_091210.jpg");
    EXPECT_EQ(StillCapture::CaptureFileName(LocalAt(2026, 12, 31, 0, 0, 0)),
              "Capture_20261231_000000.jpg");
}

TEST(CaptureNaming, ChosenPathLosesItsExtensionBeforeTheCameraEnding) {
    struct Row {
        const char* chosen;
        const char* base;
    } rows[] = {
        {"/shots/x.jpg", "/shots/x"},
        {"/shots/x", "/shots/x"},        // no extension: kept whole
        {"/shots/x.jpeg", "/shots/x."},  // four characters go, whatever the extension
        {"/shots/x.JPG", "/shots/x"},
        {"/sh.ots/x", "/sh.ots/x"},    // a dot in the folder is no extension
        {"/shots/ab.c", "/shots/ab"},  // a short extension never eats into the name
        {"/shots/a.b", "/shots/a"},    // ... nor into the folder
    };
    for (const Row& row : rows) {
        EXPECT_EQ(StillCapture::CaptureBasePath(QString::fromUtf8(row.chosen)),
                  QString::fromUtf8(row.base))
            << row.chosen;
    }
}

class MainWindowCaptureTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        shots = workDir / "shots";
        fs::create_directories(shots);
    }
    // Any frame under way when the pause came has been shown once the worker has taken the
    // pause; from then on the pictures shown stay as they are.
    void WaitUntilHeld() { Window().Playback().Player().WaitForWorker(); }
    // A capture asks the player for its pictures and writes the files on a job: done once the
    // note says what was written (or that nothing could be).
    void Capture() {
        Window().OnBnClickedButtonCapture();
        WaitForCapture();
    }
    void WaitForCapture() {
        ASSERT_TRUE(WaitUntil([&] { return !Window().Capture().Busy(); }));
    }
    fs::path shots;
};

TEST_F(MainWindowCaptureTest, CaptureWhilePlayingSavesTheShownPicturesAndResumes) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(3));
    // The fixes come with the walk of the recording.
    ASSERT_TRUE(WaitUntil([&] { return !Window().Timeline().Telemetry().fixes.empty(); }));
    Window().localTime = LocalAt(2014, 3, 7, 18, 5, 9);
    int frontShown = -1, rearShown = -1;
    bool pausedMeanwhile = false;
    Window().onCapture = [&] {
        pausedMeanwhile = !Window().Playback().Player().IsRunning();
        WaitUntilHeld();
        frontShown = FrontFrame();
        rearShown = ReadFramePattern(Window().RearArea()->LastImage()).frameIndex;
    };
    Window().captureAnswer = QString::fromStdString((shots / "x.jpg").string());
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_CAPTURE), Qt::LeftButton);
    WaitForCapture();

    ASSERT_EQ(Window().captureQuestions.size(), 1);
    // Named after the picture's time on the camera clock: the recording's start plus the
    // position of the frame shown.
    const std::string recording = Window().windowTitle().section(' ', 0, 0).toStdString();
    const int64_t start = RecordingStartSec(recording).value_or(-1);
    const int64_t pictureMs =
        CameraTimeMs(start, int64_t{frontShown} * 1000 / Window().Playback().Player().GetFrontFrameRate());
    EXPECT_EQ(QFileInfo(Window().captureQuestions[0]).fileName().toStdString(),
              StillCapture::CaptureFileName(pictureMs));
    EXPECT_TRUE(pausedMeanwhile);
    std::map<std::string, std::string> tags = ExifOf(shots / "x_rear.jpg");
    const ClockFields when = SplitClockMs(pictureMs);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%04lld:%02d:%02d %02d:%02d:%02d",
                  static_cast<long long>(when.year), when.month, when.day, when.hour, when.minute,
                  when.second);
    EXPECT_EQ(tags["Exif.Photo.DateTimeOriginal"], expected);
    EXPECT_EQ(tags["Exif.Photo.OffsetTimeOriginal"], "+09:00");
    EXPECT_EQ(tags["Exif.GPSInfo.GPSLatitudeRef"], "N");
    EXPECT_NE(tags["Exif.Image.ImageDescription"].find(recording + ", frame " +
                                                       std::to_string(frontShown)),
              std::string::npos)
        << tags["Exif.Image.ImageDescription"];
    const FrameMark front = SavedMark(shots / "x_front.jpg");
    const FrameMark rear = SavedMark(shots / "x_rear.jpg");
    EXPECT_EQ(front.camera, 0);
    EXPECT_EQ(front.frameIndex, frontShown) << "the saved picture is the one shown";
    EXPECT_EQ(rear.camera, 1);
    EXPECT_EQ(rear.frameIndex, rearShown);
    EXPECT_FALSE(fs::exists(shots / "x.jpg"));
    EXPECT_TRUE(Window().Playback().Player().IsRunning()) << "playback resumes";
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
    EXPECT_TRUE(WaitForFrontFrame(frontShown + 3));
}

TEST_F(MainWindowCaptureTest, CancelledCaptureResumesAndWritesNothing) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().captureAnswer.clear();
    Capture();
    EXPECT_EQ(Window().captureQuestions.size(), 1);
    EXPECT_TRUE(fs::is_empty(shots));
    EXPECT_TRUE(Window().Playback().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
}

TEST_F(MainWindowCaptureTest, CaptureWhilePausedStaysPausedAndNamesWithoutExtension) {
    ShowCard(OneCamera().root);
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().OnBnClickedButtonPause();
    WaitUntilHeld();
    const int shown = FrontFrame();
    Window().captureAnswer = QString::fromStdString((shots / "still").string());
    Capture();
    EXPECT_EQ(SavedMark(shots / "still_front.jpg").frameIndex, shown);
    EXPECT_FALSE(fs::exists(shots / "still_rear.jpg")) << "one camera: no rear file";
    EXPECT_FALSE(Window().Playback().Player().IsRunning());
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
}

TEST_F(MainWindowCaptureTest, StillsPositionZeroLeavesTheGpsTagsOut) {
    fs::create_directories(workDir / "xdg" / "tarvex");
    std::ofstream(workDir / "xdg" / "tarvex" / "config.cfg") << "[config]\nstills_position=0\n";
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    ASSERT_TRUE(WaitUntil([&] { return !Window().Timeline().Telemetry().fixes.empty(); }));
    Window().captureAnswer = QString::fromStdString((shots / "p.jpg").string());
    Capture();
    std::map<std::string, std::string> tags = ExifOf(shots / "p_front.jpg");
    EXPECT_FALSE(tags["Exif.Photo.DateTimeOriginal"].empty());
    for (const auto& [key, value] : tags)
        EXPECT_EQ(key.rfind("Exif.GPSInfo.", 0), std::string::npos) << key << " " << value;
}

TEST_F(MainWindowCaptureTest, CaptureAsksNothingWithoutADriveOrARecording) {
    ShowCard();
    Window().OnBnClickedButtonCapture();  // nothing open
    ASSERT_NE(Window().Note(), nullptr);
    EXPECT_TRUE(Window().Note()->isVisible());
    EXPECT_EQ(Window().Note()->text(), "Nothing to capture: play a recording first.");
    DoubleClickRow(0);
    Window().Navigator().Cards().SetDrivePath("");
    Window().OnBnClickedButtonCapture();  // no drive
    EXPECT_TRUE(Window().captureQuestions.isEmpty());
    EXPECT_TRUE(Window().Playback().Player().IsRunning());
}

TEST_F(MainWindowCaptureTest, AStopBeforeThePicturesComeAsksNothingAndSaysSo) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().captureAnswer = QString::fromStdString((shots / "s.jpg").string());
    Window().OnBnClickedButtonCapture();
    Window().OnBnClickedButtonStop();
    WaitForCapture();
    EXPECT_TRUE(Window().captureQuestions.isEmpty());
    EXPECT_TRUE(fs::is_empty(shots));
    ASSERT_NE(Window().Note(), nullptr);
    EXPECT_EQ(Window().Note()->text(), "Nothing to capture: play a recording first.");
}

TEST_F(MainWindowCaptureTest,
       TheDialogStartsInPicturesThenWhereTheLastCaptureWentAndANoteSaysWhat) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(pictures).isDir()) pictures = QDir::homePath();
    const QString shotsDir = QString::fromStdString(shots.string());
    struct Row {
        const char* what;
        fs::path answer;
        QString folderAsked;
        QString note;
    } rows[] = {
        {"first capture: the pictures folder", shots / "a.jpg", pictures,
         "Saved a_front.jpg, a_rear.jpg"},
        {"then the folder last used", shots / "gone" / "b.jpg", shotsDir,
         "Could not save b_front.jpg, b_rear.jpg"},
        {"a folder that is gone: pictures again", shots / "c", pictures,
         "Saved c_front.jpg, c_rear.jpg"},
    };
    for (const Row& row : rows) {
        Window().captureQuestions.clear();
        Window().captureAnswer = QString::fromStdString(row.answer.string());
        Capture();
        ASSERT_EQ(Window().captureQuestions.size(), 1) << row.what;
        EXPECT_EQ(QFileInfo(Window().captureQuestions[0]).absolutePath(),
                  QFileInfo(row.folderAsked).absoluteFilePath())
            << row.what;
        ASSERT_NE(Window().Note(), nullptr);
        EXPECT_TRUE(Window().Note()->isVisible()) << row.what;
        EXPECT_EQ(Window().Note()->text(), row.note) << row.what;
        EXPECT_TRUE(Window().Layout().MainAreaRect().contains(Window().Note()->geometry()))
            << row.what;
    }
}

// ---- zoom window ----

TEST(ZoomSource, SourceIsHalfTheClientCentredOnThePointerAndKeptOnTheScreen) {
    const QSize screen(1920, 1080), client(409, 291);
    struct Row {
        QPoint pointer;
        QRect source;
    } rows[] = {
        {{960, 540}, {858, 468, 204, 145}},     // 409 x 291 gives 204 x 145
        {{0, 0}, {0, 0, 204, 145}},             // top-left corner
        {{50, 1070}, {0, 935, 204, 145}},       // left edge, near the bottom
        {{1919, 1079}, {1716, 935, 204, 145}},  // bottom-right corner
        {{-30, 2000}, {0, 935, 204, 145}},      // off the screen
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CZoomDlg::SourceRect(row.pointer, client, screen, 2), row.source)
            << row.pointer.x() << "," << row.pointer.y();
    }
}

// Over a picture the source is in the picture's own pixels: the same part of the screen,
// scaled by how much smaller the picture is shown, kept inside the picture.
TEST(ZoomSource, OverAPictureTheSourceIsInItsOwnPixels) {
    const QSize client(409, 291);
    struct Row {
        const char* what;
        QPoint pointer;
        QRect area;
        QSize picture;
        QRectF source;
    } rows[] = {
        {"rear shown at half its size: 1:1",
         {810, 410},
         {650, 320, 320, 180},
         {640, 360},
         {116.5, 35.5, 409, 291}},
        {"front shown at its size: 2x",
         {320, 180},
         {0, 0, 640, 360},
         {640, 360},
         {218.25, 107.75, 204.5, 145.5}},
        {"near the edge: kept inside",
         {652, 322},
         {650, 320, 320, 180},
         {640, 360},
         {0, 0, 409, 291}},
        {"picture smaller than the part asked",
         {10, 10},
         {0, 0, 100, 50},
         {100, 50},
         {0, 0, 100, 50}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CZoomDlg::PictureSourceRect(row.pointer, row.area, row.picture, client, 2),
                  row.source)
            << row.what;
    }
}

TEST(ZoomPlace, TheZoomWindowGoesBesideTheViewerWhereTheScreenHasRoom) {
    const QSize client(409, 291);
    struct Row {
        const char* what;
        QRect viewer, screen, zoom;
    } rows[] = {
        {"room on the right", {472, 222, 975, 635}, {0, 0, 1920, 1080}, {1455, 222, 409, 291}},
        {"room only on the left", {900, 100, 975, 635}, {0, 0, 1920, 1080}, {483, 100, 409, 291}},
        {"little room: narrowed", {195, 66, 975, 635}, {0, 0, 1440, 900}, {1178, 66, 262, 291}},
        {"no room: over the right edge",
         {195, 66, 975, 635},
         {0, 0, 1366, 768},
         {957, 66, 409, 291}},
        {"kept on the screen", {0, 900, 975, 635}, {0, 0, 1920, 1080}, {983, 789, 409, 291}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CZoomDlg::PlaceBeside(row.viewer, client, row.screen), row.zoom) << row.what;
    }
}

TEST_F(MainWindowFixture, ZoomButtonOpensOneWindowThatEscapeStopsAndThePressRestarts) {
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_ZOOM), Qt::LeftButton);
    CZoomDlg* zoom = Window().Layout().ZoomDialog();
    ASSERT_NE(zoom, nullptr);
    EXPECT_TRUE(zoom->isVisible());
    EXPECT_TRUE(zoom->IsRefreshing());
    const QRect place = CZoomDlg::PlaceBeside(Window().frameGeometry(), QSize(409, 291),
                                              Window().screen()->availableGeometry());
    EXPECT_EQ(zoom->pos(), place.topLeft());
    EXPECT_EQ(zoom->size(), place.size());
    EXPECT_FALSE(zoom->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(zoom->windowTitle(),
              zoom->IsMagnifyingScreen() ? "Zoom" : "Zoom (viewer window only)");
    ASSERT_TRUE(WaitUntil([&] { return !zoom->Picture().isNull(); })) << "the timer refreshes";

    QTest::keyClick(zoom, Qt::Key_Escape);
    EXPECT_FALSE(zoom->IsRefreshing());
    EXPECT_FALSE(zoom->isVisible());
    EXPECT_TRUE(Window().isVisible()) << "Escape ends only the zoom window";

    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_ZOOM), Qt::LeftButton);
    EXPECT_EQ(Window().Layout().ZoomDialog(), zoom) << "one zoom window at a time";
    EXPECT_TRUE(zoom->isVisible());
    EXPECT_TRUE(zoom->IsRefreshing());
    zoom->close();
    EXPECT_FALSE(zoom->IsRefreshing());
}

TEST_F(MainWindowFixture, ZoomMagnifiesAroundThePointerAndGreysItsOwnArea) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().OnBnClickedButtonPause();
    Window().OnBnClickedButtonZoom();
    CZoomDlg* zoom = Window().Layout().ZoomDialog();
    // Where the picture read starts on the screen: the screen's corner, or the viewer's.
    const QPoint origin =
        zoom->IsMagnifyingScreen() ? QPoint(0, 0) : Window().mapToGlobal(QPoint(0, 0));
    zoom->move(origin + QPoint(100, 100));  // well inside what is read
    const QColor grey(150, 150, 150);

    // The pointer over the zoom window itself: its own area shows grey.
    QCursor::setPos(zoom->mapToGlobal(QPoint(zoom->width() - 1, zoom->height() - 1)));
    zoom->Refresh();
    const QRect own(zoom->mapToGlobal(QPoint(0, 0)) - origin, zoom->size());
    EXPECT_EQ(QColor(zoom->Source().pixel(own.center())), grey);
    EXPECT_EQ(QColor(zoom->Picture().pixel(0, 0)), grey);
    const QSize read = zoom->Source().size();

    // The pointer at the far corner: the source ends there.
    QCursor::setPos(origin + QPoint(read.width() - 1, read.height() - 1));
    zoom->Refresh();
    EXPECT_EQ(zoom->LastSourceRect(), QRect(read.width() - 204, read.height() - 145, 204, 145));

    // The pointer at the top-left corner: that region, twice as large.
    QCursor::setPos(origin);
    zoom->Refresh();
    ASSERT_EQ(zoom->LastSourceRect(), QRect(0, 0, 204, 145));
    ASSERT_EQ(zoom->Picture().size(), QSize(409, 291));
    const QImage expected = zoom->Source().copy(0, 0, 204, 145);
    const QImage shrunk =
        zoom->Picture().scaled(expected.size()).convertToFormat(expected.format());
    double difference = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = expected.pixel(x, y), b = shrunk.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b));
        }
    }
    EXPECT_LT(difference / (3.0 * expected.width() * expected.height()), 12.0);
}

// Over the small rear area the zoom window reads the rear camera's decoded picture, not the
// screen: its own pixels, at their own size.
TEST_F(MainWindowFixture, ZoomOverTheRearPictureShowsTheRecordingsOwnPixels) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().OnBnClickedButtonPause();
    QWidget* rear = Window().GetDlgItem(IDC_STATIC_REAR);
    ASSERT_TRUE(rear->isVisible());
    Window().OnBnClickedButtonZoom();
    CZoomDlg* zoom = Window().Layout().ZoomDialog();
    zoom->move(Window().frameGeometry().bottomRight() + QPoint(50, 50));
    QCursor::setPos(rear->mapToGlobal(rear->rect().center()));
    // The picture is asked of the player and shows from a later refresh on.
    ASSERT_TRUE(WaitUntil([&] {
        zoom->Refresh();
        return zoom->IsMagnifyingRecording();
    }));
    int width = 0, height = 0;
    Window().Playback().Session().Decoder().CameraDecoder(1).GetPictureSize(&width, &height);
    EXPECT_EQ(zoom->Source().size(), QSize(width, height)) << "the decoded picture's size";
    const QRectF expected = CZoomDlg::PictureSourceRect(
        QCursor::pos(), QRect(rear->mapToGlobal(QPoint(0, 0)), rear->size()), QSize(width, height),
        zoom->size(), 2);
    EXPECT_EQ(zoom->LastSourceRect(), expected.toAlignedRect());
    // Elsewhere (the title bar) it reads the screen again.
    QCursor::setPos(Window().mapToGlobal(QPoint(300, 10)));
    zoom->Refresh();
    EXPECT_FALSE(zoom->IsMagnifyingRecording());
    zoom->close();
}
