// tarvex-viewer [CARD]: the dashcam card viewer. With a folder argument the window starts
// with that folder as the chosen drive and its DRIVING recordings listed.
#include <QApplication>
#include <cstdio>

#include "app/CSamplePlayerApp.h"

int main(int argc, char** argv) {
    // The map's browser engine shares its GL contexts with the window; this must come first.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    // Ties the window to the installed desktop file (its icon and name on Wayland docks).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvex.Viewer"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2 || (arguments.size() == 2 && arguments[1].startsWith('-'))) {
        std::fprintf(stderr, "usage: tarvex-viewer [CARD_FOLDER]\n");
        return 2;
    }
    CSamplePlayerApp app;
    app.InitInstance(arguments.size() == 2 ? arguments[1].toStdString() : std::string());
    return 0;
}
