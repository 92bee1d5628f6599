#pragma once
// libx264 or libx265 through libavcodec, set up the way the dashcam's encoder behaves: Annex
// B, no B-frames, an IDR frame every keyFrameInterval frames with the parameter sets (SPS and
// PPS; for H.265 VPS, SPS and PPS) in front of it, one access unit per packet. Every access
// unit is rewritten so it starts with a 4-byte start code and with the first parameter set
// (key frames) or the slice (other frames): the player recognises key frames by the NAL
// headers, and both encoders like to put their version SEI first.
//
// Two ways to encode: the quick one (x264 ultrafast, no CABAC, no deblocking), which keeps
// the tests fast, and the camera's way (cameraLike: x264 veryfast, high profile with CABAC
// and the deblocking filter; x265 veryfast), whose pictures cost as much to decode as those
// on a real card. H.265 is always encoded the camera's way.

#include <cstdint>
#include <string>
#include <vector>

#include "media/VideoCodec.h"
#include "tools/cardgen/FFmpegHandles.h"

struct EncodedFrame {
    int64_t index = 0;
    bool keyFrame = false;
    int firstNalType = -1;
    std::vector<uint8_t> data;
};

struct VideoEncoderSettings {
    VideoCodec codec = VideoCodec::H264;
    bool cameraLike = false;
    int width = 1280;
    int height = 720;
    int frameRate = 30;
    int keyFrameInterval = 30;
    int threads = 1;  // fixed, so the same options give the same bytes
    int crf = 26;
    int bitRateKbps = 0;  // above 0: this average bit rate instead of the quality factor
};

class VideoEncoder {
public:
    bool Open(const VideoEncoderSettings& settings, std::string* error);
    // The frame to draw the next picture into (YUV 4:2:0).
    AVFrame* Picture();
    // Encodes the picture drawn into Picture(); finished access units are appended to out.
    bool Encode(std::vector<EncodedFrame>& out, std::string* error);
    // Drains the encoder at the end.
    bool Flush(std::vector<EncodedFrame>& out, std::string* error);

private:
    bool Drain(std::vector<EncodedFrame>& out, std::string* error);

    CodecContextPtr m_context;
    FramePtr m_frame;
    PacketPtr m_packet;
    VideoCodec m_codec = VideoCodec::H264;
    int64_t m_nextIndex = 0;
};

// Rewrites an Annex B access unit: 4-byte start codes only, SEI and access unit delimiters
// dropped. Returns the NAL type of the first NAL left (-1 when none).
int NormalizeAccessUnit(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                        VideoCodec codec = VideoCodec::H264);

// NAL units of an Annex B buffer (start codes of 3 or 4 bytes), as (offset, size) of the
// NAL payload after its start code.
std::vector<std::pair<size_t, size_t>> SplitAnnexB(const uint8_t* data, size_t size);
