// The blur covers the grown box so that its content cannot be read back, and leaves every
// pixel outside it as it was.

#include <gtest/gtest.h>

#include <cmath>

extern "C" {
#include <libavutil/frame.h>
}

#include "media/FFmpegPtr.h"
#include "redact/PictureRedactor.h"

namespace {

// A picture of fine stripes in every plane: what a plate's characters look like to the blur.
AVFramePtr Stripes(int width, int height, AVPixelFormat format = AV_PIX_FMT_YUV420P) {
    AVFramePtr f(av_frame_alloc());
    f->width = width;
    f->height = height;
    f->format = format;
    EXPECT_EQ(av_frame_get_buffer(f.get(), 0), 0);
    for (int p = 0; p < 3; ++p) {
        const int h = p ? height / 2 : height, w = p ? width / 2 : width;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                f->data[p][y * f->linesize[p] + x] = ((x / 2 + y / 3) % 2) ? 230 : 20;
    }
    return f;
}

bool Inside(const RedactRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

TEST(PictureRedactor, ChangesOnlyTheGrownBoxAndFlattensIt) {
    const AVFramePtr before = Stripes(320, 240);
    AVFramePtr after = Stripes(320, 240);
    const RedactRect box{100, 120, 80, 20};
    ASSERT_TRUE(RedactPicture(after.get(), box));
    const RedactRect grown = GrownRedactBox(box, 320, 240);
    EXPECT_EQ(grown.x, 92);
    EXPECT_EQ(grown.width, 96);
    double inside = 0;
    int count = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const int a = before->data[0][y * before->linesize[0] + x];
            const int b = after->data[0][y * after->linesize[0] + x];
            if (!Inside(grown, x, y)) {
                ASSERT_EQ(a, b) << "outside at " << x << "," << y;
            } else if (Inside(box, x, y)) {
                inside += std::abs(b - 125);
                ++count;
            }
        }
    // Stripes of 20 and 230 average to 125: the blur leaves little of their contrast.
    EXPECT_LT(inside / count, 20.0);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            if (x < grown.x / 2 - 1 || y < grown.y / 2 - 1 || x > (grown.x + grown.width) / 2 ||
                y > (grown.y + grown.height) / 2) {
                ASSERT_EQ(before->data[1][y * before->linesize[1] + x],
                          after->data[1][y * after->linesize[1] + x]);
            }
        }
    }
}

TEST(PictureRedactor, BoxAtThePictureEdgeStaysInside) {
    AVFramePtr f = Stripes(64, 48);
    ASSERT_TRUE(RedactPicture(f.get(), {50, 40, 14, 8}));
    const RedactRect grown = GrownRedactBox({50, 40, 14, 8}, 64, 48);
    EXPECT_EQ(grown.x + grown.width, 64);
    EXPECT_EQ(grown.y + grown.height, 48);
    EXPECT_GE(RedactBlockSide({0, 0, 160, 34}), 20);
}

TEST(PictureRedactor, RefusesPicturesItCannotBlur) {
    AVFramePtr f(av_frame_alloc());
    f->width = 64;
    f->height = 48;
    f->format = AV_PIX_FMT_RGB24;
    ASSERT_EQ(av_frame_get_buffer(f.get(), 0), 0);
    EXPECT_FALSE(RedactPicture(f.get(), {0, 0, 10, 10}));
}

}  // namespace
