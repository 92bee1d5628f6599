#include "media/ClipMuxer.h"

#include <cstdio>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr float kSampleScale = 1.0f / 32768.0f;

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

void ClipMuxer::FormatContextDeleter::operator()(AVFormatContext* c) const {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
}

ClipMuxer::~ClipMuxer() {
    if (!m_finished) Abandon();
}

void ClipMuxer::Abandon() {
    m_format.reset();
    if (!m_tempPath.empty()) std::remove(m_tempPath.c_str());
    m_tempPath.clear();
}

bool ClipMuxer::Open(const std::string& path, const ClipLayout& layout, std::string* error) {
    if (layout.front.frameRate <= 0 || layout.front.width <= 0 || layout.front.height <= 0)
        return Fail(error, "the recording has no front camera picture to export");
    m_path = path;
    m_tempPath = path + ".part";
    const AVOutputFormat* mp4 = av_guess_format("mp4", nullptr, nullptr);
    AVFormatContext* raw = nullptr;
    if (!mp4 || avformat_alloc_output_context2(&raw, mp4, nullptr, m_tempPath.c_str()) < 0)
        return Fail(error, "cannot create an MP4 writer");
    m_format.reset(raw);
    m_packet.reset(av_packet_alloc());
    if (!m_packet) return Fail(error, "out of memory");

    const ClipVideoTrack* tracks[2] = {&layout.front, layout.hasRear ? &layout.rear : nullptr};
    for (int c = 0; c < 2; ++c) {
        if (!tracks[c] || tracks[c]->frameRate <= 0) continue;
        AVStream* st = avformat_new_stream(raw, nullptr);
        if (!st) return Fail(error, "cannot add a video track");
        st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        st->codecpar->codec_id = AV_CODEC_ID_H264;
        st->codecpar->width = tracks[c]->width;
        st->codecpar->height = tracks[c]->height;
        st->time_base = AVRational{1, tracks[c]->frameRate};
        st->avg_frame_rate = AVRational{tracks[c]->frameRate, 1};
        m_video[c] = st;
        m_frameRate[c] = tracks[c]->frameRate;
    }

    if (layout.audioRate > 0) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!aac) return Fail(error, "FFmpeg has no AAC encoder");
        m_aac.reset(avcodec_alloc_context3(aac));
        if (!m_aac) return Fail(error, "out of memory");
        m_aac->sample_fmt = AV_SAMPLE_FMT_FLTP;
        m_aac->sample_rate = layout.audioRate;
        av_channel_layout_default(&m_aac->ch_layout, 1);
        m_aac->bit_rate = kAacBitRate;
        m_aac->time_base = AVRational{1, layout.audioRate};
        if (raw->oformat->flags & AVFMT_GLOBALHEADER) m_aac->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(m_aac.get(), aac, nullptr) < 0)
            return Fail(error, "cannot open the AAC encoder at " +
                                   std::to_string(layout.audioRate) + " Hz");
        m_audio = avformat_new_stream(raw, nullptr);
        if (!m_audio || avcodec_parameters_from_context(m_audio->codecpar, m_aac.get()) < 0)
            return Fail(error, "cannot add the sound track");
        m_audio->time_base = m_aac->time_base;
        m_audioFrame.reset(av_frame_alloc());
        if (!m_audioFrame) return Fail(error, "out of memory");
    }

    if (avio_open(&raw->pb, m_tempPath.c_str(), AVIO_FLAG_WRITE) < 0)
        return Fail(error, "cannot create " + m_tempPath);
    if (avformat_write_header(raw, nullptr) < 0) {
        Abandon();
        return Fail(error, "cannot write the MP4 header");
    }
    m_headerWritten = true;
    return true;
}

bool ClipMuxer::WriteVideo(int camera, const uint8_t* data, size_t size, int64_t frame, bool key) {
    AVStream* st = (camera == 0 || camera == 1) ? m_video[camera] : nullptr;
    if (!st || !m_headerWritten) return false;
    AVPacket* p = m_packet.get();
    if (av_new_packet(p, static_cast<int>(size)) < 0) return false;
    memcpy(p->data, data, size);
    const AVRational frameBase{1, m_frameRate[camera]};
    p->pts = p->dts = av_rescale_q(frame, frameBase, st->time_base);
    p->duration = av_rescale_q(1, frameBase, st->time_base);
    p->stream_index = st->index;
    if (key) p->flags |= AV_PKT_FLAG_KEY;
    const int result = av_interleaved_write_frame(m_format.get(), p);
    av_packet_unref(p);
    return result >= 0;
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
            return false;
        memcpy(f->data[0], m_pending.data(), n * sizeof(float));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(n));
        f->pts = m_audioPts;
        m_audioPts += static_cast<int64_t>(n);
        if (avcodec_send_frame(m_aac.get(), f) < 0) return false;
        if (!Drain()) return false;
    }
    if (flush) {
        if (avcodec_send_frame(m_aac.get(), nullptr) < 0) return false;
        return Drain();
    }
    return true;
}

bool ClipMuxer::Drain() {
    AVPacket* p = m_packet.get();
    for (;;) {
        const int r = avcodec_receive_packet(m_aac.get(), p);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(p, m_aac->time_base, m_audio->time_base);
        p->stream_index = m_audio->index;
        const int w = av_interleaved_write_frame(m_format.get(), p);
        av_packet_unref(p);
        if (w < 0) return false;
    }
}

bool ClipMuxer::Finish(std::string* error) {
    if (!m_headerWritten) return Fail(error, "nothing was written");
    if (m_aac) {
        while (!m_pending.empty())
            if (!EncodeAudioFrame(false)) return Fail(error, "cannot encode the sound");
        if (!EncodeAudioFrame(true)) return Fail(error, "cannot encode the sound");
    }
    if (av_write_trailer(m_format.get()) < 0) return Fail(error, "cannot finish the MP4 file");
    m_format.reset();  // closes the file
    if (std::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        std::remove(m_tempPath.c_str());
        return Fail(error, "cannot move the clip to " + m_path);
    }
    m_tempPath.clear();
    m_finished = true;
    return true;
}
