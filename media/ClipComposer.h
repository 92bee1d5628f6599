#pragma once
// The composed tier of an exported clip: both cameras in one picture, the rear in a corner of
// the front (picture in picture, about a quarter of its width) or beside it at the same
// height, with a caption line burned into the front's bottom edge, encoded to H.264 with
// libx264 and written as one video track beside the AAC sound (see ClipMuxer).
//
// Each front frame is decoded and paired with the rear frame recorded beside it: front frame N
// with rear frame N * rear rate / front rate, both counted from the clip's start. A recording
// may store a frame's rear chunk after its front one, and a decoder with B-frames gives its
// pictures out a few packets late, so decoded front pictures wait (up to a second's worth)
// until their rear picture or a later one has come; a front with no rear picture at or before
// its moment shows the last one, or black before the rear's first. The pair is captioned and
// composed through a libavfilter graph
// (scale, overlay or hstack, drawtext), then encoded. The caption text of a frame travels as
// the frame's metadata, which drawtext expands, so a changing caption never rebuilds a filter.
// The graph is built at the first decoded front frame, when the decoder's pixel format is
// known.
//
// Damaged video that the decoder rejects is skipped; only encoder and file errors fail.
//
// Threads: one caller at a time (the exporter's thread).

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "media/ClipMuxer.h"
#include "media/FFmpegPtr.h"
#include "media/VClipSink.h"

enum class ClipCompose { None, PictureInPicture, SideBySide };

struct ClipComposeOptions {
    ClipCompose mode = ClipCompose::PictureInPicture;
    // The caption of the frame shown at clipMs from the clip's start; empty: no caption.
    std::function<std::string(int64_t clipMs)> caption;
    std::string fontPath;  // empty: the first installed of a few common fonts
    // Called with each decoded camera picture (camera 0 front, 1 rear; frame counted from the
    // clip's start at that camera's rate) before it is composed, so that what it draws stays
    // under the caption; false fails the clip rather than let the picture through unchanged.
    std::function<bool(int camera, int64_t clipFrame, AVFrame* picture)> retouch;
    std::string preset = "veryfast";
    int crf = 23;
};

class ClipComposer : public VClipSink {
public:
    ClipComposer() = default;
    ~ClipComposer() override;
    ClipComposer(const ClipComposer&) = delete;
    ClipComposer& operator=(const ClipComposer&) = delete;

    // The composed picture's size for a layout (even, as the encoder needs).
    static void ComposedSize(const ClipLayout& layout, ClipCompose mode, int* width, int* height);
    // Why a layout cannot be composed, in a sentence naming the camera and its size; empty
    // when it can. The composed picture's sizes are bounded so that an odd recording neither
    // takes gigabytes nor reaches the encoder with a size it refuses; the lossless clip takes
    // every size.
    static std::string CannotCompose(const ClipLayout& layout, ClipCompose mode);
    // The caption font used when the options name none; empty when none is installed.
    static std::string DefaultFont();

    // layout: the recordings' cameras and sound; path and name as for ClipMuxer::Open.
    bool Open(const std::string& path, const std::string& name, const ClipLayout& layout,
              const ClipComposeOptions& options, std::string* error);
    bool WriteVideo(int camera, const uint8_t* data, size_t size, int64_t frame, bool key) override;
    bool WriteAudio(const int16_t* samples, size_t count) override;
    bool Finish(std::string* error) override;
    const std::string& Error() const override { return m_error; }
    // Composed pictures given to the encoder, each one packet of the file.
    int64_t Encoded() const { return m_encoded; }

private:
    bool OpenEncoder();
    bool BuildGraph(const AVFrame* front);
    // The front's fitting and caption, then the rear's scaling and its place; each moves
    // *tail on to its last filter.
    bool AddFrontFilters(const AVFrame* front, AVFilterContext** tail);
    bool AddRearFilters(const AVFrame* front, AVFilterContext** tail);
    bool Decoded(int camera, AVFrame* picture);
    bool ComposeReady(bool ending);
    const AVFrame* RearFor(int64_t frontFrame);
    bool Compose(AVFrame* front, const AVFrame* rear);
    bool BlackRear(AVFrame* rear);
    bool Pull(bool flush);
    bool Encode(const AVFrame* picture);
    bool Failed(const std::string& what, int code);

    ClipLayout m_layout;
    ClipComposeOptions m_options;
    int m_width = 0, m_height = 0;  // composed picture
    ClipMuxer m_muxer;
    AVCodecContextPtr m_decoder[2];
    AVCodecContextPtr m_encoder;
    AVFilterGraphPtr m_graph;
    AVFilterContext* m_frontIn = nullptr;  // owned by m_graph
    AVFilterContext* m_rearIn = nullptr;
    AVFilterContext* m_out = nullptr;
    AVFramePtr m_decoded, m_rear, m_filtered;  // m_rear: the rear picture shown last
    std::deque<AVFramePtr> m_fronts;           // decoded, waiting for their rear picture
    std::map<int64_t, AVFramePtr> m_rears;     // decoded, by frame number
    AVPacketPtr m_packet;
    int64_t m_encoded = 0;  // frames given to the encoder
    std::string m_error;
};
