#include "redact/vision/RecordingFrames.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>

#include "media/FFmpegPtr.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr int kMaxCameras = 2;

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

struct RecordingFrames::State {
    std::string path;
    AVInputPtr input;
    std::vector<int> streams;  // the stream index of each camera
    std::vector<MaskCamera> cameras;
    std::vector<double> rates;
    int64_t durationMs = 0;
    int workingSide = 0;
    RecordingFrames::Watch watch;
};

RecordingFrames::RecordingFrames() : m_state(new State) {}
RecordingFrames::~RecordingFrames() {
    delete m_state;
}

const std::vector<MaskCamera>& RecordingFrames::Cameras() const {
    return m_state->cameras;
}
int64_t RecordingFrames::DurationMs() const {
    return m_state->durationMs;
}
double RecordingFrames::FrameRate(int camera) const {
    return m_state->rates.at(camera);
}
void RecordingFrames::SetWorkingSide(int pixels) {
    m_state->workingSide = pixels;
}

double RecordingFrames::Scale(int camera) const {
    const MaskCamera& c = m_state->cameras.at(camera);
    const int side = std::max(c.width, c.height);
    if (m_state->workingSide <= 0 || side <= m_state->workingSide) return 1.0;
    return static_cast<double>(m_state->workingSide) / side;
}

bool RecordingFrames::Open(const std::string& path, std::string* error) {
    // The recording's text stream has no codec FFmpeg knows, and it says so at every open.
    if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return Fail(error, "cannot open " + path + " as a recording");
    m_state->input.reset(raw);
    m_state->path = path;
    if (avformat_find_stream_info(raw, nullptr) < 0)
        return Fail(error, "cannot read the streams of " + path);
    for (unsigned i = 0; i < raw->nb_streams && m_state->streams.size() < kMaxCameras; ++i) {
        const AVStream* s = raw->streams[i];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        MaskCamera camera;
        camera.camera = static_cast<int>(m_state->streams.size());
        camera.width = s->codecpar->width;
        camera.height = s->codecpar->height;
        camera.frames = s->nb_frames;
        const double rate = av_q2d(s->avg_frame_rate.num ? s->avg_frame_rate : s->r_frame_rate);
        if (camera.width <= 0 || camera.height <= 0 || camera.frames <= 0 || !(rate > 0))
            return Fail(error, path + ": a camera without pictures");
        m_state->streams.push_back(static_cast<int>(i));
        m_state->cameras.push_back(camera);
        m_state->rates.push_back(rate);
    }
    if (m_state->cameras.empty()) return Fail(error, path + " holds no pictures");
    m_state->durationMs = std::llround(m_state->cameras[0].frames * 1000.0 / m_state->rates[0]);
    return true;
}

namespace {

// Decodes one stream from a seek point, handing over pictures first ... last.
class StreamWalk {
public:
    StreamWalk(AVFormatContext* input, int stream, double scale)
        : m_input(input), m_stream(stream), m_scale(scale) {}

    bool Run(int64_t first, int64_t last, const RecordingFrames::Picture& picture,
             std::string* error) {
        const AVCodecParameters* par = m_input->streams[m_stream]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        m_decoder.reset(avcodec_alloc_context3(codec));
        if (!codec || !m_decoder || avcodec_parameters_to_context(m_decoder.get(), par) < 0 ||
            avcodec_open2(m_decoder.get(), codec, nullptr) < 0)
            return Fail(error, "cannot decode the camera's pictures");
        if (av_seek_frame(m_input, m_stream, first, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(m_input, m_stream, 0, AVSEEK_FLAG_BACKWARD);
        AVPacketPtr packet(av_packet_alloc());
        m_picture.reset(av_frame_alloc());
        m_done = false;
        while (!m_done && av_read_frame(m_input, packet.get()) >= 0) {
            const bool mine = packet->stream_index == m_stream;
            // Damaged pictures the decoder rejects are skipped, as the player skips them.
            if (mine) avcodec_send_packet(m_decoder.get(), packet.get());
            av_packet_unref(packet.get());
            if (mine && !Drain(first, last, picture)) return false;
        }
        if (!m_done) {
            avcodec_send_packet(m_decoder.get(), nullptr);
            if (!Drain(first, last, picture)) return false;
        }
        return true;
    }

private:
    bool Drain(int64_t first, int64_t last, const RecordingFrames::Picture& picture) {
        while (!m_done && avcodec_receive_frame(m_decoder.get(), m_picture.get()) >= 0) {
            const int64_t frame = m_picture->best_effort_timestamp;
            if (frame > last) m_done = true;
            if (frame >= first && frame <= last && !picture(frame, Convert())) m_done = true;
            av_frame_unref(m_picture.get());
        }
        return true;
    }

    const cv::Mat& Convert() {
        const AVFrame* p = m_picture.get();
        const int w = std::max(2, static_cast<int>(std::lround(p->width * m_scale)));
        const int h = std::max(2, static_cast<int>(std::lround(p->height * m_scale)));
        m_sws.reset(sws_getCachedContext(
            m_sws.release(), p->width, p->height, static_cast<AVPixelFormat>(p->format), w, h,
            AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
        m_bgr.create(h, w, CV_8UC3);
        uint8_t* dst[1] = {m_bgr.data};
        const int stride[1] = {static_cast<int>(m_bgr.step)};
        sws_scale(m_sws.get(), p->data, p->linesize, 0, p->height, dst, stride);
        return m_bgr;
    }

    AVFormatContext* m_input;
    int m_stream;
    double m_scale;
    AVCodecContextPtr m_decoder;
    AVFramePtr m_picture;
    SwsContextPtr m_sws;
    cv::Mat m_bgr;
    bool m_done = false;
};

}  // namespace

bool RecordingFrames::Walk(int camera, int64_t first, int64_t last, const Picture& picture,
                           std::string* error) {
    if (camera < 0 || camera >= static_cast<int>(m_state->cameras.size()))
        return Fail(error,
                    std::string("the recording has no ") + MaskCameraName(camera) + " camera");
    StreamWalk walk(m_state->input.get(), m_state->streams[camera], Scale(camera));
    if (!m_state->watch) return walk.Run(first, last, picture, error);
    bool stopped = false;
    const Picture watched = [&](int64_t frame, const cv::Mat& bgr) {
        if (!m_state->watch(frame)) {
            stopped = true;
            return false;
        }
        return picture(frame, bgr);
    };
    if (!walk.Run(first, last, watched, error)) return false;
    return stopped ? Fail(error, kStoppedError) : true;
}

void RecordingFrames::SetWatch(Watch watch) {
    m_state->watch = std::move(watch);
}
