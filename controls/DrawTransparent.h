#pragma once
// Colour-key transparency for skin bitmaps: pixels of exactly the key colour are left out, so
// whatever is under the bitmap shows through them; every other pixel is copied unchanged.

#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <cstdint>

// Mask of the bitmap's size, color1 (set) where the bitmap has the key colour (0x00BBGGRR).
QBitmap MakeKeyMask(const QPixmap& bitmap, uint32_t keyColour);
// The bitmap with its key-colour pixels made fully transparent (null in, null out).
QPixmap CutOutKeyColour(const QPixmap& bitmap, uint32_t keyColour);
// The key colour of a bitmap: the given colour, or with kColorFromPixel the colour of the
// bitmap's pixel (x, y). A pixel outside the bitmap gives no key colour (nothing transparent):
// the result is then std::nullopt.
#include <optional>
std::optional<uint32_t> ResolveKeyColour(const QPixmap& bitmap, uint32_t colour, int x, int y);
// Draws the bitmap with its top-left corner at (x, y), leaving the target untouched where the
// bitmap has the key colour.
void DrawTransparent(QPainter& target, const QPixmap& bitmap, int x, int y, uint32_t keyColour);
