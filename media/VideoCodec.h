#pragma once
// The video codecs a recording may carry, as one notion shared by the reader (which learns
// a stream's codec from its header), the decoder, the player, the exporter and the muxer.
// Everything that depends on the codec asks here rather than keeping its own copy.

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

enum class VideoCodec { Unknown, H264, Hevc };

// The codec an AVI stream names by its stream handler or its compression code (either
// suffices; a zero handler says nothing). Unknown when neither names a codec known here.
VideoCodec VideoCodecFromAviCodes(const char handler[4], const char compression[4]);
// The one code of the two that names the stream's codec, for messages: the compression
// code unless it is blank, the handler otherwise, with unprintable bytes as '?'.
std::string AviCodecCode(const char handler[4], const char compression[4]);

AVCodecID AvCodecId(VideoCodec codec);
// The MP4 sample entry a copied stream is written with ("avc1", "hvc1").
uint32_t Mp4CodecTag(VideoCodec codec);
const char* VideoCodecName(VideoCodec codec);

// The first NAL unit of each type that opens a decodable access unit, by codec.
// H.264: 5 (IDR slice), 7 (SPS); H.265: 16-23 (IRAP slices), 32-34 (VPS, SPS, PPS).
int NalUnitType(VideoCodec codec, uint8_t headerByte);

// A packet is a key frame when, walking its NAL units (3- or 4-byte start codes) up to the
// first slice, it holds a parameter set or a random access slice; also when it holds no
// slice at all. A packet whose first slice is an ordinary one is not.
bool IsVideoKeyFrame(VideoCodec codec, const uint8_t* data, size_t size);

// Where a video packet stands in the player's reading, for a decoder that takes the packet
// after the one it shows ahead of time (frame threads, see CFFMH264_Decoder).
struct VideoPacketOrder {
    int64_t key = -1;  // names the packet in the caller's reading; -1: not known
    // The packet that follows it, taken in now so that this packet's picture comes out;
    // null when none follows (the decoder then drains: the picture comes out and the
    // references go, so the packet after must be a key frame).
    const uint8_t* next = nullptr;
    int32_t nextSize = 0;
    int64_t nextKey = -1;
    // False: the picture may stay in flight (frames before a seek's target, brought out by
    // taking the packet after the target ahead, or by finishing).
    bool finish = true;
};
