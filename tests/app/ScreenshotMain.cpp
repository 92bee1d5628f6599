// tarvex-screenshot CARD OUTDIR [PREFIX]: opens the real viewer window on a card, plays its
// newest DRIVING recording for a few seconds and saves what the screen shows in the normal
// window and in full screen (PREFIX-normal.png, PREFIX-fullscreen.png). Meant to run under
// Xvfb (scripts/screenshot); the pictures are grabbed from the screen, not rendered apart.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "app/CSamplePlayerDlg.h"
#include "tests/app/AppTestSupport.h"

namespace {

bool SaveScreen(const QWidget& window, const QString& path, bool wholeScreen) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap shot = screen->grabWindow(0);
    if (!wholeScreen) shot = shot.copy(window.frameGeometry());
    const bool saved = shot.save(path);
    std::printf("%s %s (%dx%d)\n", saved ? "saved" : "could not save", qPrintable(path),
                shot.width(), shot.height());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarvex-screenshot CARD OUTDIR [PREFIX]\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const QString prefix = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("viewer");
    QDir().mkpath(outDir);

    CSamplePlayerDlg window;
    window.SetDrivePath(argv[1]);
    window.OnBnClickedButtonDriving();
    window.show();
    apptest::Pump(500);
    if (window.List()->topLevelItemCount() == 0) {
        std::fprintf(stderr, "no recordings in %s/DRIVING\n", argv[1]);
        return 1;
    }
    window.OnListDoubleClick(0);
    apptest::Pump(4000);
    bool ok = SaveScreen(window, outDir + "/" + prefix + "-normal.png", false);

    QTest::keyClick(&window, Qt::Key_Return);  // Enter: full screen
    apptest::Pump(3000);
    ok = SaveScreen(window, outDir + "/" + prefix + "-fullscreen.png", true) && ok;

    QTest::keyClick(&window, Qt::Key_Return);  // and back
    apptest::Pump(300);
    window.OnBnClickedButtonStop();
    return ok ? 0 : 1;
}
