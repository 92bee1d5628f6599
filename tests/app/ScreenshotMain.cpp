// tarvex-screenshot CARD OUTDIR [PREFIX]: opens the real viewer window on a card, plays its
// newest DRIVING recording and saves what the screen shows: the window before a card is
// opened (PREFIX-empty.png), the folder chooser (PREFIX-folder-chooser.png), the normal window
// (PREFIX-normal.png), at twice the speed (PREFIX-rate.png), the map in the small and in the main
// area (PREFIX-map-small.png, PREFIX-map-main.png), the zoom window over the front and over the
// rear picture (PREFIX-zoom.png, PREFIX-zoom-rear.png), the settings dialog opened from the
// window (PREFIX-settings.png), the window enlarged (PREFIX-enlarged.png), at 1280×800
// (PREFIX-1280x800.png), maximised (PREFIX-maximised.png), full screen with its
// controls (PREFIX-fullscreen.png) and with the mouse resting, without them
// (PREFIX-fullscreen-rest.png), paused after a seek to
// 10 s (PREFIX-seek.png), held at the end of the newest recording (PREFIX-end.png), the trips
// view with a trip expanded (PREFIX-trips.png) and that trip playing just past the join of its
// first two recordings (PREFIX-join.png) with the list of its events (PREFIX-events.png), and
// the tooltips of an event's tick and of the graph (PREFIX-event-tip.png, PREFIX-graph-tip.png),
// and a recording cut short by a power loss playing with its note (PREFIX-power-cut.png);
// each with the picture's time of day beside the position. Meant to run under Xvfb
// (scripts/screenshot); the pictures are grabbed from the screen, not rendered apart.
#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "app/dialogs/CZoomDlg.h"
#include "app/panels/EventListPanel.h"
#include "app/panels/TimelinePanel.h"
#include "app/playback/PlaybackController.h"
#include "app/text/QtTranslations.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "device/CSettingDlg.h"
#include "telemetry/CGraphStatic.h"
#include "tests/app/AppTestSupport.h"

namespace {

constexpr int64_t kSeekShotMs = 10000;
constexpr int64_t kBeforeEndMs = 1500;
constexpr int64_t kBeforeJoinMs = 2000;
constexpr int64_t kAfterJoinMs = 1500;

bool SaveScreen(const QRect& area, const QString& path) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap shot = screen->grabWindow(0);
    if (!area.isNull()) shot = shot.copy(area);
    const bool saved = shot.save(path);
    std::printf("%s %s (%dx%d)\n", saved ? "saved" : "could not save", qPrintable(path),
                shot.width(), shot.height());
    return saved;
}

// The settings dialog shown for a picture instead of run modally.
class ScreenshotDialogs : public WindowDialogs {
public:
    QString settingsPicture;
    bool settingsSaved = false;

    int RunSettingsDialog(CSettingDlg& dialog) override {
        dialog.show();
        apptest::Pump(800);
        settingsSaved = SaveScreen(dialog.frameGeometry(), settingsPicture);
        dialog.reject();
        return dialog.result();
    }
};

class ScreenshotWindow : public ScreenshotDialogs, public CSamplePlayerDlg {
public:
    ScreenshotWindow() : CSamplePlayerDlg(nullptr, this) {}
};

