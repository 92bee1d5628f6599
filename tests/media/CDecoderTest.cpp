#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "H264TestStream.h"
#include "media/CDecoder.h"
#include "support/HeadlessVideoWindow.h"

namespace {

int LumaStep(int i) {
    return 40 + (i % 8) * 20;
}
// The level a video-range luma value has in the converted BGR picture.
double Shown(int luma) {
    return (luma - 16) * 255.0 / 219.0;
}
int MidGrey(int) {
    return 128;
}

// Mean of the green channel over the picture (grey pictures have B = G = R).
double MeanLevel(const CPixImgBase& image) {
    double sum = 0;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) sum += image.Row(y)[x * 3 + 1];
    }
    return sum / (static_cast<double>(image.Width()) * image.Height());
}

// Mean level of the left quarter minus that of the right quarter.
double LeftMinusRight(const CPixImgBase& image) {
    double left = 0, right = 0;
    const int quarter = image.Width() / 4;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < quarter; ++x) {
            left += image.Row(y)[x * 3 + 1];
            right += image.Row(y)[(image.Width() - 1 - x) * 3 + 1];
        }
    }
    return (left - right) / (static_cast<double>(quarter) * image.Height());
}

std::string TempPath(const char* name) {
    std::filesystem::create_directories(TARVEX_TEST_DATA_DIR);
    return std::string(TARVEX_TEST_DATA_DIR) + "/" + name;
}

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        packets = EncodeTestStream(160, 96, 16, 8, &LumaStep);
        ASSERT_EQ(packets.size(), 16u) << "libx264 is needed to encode the test stream";
        decoder.Initialize();
    }
    bool Decode(int camera, VideoWindow* window, const TestPacket& packet) {
        return decoder.DecodeFrame(camera, window, packet.bytes.data(),
                                   static_cast<int32_t>(packet.bytes.size()));
    }

    std::vector<TestPacket> packets;
    CDecoder decoder;
    HeadlessVideoWindow window{80, 48};
};

TEST_F(DecoderTest, EveryPacketPresentsItsOwnPictureAtOnce) {
    for (size_t i = 0; i < packets.size(); ++i) {
        ASSERT_TRUE(Decode(0, &window, packets[i]));
        ASSERT_EQ(window.PresentCount(), static_cast<int>(i) + 1);
        const CPixImage shown = window.LastImage();
        ASSERT_EQ(shown.Width(), 80);
        ASSERT_EQ(shown.Height(), 48);
        // A delayed decoder would show the previous frame's level here.
        EXPECT_NEAR(MeanLevel(shown), Shown(LumaStep(static_cast<int>(i))), 8.0) << "frame " << i;
    }
}

TEST_F(DecoderTest, ResizedWindowGetsPictureAtItsNewSize) {
    ASSERT_TRUE(Decode(0, &window, packets[0]));
    window.SetSize(200, 120);
    ASSERT_TRUE(Decode(0, &window, packets[1]));
    const CPixImage shown = window.LastImage();
    EXPECT_EQ(shown.Width(), 200);
    EXPECT_EQ(shown.Height(), 120);
    EXPECT_NEAR(MeanLevel(shown), Shown(LumaStep(1)), 8.0);
}

TEST_F(DecoderTest, RefusedCallsDecodeNothing) {
    EXPECT_FALSE(Decode(0, nullptr, packets[0]));
    EXPECT_FALSE(Decode(2, &window, packets[0]));
    EXPECT_FALSE(Decode(-1, &window, packets[0]));
    EXPECT_EQ(window.PresentCount(), 0);
    EXPECT_FALSE(decoder.CameraDecoder(0).HasPicture());
}

TEST_F(DecoderTest, HiddenAreaKeepsDecodingAndShowsACleanPictureWhenShownAgain) {
    ASSERT_TRUE(Decode(0, &window, packets[0]));
    window.SetSize(0, 0);
    // Frames 1 to 4 are P frames: each needs the one before it.
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(Decode(0, &window, packets[i])) << i;
    EXPECT_EQ(window.PresentCount(), 1) << "nothing converted or shown while hidden";
    EXPECT_EQ(window.UnseenCount(), 4) << "but each picture is accounted for";
    window.SetSize(80, 48);
    ASSERT_TRUE(Decode(0, &window, packets[5]));
    EXPECT_EQ(window.PresentCount(), 2);
    EXPECT_NEAR(MeanLevel(window.LastImage()), Shown(LumaStep(5)), 8.0);
}

