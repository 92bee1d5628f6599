#include "media/ClipMuxer.h"

#include <cstdio>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr float kSampleScale = 1.0f / 32768.0f;
// The titles are English words, so the tracks say so.
constexpr const char* kTrackLanguage = "eng";

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::string AvCause(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

void ClipMuxer::FormatContextDeleter::operator()(AVFormatContext* c) const {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
}

ClipMuxer::~ClipMuxer() = default;

bool ClipMuxer::WriteFailed(int code) {
    m_error = "cannot write " + m_name + ": " + AvCause(code);
    return false;
}

bool ClipMuxer::EncoderFailed(int code) {
    m_error = "the AAC encoder failed: " + AvCause(code);
    return false;
}

// A track per camera with a picture, the front one the default.
bool ClipMuxer::AddVideoTracks(const ClipLayout& layout, std::string* error) {
    const ClipVideoTrack* tracks[2] = {&layout.front, layout.hasRear ? &layout.rear : nullptr};
    for (int c = 0; c < 2; ++c) {
        if (!tracks[c] || tracks[c]->frameRate <= 0) continue;
        if (AvCodecId(tracks[c]->codec) == AV_CODEC_ID_NONE)
            return Fail(error, "the recording's video is in a codec the clip cannot carry");
        AVStream* st = avformat_new_stream(m_format.get(), nullptr);
        if (!st) return Fail(error, "cannot add a video track");
        st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        st->codecpar->codec_id = AvCodecId(tracks[c]->codec);
        st->codecpar->codec_tag = Mp4CodecTag(tracks[c]->codec);
        st->codecpar->width = tracks[c]->width;
        st->codecpar->height = tracks[c]->height;
        st->time_base = AVRational{1, tracks[c]->frameRate};
        st->avg_frame_rate = AVRational{tracks[c]->frameRate, 1};
        if (!tracks[c]->title.empty()) {
            av_dict_set(&st->metadata, "title", tracks[c]->title.c_str(), 0);
            av_dict_set(&st->metadata, "handler_name", tracks[c]->title.c_str(), 0);
            av_dict_set(&st->metadata, "language", kTrackLanguage, 0);
        }
        st->disposition = c == 0 ? AV_DISPOSITION_DEFAULT : 0;
        m_video[c] = st;
        m_frameRate[c] = tracks[c]->frameRate;
    }
    return true;
}

// The sound as mono AAC at the recording's rate; nothing without sound (rate 0).
bool ClipMuxer::AddSoundTrack(int rate, std::string* error) {
    if (rate <= 0) return true;
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac) return Fail(error, "FFmpeg has no AAC encoder");
    m_aac.reset(avcodec_alloc_context3(aac));
    if (!m_aac) return Fail(error, "out of memory");
    m_aac->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_aac->sample_rate = rate;
    av_channel_layout_default(&m_aac->ch_layout, 1);
    m_aac->bit_rate = kAacBitRate;
    m_aac->time_base = AVRational{1, rate};
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        m_aac->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m_aac.get(), aac, nullptr) < 0)
        return Fail(error, "cannot open the AAC encoder at " + std::to_string(rate) + " Hz");
    m_audio = avformat_new_stream(m_format.get(), nullptr);
    if (!m_audio || avcodec_parameters_from_context(m_audio->codecpar, m_aac.get()) < 0)
        return Fail(error, "cannot add the sound track");
    m_audio->time_base = m_aac->time_base;
    m_audioFrame.reset(av_frame_alloc());
    if (!m_audioFrame) return Fail(error, "out of memory");
    return true;
}

bool ClipMuxer::Open(const std::string& path, const std::string& name, const ClipLayout& layout,
                     std::string* error) {
    if (layout.front.frameRate <= 0 || layout.front.width <= 0 || layout.front.height <= 0)
        return Fail(error, "the recording has no front camera picture to export");
    m_name = name;
    const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
    AVFormatContext* raw = nullptr;
    if (!mp4 || avformat_alloc_output_context2(&raw, mp4, nullptr, nullptr) < 0)
        return Fail(error, "cannot create an MP4 writer");
    m_format.reset(raw);
    m_packet.reset(av_packet_alloc());
    if (!m_packet) return Fail(error, "out of memory");

    if (!AddVideoTracks(layout, error) || !AddSoundTrack(layout.audioRate, error)) return false;

    if (!layout.creationTime.empty() &&
        av_dict_set(&raw->metadata, "creation_time", layout.creationTime.c_str(), 0) < 0)
        return Fail(error, "out of memory");
    // "file:" keeps a name with a colon from being taken for another protocol.
    int r = avio_open(&raw->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE);
    if (r >= 0) r = avformat_write_header(raw, nullptr);
    if (r < 0) return WriteFailed(r) || Fail(error, m_error);
    m_headerWritten = true;
    return true;
}

