// The frame pattern read back from pictures as the viewer presents or saves them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "tools/cardgen/FramePattern.h"

namespace {

struct Yuv {
    int width, height;
    std::vector<uint8_t> y, u, v;
    Yuv(int w, int h)
        : width(w),
          height(h),
          y(size_t(w) * h, 90),
          u(size_t(w / 2) * (h / 2), 140),
          v(size_t(w / 2) * (h / 2), 120) {}
};

Yuv Draw(int width, int height, int index, int camera) {
    Yuv p(width, height);
    DrawFramePattern(p.y.data(), width, p.u.data(), width / 2, p.v.data(), width / 2, width, height,
                     index, camera);
    return p;
}

// Converts and scales the way the player does (swscale to BGR24 at the window size).
CPixImage ToBgr(const Yuv& p, int width, int height, int flags = SWS_BICUBIC) {
    CPixImage image;
    image.Allocate(width, height);
    SwsContext* sws = sws_getContext(p.width, p.height, AV_PIX_FMT_YUV420P, width, height,
                                     AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr);
    const uint8_t* src[3] = {p.y.data(), p.u.data(), p.v.data()};
    const int srcStride[3] = {p.width, p.width / 2, p.width / 2};
    uint8_t* dst[1] = {image.Pixels()};
    const int dstStride[1] = {image.Stride()};
    sws_scale(sws, src, srcStride, 0, p.height, dst, dstStride);
    sws_freeContext(sws);
    return image;
}

std::string TempJpeg() {
    return std::string(TARVEX_TEST_DATA_DIR) + "/pattern_" + std::to_string(getpid()) + ".jpg";
}

struct Scale {
    int sourceW, sourceH, shownW, shownH;
};

void PrintTo(const Scale& s, std::ostream* os) {
    *os << s.sourceW << "x" << s.sourceH << " shown at " << s.shownW << "x" << s.shownH;
}

class PatternAtScale : public ::testing::TestWithParam<Scale> {};

TEST_P(PatternAtScale, ReadsIndexAndCameraDirectlyAndThroughJpeg) {
    const Scale s = GetParam();
    for (int camera : {0, 1}) {
        for (int index : {0, 1, 29, 30, 1234, 5399, 10799, kFramePatternMaxIndex}) {
            const CPixImage shown =
                ToBgr(Draw(s.sourceW, s.sourceH, index, camera), s.shownW, s.shownH);
            const FrameMark mark = ReadFramePattern(shown);
            EXPECT_EQ(mark.frameIndex, index) << "camera " << camera;
            EXPECT_EQ(mark.camera, camera) << "index " << index;

            ASSERT_TRUE(shown.SaveImage(TempJpeg(), 75));
            CPixImage loaded;
            ASSERT_TRUE(loaded.LoadImage(TempJpeg()));
            const FrameMark fromJpeg = ReadFramePattern(loaded);
            EXPECT_EQ(fromJpeg.frameIndex, index) << "JPEG, camera " << camera;
            EXPECT_EQ(fromJpeg.camera, camera) << "JPEG, index " << index;
        }
    }
    std::filesystem::remove(TempJpeg());
}

INSTANTIATE_TEST_SUITE_P(Sizes, PatternAtScale,
                         ::testing::Values(Scale{1280, 720, 1280, 720}, Scale{1280, 720, 640, 360},
                                           Scale{1920, 1080, 160, 90}, Scale{640, 360, 320, 180},
                                           Scale{640, 360, 160, 90}, Scale{320, 180, 975, 635},
                                           Scale{160, 90, 1920, 1080}, Scale{1280, 720, 150, 84}));

TEST(FramePattern, MirroredPictureReadsOnlyWithTheMirroredReader) {
    for (int index : {7, 300, 4095}) {
        CPixImage image = ToBgr(Draw(640, 360, index, 1), 320, 180);
        image.MirrorRows();
        EXPECT_EQ(ReadFramePattern(image).frameIndex, -1) << index;
        const FrameMark mark = ReadFramePatternMirrored(image);
        EXPECT_EQ(mark.frameIndex, index);
        EXPECT_EQ(mark.camera, 1);
        image.MirrorRows();
        EXPECT_EQ(ReadFramePatternMirrored(image).frameIndex, -1) << index;
    }
}

TEST(FramePattern, SurvivesBrightnessAndContrastSettings) {
    // The viewer's picture settings move every level; the reference cells move with them.
    struct Levels {
        double gain;
        int offset;
    } settings[] = {{0.5, 60}, {0.6, -20}, {1.4, -40}, {1.0, 90}};
    for (const Levels& l : settings) {
        CPixImage image = ToBgr(Draw(640, 360, 777, 1), 320, 180);
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width() * 3; ++x) {
                uint8_t& p = image.Row(y)[x];
                p = static_cast<uint8_t>(
                    std::clamp(static_cast<int>(p * l.gain) + l.offset, 0, 255));
            }
        const FrameMark mark = ReadFramePattern(image);
        EXPECT_EQ(mark.frameIndex, 777) << "gain " << l.gain << " offset " << l.offset;
        EXPECT_EQ(mark.camera, 1);
    }
}

