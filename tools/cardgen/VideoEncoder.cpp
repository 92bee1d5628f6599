#include "tools/cardgen/VideoEncoder.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

// libx265 keeps the strings it copies into its encoder's parameters for the life of the
// process and never frees them; under LeakSanitizer that is reported as our leak.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

namespace {

constexpr int kNalSei = 6;
constexpr int kNalAccessUnitDelimiter = 9;
constexpr int kHevcNalAccessUnitDelimiter = 35;
constexpr int kHevcNalPrefixSei = 39;
constexpr int kHevcNalSuffixSei = 40;

bool IsDropped(VideoCodec codec, int type) {
    if (codec == VideoCodec::Hevc)
        return type == kHevcNalAccessUnitDelimiter || type == kHevcNalPrefixSei ||
               type == kHevcNalSuffixSei;
    return type == kNalSei || type == kNalAccessUnitDelimiter;
}

// Camera-like H.264: what a dashcam's encoder makes (main or high profile, CABAC, the
// deblocking filter), at a speed the generator can afford for minutes of 4K.
constexpr const char* kCameraPreset = "veryfast";
constexpr const char* kQuickPreset = "ultrafast";

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

std::vector<std::pair<size_t, size_t>> SplitAnnexB(const uint8_t* data, size_t size) {
    std::vector<std::pair<size_t, size_t>> nals;
    size_t start = SIZE_MAX;
    size_t i = 0;
    auto close = [&](size_t end) {
        if (start == SIZE_MAX) return;
        // A 4-byte start code's leading zero (and any trailing zero bytes) belong to no NAL.
        while (end > start && data[end - 1] == 0) --end;
        if (end > start) nals.emplace_back(start, end - start);
    };
    while (i + 3 <= size) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            close(i);
            start = i + 3;
            i += 3;
        } else {
            ++i;
        }
    }
    close(size);
    return nals;
}

int NormalizeAccessUnit(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                        VideoCodec codec) {
    out.clear();
    out.reserve(size + 16);
    int firstType = -1;
    for (const auto& [offset, length] : SplitAnnexB(data, size)) {
        const int type = NalUnitType(codec, data[offset]);
        if (IsDropped(codec, type)) continue;
        if (firstType < 0) firstType = type;
        static const uint8_t kStartCode[4] = {0, 0, 0, 1};
        out.insert(out.end(), kStartCode, kStartCode + 4);
        out.insert(out.end(), data + offset, data + offset + length);
    }
    return firstType;
}

