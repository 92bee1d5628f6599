// The codec notion the reader, player, decoder and exporter share: which codes name which
// codec, and which access units open a decodable run.

#include <gtest/gtest.h>

#include <vector>

#include "media/VideoCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct KeyCase {
    const char* what;
    VideoCodec codec;
    Bytes unit;
    bool key;
};

TEST(VideoCodec, KeyFramesByNalUnitType) {
    const KeyCase cases[] = {
        {"H.264 SPS, 4-byte start", VideoCodec::H264, {0, 0, 0, 1, 0x67, 0x64, 0, 0}, true},
        {"H.264 IDR, 3-byte start", VideoCodec::H264, {0, 0, 1, 0x65, 0x88, 0x84}, true},
        {"H.264 P slice", VideoCodec::H264, {0, 0, 0, 1, 0x41, 0x9A, 0, 0}, false},
        {"H.264 non-reference P slice", VideoCodec::H264, {0, 0, 1, 0x01, 0x9A, 0x02}, false},
        {"H.264 SEI then IDR",
         VideoCodec::H264,
         {0, 0, 0, 1, 0x06, 5, 0xFF, 0, 0, 1, 0x65, 0x88},
         true},
        {"H.264 SEI then P slice",
         VideoCodec::H264,
         {0, 0, 1, 0x06, 5, 0xFF, 0, 0, 1, 0x41, 0x9A},
         false},
        {"H.264 without a start code", VideoCodec::H264, {0x65, 0x88, 0x84, 0x00}, false},
        {"H.265 VPS (32)", VideoCodec::Hevc, {0, 0, 0, 1, 0x40, 0x01, 0x0C, 0x01}, true},
        {"H.265 SPS (33)", VideoCodec::Hevc, {0, 0, 1, 0x42, 0x01, 0x01}, true},
        {"H.265 PPS (34)", VideoCodec::Hevc, {0, 0, 1, 0x44, 0x01, 0xC1}, true},
        {"H.265 IDR_W_RADL (19)", VideoCodec::Hevc, {0, 0, 0, 1, 0x26, 0x01, 0xAF, 0x00}, true},
        {"H.265 IDR_N_LP (20)", VideoCodec::Hevc, {0, 0, 1, 0x28, 0x01, 0xAF}, true},
        {"H.265 CRA (21)", VideoCodec::Hevc, {0, 0, 1, 0x2A, 0x01, 0xAF}, true},
        {"H.265 BLA_W_LP (16)", VideoCodec::Hevc, {0, 0, 1, 0x20, 0x01, 0xAF}, true},
        {"H.265 TRAIL_R (1)", VideoCodec::Hevc, {0, 0, 0, 1, 0x02, 0x01, 0xD0, 0x00}, false},
        {"H.265 TRAIL_N (0)", VideoCodec::Hevc, {0, 0, 1, 0x00, 0x01, 0xD0}, false},
        {"H.265 prefix SEI then IDR",
         VideoCodec::Hevc,
         {0, 0, 0, 1, 0x4E, 0x01, 0x05, 0, 0, 1, 0x26, 0x01},
         true},
        {"H.265 AUD then TRAIL_R",
         VideoCodec::Hevc,
         {0, 0, 1, 0x46, 0x01, 0x50, 0, 0, 1, 0x02, 0x01},
         false},
        // The same header byte means another type in the other codec: 0x26 is an H.265 IDR
        // but an H.264 SEI, 0x41 an H.264 P slice but an H.265 VPS.
        {"H.265 IDR header read as H.264",
         VideoCodec::H264,
         {0, 0, 1, 0x26, 0x01, 0xAF, 0, 0, 1, 0x41},
         false},
        {"H.264 P header read as H.265 (type 32, VPS)",
         VideoCodec::Hevc,
         {0, 0, 1, 0x41, 0x9A, 0},
         true},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(IsVideoKeyFrame(c.codec, c.unit.data(), c.unit.size()), c.key) << c.what;
}

TEST(VideoCodec, AviCodesNameTheCodec) {
    struct Case {
        const char handler[5];
        const char compression[5];
        VideoCodec codec;
        const char* code;  // as messages name it
    };
    const Case cases[] = {
        {"H264", "H264", VideoCodec::H264, "H264"},
        {"\0\0\0\0", "H264", VideoCodec::H264, "H264"},
        {"avc1", "\0\0\0\0", VideoCodec::H264, "avc1"},
        {"HEVC", "HEVC", VideoCodec::Hevc, "HEVC"},
        {"\0\0\0\0", "H265", VideoCodec::Hevc, "H265"},
        {"hev1", "\0\0\0\0", VideoCodec::Hevc, "hev1"},
        {"hvc1", "hvc1", VideoCodec::Hevc, "hvc1"},
        {"MJPG", "MJPG", VideoCodec::Unknown, "MJPG"},
        {"\0\0\0\0", "\0\0\0\0", VideoCodec::Unknown, "????"},
        {"XVID", "H264", VideoCodec::H264, "H264"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VideoCodecFromAviCodes(c.handler, c.compression), c.codec) << c.code;
        EXPECT_EQ(AviCodecCode(c.handler, c.compression), c.code);
    }
}

}  // namespace
