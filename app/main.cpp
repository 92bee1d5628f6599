// tarvex-viewer [CARD_FOLDER | RECORDING]: the dashcam card viewer. A card folder starts with
// its DRIVING recordings listed; a recording starts with its card listed and plays it.
// Without an argument the card used last is listed when it is still there.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/desktop/QuitSignals.h"
#include "app/jobs/BackgroundJob.h"
#include "app/window/CSamplePlayerApp.h"

namespace {

// How long the jobs the window cancelled on its way out may take to end (an export removes its
// temporary file); short, so that a quit still ends within moments.
constexpr int kJobGraceMs = 500;

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists, so every thread inherits the mask (see QuitSignals).
    QuitSignals::BlockInThisThread();
    // The map's browser engine shares its GL contexts with the window; this must come first.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    // Ties the window to the installed desktop file (its icon and name on Wayland docks).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvex.Viewer"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2 || (arguments.size() == 2 && arguments[1].startsWith('-'))) {
        std::fprintf(stderr, "usage: tarvex-viewer [CARD_FOLDER | RECORDING]\n");
        return 2;
    }
    CSamplePlayerApp app;
    app.InitInstance(arguments.size() == 2 ? arguments[1].toStdString() : std::string());
    // A job still in a read that never returns (a hung network share) is left behind; the
    // static destructors it may still be using are not run under it.
    if (!BackgroundJob::WaitForJobs(kJobGraceMs)) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
