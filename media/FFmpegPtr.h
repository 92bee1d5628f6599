#pragma once
// Owning handles for the FFmpeg objects of the engine. Every FFmpeg object lives in one of
// these, so no code path frees one by hand.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

struct AVCodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct AVFrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct AVPacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using AVCodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextDeleter>;
using AVFramePtr = std::unique_ptr<AVFrame, AVFrameDeleter>;
using AVPacketPtr = std::unique_ptr<AVPacket, AVPacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;

extern "C" {
#include <libavfilter/avfilter.h>
}

struct AVFilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
using AVFilterGraphPtr = std::unique_ptr<AVFilterGraph, AVFilterGraphDeleter>;

extern "C" {
#include <libavformat/avformat.h>
}

// A file opened for reading by avformat_open_input.
struct AVInputDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using AVInputPtr = std::unique_ptr<AVFormatContext, AVInputDeleter>;
// A file being written: its I/O context is closed with it.
struct AVOutputDeleter {
    void operator()(AVFormatContext* context) const {
        if (context->pb && !(context->oformat->flags & AVFMT_NOFILE)) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
using AVOutputPtr = std::unique_ptr<AVFormatContext, AVOutputDeleter>;
