#include "media/ClipFitter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
}

#include "media/FFmpegPtr.h"
#include "support/PendingFile.h"

namespace {

constexpr const char* kPreset = "veryfast";
// A second pass runs again at most this often when the parts came out over the budget.
constexpr int kMostRetries = 3;
constexpr double kRetryMargin = 0.97;

bool Fail(std::string* error, const std::string& what, int code = 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (code < 0) av_strerror(code, text, sizeof text);
    *error = code < 0 ? what + ": " + text : what;
    return false;
}

// The working copy opened for reading, with its picture decoder.
struct Input {
    AVInputPtr format;
    int video = -1, audio = -1;
    AVCodecContextPtr decoder;
    int64_t videoStart = 0, audioStart = 0;  // first time stamps, in each stream's units

    bool Open(const std::string& path, std::string* error) {
        AVFormatContext* raw = nullptr;
        int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
        if (r < 0) return Fail(error, "cannot open " + path, r);
        format.reset(raw);
        if ((r = avformat_find_stream_info(raw, nullptr)) < 0)
            return Fail(error, "cannot read " + path, r);
        video = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        audio = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (video < 0) return Fail(error, path + " holds no pictures");
        const AVStream* v = raw->streams[video];
        videoStart = v->start_time == AV_NOPTS_VALUE ? 0 : v->start_time;
        if (audio >= 0 && raw->streams[audio]->start_time != AV_NOPTS_VALUE)
            audioStart = raw->streams[audio]->start_time;
        const AVCodec* codec = avcodec_find_decoder(v->codecpar->codec_id);
        if (!codec) return Fail(error, path + ": no decoder for its pictures");
        decoder.reset(avcodec_alloc_context3(codec));
        if (!decoder) return Fail(error, "out of memory");
        avcodec_parameters_to_context(decoder.get(), v->codecpar);
        decoder->thread_count = 0;
        if ((r = avcodec_open2(decoder.get(), codec, nullptr)) < 0)
            return Fail(error, "cannot decode " + path, r);
        return true;
    }
    int FrameRate() const {
        const AVRational r = format->streams[video]->avg_frame_rate;
        return r.num > 0 && r.den > 0 ? static_cast<int>(std::lround(av_q2d(r))) : 30;
    }
    // To the key frame at or before fromMs (from the working copy's start).
    void SeekBefore(int64_t fromMs) {
        const AVStream* v = format->streams[video];
        av_seek_frame(format.get(), video,
                      videoStart + av_rescale_q(fromMs, AVRational{1, 1000}, v->time_base),
                      AVSEEK_FLAG_BACKWARD);
    }
    // A picture's number from the working copy's first.
    int64_t FrameIndex(int64_t pts) const {
        const AVRational tb = format->streams[video]->time_base;
        return std::llround((pts - videoStart) * av_q2d(tb) * FrameRate());
    }
};

// The creation_time of a part: the working copy's moved on by the part's start.
std::string MovedCreationTime(const AVFormatContext* in, int64_t fromMs) {
    const AVDictionaryEntry* e = av_dict_get(in->metadata, "creation_time", nullptr, 0);
    int64_t us = 0;
    if (!e || av_parse_time(&us, e->value, 0) < 0) return {};
    us += fromMs * 1000;
    const std::time_t seconds = static_cast<std::time_t>(us / 1000000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<long long>(us % 1000000));
    return text;
}

// One part's encoder, its output (second pass only) and the picture scaler.
struct PartWriter {
    AVCodecContextPtr encoder;
    AVOutputPtr output;
    SwsContextPtr scaler;
    AVFramePtr scaled{av_frame_alloc()};
    AVPacketPtr packet{av_packet_alloc()};
    int videoOut = -1, audioOut = -1;

