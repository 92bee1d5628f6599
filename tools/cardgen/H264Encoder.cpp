#include "tools/cardgen/H264Encoder.h"

#include <cstring>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

namespace {

constexpr int kNalSei = 6;
constexpr int kNalAccessUnitDelimiter = 9;

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

int NormalizeAccessUnit(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(size + 16);
    int firstType = -1;
    for (const auto& [offset, length] : SplitAnnexB(data, size)) {
        const int type = data[offset] & 0x1F;
        if (type == kNalSei || type == kNalAccessUnitDelimiter) continue;
        if (firstType < 0) firstType = type;
        static const uint8_t kStartCode[4] = {0, 0, 0, 1};
        out.insert(out.end(), kStartCode, kStartCode + 4);
        out.insert(out.end(), data + offset, data + offset + length);
    }
    return firstType;
}

bool H264Encoder::Open(const H264EncoderSettings& s, std::string* error) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        if (error) *error = "libavcodec has no libx264 encoder";
        return false;
    }
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
    // No global header: SPS and PPS travel in the stream, in front of every IDR frame.
    av_opt_set(c->priv_data, "preset", "ultrafast", 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    if (s.bitRateKbps > 0) {
        // A camera's encoder spends its bit rate whatever the picture, like a constant rate;
        // x264 may otherwise keep a simple picture far below it.
        c->bit_rate = static_cast<int64_t>(s.bitRateKbps) * 1000;
        c->rc_max_rate = c->bit_rate;
        c->rc_min_rate = c->bit_rate;
        c->rc_buffer_size = static_cast<int>(c->bit_rate);
        c->qmin = 0;
        av_opt_set(c->priv_data, "nal-hrd", "cbr", 0);
    } else {
        av_opt_set_int(c->priv_data, "crf", s.crf, 0);
    }
    av_opt_set(c->priv_data, "x264-params",
               "log=-1:repeat-headers=1:scenecut=0:open-gop=0:bframes=0:sliced-threads=0:annexb=1",
               0);
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        if (error) *error = "cannot open libx264: " + AvError(rc);
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

AVFrame* H264Encoder::Picture() {
    // The encoder may still hold a reference to the last picture.
    if (m_frame && av_frame_make_writable(m_frame.get()) < 0) return nullptr;
    return m_frame.get();
}

bool H264Encoder::Encode(std::vector<EncodedFrame>& out, std::string* error) {
    m_frame->pts = m_nextIndex++;
    int rc = avcodec_send_frame(m_context.get(), m_frame.get());
    if (rc < 0) {
        if (error) *error = "encoding failed: " + AvError(rc);
        return false;
    }
    return Drain(out, error);
}

bool H264Encoder::Flush(std::vector<EncodedFrame>& out, std::string* error) {
    int rc = avcodec_send_frame(m_context.get(), nullptr);
    if (rc < 0 && rc != AVERROR_EOF) {
        if (error) *error = "encoding failed: " + AvError(rc);
        return false;
    }
    return Drain(out, error);
}

bool H264Encoder::Drain(std::vector<EncodedFrame>& out, std::string* error) {
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
        frame.firstNalType = NormalizeAccessUnit(m_packet->data, m_packet->size, frame.data);
        av_packet_unref(m_packet.get());
        out.push_back(std::move(frame));
    }
}
