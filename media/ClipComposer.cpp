#include "media/ClipComposer.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <utility>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

namespace {

// The rear picture in picture takes about a quarter of the front's width.
constexpr int kPipWidthDivisor = 4;
// Caption height and the margins scale with the front picture: a 1080-line picture gets a
// 36-pixel line.
constexpr int kCaptionLinesPerPicture = 30;
constexpr int kMinCaptionPixels = 10;
constexpr const char* kCaptionKey = "tarvex_caption";
constexpr const char* kCaptionFonts[] = {
    "/usr/share/fonts/truetype/noto/NotoSans-Bold.ttf",
    "/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

// Bounds of a picture the composed clip takes (each side, in pixels) and of its shape: a
// camera's picture is about 16:9 or 4:3, never a strip.
constexpr int kMinComposedSide = 64;
constexpr int kMinRearSide = 16;
constexpr int kMaxComposedSide = 4096;
constexpr int kMaxAspect = 4;  // width at most 4 heights, height at most 4 widths
// Front pictures held while their rear picture has not come, in seconds of video: a rear
// stream that stops or is damaged must not hold the whole clip in memory.
constexpr int kMaxHeldSeconds = 1;

using Options = std::initializer_list<std::pair<const char*, std::string>>;

int Even(int v) {
    return v & ~1;
}

int CaptionPixels(int frontHeight) {
    return std::max(kMinCaptionPixels, frontHeight / kCaptionLinesPerPicture);
}

std::string AvCause(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// A filter of the graph with its options set one by one, so that no text needs the filter
// description's escaping; args (a buffer's description) goes to the filter's own parser.
AVFilterContext* AddFilter(AVFilterGraph* graph, const char* filter, const char* name,
                           Options options, const std::string& args = {}) {
    const AVFilter* f = avfilter_get_by_name(filter);
    if (!f) return nullptr;
    AVFilterContext* c = avfilter_graph_alloc_filter(graph, f, name);
    if (!c) return nullptr;
    for (const auto& [key, value] : options)
        if (av_opt_set(c, key, value.c_str(), AV_OPT_SEARCH_CHILDREN) < 0) return nullptr;
    return avfilter_init_str(c, args.empty() ? nullptr : args.c_str()) < 0 ? nullptr : c;
}

std::string BufferArgs(const AVFrame* f, int rate) {
    return "video_size=" + std::to_string(f->width) + "x" + std::to_string(f->height) +
           ":pix_fmt=" + std::to_string(f->format) + ":time_base=1/" + std::to_string(rate) +
           ":pixel_aspect=1/1";
}

bool Link(AVFilterContext* a, AVFilterContext* b, unsigned pad = 0) {
    return a && b && avfilter_link(a, 0, b, pad) >= 0;
}

}  // namespace

ClipComposer::~ClipComposer() = default;

std::string ClipComposer::DefaultFont() {
    std::error_code ec;
    for (const char* path : kCaptionFonts)
        if (std::filesystem::exists(path, ec)) return path;
    return {};
}

void ClipComposer::ComposedSize(const ClipLayout& layout, ClipCompose mode, int* width,
                                int* height) {
    *width = Even(layout.front.width);
    *height = Even(layout.front.height);
    const bool rear = layout.hasRear && layout.rear.width > 0 && layout.rear.height > 0;
    if (mode == ClipCompose::SideBySide && rear)
        *width += Even(layout.rear.width * layout.front.height / layout.rear.height);
}

namespace {

std::string PictureProblem(const ClipVideoTrack& t, const char* camera, int minSide) {
    const std::string size = std::to_string(t.width) + "x" + std::to_string(t.height);
    if (t.width < minSide || t.height < minSide || t.width > kMaxComposedSide ||
        t.height > kMaxComposedSide)
        return std::string("the ") + camera + " camera's picture is " + size +
               " pixels, and a composed clip takes sides of " + std::to_string(minSide) + " to " +
               std::to_string(kMaxComposedSide) + " pixels";
    if (int64_t{t.width} > int64_t{kMaxAspect} * t.height ||
        int64_t{t.height} > int64_t{kMaxAspect} * t.width)
        return std::string("the ") + camera + " camera's picture is " + size +
               " pixels, too narrow a strip to compose";
    return {};
}

}  // namespace

std::string ClipComposer::CannotCompose(const ClipLayout& layout, ClipCompose mode) {
    std::string why = PictureProblem(layout.front, "front", kMinComposedSide);
    const bool rear = layout.hasRear && layout.rear.frameRate > 0;
    if (why.empty() && rear) why = PictureProblem(layout.rear, "rear", kMinRearSide);
    if (why.empty() && rear && mode == ClipCompose::SideBySide) {
        int width = 0, height = 0;
        ComposedSize(layout, mode, &width, &height);
        if (width > 2 * kMaxComposedSide)
            why = "the rear camera's picture beside the front would make the clip " +
                  std::to_string(width) + " pixels wide";
    }
    return why.empty() ? why
                       : "this recording cannot be composed: " + why +
                             " (the lossless clip keeps every size)";
}

bool ClipComposer::Failed(const std::string& what, int code) {
    m_error = what + ": " + AvCause(code);
    return false;
}

bool ClipComposer::Open(const std::string& path, const std::string& name, const ClipLayout& layout,
                        const ClipComposeOptions& options, std::string* error) {
    m_layout = layout;
    m_options = options;
    if (m_options.fontPath.empty()) m_options.fontPath = DefaultFont();
    if (const std::string why = CannotCompose(layout, options.mode); !why.empty()) {
        if (error) *error = why;
        return false;
    }
    if (m_options.caption && m_options.fontPath.empty()) {
        if (error) *error = "no font for the caption is installed (fonts-noto-core)";
        return false;
    }
    ComposedSize(layout, options.mode, &m_width, &m_height);
    m_decoded.reset(av_frame_alloc());
    m_rear.reset(av_frame_alloc());
    m_filtered.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_decoded || !m_rear || !m_filtered || !m_packet) {
        if (error) *error = "out of memory";
        return false;
    }
    for (int c = 0; c < (layout.hasRear ? 2 : 1); ++c) {
        // Each camera is decoded with its own stream's codec (H.264 or H.265).
        const VideoCodec codec = c == 0 ? layout.front.codec : layout.rear.codec;
        const AVCodec* decoder = avcodec_find_decoder(AvCodecId(codec));
        m_decoder[c].reset(decoder ? avcodec_alloc_context3(decoder) : nullptr);
        // One thread: x264 keeps the other core busy already, and pictures are paired by
        // their numbers, not by when they come out.
        if (m_decoder[c]) m_decoder[c]->thread_count = 1;
        if (!m_decoder[c] || avcodec_open2(m_decoder[c].get(), decoder, nullptr) < 0) {
            if (error)
                *error = std::string("cannot open the ") + VideoCodecName(codec) +
                         " decoder for the " + (c == 0 ? "front" : "rear") + " camera";
            return false;
        }
    }
    if (!OpenEncoder()) {
        if (error) *error = m_error;
        return false;
    }
    ClipLayout out;
    out.front = {m_width, m_height, layout.front.frameRate, "Front and rear cameras"};
    out.audioRate = layout.audioRate;
    out.creationTime = layout.creationTime;
    return m_muxer.Open(path, name, out, error);
}

bool ClipComposer::OpenEncoder() {
    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    if (!x264) return m_error = "FFmpeg has no libx264 encoder", false;
    m_encoder.reset(avcodec_alloc_context3(x264));
    if (!m_encoder) return m_error = "out of memory", false;
    m_encoder->width = m_width;
    m_encoder->height = m_height;
    m_encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    m_encoder->time_base = AVRational{1, m_layout.front.frameRate};
    m_encoder->framerate = AVRational{m_layout.front.frameRate, 1};
    m_encoder->sample_aspect_ratio = AVRational{1, 1};
    av_opt_set(m_encoder->priv_data, "preset", m_options.preset.c_str(), 0);
    av_opt_set(m_encoder->priv_data, "crf", std::to_string(m_options.crf).c_str(), 0);
    // Without a global header x264 repeats the parameter sets before every key frame, the
    // form the MP4 writer already takes from the recordings.
    const int r = avcodec_open2(m_encoder.get(), x264, nullptr);
    return r >= 0 || Failed("cannot open the libx264 encoder", r);
}

bool ClipComposer::BuildGraph(const AVFrame* front) {
    m_graph.reset(avfilter_graph_alloc());
    AVFilterGraph* g = m_graph.get();
    if (!g) return m_error = "out of memory", false;
    // The filters run on this thread: x264 keeps the other core busy already, and the filters'
    // slice threads pass pooled frame buffers through atomics that ThreadSanitizer cannot see,
    // so the sanitizer runs would report FFmpeg's own hand-overs as races.
    g->nb_threads = 1;
    m_frontIn = AddFilter(g, "buffer", "front", {}, BufferArgs(front, m_layout.front.frameRate));
    AVFilterContext* tail = m_frontIn;
    if (!AddFrontFilters(front, &tail)) return false;
    if (m_layout.hasRear && !AddRearFilters(front, &tail)) return false;
    AVFilterContext* format = AddFilter(g, "format", "out_format", {{"pix_fmts", "yuv420p"}});
    m_out = AddFilter(g, "buffersink", "out", {});
    if (!Link(tail, format) || !Link(format, m_out))
        return m_error = "cannot set up the picture composition", false;
    const int r = avfilter_graph_config(g, nullptr);
    return r >= 0 || Failed("cannot set up the picture composition", r);
}

bool ClipComposer::AddFrontFilters(const AVFrame* front, AVFilterContext** tail) {
    AVFilterGraph* g = m_graph.get();
    // The encoder was opened for the header's sizes, made even for 4:2:0; a decoded picture
    // of another size (an odd side, or a header that says otherwise) is scaled to them.
    const int frontW = Even(m_layout.front.width), frontH = Even(m_layout.front.height);
    if (front->width != frontW || front->height != frontH) {
        AVFilterContext* fit = AddFilter(
            g, "scale", "front_fit",
            {{"w", std::to_string(frontW)}, {"h", std::to_string(frontH)}, {"flags", "bilinear"}});
        if (!Link(*tail, fit)) return m_error = "cannot set up the picture composition", false;
        *tail = fit;
    }
    if (!m_options.caption) return true;
    const int size = CaptionPixels(frontH);
    AVFilterContext* text = AddFilter(g, "drawtext", "caption",
                                      {{"fontfile", m_options.fontPath},
                                       {"text", std::string("%{metadata:") + kCaptionKey + "}"},
                                       {"fontsize", std::to_string(size)},
                                       {"fontcolor", "white"},
                                       {"box", "1"},
                                       {"boxcolor", "black@0.6"},
                                       {"boxborderw", std::to_string(size / 4)},
                                       {"x", std::to_string(size / 2)},
                                       {"y", std::to_string(frontH - size - size / 2)}});
    if (!Link(*tail, text)) return m_error = "cannot set up the caption", false;
    *tail = text;
    return true;
}

bool ClipComposer::AddRearFilters(const AVFrame* front, AVFilterContext** tail) {
    AVFilterGraph* g = m_graph.get();
    const int frontW = Even(m_layout.front.width), frontH = Even(m_layout.front.height);
    int w = Even(m_layout.rear.width * frontH / std::max(1, m_layout.rear.height));
    int h = frontH;
    if (m_options.mode == ClipCompose::PictureInPicture) {
        w = Even(frontW / kPipWidthDivisor);
        h = Even(w * m_layout.rear.height / std::max(1, m_layout.rear.width));
    }
    AVFrame rearShape = *front;
    rearShape.width = m_layout.rear.width;
    rearShape.height = m_layout.rear.height;
    m_rearIn = AddFilter(g, "buffer", "rear", {}, BufferArgs(&rearShape, m_layout.front.frameRate));
    AVFilterContext* scale =
        AddFilter(g, "scale", "rear_scale",
                  {{"w", std::to_string(w)}, {"h", std::to_string(h)}, {"flags", "bilinear"}});
    AVFilterContext* rearFormat = AddFilter(g, "format", "rear_format", {{"pix_fmts", "yuv420p"}});
    AVFilterContext* frontFormat =
        AddFilter(g, "format", "front_format", {{"pix_fmts", "yuv420p"}});
    // Above the caption line, in the bottom right corner: the front's frame pattern and the
    // caption stay uncovered.
    const int margin = CaptionPixels(frontH) / 2;
    const int bottom = frontH - h - 3 * margin - CaptionPixels(frontH);
    AVFilterContext* mix = m_options.mode == ClipCompose::PictureInPicture
                               ? AddFilter(g, "overlay", "pip",
                                           {{"x", std::to_string(frontW - w - margin)},
                                            {"y", std::to_string(std::max(0, bottom))},
                                            {"eof_action", "pass"}})
                               : AddFilter(g, "hstack", "side", {{"inputs", "2"}});
    if (!Link(m_rearIn, scale) || !Link(scale, rearFormat) || !Link(*tail, frontFormat) ||
        !Link(frontFormat, mix, 0) || !Link(rearFormat, mix, 1))
        return m_error = "cannot set up the picture composition", false;
    *tail = mix;
    return true;
}

bool ClipComposer::WriteVideo(int camera, const uint8_t* data, size_t size, int64_t frame, bool) {
    AVCodecContext* decoder = (camera == 0 || camera == 1) ? m_decoder[camera].get() : nullptr;
    if (!decoder) return true;  // a rear packet without a rear layout
    AVPacket* p = m_packet.get();
    if (av_new_packet(p, static_cast<int>(size)) < 0) return m_error = "out of memory", false;
    memcpy(p->data, data, size);
    p->pts = p->dts = frame;
    const int sent = avcodec_send_packet(decoder, p);
    av_packet_unref(p);
    if (sent < 0) return true;  // damaged data: the picture is left out
    while (avcodec_receive_frame(decoder, m_decoded.get()) >= 0)
        if (!Decoded(camera, m_decoded.get())) return false;
    return ComposeReady(false);
}

// Takes a decoded picture into the waiting front queue or the rear pictures by number.
bool ClipComposer::Decoded(int camera, AVFrame* picture) {
    AVFramePtr held(av_frame_alloc());
    if (!held) return m_error = "out of memory", false;
    av_frame_move_ref(held.get(), picture);
    held->pts = held->best_effort_timestamp;
    if (held->pts == AV_NOPTS_VALUE) return true;  // no number to pair it by: left out
    if (m_options.retouch && !m_options.retouch(camera, held->pts, held.get()))
        return m_error = "cannot blur the marked regions of a picture", false;
    if (camera == 0) {
        m_fronts.push_back(std::move(held));
        return true;
    }
    m_rears[held->pts] = std::move(held);
    // Rear pictures with no front left to take them (the front stream stopped).
    const size_t limit =
        static_cast<size_t>(std::max(1, m_layout.rear.frameRate) * kMaxHeldSeconds);
    while (m_rears.size() > limit) m_rears.erase(m_rears.begin());
    return true;
}

// Composes the waiting front pictures whose rear picture is known: it has come, a later one
// has, the front queue is full, or the clip is ending.
bool ClipComposer::ComposeReady(bool ending) {
    const size_t limit =
        static_cast<size_t>(std::max(1, m_layout.front.frameRate) * kMaxHeldSeconds);
    while (!m_fronts.empty()) {
        AVFrame* front = m_fronts.front().get();
        const int64_t rearFrame =
            m_layout.rear.frameRate > 0
                ? front->pts * m_layout.rear.frameRate / std::max(1, m_layout.front.frameRate)
                : 0;
        const bool known = !m_layout.hasRear || ending || m_fronts.size() > limit ||
                           (!m_rears.empty() && m_rears.rbegin()->first >= rearFrame);
        if (!known) break;
        const AVFrame* rear = m_layout.hasRear ? RearFor(rearFrame) : nullptr;
        if (!Compose(front, rear)) return false;
        m_fronts.pop_front();
    }
    return true;
}

// The rear picture of rear frame `frame`: the newest one at or before it, else the one shown
// last; null before the rear's first picture.
const AVFrame* ClipComposer::RearFor(int64_t frame) {
    auto after = m_rears.upper_bound(frame);
    if (after != m_rears.begin()) {
        auto at = std::prev(after);
        av_frame_unref(m_rear.get());
        av_frame_move_ref(m_rear.get(), at->second.get());
        m_rears.erase(m_rears.begin(), after);
    }
    return m_rear->data[0] ? m_rear.get() : nullptr;
}

bool ClipComposer::BlackRear(AVFrame* rear) {
    const AVFilterLink* link = m_rearIn->outputs[0];
    rear->width = link->w;
    rear->height = link->h;
    rear->format = link->format;
    int r = av_frame_get_buffer(rear, 0);
    ptrdiff_t strides[4] = {rear->linesize[0], rear->linesize[1], rear->linesize[2],
                            rear->linesize[3]};
    if (r >= 0)
        r = av_image_fill_black(rear->data, strides, static_cast<AVPixelFormat>(rear->format),
                                AVCOL_RANGE_MPEG, rear->width, rear->height);
    return r >= 0 || Failed("cannot compose the picture", r);
}

bool ClipComposer::Compose(AVFrame* front, const AVFrame* rearPicture) {
    if (!m_graph && !BuildGraph(front)) return false;
    const AVFilterLink* in = m_frontIn->outputs[0];
    if (front->width != in->w || front->height != in->h || front->format != in->format)
        return true;  // a picture of another shape than the clip's: left out
    const int64_t pts = front->pts;
    if (m_options.caption) {
        const int64_t ms = front->pts * 1000 / m_layout.front.frameRate;
        av_dict_set(&front->metadata, kCaptionKey, m_options.caption(ms).c_str(), 0);
    }
    int r = av_buffersrc_add_frame(m_frontIn, front);
    if (r < 0) return Failed("cannot compose the picture", r);
    if (m_rearIn) {
        AVFramePtr rear(av_frame_alloc());
        if (!rear) return m_error = "out of memory", false;
        const AVFilterLink* link = m_rearIn->outputs[0];
        if (rearPicture && rearPicture->width == link->w && rearPicture->height == link->h &&
            rearPicture->format == link->format) {
            r = av_frame_ref(rear.get(), rearPicture);
            if (r < 0) return Failed("cannot compose the picture", r);
        } else if (!BlackRear(rear.get())) {
            return false;
        }
        rear->pts = pts;  // front was handed over to the graph
        r = av_buffersrc_add_frame(m_rearIn, rear.get());
        if (r < 0) return Failed("cannot compose the picture", r);
    }
    return Pull(false);
}

bool ClipComposer::Pull(bool flush) {
    for (;;) {
        const int r = av_buffersink_get_frame(m_out, m_filtered.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) return Failed("cannot compose the picture", r);
        m_filtered->pict_type = AV_PICTURE_TYPE_NONE;
        const bool ok = Encode(m_filtered.get());
        av_frame_unref(m_filtered.get());
        if (!ok) return false;
    }
    return !flush || Encode(nullptr);
}

bool ClipComposer::Encode(const AVFrame* picture) {
    int r = avcodec_send_frame(m_encoder.get(), picture);
    if (r < 0) return Failed("the libx264 encoder failed", r);
    if (picture) ++m_encoded;
    AVPacket* p = m_packet.get();
    for (;;) {
        r = avcodec_receive_packet(m_encoder.get(), p);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return Failed("the libx264 encoder failed", r);
        const bool ok = m_muxer.WriteCoded(0, p->data, static_cast<size_t>(p->size), p->pts, p->dts,
                                           (p->flags & AV_PKT_FLAG_KEY) != 0);
        av_packet_unref(p);
        if (!ok) return m_error = m_muxer.Error(), false;
    }
}

bool ClipComposer::WriteAudio(const int16_t* samples, size_t count) {
    return m_muxer.WriteAudio(samples, count) || (m_error = m_muxer.Error(), false);
}

bool ClipComposer::Finish(std::string* error) {
    const auto fail = [&] {
        if (error) *error = m_error;
        return false;
    };
    // Pictures the decoders still hold, then the end of each input.
    for (int c = 0; c < 2; ++c) {
        if (!m_decoder[c] || avcodec_send_packet(m_decoder[c].get(), nullptr) < 0) continue;
        while (avcodec_receive_frame(m_decoder[c].get(), m_decoded.get()) >= 0)
            if (!Decoded(c, m_decoded.get())) return fail();
    }
    if (!ComposeReady(true)) return fail();
    if (!m_graph) return m_error = "no picture of the span could be decoded", fail();
    if (av_buffersrc_add_frame(m_frontIn, nullptr) < 0 ||
        (m_rearIn && av_buffersrc_add_frame(m_rearIn, nullptr) < 0))
        return m_error = "cannot compose the picture", fail();
    if (!Pull(true)) return fail();
    return m_muxer.Finish(error);
}