bool ClipMuxer::WriteVideo(int camera, const uint8_t* data, size_t size, int64_t frame, bool key) {
    return WriteCoded(camera, data, size, frame, frame, key);
}

bool ClipMuxer::WriteCoded(int camera, const uint8_t* data, size_t size, int64_t pts, int64_t dts,
                           bool key) {
    AVStream* st = (camera == 0 || camera == 1) ? m_video[camera] : nullptr;
    if (!st || !m_headerWritten) return Fail(&m_error, "no such video track in " + m_name);
    AVPacket* p = m_packet.get();
    if (av_new_packet(p, static_cast<int>(size)) < 0) return Fail(&m_error, "out of memory");
    memcpy(p->data, data, size);
    const AVRational frameBase{1, m_frameRate[camera]};
    p->pts = av_rescale_q(pts, frameBase, st->time_base);
    p->dts = av_rescale_q(dts, frameBase, st->time_base);
    p->duration = av_rescale_q(1, frameBase, st->time_base);
    p->stream_index = st->index;
    if (key) p->flags |= AV_PKT_FLAG_KEY;
    const int result = av_interleaved_write_frame(m_format.get(), p);
    av_packet_unref(p);
    return result >= 0 || WriteFailed(result);
}

bool ClipMuxer::WriteAudio(const int16_t* samples, size_t count) {
    if (!m_aac) return true;
    for (size_t i = 0; i < count; ++i) m_pending.push_back(samples[i] * kSampleScale);
    while (m_pending.size() >= static_cast<size_t>(m_aac->frame_size))
        if (!EncodeAudioFrame(false)) return false;
    return true;
}

bool ClipMuxer::EncodeAudioFrame(bool flush) {
    const size_t n = std::min(m_pending.size(), static_cast<size_t>(m_aac->frame_size));
    if (n > 0) {
        AVFrame* f = m_audioFrame.get();
        av_frame_unref(f);
        f->format = AV_SAMPLE_FMT_FLTP;
        f->sample_rate = m_aac->sample_rate;
        f->nb_samples = static_cast<int>(n);
        if (av_channel_layout_copy(&f->ch_layout, &m_aac->ch_layout) < 0 ||
            av_frame_get_buffer(f, 0) < 0)
            return Fail(&m_error, "out of memory");
        memcpy(f->data[0], m_pending.data(), n * sizeof(float));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(n));
        f->pts = m_audioPts;
        m_audioPts += static_cast<int64_t>(n);
        const int r = avcodec_send_frame(m_aac.get(), f);
        if (r < 0) return EncoderFailed(r);
        if (!Drain()) return false;
    }
    if (flush) {
        const int r = avcodec_send_frame(m_aac.get(), nullptr);
        if (r < 0) return EncoderFailed(r);
        return Drain();
    }
    return true;
}

bool ClipMuxer::Drain() {
    AVPacket* p = m_packet.get();
    for (;;) {
        const int r = avcodec_receive_packet(m_aac.get(), p);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return EncoderFailed(r);
        av_packet_rescale_ts(p, m_aac->time_base, m_audio->time_base);
        p->stream_index = m_audio->index;
        const int w = av_interleaved_write_frame(m_format.get(), p);
        av_packet_unref(p);
        if (w < 0) return WriteFailed(w);
    }
}

bool ClipMuxer::Finish(std::string* error) {
    if (!m_headerWritten) return Fail(error, "nothing was written to " + m_name);
    if (m_aac) {
        while (!m_pending.empty())
            if (!EncodeAudioFrame(false)) return Fail(error, m_error);
        if (!EncodeAudioFrame(true)) return Fail(error, m_error);
    }
    int r = av_write_trailer(m_format.get());
    // Closing flushes what is still buffered: its failure is a write error too.
    const int closed = avio_closep(&m_format->pb);
    m_format.reset();
    if (r >= 0) r = closed;
    if (r < 0) return WriteFailed(r) || Fail(error, m_error);
    return true;
}