TEST_F(DecoderTest, JpegPacketIsSkippedAndTheWindowKeepsItsPicture) {
    ASSERT_TRUE(Decode(0, &window, packets[0]));
    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
    EXPECT_FALSE(decoder.CameraDecoder(0).DecodePacket(jpeg, sizeof jpeg));
    EXPECT_TRUE(decoder.DecodeFrame(0, &window, jpeg, sizeof jpeg));
    EXPECT_EQ(window.PresentCount(), 1) << "no new picture, nothing to repaint";
    EXPECT_NEAR(MeanLevel(window.LastImage()), Shown(LumaStep(0)), 8.0);
    // The decoder state was not disturbed: the next P frame still decodes cleanly.
    ASSERT_TRUE(Decode(0, &window, packets[1]));
    EXPECT_NEAR(MeanLevel(window.LastImage()), Shown(LumaStep(1)), 8.0);
}

TEST_F(DecoderTest, RearPacketBeforeAnyKeyFrameShowsNoPicture) {
    HeadlessVideoWindow rear(64, 36);
    EXPECT_TRUE(Decode(1, &rear, packets[3]));  // a P frame without its references
    EXPECT_EQ(rear.PresentCount(), 0);
    EXPECT_FALSE(decoder.CameraDecoder(1).HasPicture());
}

TEST_F(DecoderTest, CaptureWritesTheDecodedSizeNotTheWindowSize) {
    const std::string path = TempPath("decoder_capture_front.jpg");
    std::filesystem::remove(path);
    EXPECT_FALSE(decoder.SaveCapture(0, path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(path));

    for (int i = 0; i <= 2; ++i) ASSERT_TRUE(Decode(0, &window, packets[i]));
    ASSERT_TRUE(decoder.SaveCapture(0, path.c_str()));
    CPixImage still;
    ASSERT_TRUE(still.LoadImage(path));
    EXPECT_EQ(still.Width(), 160);
    EXPECT_EQ(still.Height(), 96);
    EXPECT_NEAR(MeanLevel(still), Shown(LumaStep(2)), 8.0);
    // The next displayed frame is converted at the window's size again.
    ASSERT_TRUE(Decode(0, &window, packets[3]));
    EXPECT_EQ(window.LastImage().Width(), 80);
}

TEST(DecoderMirror, MirrorFlipsOnlyTheCameraItWasSetFor) {
    const auto packets = EncodeTestStream(160, 96, 2, 8, &MidGrey, TestPicture::SplitDarkLeft);
    ASSERT_EQ(packets.size(), 2u);
    CDecoder decoder;
    decoder.Initialize();
    decoder.SetMirror(1, true);
    HeadlessVideoWindow front(80, 48), rear(81, 48);  // odd width: the middle column stays
    ASSERT_TRUE(decoder.DecodeFrame(0, &front, packets[0].bytes.data(), packets[0].bytes.size()));
    ASSERT_TRUE(decoder.DecodeFrame(1, &rear, packets[0].bytes.data(), packets[0].bytes.size()));
    EXPECT_LT(LeftMinusRight(front.LastImage()), -100.0);  // dark left as encoded
    EXPECT_GT(LeftMinusRight(rear.LastImage()), 100.0);    // flipped

    decoder.SetMirror(1, false);
    ASSERT_TRUE(decoder.DecodeFrame(1, &rear, packets[1].bytes.data(), packets[1].bytes.size()));
    EXPECT_LT(LeftMinusRight(rear.LastImage()), -100.0);
}

TEST(DecoderColour, BrightnessSetBeforeTheFirstFrameReachesTheNewScaler) {
    const auto packets = EncodeTestStream(160, 96, 1, 8, &MidGrey);
    ASSERT_EQ(packets.size(), 1u);
    CDecoder plain, bright, dark;
    for (CDecoder* d : {&plain, &bright, &dark}) d->Initialize();
    bright.SetBrightness(0, 5);
    dark.SetBrightness(0, -5);
    HeadlessVideoWindow a(80, 48), b(80, 48), c(80, 48);
    plain.DecodeFrame(0, &a, packets[0].bytes.data(), packets[0].bytes.size());
    bright.DecodeFrame(0, &b, packets[0].bytes.data(), packets[0].bytes.size());
    dark.DecodeFrame(0, &c, packets[0].bytes.data(), packets[0].bytes.size());
    const double base = MeanLevel(a.LastImage());
    EXPECT_GT(MeanLevel(b.LastImage()), base + 20);
    EXPECT_LT(MeanLevel(c.LastImage()), base - 20);

    // And a change while a scaler exists applies to it.
    plain.SetBrightness(0, 5);
    plain.DecodeFrame(0, &a, packets[0].bytes.data(), packets[0].bytes.size());
    EXPECT_NEAR(MeanLevel(a.LastImage()), MeanLevel(b.LastImage()), 2.0);
}

struct ContrastRow {
    int level;
    float contrast;
};
class DecoderContrastLevels : public ::testing::TestWithParam<ContrastRow> {};
TEST_P(DecoderContrastLevels, LevelMapsToLimitedFactor) {
    EXPECT_FLOAT_EQ(CDecoder::ContrastForLevel(GetParam().level), GetParam().contrast);
}
INSTANTIATE_TEST_SUITE_P(Levels, DecoderContrastLevels,
                         ::testing::Values(ContrastRow{-100, 0.01f}, ContrastRow{20, 2.0f},
                                           ContrastRow{5, 1.5f}, ContrastRow{0, 1.0f},
                                           ContrastRow{-3, 0.7f}));

TEST(DecoderSourceSize, NextRecordingWithAnotherSizeConvertsCleanly) {
    const auto small = EncodeTestStream(160, 96, 2, 8, &LumaStep);
    const auto large = EncodeTestStream(320, 192, 2, 8, &MidGrey);
    ASSERT_EQ(small.size(), 2u);
    ASSERT_EQ(large.size(), 2u);
    CDecoder decoder;
    decoder.Initialize();
    HeadlessVideoWindow window(80, 48);
    ASSERT_TRUE(decoder.DecodeFrame(0, &window, small[0].bytes.data(), small[0].bytes.size()));
    // Same window size, new picture size: the scaler must follow the source.
    ASSERT_TRUE(decoder.DecodeFrame(0, &window, large[0].bytes.data(), large[0].bytes.size()));
    int w = 0, h = 0;
    decoder.CameraDecoder(0).GetPictureSize(&w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 192);
    EXPECT_NEAR(MeanLevel(window.LastImage()), Shown(128), 8.0);
}

}  // namespace