// On a small screen (run with a fourth argument "small" on an 800 x 600 display): the window as
// it opens there, playing, paused after a frame step (the times to the tenth), with the map in
// the small area and in full screen (PREFIX-small-*.png).
int SmallScreenShots(ScreenshotWindow& window, const char* card, const QString& base) {
    const auto shot = [&](const char* name) {
        return SaveScreen(QRect(), base + "-small-" + QString::fromLatin1(name) + ".png");
    };
    bool ok = shot("empty");
    window.Navigator().Cards().SetDrivePath(card);
    window.Navigator().Cards().ShowCategory(CatalogueView::Driving);
    apptest::Pump(500);
    if (window.List()->RowCount() == 0) return 1;
    window.Navigator().OnListDoubleClick(0);
    apptest::Pump(3000);
    ok = shot("normal") && ok;
    QTest::keyClick(&window, Qt::Key_Period);  // pauses, then steps
    QTest::keyClick(&window, Qt::Key_Period);
    apptest::Pump(800);
    ok = shot("step") && ok;
    QTest::mouseClick(window.GetDlgItem(IDC_CHECK_MAPSMALL), Qt::LeftButton);
    apptest::WaitUntil([&] { return window.Telemetry().IsMapReady(); }, 30000);
    apptest::Pump(2500);
    ok = shot("map") && ok;
    QTest::mouseClick(window.GetDlgItem(IDC_CHECK_CAMSMALL), Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_Return);  // Enter: full screen
    apptest::Pump(1500);
    ok = shot("fullscreen") && ok;
    QTest::keyClick(&window, Qt::Key_Escape);
    apptest::Pump(300);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    InstallQtTranslations();
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarvex-screenshot CARD OUTDIR [PREFIX]\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const QString prefix = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("viewer");
    const QString base = outDir + "/" + prefix;
    QDir().mkpath(outDir);

    ScreenshotWindow window;
    window.show();
    apptest::Pump(800);
    if (argc > 4 && QByteArray(argv[4]) == "small") return SmallScreenShots(window, argv[1], base);
    bool ok = SaveScreen(window.frameGeometry(), base + "-empty.png");

    // The card folder chooser OPEN offers, with Qt's own words in the user's language.
    QFileDialog chooser(&window, QString(), QDir::homePath());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.show();
    apptest::Pump(800);
    ok = SaveScreen(chooser.frameGeometry(), base + "-folder-chooser.png") && ok;
    chooser.close();
    window.Navigator().Cards().SetDrivePath(argv[1]);
    window.Navigator().Cards().ShowCategory(CatalogueView::Driving);
    apptest::Pump(500);
    if (window.List()->RowCount() == 0) {
        std::fprintf(stderr, "no recordings in %s/DRIVING\n", argv[1]);
        return 1;
    }
    window.Navigator().OnListDoubleClick(0);
    apptest::Pump(4000);
    ok = SaveScreen(window.frameGeometry(), base + "-normal.png") && ok;
    // At twice the speed the rate shows between the total time and the speed.
    QTest::keyClick(&window, Qt::Key_BracketRight);
    QTest::keyClick(&window, Qt::Key_BracketRight);
    apptest::Pump(500);
    ok = SaveScreen(window.frameGeometry(), base + "-rate.png") && ok;
    QTest::keyClick(&window, Qt::Key_BracketLeft);
    QTest::keyClick(&window, Qt::Key_BracketLeft);

    // The map, once its page (loaded when the map is first shown) is bound and a fix has been
    // shown; paused meanwhile so the recording does not end under the pictures.
    window.OnBnClickedButtonPause();
    QTest::mouseClick(window.GetDlgItem(IDC_CHECK_MAPSMALL), Qt::LeftButton);
    if (!apptest::WaitUntil([&] { return window.Telemetry().IsMapReady(); }, 30000)) {
        std::fprintf(stderr, "the map page was not bound\n");
    }
    apptest::Pump(2500);
    ok = SaveScreen(window.frameGeometry(), base + "-map-small.png") && ok;
    QTest::mouseClick(window.GetDlgItem(IDC_BUTTON_MAPVIEW), Qt::LeftButton);
    apptest::Pump(2500);
    ok = SaveScreen(window.frameGeometry(), base + "-map-main.png") && ok;
    QTest::mouseClick(window.GetDlgItem(IDC_CHECK_CAMSMALL), Qt::LeftButton);  // FR again

    // The zoom window with the pointer on the front picture.
    QCursor::setPos(window.mapToGlobal(QPoint(200, 150)));
    window.OnBnClickedButtonZoom();
    apptest::Pump(1000);
    ok = SaveScreen(QRect(), base + "-zoom.png") && ok;
    // And over the small rear picture: the rear camera's own pixels, twice their size here.
    if (QWidget* rear = window.GetDlgItem(IDC_STATIC_REAR); rear && rear->isVisible()) {
        QCursor::setPos(rear->mapToGlobal(rear->rect().center()));
        apptest::Pump(1000);
        ok = SaveScreen(QRect(), base + "-zoom-rear.png") && ok;
    }
    window.Layout().ZoomDialog()->close();

    window.settingsPicture = base + "-settings.png";
    window.OnBnClickedButtonSetting();
    ok = window.settingsSaved && ok;

    // Enlarged by the user: the pictures grow, the list takes the height left.
    window.OnBnClickedButtonPlay();
    window.setGeometry(QRect(QPoint(60, 40), QSize(1600, 1000)));
    apptest::Pump(2500);
    ok = SaveScreen(window.frameGeometry(), base + "-enlarged.png") && ok;

    // A laptop's size.
    window.setGeometry(QRect(QPoint(60, 40), QSize(1280, 800)));
    apptest::Pump(1500);
    ok = SaveScreen(window.frameGeometry(), base + "-1280x800.png") && ok;

    // Maximised by the title bar's middle button.
    window.setGeometry(QRect(
        QPoint(60, 40), QSize(CSamplePlayerDlg::kNormalWidth, CSamplePlayerDlg::kNormalHeight)));
    if (auto* maximize = qobject_cast<QAbstractButton*>(window.GetDlgItem(IDC_BUTTON_FULLSCREEN)))
        maximize->click();
    apptest::Pump(1500);
    ok = SaveScreen(QRect(), base + "-maximised.png") && ok;
    window.showNormal();
    apptest::Pump(300);

    QTest::keyClick(&window, Qt::Key_Return);  // Enter: full screen
    apptest::Pump(1500);
    ok = SaveScreen(QRect(), base + "-fullscreen.png") && ok;
    // The mouse resting over the picture: the controls leave it.
    QCursor::setPos(window.mapToGlobal(window.rect().center()));
    apptest::Pump(3600);
    ok = SaveScreen(QRect(), base + "-fullscreen-rest.png") && ok;

    QTest::keyClick(&window, Qt::Key_Escape);  // and back
    apptest::Pump(300);
    window.setGeometry(QRect(
        QPoint(60, 40), QSize(CSamplePlayerDlg::kNormalWidth, CSamplePlayerDlg::kNormalHeight)));

    // A paused seek shows the frame asked for, its position and its time of day.
    PlaybackController& playback = window.Playback();
    window.OnBnClickedButtonPause();
    playback.SeekTo(playback.RecordingStartMs() + kSeekShotMs);
    apptest::Pump(1500);
    ok = SaveScreen(window.frameGeometry(), base + "-seek.png") && ok;
    // The tooltips of an event's tick on the slider and of the graph's value under the pointer.
    if (CBitmapSlider* slider = window.PositionSlider(); !slider->Marks().empty()) {
        const QPoint at(slider->PosToPixel(slider->Marks().front().position), 4);
        QHelpEvent help(QEvent::ToolTip, at, slider->mapToGlobal(at));
        QApplication::sendEvent(slider, &help);
        apptest::Pump(500);
        ok = SaveScreen(window.frameGeometry(), base + "-event-tip.png") && ok;
    }
    {
        CGraphStatic* graph = window.Graph();
        // The value of second 3 (the graph holds the whole recording, a value a second).
        const QRect plot = graph->PlotRect();
        const int span = std::max(graph->Span(), 2);
        const QPoint at(plot.left() + 3 * plot.width() / (span - 1), graph->height() / 2);
        QHelpEvent help(QEvent::ToolTip, at, graph->mapToGlobal(at));
        QApplication::sendEvent(graph, &help);
        apptest::Pump(500);
        ok = SaveScreen(window.frameGeometry(), base + "-graph-tip.png") && ok;
    }

    // The newest recording played out holds its last picture and its whole length.
    playback.SeekTo(playback.RecordingStartMs() + playback.Duration() - kBeforeEndMs);
    window.OnBnClickedButtonPlay();
    if (!apptest::WaitUntil([&] { return window.IsHeldAtEnd(); }, 20000))
        std::fprintf(stderr, "the recording did not end\n");
    apptest::Pump(500);
    ok = SaveScreen(window.frameGeometry(), base + "-end.png") && ok;

    // The trips view at the normal size, the first trip expanded into its recordings.
    window.Navigator().OnToggleTrips();
    apptest::WaitUntil([&] { return !window.Navigator().IsListingTrips(); }, 20000);
    window.List()->expand(window.List()->model()->index(0, 0));
    apptest::Pump(1500);
    ok = SaveScreen(window.frameGeometry(), base + "-trips.png") && ok;

    // The trip plays as one timeline: just past the join of its first two recordings.
    window.Navigator().OnListDoubleClick(0);
    apptest::Pump(500);
    const int64_t join = playback.TripStartsMs().size() > 1 ? playback.TripStartsMs()[1] : 0;
    playback.SeekTo(join - kBeforeJoinMs);
    if (!apptest::WaitUntil([&] { return playback.Position() > join + kAfterJoinMs; }, 20000))
        std::fprintf(stderr, "the trip did not reach its join\n");
    window.OnBnClickedButtonPause();
    apptest::Pump(800);
    ok = SaveScreen(window.frameGeometry(), base + "-join.png") && ok;
    // The list of the trip's events beside the window.
    window.Timeline().ShowEventList();
    EventListPanel* events = window.Timeline().EventList();
    events->move(window.frameGeometry().topRight() + QPoint(16, 0));
    apptest::Pump(800);
    ok = SaveScreen(events->frameGeometry(), base + "-events.png") && ok;
    events->close();
    window.OnBnClickedButtonStop();

    // A recording cut short by a power loss, in a folder of its own: marked in the list, and
    // its note when it plays.
    const QString cutFolder = outDir + "/power-cut";
    QDir(cutFolder).removeRecursively();
    QDir().mkpath(cutFolder);
    const QString newest = window.List()->Model()->RecordingPaths().value(0);
    const QString cut = cutFolder + "/" + QFileInfo(newest).fileName();
    if (!newest.isEmpty() && QFile::copy(newest, cut)) {
        QFile file(cut);
        if (file.open(QIODevice::ReadWrite)) file.resize(file.size() / 2);
        file.close();
        window.Navigator().OpenPath(cutFolder);
        if (!apptest::WaitUntil(
                [&] { return !window.List()->Model()->EndsEarlyNote(cut).isEmpty(); }, 10000))
            std::fprintf(stderr, "the cut recording was not marked\n");
        window.Navigator().OnListDoubleClick(0);
        apptest::Pump(1500);
        ok = SaveScreen(window.frameGeometry(), base + "-power-cut.png") && ok;
        window.OnBnClickedButtonStop();
    }
    return ok ? 0 : 1;
}
