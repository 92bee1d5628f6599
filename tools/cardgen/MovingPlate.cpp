#include "tools/cardgen/MovingPlate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
}

#include "tools/cardgen/FramePattern.h"

namespace {

constexpr int kCrossingSeconds = 8;     // one way across the picture
constexpr int kDriftPeriodSeconds = 5;  // one swing up and down
constexpr uint8_t kPlateLuma = 235;
constexpr uint8_t kInkLuma = 30;
constexpr int kGlyphColumns = 3;
constexpr int kGlyphRows = 5;
constexpr const char kPlateText[] = "12 3456";

// 3 x 5 digits, one row per 3 bits (leftmost column in the highest bit).
constexpr uint8_t kDigits[10][kGlyphRows] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

int Even(double v) {
    return static_cast<int>(v) & ~1;
}

void FillLuma(AVFrame* frame, int x, int y, int w, int h, uint8_t value) {
    for (int line = y; line < y + h; ++line)
        std::memset(frame->data[0] + static_cast<size_t>(line) * frame->linesize[0] + x, value, w);
}

}  // namespace

MovingPlate::MovingPlate(int width, int height, int frameRate)
    : m_width(width), m_height(height), m_frameRate(frameRate > 0 ? frameRate : 30) {
    m_bandTop = (FramePatternHeight(height) + 1) & ~1;
    // About the share of the picture a plate takes a few car lengths ahead (520 x 110 mm).
    m_plateWidth = std::max(16, Even(width / 8.0));
    m_plateHeight = std::min(std::max(8, Even(m_plateWidth * 110.0 / 520.0 + 1)),
                             std::max(2, (height - m_bandTop) & ~1));
}

PlateBox MovingPlate::BoxAt(int frameIndex) const {
    const double t = static_cast<double>(frameIndex) / m_frameRate;
    const double leg = std::fmod(t, 2.0 * kCrossingSeconds) / kCrossingSeconds;  // 0..2
    const double across = leg <= 1 ? leg : 2 - leg;
    const int freeX = std::max(0, m_width - m_plateWidth);
    const int freeY = std::max(0, m_height - m_bandTop - m_plateHeight);
    const double drift = 0.5 - 0.5 * std::cos(2 * M_PI * t / kDriftPeriodSeconds);
    PlateBox box;
    box.width = m_plateWidth;
    box.height = m_plateHeight;
    box.x = std::min(Even(across * freeX), freeX & ~1);
    box.y = m_bandTop + std::min(Even(drift * freeY), freeY & ~1);
    return box;
}

void MovingPlate::Draw(AVFrame* frame, int frameIndex) const {
    const PlateBox box = BoxAt(frameIndex);
    FillLuma(frame, box.x, box.y, box.width, box.height, kPlateLuma);
    for (int plane = 1; plane <= 2; ++plane)
        for (int line = box.y / 2; line < (box.y + box.height) / 2; ++line)
            std::memset(
                frame->data[plane] + static_cast<size_t>(line) * frame->linesize[plane] + box.x / 2,
                128, box.width / 2);
    DrawCharacters(frame, box);
}

void MovingPlate::DrawCharacters(AVFrame* frame, const PlateBox& box) const {
    const int count = static_cast<int>(sizeof kPlateText) - 1;
    // Each character is three strokes wide with one stroke between characters.
    const int stroke = std::max(1, std::min(box.height * 3 / 5 / kGlyphRows,
                                            box.width * 9 / 10 / (count * (kGlyphColumns + 1))));
    const int textWidth = stroke * (count * (kGlyphColumns + 1) - 1);
    const int left = box.x + (box.width - textWidth) / 2;
    const int top = box.y + (box.height - stroke * kGlyphRows) / 2;
    for (int c = 0; c < count; ++c) {
        if (kPlateText[c] < '0' || kPlateText[c] > '9') continue;
        const uint8_t* glyph = kDigits[kPlateText[c] - '0'];
        const int glyphLeft = left + c * (kGlyphColumns + 1) * stroke;
        for (int row = 0; row < kGlyphRows; ++row)
            for (int col = 0; col < kGlyphColumns; ++col)
                if (glyph[row] & (4 >> col))
                    FillLuma(frame, glyphLeft + col * stroke, top + row * stroke, stroke, stroke,
                             kInkLuma);
    }
}
