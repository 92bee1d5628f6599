#pragma once
// Colour-key transparency for skin bitmaps: pixels of exactly the key colour are left out, so
// whatever is under the bitmap shows through them; every other pixel is copied unchanged.

#include <QPainter>
#include <QPixmap>
#include <cstdint>
#include <optional>

// The bitmap (key colour 0x00BBGGRR) with its key-colour pixels made fully transparent and
// every other pixel fully opaque (null in, null out).
QPixmap CutOutKeyColour(const QPixmap& bitmap, uint32_t keyColour);
// The key colour of a bitmap: the given colour, or with kColorFromPixel the colour of the
// bitmap's pixel (x, y). A pixel outside the bitmap gives no key colour (nothing transparent):
// the result is then std::nullopt.
std::optional<uint32_t> ResolveKeyColour(const QPixmap& bitmap, uint32_t colour, int x, int y);
// Draws the bitmap with its top-left corner at (x, y), leaving the target untouched where the
// bitmap has the key colour.
void DrawTransparent(QPainter& target, const QPixmap& bitmap, int x, int y, uint32_t keyColour);
