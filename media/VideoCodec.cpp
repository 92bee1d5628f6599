#include "media/VideoCodec.h"

#include <cstring>

namespace {

struct CodecCode {
    const char* code;
    VideoCodec codec;
};

// Cameras and muxers spell the same codec several ways, in either case.
constexpr CodecCode kCodes[] = {
    {"H264", VideoCodec::H264}, {"h264", VideoCodec::H264}, {"X264", VideoCodec::H264},
    {"x264", VideoCodec::H264}, {"AVC1", VideoCodec::H264}, {"avc1", VideoCodec::H264},
    {"HEVC", VideoCodec::Hevc}, {"hevc", VideoCodec::Hevc}, {"H265", VideoCodec::Hevc},
    {"h265", VideoCodec::Hevc}, {"hev1", VideoCodec::Hevc}, {"hvc1", VideoCodec::Hevc},
    {"HEV1", VideoCodec::Hevc}, {"HVC1", VideoCodec::Hevc},
};

VideoCodec FromCode(const char code[4]) {
    for (const CodecCode& c : kCodes)
        if (std::memcmp(c.code, code, 4) == 0) return c.codec;
    return VideoCodec::Unknown;
}

bool IsBlank(const char code[4]) {
    for (int i = 0; i < 4; ++i)
        if (code[i] != 0 && code[i] != ' ') return false;
    return true;
}

constexpr int kH264TypeMask = 0x1F;
constexpr int kH264IdrSlice = 5;
constexpr int kH264Sps = 7;
constexpr int kH264FirstSlice = 1;
constexpr int kH264LastSlice = 4;  // data partitions of ordinary slices

constexpr int kHevcFirstIrap = 16;
constexpr int kHevcLastIrap = 23;
constexpr int kHevcLastVcl = 31;
constexpr int kHevcVps = 32;
constexpr int kHevcPps = 34;

enum class NalRole { Key, Ordinary, Other };

NalRole RoleOf(VideoCodec codec, int type) {
    if (codec == VideoCodec::Hevc) {
        if ((type >= kHevcFirstIrap && type <= kHevcLastIrap) ||
            (type >= kHevcVps && type <= kHevcPps))
            return NalRole::Key;
        return type <= kHevcLastVcl ? NalRole::Ordinary : NalRole::Other;
    }
    if (type == kH264IdrSlice || type == kH264Sps) return NalRole::Key;
    if (type >= kH264FirstSlice && type <= kH264LastSlice) return NalRole::Ordinary;
    return NalRole::Other;
}

}  // namespace

VideoCodec VideoCodecFromAviCodes(const char handler[4], const char compression[4]) {
    const VideoCodec byCompression = FromCode(compression);
    return byCompression != VideoCodec::Unknown ? byCompression : FromCode(handler);
}

std::string AviCodecCode(const char handler[4], const char compression[4]) {
    const char* code = IsBlank(compression) ? handler : compression;
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i)
        if (code[i] >= 0x20 && code[i] < 0x7F) text[static_cast<size_t>(i)] = code[i];
    return text;
}

AVCodecID AvCodecId(VideoCodec codec) {
    switch (codec) {
        case VideoCodec::H264:
            return AV_CODEC_ID_H264;
        case VideoCodec::Hevc:
            return AV_CODEC_ID_HEVC;
        case VideoCodec::Unknown:
            break;
    }
    return AV_CODEC_ID_NONE;
}

uint32_t Mp4CodecTag(VideoCodec codec) {
    auto tag = [](char a, char b, char c, char d) {
        return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 |
               static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(d) << 24;
    };
    // hvc1 (parameter sets in the sample entry) is the form players on every platform take.
    if (codec == VideoCodec::Hevc) return tag('h', 'v', 'c', '1');
    if (codec == VideoCodec::H264) return tag('a', 'v', 'c', '1');
    return 0;
}

const char* VideoCodecName(VideoCodec codec) {
    switch (codec) {
        case VideoCodec::H264:
            return "H.264";
        case VideoCodec::Hevc:
            return "H.265";
        case VideoCodec::Unknown:
            break;
    }
    return "unknown";
}

int NalUnitType(VideoCodec codec, uint8_t headerByte) {
    if (codec == VideoCodec::Hevc) return (headerByte >> 1) & 0x3F;
    return headerByte & kH264TypeMask;
}

bool IsVideoKeyFrame(VideoCodec codec, const uint8_t* data, size_t size) {
    if (!data || size <= 3) return false;
    // Cameras and encoders put access unit delimiters, SEI and parameter sets in front of the
    // first slice, and both 3- and 4-byte start codes occur, so walk the NAL headers.
    bool sawUnit = false;
    for (size_t i = 0; i + 3 < size;) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            sawUnit = true;
            const NalRole role = RoleOf(codec, NalUnitType(codec, data[i + 3]));
            if (role == NalRole::Key) return true;
            if (role == NalRole::Ordinary) return false;
            i += 3;
        } else {
            ++i;
        }
    }
    return sawUnit;
}
