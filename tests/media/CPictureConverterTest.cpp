// The picture path from decoded YUV to the 32-bit RGB a window paints: colours, brightness
// and contrast as the scaler's colour settings gave them, mirroring and odd sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "media/CPictureConverter.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

struct Yuv {
    uint8_t y, u, v;
};

// A video-range 4:2:0 frame whose pixel (x, y) has colour at(x, y) (chroma from the top-left
// pixel of each 2 x 2 block).
template <class At>
AVFramePtr MakeFrame(int width, int height, At at) {
    AVFramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Yuv c = at(x, y);
            frame->data[0][y * frame->linesize[0] + x] = c.y;
            if (x % 2 == 0 && y % 2 == 0) {
                frame->data[1][y / 2 * frame->linesize[1] + x / 2] = c.u;
                frame->data[2][y / 2 * frame->linesize[2] + x / 2] = c.v;
            }
        }
    }
    return frame;
}

CPixImgBase Convert(const AVFrame& frame, int width, int height, bool mirror = false,
                    float brightness = 0.0f, float contrast = 1.0f) {
    CPictureConverter converter;
    converter.SetColour(brightness, contrast);
    CPixImgBase out(width, height, CPixImgBase::kRgb32Channels);
    EXPECT_TRUE(converter.Convert(frame, out, mirror));
    return out;
}

// What the scaler's unscaled conversion with colour settings made of the same frame (BGR24).
CPixImgBase SwscaleReference(const AVFrame& frame, float brightness, float contrast) {
    CPixImgBase out(frame.width, frame.height);
    SwsContext* sws =
        sws_getContext(frame.width, frame.height, AV_PIX_FMT_YUV420P, frame.width, frame.height,
                       AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
    const int* table = sws_getCoefficients(SWS_CS_DEFAULT);
    constexpr int kOne = 1 << 16;
    sws_setColorspaceDetails(sws, table, 0, table, 0, static_cast<int>(brightness * kOne),
                             static_cast<int>(contrast * kOne), kOne);
    // The vectorised conversion writes past the row end, so it writes into room of its own.
    const int stride = frame.width * 3 + 64;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * (frame.height + 1));
    uint8_t* planes[4] = {rows.data(), nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    sws_scale(sws, frame.data, frame.linesize, 0, frame.height, planes, strides);
    sws_freeContext(sws);
    for (int y = 0; y < frame.height; ++y)
        std::copy_n(rows.data() + y * stride, frame.width * 3, out.Row(y));
    return out;
}

const uint8_t* Pixel(const CPixImgBase& image, int x, int y) {
    return image.Row(y) + x * image.Channels();
}

}  // namespace

TEST(PictureConverter, KnownColoursComeOutInTheWindowsByteOrderAtAnySize) {
    struct Patch {
        const char* name;
        Yuv yuv;
        int b, g, r;
    };
    // BT.601 video-range values of full colours.
    const Patch patches[] = {
        {"red", {81, 90, 240}, 0, 0, 255},
        {"green", {145, 54, 34}, 0, 255, 0},
        {"blue", {41, 240, 110}, 255, 0, 0},
        {"grey", {126, 128, 128}, 128, 128, 128},
    };
    // Four vertical bands of 40 pixels.
    AVFramePtr frame = MakeFrame(160, 96, [&](int x, int) { return patches[x / 40].yuv; });
    ASSERT_TRUE(frame);
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{160, 96}, Size{80, 48}, Size{57, 31}, Size{321, 181}}) {
        const CPixImgBase out = Convert(*frame, size.width, size.height);
        for (int i = 0; i < 4; ++i) {
            const int x = (2 * i + 1) * size.width / 8;  // the middle of band i
            const uint8_t* p = Pixel(out, x, size.height / 2);
            EXPECT_NEAR(p[0], patches[i].b, 4) << patches[i].name << " at " << size.width;
            EXPECT_NEAR(p[1], patches[i].g, 4) << patches[i].name << " at " << size.width;
            EXPECT_NEAR(p[2], patches[i].r, 4) << patches[i].name << " at " << size.width;
            EXPECT_EQ(p[3], 0xFF) << "opaque";
        }
    }
}

TEST(PictureConverter, BrightnessAndContrastMatchTheScalersColourSettings) {
    // Luma ramps across, moderate colour bands down: every channel is tried over its range.
    AVFramePtr frame = MakeFrame(128, 64, [](int x, int y) {
        const uint8_t luma = static_cast<uint8_t>(16 + x * 219 / 127);
        const uint8_t u[] = {128, 100, 160, 128};
        const uint8_t v[] = {128, 150, 110, 90};
        return Yuv{luma, u[y / 16], v[y / 16]};
    });
    ASSERT_TRUE(frame);
    struct Setting {
        float brightness, contrast;
    };
    // Levels the viewer's sliders give (brightness level / 10, contrast level / 10 + 1).
    for (const Setting s :
         {Setting{0.0f, 1.0f}, Setting{0.3f, 1.0f}, Setting{-0.5f, 1.0f}, Setting{0.0f, 1.5f},
          Setting{0.0f, 0.5f}, Setting{0.2f, 2.0f}, Setting{-0.1f, 0.01f}}) {
        const CPixImgBase ours = Convert(*frame, 128, 64, false, s.brightness, s.contrast);
        const CPixImgBase theirs = SwscaleReference(*frame, s.brightness, s.contrast);
        int worst = 0;
        double total = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 128; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int d = std::abs(Pixel(ours, x, y)[c] - Pixel(theirs, x, y)[c]);
                    worst = std::max(worst, d);
                    total += d;
                }
            }
        }
        EXPECT_LE(worst, 6) << "brightness " << s.brightness << " contrast " << s.contrast;
        EXPECT_LE(total / (128 * 64 * 3), 1.5)
            << "brightness " << s.brightness << " contrast " << s.contrast;
    }
}

TEST(PictureConverter, MirrorReversesEveryRowAlsoAtOddWidths) {
    // A luma ramp on grey chroma, so a mirrored row is exactly the row read backwards.
    for (const int width : {7, 80, 81}) {
        AVFramePtr frame = MakeFrame(width, 5, [&](int x, int y) {
            return Yuv{static_cast<uint8_t>(20 + x * 200 / width + y), 128, 128};
        });
        ASSERT_TRUE(frame);
        const CPixImgBase plain = Convert(*frame, width, 5);
        const CPixImgBase mirrored = Convert(*frame, width, 5, true);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < width; ++x) {
                ASSERT_TRUE(std::equal(Pixel(plain, x, y), Pixel(plain, x, y) + 4,
                                       Pixel(mirrored, width - 1 - x, y)))
                    << "width " << width << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(PictureConverter, RefusesWhatItCannotFill) {
    AVFramePtr frame = MakeFrame(16, 16, [](int, int) { return Yuv{128, 128, 128}; });
    CPictureConverter converter;
    CPixImgBase bgr(16, 16);  // 3 channels: not the window's layout
    EXPECT_FALSE(converter.Convert(*frame, bgr, false));
    CPixImgBase empty;
    EXPECT_FALSE(converter.Convert(*frame, empty, false));
    AVFramePtr blank(av_frame_alloc());
    CPixImgBase out(16, 16, CPixImgBase::kRgb32Channels);
    EXPECT_FALSE(converter.Convert(*blank, out, false));
}
