#pragma once
// Colour values as the window code passes them around: 32-bit 0x00BBGGRR (red in the low
// byte). 0xFF000000 is not a colour: handed to a transparency setter it means "take the key
// colour from a pixel of the bitmap".

#include <QColor>
#include <cstdint>

constexpr uint32_t kColorFromPixel = 0xFF000000u;

constexpr uint32_t MakeColorRef(int red, int green, int blue) {
    return uint32_t(red & 0xFF) | (uint32_t(green & 0xFF) << 8) | (uint32_t(blue & 0xFF) << 16);
}

inline QColor ColorRefToQColor(uint32_t colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

inline uint32_t QColorToColorRef(const QColor& colour) {
    return MakeColorRef(colour.red(), colour.green(), colour.blue());
}
