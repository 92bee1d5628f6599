// Widget tests need a QApplication for the whole run; the platform defaults to offscreen
// and the sound to SDL's dummy driver so the tests run without a display or sound card.
//
// The offscreen screen is 1280 x 1024 (the size the viewer's own process test runs Xvfb at),
// or TARVEX_TEST_SCREEN=WxH: the window fits itself to the screen it opens on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

// The offscreen platform's screen, described in a file of its own for this run.
QByteArray OffscreenWithScreen(const QByteArray& size) {
    int width = 1280, height = 1024;
    if (!size.isEmpty()) std::sscanf(size.constData(), "%dx%d", &width, &height);
    const QString path = QDir::temp().filePath(
        QStringLiteral("tarvex-offscreen-%1-%2x%3.json").arg(getpid()).arg(width).arg(height));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return "offscreen";
    file.write(QStringLiteral("{\"screens\": [{\"name\": \"Test\", \"x\": 0, \"y\": 0,"
                              " \"width\": %1, \"height\": %2, \"logicalDpi\": 96,"
                              " \"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                   .arg(width)
                   .arg(height)
                   .toUtf8());
    return "offscreen:configfile=" + path.toUtf8();
}

}  // namespace

int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", OffscreenWithScreen(qgetenv("TARVEX_TEST_SCREEN")));
    if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    // The map's browser engine shares its GL contexts with the window.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const QByteArray used = qgetenv("QT_QPA_PLATFORM");
    if (used.startsWith("offscreen:configfile=")) QFile::remove(QString::fromUtf8(used.mid(21)));
    return result;
}
