// Renders the application icon for the desktop's icon theme from the skin's own art, and
// checks the hand-drawn scalable icon against it:
//
//     tarvex-icon-render OUTDIR NAME      OUTDIR/hicolor/<n>x<n>/apps/NAME.png for each size
//                                         a desktop asks for
//     tarvex-icon-render --check SVG      0 when SVG draws the same picture as the skin's
//                                         art at 256 px, 1 when it does not

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <cstdio>

#include "res/skin/SkinArt.h"

namespace {

constexpr int kPngSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr int kCheckSize = 256;
// Anti-aliasing differs between the two renderers along the edges only.
constexpr double kMaxMeanChannelDifference = 2.0;
constexpr int kMaxChannelDifference = 160;

QString AppsFolder(const QString& out, const QString& size) {
    const QString folder = out + QStringLiteral("/hicolor/") + size + QStringLiteral("/apps");
    QDir().mkpath(folder);
    return folder;
}

int Check(const QString& svgPath) {
    QSvgRenderer svg(svgPath);
    if (!svg.isValid()) {
        std::fprintf(stderr, "%s is not a readable SVG file\n", qPrintable(svgPath));
        return 1;
    }
    QImage drawn(kCheckSize, kCheckSize, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    const QImage art = skin::RenderAppIcon(kCheckSize);
    double total = 0;
    int worst = 0;
    for (int y = 0; y < kCheckSize; ++y) {
        for (int x = 0; x < kCheckSize; ++x) {
            const QRgb a = drawn.pixel(x, y), b = art.pixel(x, y);
            for (int shift : {0, 8, 16, 24}) {
                const int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
                total += d;
                worst = std::max(worst, d);
            }
        }
    }
    const double mean = total / (kCheckSize * kCheckSize * 4.0);
    std::printf("icon check: mean channel difference %.3f, largest %d\n", mean, worst);
    return mean <= kMaxMeanChannelDifference && worst <= kMaxChannelDifference ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--check")
        return Check(QString::fromLocal8Bit(argv[2]));
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTDIR NAME | --check SVG\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    for (int size : kPngSizes) {
        const QString folder = AppsFolder(out, QStringLiteral("%1x%1").arg(size));
        ok = skin::RenderAppIcon(size).save(folder + '/' + name + ".png", "PNG") && ok;
    }
    if (!ok) std::fprintf(stderr, "could not write the icons into %s\n", argv[1]);
    return ok ? 0 : 1;
}
