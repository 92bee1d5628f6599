#include "tools/cardgen/FramePattern.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kLumaWhite = 235;
constexpr uint8_t kLumaBlack = 16;
constexpr uint8_t kChromaNeutral = 128;
// Reference cells must differ by at least this much (0-255 scale) for a picture to count.
constexpr int kMinContrast = 64;
constexpr int kCells = kFramePatternColumns * kFramePatternRows;
constexpr int kDataBits = 1 + kFramePatternIndexBits + 8;
static_assert(kDataBits == kCells - 4, "every cell but the four references carries a bit");

bool IsCorner(int column, int row) {
    return (column == 0 || column == kFramePatternColumns - 1) &&
           (row == 0 || row == kFramePatternRows - 1);
}

bool CornerIsWhite(int column, int row) {
    return (column == 0) == (row == 0);
}

uint8_t Check8(uint32_t value) {
    uint8_t crc = 0xA5;
    for (int byte = 0; byte < 3; ++byte) {
        crc ^= static_cast<uint8_t>(value >> (8 * byte));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

// The bits of all data cells, in row order over the non-corner cells.
uint32_t PackedValue(int frameIndex, int camera) {
    return (static_cast<uint32_t>(frameIndex) << 1) | static_cast<uint32_t>(camera & 1);
}

bool DataBit(uint32_t value, uint8_t check, int bit) {
    if (bit < 1 + kFramePatternIndexBits) return (value >> bit) & 1;
    return (check >> (bit - 1 - kFramePatternIndexBits)) & 1;
}

int Edge(int extent, int part, int parts, bool even) {
    int e = static_cast<int>(static_cast<int64_t>(extent) * part / parts);
    return even ? (e & ~1) : e;
}

}  // namespace

int FramePatternHeight(int height) {
    return height * 3 / 5;
}

void DrawFramePattern(uint8_t* y, int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride,
                      int width, int height, int frameIndex, int camera) {
    if (!y || width <= 0 || height <= 0) return;
    frameIndex = std::clamp(frameIndex, 0, kFramePatternMaxIndex);
    const uint32_t value = PackedValue(frameIndex, camera);
    const uint8_t check = Check8(value);
    const int areaHeight = FramePatternHeight(height);
    int bit = 0;
    for (int row = 0; row < kFramePatternRows; ++row) {
        // Cell edges fall on even luma lines so every chroma sample lies in one cell.
        const int y0 = Edge(areaHeight, row, kFramePatternRows, true);
        const int y1 = Edge(areaHeight, row + 1, kFramePatternRows, true);
        for (int column = 0; column < kFramePatternColumns; ++column) {
            const int x0 = Edge(width, column, kFramePatternColumns, true);
            const int x1 = column + 1 == kFramePatternColumns
                               ? width
                               : Edge(width, column + 1, kFramePatternColumns, true);
            bool white;
            if (IsCorner(column, row)) {
                white = CornerIsWhite(column, row);
            } else {
                white = DataBit(value, check, bit++);
            }
            const uint8_t luma = white ? kLumaWhite : kLumaBlack;
            for (int line = y0; line < y1; ++line)
                std::memset(y + static_cast<size_t>(line) * yStride + x0, luma, x1 - x0);
            if (!u || !v) continue;
            const int cx0 = x0 / 2, cx1 = (x1 + 1) / 2;
            for (int line = y0 / 2; line < y1 / 2; ++line) {
                std::memset(u + static_cast<size_t>(line) * uStride + cx0, kChromaNeutral,
                            cx1 - cx0);
                std::memset(v + static_cast<size_t>(line) * vStride + cx0, kChromaNeutral,
                            cx1 - cx0);
            }
        }
    }
}

namespace {

// Mean brightness of the centre half of one cell.
int CellLevel(const CPixImgBase& image, int column, int row) {
    const int width = image.Width();
    const int areaHeight = FramePatternHeight(image.Height());
    const int x0 = Edge(width, column, kFramePatternColumns, false);
    const int x1 = Edge(width, column + 1, kFramePatternColumns, false);
    const int y0 = Edge(areaHeight, row, kFramePatternRows, false);
    const int y1 = Edge(areaHeight, row + 1, kFramePatternRows, false);
    int sx0 = x0 + (x1 - x0) / 4, sx1 = x1 - (x1 - x0) / 4;
    int sy0 = y0 + (y1 - y0) / 4, sy1 = y1 - (y1 - y0) / 4;
    if (sx1 <= sx0) sx1 = std::min(sx0 + 1, width);
    if (sy1 <= sy0) sy1 = std::min(sy0 + 1, image.Height());
    if (sx1 <= sx0 || sy1 <= sy0) return 0;
    const int channels = image.Channels();
    int64_t sum = 0;
    for (int line = sy0; line < sy1; ++line) {
        const uint8_t* p = image.Row(line) + static_cast<size_t>(sx0) * channels;
        for (int x = sx0; x < sx1; ++x, p += channels) sum += p[0] + 2 * p[1] + p[2];
    }
    return static_cast<int>(sum / (4 * int64_t(sx1 - sx0) * (sy1 - sy0)));
}

FrameMark ReadPattern(const CPixImgBase& image, bool mirrored) {
    FrameMark none;
    if (image.IsEmpty() || !image.Pixels() || image.Width() < kFramePatternColumns ||
        FramePatternHeight(image.Height()) < kFramePatternRows)
        return none;
    int levels[kFramePatternRows][kFramePatternColumns];
    for (int row = 0; row < kFramePatternRows; ++row)
        for (int column = 0; column < kFramePatternColumns; ++column) {
            const int source = mirrored ? kFramePatternColumns - 1 - column : column;
            levels[row][column] = CellLevel(image, source, row);
        }
    int whiteMin = 255, blackMax = 0, whiteSum = 0, blackSum = 0;
    for (int row : {0, kFramePatternRows - 1})
        for (int column : {0, kFramePatternColumns - 1}) {
            const int level = levels[row][column];
            if (CornerIsWhite(column, row)) {
                whiteMin = std::min(whiteMin, level);
                whiteSum += level;
            } else {
                blackMax = std::max(blackMax, level);
                blackSum += level;
            }
        }
    if (whiteMin - blackMax < kMinContrast) return none;
    const int threshold = (whiteSum + blackSum) / 4;
    uint32_t value = 0;
    uint8_t check = 0;
    int bit = 0;
    for (int row = 0; row < kFramePatternRows; ++row)
        for (int column = 0; column < kFramePatternColumns; ++column) {
            if (IsCorner(column, row)) continue;
            const bool white = levels[row][column] > threshold;
            if (bit < 1 + kFramePatternIndexBits)
                value |= static_cast<uint32_t>(white) << bit;
            else
                check |= static_cast<uint8_t>(white << (bit - 1 - kFramePatternIndexBits));
            ++bit;
        }
    if (Check8(value) != check) return none;
    FrameMark mark;
    mark.camera = static_cast<int>(value & 1);
    mark.frameIndex = static_cast<int>(value >> 1);
    return mark;
}

}  // namespace

FrameMark ReadFramePattern(const CPixImgBase& image) {
    return ReadPattern(image, false);
}

FrameMark ReadFramePatternMirrored(const CPixImgBase& image) {
    return ReadPattern(image, true);
}
