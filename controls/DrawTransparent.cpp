#include "controls/DrawTransparent.h"

#include <QImage>

#include "controls/ColorRef.h"

QPixmap CutOutKeyColour(const QPixmap& bitmap, uint32_t keyColour) {
    if (bitmap.isNull()) return QPixmap();
    QImage image = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = ColorRefToQColor(keyColour).rgb() & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Every pixel ends fully opaque or fully transparent, so drawing is a plain copy
            // of the bitmap's own colours wherever it shows.
            line[x] = (line[x] & 0xFFFFFF) == key ? 0 : (line[x] | 0xFF000000u);
        }
    }
    return QPixmap::fromImage(image);
}

std::optional<uint32_t> ResolveKeyColour(const QPixmap& bitmap, uint32_t colour, int x, int y) {
    if (colour != kColorFromPixel) return colour & 0xFFFFFFu;
    if (bitmap.isNull() || x < 0 || y < 0 || x >= bitmap.width() || y >= bitmap.height())
        return std::nullopt;
    const QImage pixel = bitmap.copy(x, y, 1, 1).toImage();
    return QColorToColorRef(pixel.pixelColor(0, 0));
}

void DrawTransparent(QPainter& target, const QPixmap& bitmap, int x, int y, uint32_t keyColour) {
    if (bitmap.isNull()) return;
    target.drawPixmap(x, y, CutOutKeyColour(bitmap, keyColour));
}