    bool OpenEncoder(const FitPlan& plan, int rate, int64_t bitRate, int pass,
                     const std::string& stats, bool globalHeader, std::string* error) {
        const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
        if (!x264) return Fail(error, "FFmpeg has no libx264 encoder");
        encoder.reset(avcodec_alloc_context3(x264));
        if (!encoder || !scaled || !packet) return Fail(error, "out of memory");
        AVCodecContext* c = encoder.get();
        c->width = plan.width, c->height = plan.height;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = AVRational{1, rate};
        c->framerate = AVRational{rate, 1};
        c->bit_rate = bitRate;
        c->thread_count = 0;  // x264's own choice: every core (the passes are the long part)
        c->flags |= pass == 1 ? AV_CODEC_FLAG_PASS1 : AV_CODEC_FLAG_PASS2;
        if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(c->priv_data, "preset", kPreset, 0);
        av_opt_set(c->priv_data, "stats", stats.c_str(), 0);
        const int r = avcodec_open2(c, x264, nullptr);
        return r >= 0 || Fail(error, "cannot open the libx264 encoder", r);
    }

    bool OpenOutput(const Input& in, const std::string& path, int64_t fromMs, std::string* error) {
        AVFormatContext* raw = nullptr;
        int r = avformat_alloc_output_context2(&raw, nullptr, "mp4", path.c_str());
        if (r < 0 || !raw) return Fail(error, "cannot write " + path, r);
        output.reset(raw);
        AVStream* v = avformat_new_stream(raw, nullptr);
        if (!v) return Fail(error, "out of memory");
        avcodec_parameters_from_context(v->codecpar, encoder.get());
        v->time_base = encoder->time_base;
        videoOut = v->index;
        if (in.audio >= 0) {
            AVStream* a = avformat_new_stream(raw, nullptr);
            if (!a) return Fail(error, "out of memory");
            avcodec_parameters_copy(a->codecpar, in.format->streams[in.audio]->codecpar);
            a->codecpar->codec_tag = 0;
            a->time_base = in.format->streams[in.audio]->time_base;
            audioOut = a->index;
        }
        const std::string created = MovedCreationTime(in.format.get(), fromMs);
        if (!created.empty()) av_dict_set(&raw->metadata, "creation_time", created.c_str(), 0);
        if ((r = avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
            return Fail(error, "cannot write " + path, r);
        r = avformat_write_header(raw, nullptr);
        return r >= 0 || Fail(error, "cannot write " + path, r);
    }

    // A sound packet of the working copy, moved to start at the part's start.
    bool CopyAudio(AVPacket* packet, int64_t from, AVRational timeBase, std::string* error) {
        packet->pts -= from;
        packet->dts -= from;
        packet->stream_index = audioOut;
        av_packet_rescale_ts(packet, timeBase, output->streams[audioOut]->time_base);
        const int r = av_interleaved_write_frame(output.get(), packet);
        return r >= 0 || Fail(error, "cannot write the clip's sound", r);
    }

    // Hands a picture (null: the end) to the encoder and writes what comes out.
    bool Encode(const AVFrame* picture, std::string* error) {
        int r = avcodec_send_frame(encoder.get(), picture);
        if (r < 0) return Fail(error, "the libx264 encoder failed", r);
        while ((r = avcodec_receive_packet(encoder.get(), packet.get())) >= 0) {
            if (output) {
                packet->stream_index = videoOut;
                av_packet_rescale_ts(packet.get(), encoder->time_base,
                                     output->streams[videoOut]->time_base);
                if ((r = av_interleaved_write_frame(output.get(), packet.get())) < 0)
                    return Fail(error, "cannot write the clip", r);
            }
            av_packet_unref(packet.get());
        }
        return r == AVERROR(EAGAIN) || r == AVERROR_EOF || Fail(error, "the encoder failed", r);
    }

    // The decoded picture at the plan's size and pixel format.
    const AVFrame* Scale(const AVFrame* in, std::string* error) {
        if (in->width == encoder->width && in->height == encoder->height &&
            in->format == AV_PIX_FMT_YUV420P)
            return in;
        scaler.reset(sws_getCachedContext(scaler.release(), in->width, in->height,
                                          static_cast<AVPixelFormat>(in->format), encoder->width,
                                          encoder->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                                          nullptr, nullptr));
        if (!scaler) return Fail(error, "cannot scale the pictures"), nullptr;
        if (!scaled->data[0]) {
            scaled->format = AV_PIX_FMT_YUV420P;
            scaled->width = encoder->width, scaled->height = encoder->height;
            if (av_frame_get_buffer(scaled.get(), 0) < 0)
                return Fail(error, "out of memory"), nullptr;
        }
        if (av_frame_make_writable(scaled.get()) < 0) return Fail(error, "out of memory"), nullptr;
        sws_scale(scaler.get(), in->data, in->linesize, 0, in->height, scaled->data,
                  scaled->linesize);
        return scaled.get();
    }
};

}  // namespace

bool ClipFitter::Probe(const std::string& path, FitSource* source, std::string* error) {
    Input in;
    if (!in.Open(path, error)) return false;
    const AVCodecParameters* v = in.format->streams[in.video]->codecpar;
    *source = FitSource();
    source->width = v->width, source->height = v->height;
    source->frameRate = in.FrameRate();
    AVPacketPtr packet(av_packet_alloc());
    if (!packet) return Fail(error, "out of memory");
    while (av_read_frame(in.format.get(), packet.get()) >= 0) {
        if (packet->stream_index == in.video) ++source->frames;
        if (packet->stream_index == in.audio) source->audioBytes += packet->size;
        av_packet_unref(packet.get());
    }
    source->durationMs = source->frames * 1000 / std::max(1, source->frameRate);
    return true;
}

namespace {

// A folder of its own for the first passes' statistics, removed with everything in it.
struct StatsFolder {
    std::filesystem::path path;
    bool Create(std::string* error) {
        std::string name = (std::filesystem::temp_directory_path() / "tarvex-fit-XXXXXX").string();
        if (!mkdtemp(name.data())) return Fail(error, "cannot make a temporary folder");
        path = name;
        return true;
    }
    ~StatsFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

bool ClipFitter::Write(const std::string& workingCopy, const FitPlan& plan, int64_t maxBytes,
                       const std::vector<std::string>& outPaths, std::vector<int64_t>* sizes,
                       std::string* error) {
    if (outPaths.size() != plan.parts.size()) return Fail(error, "one file is needed per part");
    StatsFolder folder;
    if (!folder.Create(error)) return false;
    auto stats = [&folder](size_t i) { return (folder.path / std::to_string(i)).string(); };
    m_rate = plan.videoBitsPerSecond;
    m_framesDone = 0;
    m_framesAll = 0;
    for (const FitPart& p : plan.parts) m_framesAll += 2 * p.frames;
    for (size_t i = 0; i < plan.parts.size(); ++i)
        if (!EncodePart(workingCopy, plan, i, 1, stats(i), std::string(), error)) return false;
    for (int attempt = 0; attempt <= kMostRetries; ++attempt) {
        int64_t total = 0;
        sizes->clear();
        for (size_t i = 0; i < plan.parts.size(); ++i) {
            if (!EncodePart(workingCopy, plan, i, 2, stats(i), outPaths[i], error)) return false;
            std::error_code ec;
            sizes->push_back(static_cast<int64_t>(std::filesystem::file_size(outPaths[i], ec)));
            total += sizes->back();
        }
        if (maxBytes <= 0 || total <= maxBytes) return true;
        // Over by a few percent: the second passes again, at a rate lowered by as much.
        m_rate =
            static_cast<int64_t>(m_rate * (static_cast<double>(maxBytes) / total) * kRetryMargin);
        for (const FitPart& p : plan.parts) m_framesAll += p.frames;
    }
    return Fail(error, "the parts stay larger than " + std::to_string(maxBytes) + " bytes");
}

bool ClipFitter::EncodePart(const std::string& inPath, const FitPlan& plan, size_t index, int pass,
                            const std::string& stats, const std::string& out, std::string* error) {
    Input in;
    if (!in.Open(inPath, error)) return false;
    const FitPart& part = plan.parts[index];
    PartWriter w;
    if (!w.OpenEncoder(plan, in.FrameRate(), m_rate, pass, stats, pass == 2, error)) return false;
    if (pass == 2 && !w.OpenOutput(in, out, part.fromMs, error)) return false;
    const AVRational ms{1, 1000};
    if (part.firstFrame > 0) in.SeekBefore(part.fromMs);
    const AVRational atb = in.audio >= 0 ? in.format->streams[in.audio]->time_base : ms;
    const int64_t audioFrom = in.audioStart + av_rescale_q(part.fromMs, ms, atb);
    const int64_t audioTo = in.audioStart + av_rescale_q(part.toMs, ms, atb);
    bool videoDone = false, audioDone = pass == 1 || w.audioOut < 0;
    AVPacketPtr packet(av_packet_alloc());
    AVFramePtr frame(av_frame_alloc());
    if (!packet || !frame) return Fail(error, "out of memory");
    // Each decoded picture of the part goes to the encoder, numbered from the part's first.
    auto drain = [&]() {
        while (avcodec_receive_frame(in.decoder.get(), frame.get()) >= 0) {
            const int64_t n = in.FrameIndex(frame->best_effort_timestamp) - part.firstFrame;
            if (n >= part.frames) videoDone = true;
            if (n < 0 || n >= part.frames) continue;
            const AVFrame* picture = w.Scale(frame.get(), error);
            if (!picture) return false;
            const_cast<AVFrame*>(picture)->pts = n;
            const_cast<AVFrame*>(picture)->pict_type = AV_PICTURE_TYPE_NONE;
            if (!w.Encode(picture, error)) return false;
            ++m_framesDone;
            if (m_progress && !m_progress(static_cast<double>(m_framesDone) / m_framesAll))
                return Fail(error, "cancelled");
        }
        return true;
    };
    while (!videoDone || !audioDone) {
        if (av_read_frame(in.format.get(), packet.get()) < 0) break;
        if (packet->stream_index == in.video && !videoDone) {
            if (avcodec_send_packet(in.decoder.get(), packet.get()) >= 0 && !drain()) return false;
        } else if (!audioDone && packet->stream_index == in.audio) {
            if (packet->pts >= audioTo) audioDone = true;
            if (packet->pts >= audioFrom && packet->pts < audioTo &&
                !w.CopyAudio(packet.get(), audioFrom, atb, error))
                return false;
        }
        av_packet_unref(packet.get());
    }
    if (!videoDone) {
        avcodec_send_packet(in.decoder.get(), nullptr);
        if (!drain()) return false;
    }
    if (!w.Encode(nullptr, error)) return false;
    if (pass == 2) {
        const int r = av_write_trailer(w.output.get());
        if (r < 0) return Fail(error, "cannot write " + out, r);
    }
    return true;
}

std::vector<std::string> FitPartPaths(const std::string& base, size_t count) {
    if (count == 1) return {base};
    const std::filesystem::path path(base);
    std::vector<std::string> paths;
    for (size_t i = 1; i <= count; ++i)
        paths.push_back(
            (path.parent_path() / (path.stem().string() + "_" + std::to_string(i) + "of" +
                                   std::to_string(count) + path.extension().string()))
                .string());
    return paths;
}

bool FitWorkingCopy(const std::string& workingCopy, const ClipBudget& budget,
                    int64_t capBitsPerSecond, const std::string& base,
                    const ClipFitter::Progress& progress, FitResult* result, std::string* error,
                    const std::vector<PendingFile*>& alongside) {
    FitSource source;
    if (!ClipFitter::Probe(workingCopy, &source, error)) return false;
    source.capBitsPerSecond = capBitsPerSecond;
    if (!PlanFit(source, budget, &result->plan, error)) return false;
    const std::vector<std::string> targets = FitPartPaths(base, result->plan.parts.size());
    std::vector<std::unique_ptr<PendingFile>> pending;
    std::vector<PendingFile*> files;
    std::vector<std::string> temps;
    for (const std::string& target : targets) {
        pending.push_back(std::make_unique<PendingFile>());
        if (!pending.back()->Create(target, error)) return false;
        files.push_back(pending.back().get());
        temps.push_back(pending.back()->TempPath());
    }
    ClipFitter fitter;
    fitter.SetProgress(progress);
    std::vector<int64_t> sizes;
    if (!fitter.Write(workingCopy, result->plan, budget.maxBytes, temps, &sizes, error))
        return false;
    files.insert(files.end(), alongside.begin(), alongside.end());
    if (!PendingFile::CommitAll(files, error)) return false;
    result->bitsPerSecond = fitter.BitsPerSecond();
    result->parts.clear();
    for (size_t i = 0; i < targets.size(); ++i)
        result->parts.push_back({targets[i], result->plan.parts[i], sizes[i]});
    return true;
}