namespace {

// Rate control: a camera's encoder spends its bit rate whatever the picture, like a constant
// rate (the encoder may otherwise keep a simple picture far below it); else a constant quality.
void SetRate(AVCodecContext* c, const VideoEncoderSettings& s, bool hevc) {
    if (s.bitRateKbps > 0) {
        c->bit_rate = static_cast<int64_t>(s.bitRateKbps) * 1000;
        c->rc_max_rate = c->bit_rate;
        c->rc_min_rate = c->bit_rate;
        c->rc_buffer_size = static_cast<int>(c->bit_rate);
        c->qmin = 0;
        if (!hevc) av_opt_set(c->priv_data, "nal-hrd", "cbr", 0);
    } else {
        av_opt_set_int(c->priv_data, "crf", s.crf, 0);
    }
}

// The encoder's own options: no global header (the parameter sets travel in the stream, in front
// of every IDR frame), no B pictures, key pictures only at the fixed interval.
void SetEncoderOptions(AVCodecContext* c, const VideoEncoderSettings& s, bool hevc) {
    if (hevc) {
        av_opt_set(c->priv_data, "preset", kCameraPreset, 0);
        // pools: the worker threads for wavefront rows; one frame thread keeps the output the
        // same from run to run.
        const std::string params =
            "log-level=error:info=0:repeat-headers=1:annexb=1:scenecut=0:open-gop=0:bframes=0:"
            "frame-threads=1:pools=" +
            std::to_string(s.threads) + ":keyint=" + std::to_string(s.keyFrameInterval) +
            ":min-keyint=" + std::to_string(s.keyFrameInterval);
        av_opt_set(c->priv_data, "x265-params", params.c_str(), 0);
    } else if (s.cameraLike) {
        av_opt_set(c->priv_data, "preset", kCameraPreset, 0);
        av_opt_set(c->priv_data, "profile", "high", 0);
        av_opt_set(c->priv_data, "x264-params",
                   "log=-1:repeat-headers=1:scenecut=0:open-gop=0:bframes=0:sliced-threads=0:"
                   "annexb=1:cabac=1:deblock=1",
                   0);
    } else {
        av_opt_set(c->priv_data, "preset", kQuickPreset, 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set(c->priv_data, "x264-params",
                   "log=-1:repeat-headers=1:scenecut=0:open-gop=0:bframes=0:sliced-threads=0:"
                   "annexb=1",
                   0);
    }
}

}  // namespace

bool VideoEncoder::Open(const VideoEncoderSettings& s, std::string* error) {
    const bool hevc = s.codec == VideoCodec::Hevc;
    const char* name = hevc ? "libx265" : "libx264";
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        if (error) *error = std::string("libavcodec has no ") + name + " encoder";
        return false;
    }
    m_codec = s.codec;
    m_context.reset(avcodec_alloc_context3(codec));
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_context || !m_frame || !m_packet) {
        if (error) *error = "out of memory";
        return false;
    }
    AVCodecContext* c = m_context.get();
    c->width = s.width;
    c->height = s.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, s.frameRate};
    c->framerate = AVRational{s.frameRate, 1};
    c->gop_size = s.keyFrameInterval;
    c->keyint_min = s.keyFrameInterval;
    c->max_b_frames = 0;
    c->thread_count = s.threads;
    SetRate(c, s, hevc);
    SetEncoderOptions(c, s, hevc);
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        if (error) *error = std::string("cannot open ") + name + ": " + AvError(rc);
        return false;
    }
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = s.width;
    m_frame->height = s.height;
    rc = av_frame_get_buffer(m_frame.get(), 0);
    if (rc < 0) {
        if (error) *error = "cannot allocate a picture: " + AvError(rc);
        return false;
    }
    m_nextIndex = 0;
    return true;
}

AVFrame* VideoEncoder::Picture() {
    // The encoder may still hold a reference to the last picture.
    if (m_frame && av_frame_make_writable(m_frame.get()) < 0) return nullptr;
    return m_frame.get();
}

bool VideoEncoder::Encode(std::vector<EncodedFrame>& out, std::string* error) {
    m_frame->pts = m_nextIndex++;
    int rc = avcodec_send_frame(m_context.get(), m_frame.get());
    if (rc < 0) {
        if (error) *error = "encoding failed: " + AvError(rc);
        return false;
    }
    return Drain(out, error);
}

bool VideoEncoder::Flush(std::vector<EncodedFrame>& out, std::string* error) {
    int rc = avcodec_send_frame(m_context.get(), nullptr);
    if (rc < 0 && rc != AVERROR_EOF) {
        if (error) *error = "encoding failed: " + AvError(rc);
        return false;
    }
    return Drain(out, error);
}

bool VideoEncoder::Drain(std::vector<EncodedFrame>& out, std::string* error) {
    for (;;) {
        int rc = avcodec_receive_packet(m_context.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) {
            if (error) *error = "encoding failed: " + AvError(rc);
            return false;
        }
        EncodedFrame frame;
        frame.index = m_packet->pts;
        frame.keyFrame = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
        frame.firstNalType =
            NormalizeAccessUnit(m_packet->data, m_packet->size, frame.data, m_codec);
        av_packet_unref(m_packet.get());
        out.push_back(std::move(frame));
    }
}
