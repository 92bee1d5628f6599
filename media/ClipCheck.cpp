#include "media/ClipCheck.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/FFmpegPtr.h"

namespace {

// A clip's first packets lie near its start; a file whose first picture of a track needs
// more reading than this is broken.
constexpr int kMaxPacketsRead = 4096;
constexpr auto kReadBackLimit = std::chrono::seconds(10);

struct InputDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;

// Sends one packet (or none: the end) and takes whatever picture comes out of the flush.
bool DecodesToPicture(AVCodecContext* decoder, const AVPacket* packet) {
    if (avcodec_send_packet(decoder, packet) < 0) return false;
    if (avcodec_send_packet(decoder, nullptr) < 0) return false;
    AVFramePtr frame(av_frame_alloc());
    if (!frame) return false;
    const int r = avcodec_receive_frame(decoder, frame.get());
    return r >= 0 && frame->width > 0 && frame->height > 0;
}

AVCodecContextPtr OpenStrictDecoder(AVCodecID id, const AVCodecParameters* parameters) {
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec) return nullptr;
    AVCodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder) return nullptr;
    if (parameters && avcodec_parameters_to_context(decoder.get(), parameters) < 0) return nullptr;
    decoder->thread_count = 1;
    // Any damage the decoder notices counts: a picture concealed over an error is no proof.
    decoder->err_recognition = AV_EF_EXPLODE | AV_EF_CRCCHECK | AV_EF_BITSTREAM;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return nullptr;
    return decoder;
}

bool Refuse(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

bool KeyFrameDecodesAlone(VideoCodec codec, const uint8_t* data, size_t size) {
    if (!data || size == 0 || !IsVideoKeyFrame(codec, data, size)) return false;
    AVCodecContextPtr decoder = OpenStrictDecoder(AvCodecId(codec), nullptr);
    AVPacketPtr packet(av_packet_alloc());
    if (!decoder || !packet || av_new_packet(packet.get(), static_cast<int>(size)) < 0)
        return false;
    std::memcpy(packet->data, data, size);
    return DecodesToPicture(decoder.get(), packet.get());
}

bool ClipReadsBack(const std::string& path, const std::string& name, int videoTracks,
                   std::string* error) {
    const std::string unreadable = name + " was written but cannot be read back";
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return Refuse(error, "out of memory");
    auto deadline = std::chrono::steady_clock::now() + kReadBackLimit;
    raw->interrupt_callback.callback = [](void* opaque) {
        return std::chrono::steady_clock::now() >
                       *static_cast<std::chrono::steady_clock::time_point*>(opaque)
                   ? 1
                   : 0;
    };
    raw->interrupt_callback.opaque = &deadline;
    if (avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return Refuse(error, unreadable + " as an MP4");
    InputPtr input(raw);
    std::vector<AVCodecContextPtr> decoders(input->nb_streams);
    size_t waiting = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* p = input->streams[i]->codecpar;
        if (p->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (p->width <= 0 || p->height <= 0 || p->extradata_size <= 0)
            return Refuse(error,
                          unreadable + ": a video track has no picture size or parameter sets");
        decoders[i] = OpenStrictDecoder(p->codec_id, p);
        if (!decoders[i]) return Refuse(error, unreadable + ": a video track cannot be decoded");
        ++waiting;
    }
    if (waiting != static_cast<size_t>(videoTracks))
        return Refuse(error, unreadable + ": a reader finds " + std::to_string(waiting) +
                                 " of its " + std::to_string(videoTracks) + " video tracks");
    AVPacketPtr packet(av_packet_alloc());
    if (!packet) return Refuse(error, "out of memory");
    for (int n = 0; waiting > 0 && n < kMaxPacketsRead; ++n) {
        if (av_read_frame(input.get(), packet.get()) < 0) break;
        const int s = packet->stream_index;
        if (s >= 0 && static_cast<size_t>(s) < decoders.size() && decoders[s]) {
            if (!DecodesToPicture(decoders[s].get(), packet.get()))
                return Refuse(error,
                              unreadable + ": the first picture of a video track is damaged");
            decoders[s].reset();
            --waiting;
        }
        av_packet_unref(packet.get());
    }
    if (waiting > 0) return Refuse(error, unreadable + ": a video track holds no picture");
    return true;
}

bool ClipVideoPackets(const std::string& path, const std::string& name,
                      std::vector<int64_t>* packets, std::string* error) {
    packets->clear();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return Refuse(error, name + " does not read as an MP4");
    InputPtr input(raw);
    std::vector<int> track(input->nb_streams, -1);
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            track[i] = static_cast<int>(packets->size());
            packets->push_back(0);
        }
    AVPacketPtr packet(av_packet_alloc());
    if (!packet) return Refuse(error, "out of memory");
    int r;
    while ((r = av_read_frame(input.get(), packet.get())) >= 0) {
        const int s = packet->stream_index;
        if (s >= 0 && static_cast<size_t>(s) < track.size() && track[s] >= 0)
            ++(*packets)[static_cast<size_t>(track[s])];
        av_packet_unref(packet.get());
    }
    if (r != AVERROR_EOF) return Refuse(error, name + " cannot be read to its end");
    return true;
}