// A decoder on frame threads shows a packet's picture once the packet after it went in: the
// caller's order (the packet taken ahead, a seek's pictures left in flight, a jump, the end)
// must still leave each packet's own picture out when its call returns.
namespace {
int Distinct(int i) {
    return 20 + i * 12;
}

double MeanLuma(const AVFrame* frame) {
    double sum = 0;
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x) sum += frame->data[0][y * frame->linesize[0] + x];
    return sum / (static_cast<double>(frame->width) * frame->height);
}
}  // namespace

TEST(DecoderFrameThreads, EachCallLeavesItsPacketsPictureOut) {
    const std::vector<TestPacket> packets = EncodeTestStream(160, 96, 16, 8, &Distinct);
    ASSERT_EQ(packets.size(), 16u);
    setenv("TARVEX_FRAME_THREADS", "1", 1);
    CFFMH264_Decoder decoder;
    ASSERT_TRUE(decoder.Open(VideoCodec::H264, 160, 96, true));
    unsetenv("TARVEX_FRAME_THREADS");
    ASSERT_TRUE(decoder.OnFrameThreads());

    enum class Op { Decode, TakeAhead, Finish };
    struct Step {
        Op op;
        int packet;  // Decode, TakeAhead: the packet; Finish: -
        int next;    // Decode: the packet taken ahead, -1 none
        bool finish;
        int shown;  // the picture out after the step
    };
    const Step steps[] = {
        // Playing in order, each packet with the next one ahead.
        {Op::Decode, 0, 1, true, 0}, {Op::Decode, 1, 2, true, 1}, {Op::Decode, 2, 3, true, 2},
        // A jump to the key frame at 8 drops what was in flight.
        {Op::Decode, 8, 9, true, 8}, {Op::Decode, 9, 10, true, 9},
        // A seek to 3: from the key frame at 0 with pictures in flight, then the one after.
        {Op::Decode, 0, -1, false, -1}, {Op::Decode, 1, -1, false, -1},
        {Op::Decode, 2, -1, false, -1}, {Op::Decode, 3, -1, false, -1},
        {Op::TakeAhead, 4, -1, true, 3}, {Op::Decode, 4, 5, true, 4},
        // The end: no packet follows, the decoder drains; then it starts again at a key frame.
        {Op::Decode, 8, 9, true, 8}, {Op::Decode, 9, -1, true, 9}, {Op::Decode, 0, 1, true, 0},
        // A seek that reaches the end finishes the decoder for its picture.
        {Op::Decode, 8, -1, false, -1}, {Op::Decode, 9, -1, false, -1}, {Op::Finish, 0, 0, true, 9},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        if (s.op == Op::Finish) {
            decoder.Finish();
        } else if (s.op == Op::TakeAhead) {
            decoder.TakeAhead(packets[s.packet].bytes.data(),
                              static_cast<int32_t>(packets[s.packet].bytes.size()), s.packet);
        } else {
            VideoPacketOrder order;
            order.key = s.packet;
            order.finish = s.finish;
            if (s.next >= 0) {
                order.next = packets[s.next].bytes.data();
                order.nextSize = static_cast<int32_t>(packets[s.next].bytes.size());
                order.nextKey = s.next;
            }
            decoder.DecodePacket(packets[s.packet].bytes.data(),
                                 static_cast<int32_t>(packets[s.packet].bytes.size()), order);
        }
        if (s.shown < 0) continue;
        ASSERT_NE(decoder.Picture(), nullptr) << "step " << i;
        EXPECT_NEAR(MeanLuma(decoder.Picture()), Distinct(s.shown), 4.0) << "step " << i;
    }
}
