// tarvex-map-preview OUT.png [WIDTH HEIGHT] [TILE-URL [dark]]
//
// Draws the map view offscreen as the viewer shows it after a short drive through central
// Seoul, and saves the picture. Without a tile address (or without a network) the map is the
// dark ground with the track and the marker; with one, the tiles show beneath them (turned
// dark as the default tiles are, with "dark").
#include <QApplication>
#include <QImage>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "telemetry/CMapView.h"

namespace {

constexpr int kHangGuardMs = 60000;

const float kDrive[][2] = {
    {37.57590f, 126.97690f}, {37.57480f, 126.97700f}, {37.57360f, 126.97705f},
    {37.57250f, 126.97710f}, {37.57130f, 126.97720f}, {37.57050f, 126.97760f},
    {37.56990f, 126.97840f}, {37.56950f, 126.97950f}, {37.56920f, 126.98060f},
    {37.56900f, 126.98170f}, {37.56880f, 126.98270f},
};

bool IsMarkerColour(QColor c) {
    return std::abs(c.red() - 245) < 24 && std::abs(c.green() - 165) < 24 &&
           std::abs(c.blue() - 36) < 24;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png [WIDTH HEIGHT] [TILE-URL [dark]]\n", argv[0]);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    const int width = argc >= 4 ? std::atoi(argv[2]) : 320;
    const int height = argc >= 4 ? std::atoi(argv[3]) : 180;
    MapTileSource tiles = CMapView::DefaultTileSource();
    if (argc >= 5) tiles = MapTileSource{argv[4], "", argc >= 6 && std::string(argv[5]) == "dark"};

    CMapView view;
    view.resize(width, height);
    view.show();
    view.Navigate(tiles);
    if (!QTest::qWaitFor([&] { return view.BindScript() == 1; }, kHangGuardMs)) {
        std::fprintf(stderr, "the map page did not come up\n");
        return 1;
    }
    for (const auto& fix : kDrive) {
        for (int tick = 0; tick < 3; ++tick) view.ShowPosition(fix[0], fix[1]);
    }
    QImage picture;
    const QPoint middle(width / 2, height / 2);
    (void)QTest::qWaitFor(
        [&] {
            picture = view.grab().toImage();
            return IsMarkerColour(picture.pixelColor(middle));
        },
        kHangGuardMs);
    // Give tiles that are on their way a moment to arrive.
    if (argc >= 5) {
        QTest::qWait(3000);
        picture = view.grab().toImage();
    }
    if (!picture.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
