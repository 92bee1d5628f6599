#pragma once
// Small H.264 streams for the decoder tests, encoded with libx264 through libavcodec: every
// frame is one flat grey level, or split into a dark left and a bright right half, so a test
// can tell frames and orientation apart after scaling.

#include <cstdint>
#include <cstring>
#include <vector>

#include "media/FFmpegPtr.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

struct TestPacket {
    std::vector<uint8_t> bytes;
    bool key = false;
};

enum class TestPicture { Flat, SplitDarkLeft };

// Encodes count frames of width x height; frame i has luma lumaOf(i). Every gop-th frame is a
// key frame. Returns nothing when libx264 is missing.
inline std::vector<TestPacket> EncodeTestStream(int width, int height, int count, int gop,
                                                int (*lumaOf)(int),
                                                TestPicture picture = TestPicture::Flat) {
    std::vector<TestPacket> packets;
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return packets;
    AVCodecContextPtr context(avcodec_alloc_context3(codec));
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = {1, 30};
    context->gop_size = gop;
    context->max_b_frames = 0;
    av_opt_set(context->priv_data, "preset", "ultrafast", 0);
    av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    av_opt_set(context->priv_data, "x264-params", "keyint_min=1:scenecut=0", 0);
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return packets;

    AVFramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame.get(), 0);
    AVPacketPtr packet(av_packet_alloc());
    auto drain = [&] {
        while (avcodec_receive_packet(context.get(), packet.get()) >= 0) {
            packets.push_back({std::vector<uint8_t>(packet->data, packet->data + packet->size),
                               (packet->flags & AV_PKT_FLAG_KEY) != 0});
            av_packet_unref(packet.get());
        }
    };
    for (int i = 0; i < count; ++i) {
        av_frame_make_writable(frame.get());
        const int luma = lumaOf(i);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = frame->data[0] + y * frame->linesize[0];
            if (picture == TestPicture::Flat) {
                std::memset(row, luma, width);
            } else {
                std::memset(row, 30, width / 2);
                std::memset(row + width / 2, 220, width - width / 2);
            }
        }
        for (int p = 1; p < 3; ++p) {
            for (int y = 0; y < height / 2; ++y) {
                std::memset(frame->data[p] + y * frame->linesize[p], 128, width / 2);
            }
        }
        frame->pts = i;
        frame->pict_type = (i % gop == 0) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        avcodec_send_frame(context.get(), frame.get());
        drain();
    }
    avcodec_send_frame(context.get(), nullptr);
    drain();
    return packets;
}