TEST(FramePattern, PicturesWithoutAPatternReadAsNone) {
    CPixImage blank;
    EXPECT_EQ(ReadFramePattern(blank).frameIndex, -1);
    CPixImage black;
    black.Allocate(320, 180);
    EXPECT_EQ(ReadFramePattern(black).frameIndex, -1);
    CPixImage grey;
    grey.Allocate(320, 180);
    std::fill(grey.Pixels(), grey.Pixels() + grey.Stride() * 180, 128);
    EXPECT_EQ(ReadFramePattern(grey).frameIndex, -1);
    CPixImage noise;
    noise.Allocate(320, 180);
    uint32_t state = 1;
    for (int i = 0; i < noise.Stride() * 180; ++i) {
        state = state * 1103515245u + 12345u;
        noise.Pixels()[i] = static_cast<uint8_t>(state >> 24);
    }
    EXPECT_EQ(ReadFramePattern(noise).frameIndex, -1);
    CPixImage tiny;
    tiny.Allocate(4, 4);
    EXPECT_EQ(ReadFramePattern(tiny).frameIndex, -1);
}

TEST(FramePattern, OneWrongCellIsRejectedNotMisread) {
    // Blacken or whiten each data cell in turn: the check value must catch every single error.
    const int width = 320, height = 180;
    const CPixImage good = ToBgr(Draw(width, height, 2021, 0), width, height);
    const int areaHeight = FramePatternHeight(height);
    for (int row = 0; row < kFramePatternRows; ++row) {
        for (int column = 0; column < kFramePatternColumns; ++column) {
            CPixImage bad = good;
            const int x0 = column * width / kFramePatternColumns,
                      x1 = (column + 1) * width / kFramePatternColumns;
            const int y0 = row * areaHeight / kFramePatternRows,
                      y1 = (row + 1) * areaHeight / kFramePatternRows;
            const int cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
            const uint8_t flipped = bad.Row(cy)[cx * 3 + 1] > 128 ? 0 : 255;
            for (int y = y0; y < y1; ++y)
                std::fill(bad.Row(y) + x0 * 3, bad.Row(y) + x1 * 3, flipped);
            const FrameMark mark = ReadFramePattern(bad);
            EXPECT_EQ(mark.frameIndex, -1) << "cell " << column << "," << row;
        }
    }
}

TEST(FramePattern, OutOfRangeIndexIsDrawnClamped) {
    EXPECT_EQ(ReadFramePattern(ToBgr(Draw(320, 180, -5, 0), 320, 180)).frameIndex, 0);
    EXPECT_EQ(
        ReadFramePattern(ToBgr(Draw(320, 180, kFramePatternMaxIndex + 10, 0), 320, 180)).frameIndex,
        kFramePatternMaxIndex);
}

}  // namespace
