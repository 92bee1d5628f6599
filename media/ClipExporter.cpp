#include "media/ClipExporter.h"

#include <algorithm>

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"
#include "media/ClipCheck.h"
#include "media/ClipMuxer.h"
#include "media/ExportTargets.h"
#include "media/MediaInfo.h"
#include "media/VideoCodec.h"
#include "support/PendingFile.h"

namespace {

constexpr uint32_t kChunkCapacityBytes = 1048576;
constexpr int kProgressSteps = 100;
constexpr int kChunkHeaderBytes = 8;

struct SourceFile {
    std::string path;
    int32_t frontRate = 0;
    int32_t rearRate = 0;
    int32_t frontCount = 0;
    VideoSizeRec front, rear;
    int32_t audioBits = 0;
    int32_t audioRate = 0;
    VideoCodec codec[2] = {VideoCodec::H264, VideoCodec::Unknown};  // front, rear
    std::vector<int64_t> positions;                                 // front frame chunk headers
    int64_t firstFrame = 0;                                         // on the joined timeline
};

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

// The front pictures' chunk positions in the order the movie data holds them.
std::vector<int64_t> WalkFrontPositions(const std::string& path) {
    std::vector<int64_t> positions;
    CAVIExtractor reader;
    if (reader.OpenFile(path.c_str(), nullptr) == 0) return positions;
    char id[4];
    uint32_t size = 0;
    for (int64_t p; (p = reader.SkipChunk(id, &size)) >= 0;)
        if (ClassifyChunk(id) == AviChunkKind::FrontVideo) positions.push_back(p);
    return positions;
}

bool Probe(const std::string& path, SourceFile& f, std::string* error) {
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0) {
        const std::string why = reader.GetOpenError();
        return Fail(error, why.empty() ? "not a readable recording: " + path : path + ": " + why);
    }
    f.path = path;
    f.frontRate = reader.GetNativeFrameRate(0);
    f.rearRate = reader.GetNativeFrameRate(1);
    f.frontCount = info.frontFrameCount;
    reader.GetVideoSize(&f.front, 0);
    reader.GetVideoSize(&f.rear, 1);
    reader.GetAudioFormat(&f.audioBits, &f.audioRate);
    // The reader keeps an earlier format when a file declares no sound; a clip of a file
    // without sound chunks gets no invented silent track either.
    if (!reader.HasAudioStream() || info.audioChunkCount == 0) f.audioBits = f.audioRate = 0;
    f.codec[0] = reader.GetVideoCodec(0);
    f.codec[1] = reader.GetVideoCodec(1);
    // Frames are numbered as the walk meets them, so their positions come from the movie
    // data too: a damaged index may leave frames out or point at other chunks, and a clip
    // started from it would start on another picture, or on one that is no key frame.
    f.positions = WalkFrontPositions(path);
    f.frontCount = static_cast<int32_t>(f.positions.size());
    if (f.frontRate <= 0 || f.front.width <= 0 || f.front.height <= 0)
        return Fail(error, path + " has no front camera picture to export");
    return true;
}

std::string SizeText(const VideoSizeRec& size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

bool HasSound(const SourceFile& f) {
    return f.audioBits > 0 && f.audioRate > 0;
}

std::string SoundText(const SourceFile& f) {
    return HasSound(f) ? std::to_string(f.audioBits) + "-bit " + std::to_string(f.audioRate) + " Hz"
                       : "no sound";
}

// Why recording f cannot follow `first` in one clip; empty when their layouts match.
std::string LayoutDifference(const SourceFile& first, const SourceFile& f) {
    const std::string where = " where " + first.path + " ";
    const std::string mix = "; one clip cannot mix ";
    for (int c = 0; c < 2; ++c) {
        const bool rear = c == 1;
        const bool had = !rear || first.rearRate > 0, has = !rear || f.rearRate > 0;
        if (had != has)
            return f.path + (has ? " has a rear camera" : " has no rear camera") + where +
                   (had ? "has one" : "has none") + mix + "one and two cameras";
        if (!has) continue;
        const VideoSizeRec& a = rear ? first.rear : first.front;
        const VideoSizeRec& b = rear ? f.rear : f.front;
        const char* camera = rear ? " (rear camera)" : " (front camera)";
        if (a.width != b.width || a.height != b.height)
            return f.path + " is " + SizeText(b) + camera + where + "is " + SizeText(a) + mix +
                   "picture sizes";
        if (first.codec[c] != f.codec[c])
            return f.path + " is " + VideoCodecName(f.codec[c]) + camera + where + "is " +
                   VideoCodecName(first.codec[c]) + mix + "codecs";
        const int32_t ra = rear ? first.rearRate : first.frontRate;
        const int32_t rb = rear ? f.rearRate : f.frontRate;
        if (ra != rb)
            return f.path + " runs at " + std::to_string(rb) + " fps" + camera + where +
                   "runs at " + std::to_string(ra) + " fps" + mix + "frame rates";
    }
    if (HasSound(first) != HasSound(f) ||
        (HasSound(f) && (first.audioBits != f.audioBits || first.audioRate != f.audioRate)))
        return f.path + " has " + SoundText(f) + where + "has " + SoundText(first) + mix +
               "sound formats";
    return {};
}

// Reads every recording's layout and index and places it on the joined timeline.
bool ProbeAll(const std::vector<std::string>& paths, std::vector<SourceFile>& files, int64_t* total,
              std::string* error) {
    files.assign(paths.size(), SourceFile());
    *total = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!Probe(paths[i], files[i], error)) return false;
        const std::string difference = LayoutDifference(files[0], files[i]);
        if (!difference.empty()) return Fail(error, difference);
        files[i].firstFrame = *total;
        *total += files[i].frontCount;
    }
    return true;
}

// Reads the whole chunk: the parameter sets may come after an SEI of any length. Only a key
// frame that decodes on its own can start a track (see ClipCheck).
bool PeekKeyFrame(CAVIExtractor& reader, int64_t chunkPosition, VideoCodec codec,
                  std::vector<uint8_t>& buffer) {
    uint8_t header[kChunkHeaderBytes];
    if (reader.Seek(chunkPosition, 0) != 0 || reader.Read(header, sizeof header) != sizeof header)
        return false;
    const uint32_t size = static_cast<uint32_t>(header[4]) | header[5] << 8 | header[6] << 16 |
                          static_cast<uint32_t>(header[7]) << 24;
    buffer.resize(std::min(size, kChunkCapacityBytes));
    const size_t n = reader.Read(buffer.data(), buffer.size());
    return KeyFrameDecodesAlone(codec, buffer.data(), n);
}

// The front key frame at or before frame on the joined timeline; the first one after it when
// there is none before; -1 when no recording holds a key frame.
int64_t FindStartKeyFrame(const std::vector<SourceFile>& files, int64_t frame) {
    std::vector<uint8_t> buffer;
    for (size_t i = files.size(); i-- > 0;) {
        const SourceFile& f = files[i];
        if (f.firstFrame > frame) continue;
        CAVIExtractor reader;
        if (reader.OpenFile(f.path.c_str(), nullptr) == 0) continue;
        int64_t j = std::min<int64_t>(frame - f.firstFrame, int64_t(f.positions.size()) - 1);
        for (; j >= 0; --j)
            if (PeekKeyFrame(reader, f.positions[static_cast<size_t>(j)], f.codec[0], buffer))
                return f.firstFrame + j;
    }
    for (const SourceFile& f : files) {
        CAVIExtractor reader;
        if (reader.OpenFile(f.path.c_str(), nullptr) == 0) continue;
        for (size_t j = 0; j < f.positions.size(); ++j)
            if (f.firstFrame + int64_t(j) > frame &&
                PeekKeyFrame(reader, f.positions[j], f.codec[0], buffer))
                return f.firstFrame + int64_t(j);
    }
    return -1;
}

// One export's walk over the recordings, chunk by chunk.
class ClipWalk {
public:
    ClipWalk(const std::vector<SourceFile>& files, int64_t keyFrame, int64_t endFrame,
             int32_t audioRate, VClipSink& muxer, const ClipExporter::Progress& progress,
             const ClipExporter::TextSink& sink, const std::atomic<bool>& cancel)
        : m_files(files),
          m_first(keyFrame),
          m_end(endFrame),
          m_muxer(muxer),
          m_progress(progress),
          m_sink(sink),
          m_cancel(cancel),
          m_buffer(kChunkCapacityBytes + 1) {
        const SourceFile& lead = files.front();
        m_rate = lead.frontRate;
        m_rearRate = lead.rearRate;
        m_audioRate = audioRate;
        m_rearFirst = m_first * m_rearRate / m_rate;
        m_audioFirst = m_first * m_audioRate / m_rate;
        m_audioEnd = m_end * m_audioRate / m_rate;
        m_audioNext = m_audioFirst;
        m_codec[0] = lead.codec[0];
        m_codec[1] = lead.codec[1];
    }

    ClipResult Run(ClipSummary& summary, std::string* error) {
        for (size_t i = 0; i < m_files.size() && !m_done; ++i) {
            const SourceFile& f = m_files[i];
            if (f.firstFrame + f.frontCount <= m_first) continue;
            if (f.firstFrame >= m_end) break;
            const ClipResult r = WalkFile(i, error);
            if (r != ClipResult::Done) return r;
        }
        summary.startMs = m_first * 1000 / m_rate;
        summary.endMs = m_end * 1000 / m_rate;
        summary.frontFrames = m_frontFrames;
        summary.rearFrames = m_rearFrames;
        summary.audioSamples = m_audioNext - m_audioFirst;
        summary.audioRate = m_audioRate;
        return ClipResult::Done;
    }

private:
    // Where the walk is in one recording, on the joined timeline.
    struct Cursor {
        int64_t front = 0, rear = 0, audio = 0;  // the next frame of each camera, sample
    };

    ClipResult WalkFile(size_t index, std::string* error) {
        const SourceFile& f = m_files[index];
        CAVIExtractor reader;
        if (reader.OpenFile(f.path.c_str(), nullptr) == 0) {
            Fail(error, "cannot read " + f.path);
            return ClipResult::Failed;
        }
        Cursor at{f.firstFrame, f.firstFrame * m_rearRate / m_rate,
                  f.firstFrame * m_audioRate / m_rate};
        // Sound of the first frame is stored up to a fraction of a second before it.
        const int64_t readFrom = m_first - std::max<int64_t>(1, m_rate);
        char id[4];
        uint32_t size = 0;
        for (;;) {
            if (m_cancel.load()) return ClipResult::Cancelled;
            const int64_t position = reader.SkipChunk(id, &size);
            if (position < 0) break;
            const AviChunkKind kind = ClassifyChunk(id);
            if (kind == AviChunkKind::FrontVideo && at.front >= m_end) {
                m_done = true;
                break;
            }
            const bool wanted =
                at.front >= readFrom && kind != AviChunkKind::Other && size <= kChunkCapacityBytes;
            int32_t length = 0;
            if (wanted) {
                reader.Seek(position, 0);
                length = static_cast<int32_t>(kChunkCapacityBytes);
                if (reader.ParseMedia(id, m_buffer.data(), &length) < 0) break;
                m_buffer[static_cast<size_t>(length)] = 0;
            }
            if (!Hand(kind, wanted ? length : -1, size, index, at))
                return Fail(error, m_muxer.Error()), ClipResult::Failed;
        }
        // Keep the sound in step with the pictures across the join to the next recording.
        if (!m_done && m_audioRate > 0) {
            const int64_t fileEnd =
                std::min(f.firstFrame + f.frontCount, m_end) * m_audioRate / m_rate;
            if (!PadSilence(fileEnd)) return Fail(error, m_muxer.Error()), ClipResult::Failed;
        }
        return ClipResult::Done;
    }

    // One chunk of the recording, read into the buffer (length < 0: not read, only counted);
    // false when the muxer failed.
    bool Hand(AviChunkKind kind, int32_t length, uint32_t size, size_t index, Cursor& at) {
        const bool wanted = length >= 0;
        const uint8_t* data = m_buffer.data();
        switch (kind) {
            case AviChunkKind::FrontVideo:
                if (at.front >= m_first && wanted && !WriteFront(data, length, at.front))
                    return false;
                ++at.front;
                break;
            case AviChunkKind::RearVideo:
                if (wanted && !WriteRear(data, length, at.rear)) return false;
                ++at.rear;
                break;
            case AviChunkKind::Audio:
                if (wanted && !WriteSound(data, length, at.audio)) return false;
                at.audio += size / 2;
                break;
            case AviChunkKind::Text:
                if (wanted && m_sink && at.front >= m_first && at.front < m_end)
                    m_sink(data, length, (at.front - m_first) * 1000 / m_rate, index);
                break;
            case AviChunkKind::Other:
                break;
        }
        return true;
    }

    bool WriteFront(const uint8_t* data, int32_t length, int64_t frame) {
        if (!m_muxer.WriteVideo(0, data, static_cast<size_t>(length), frame - m_first,
                                IsVideoKeyFrame(m_codec[0], data, static_cast<size_t>(length))))
            return false;
        ++m_frontFrames;
        const int step =
            static_cast<int>((frame - m_first + 1) * kProgressSteps / (m_end - m_first));
        if (m_progress && step > m_progressStep) {
            m_progressStep = step;
            m_progress(static_cast<double>(step) / kProgressSteps);
        }
        return true;
    }

    bool WriteRear(const uint8_t* data, int32_t length, int64_t frame) {
        if (m_rearRate <= 0 || frame < m_rearFirst || frame * m_rate >= m_end * m_rearRate)
            return true;
        const bool key = IsVideoKeyFrame(m_codec[1], data, static_cast<size_t>(length));
        // Undecodable until the first key frame; the track's parameter sets come from it.
        if (m_rearFrames == 0 &&
            !(key && KeyFrameDecodesAlone(m_codec[1], data, static_cast<size_t>(length))))
            return true;
        ++m_rearFrames;
        return m_muxer.WriteVideo(1, data, static_cast<size_t>(length), frame - m_rearFirst, key);
    }

    // A PCM chunk whose first sample is sample `first` of the timeline.
    bool WriteSound(const uint8_t* data, int32_t length, int64_t first) {
        if (m_audioRate <= 0) return true;
        if (!PadSilence(first)) return false;
        const int64_t from = std::max(first, m_audioNext);
        const int64_t to = std::min(first + length / 2, m_audioEnd);
        if (from >= to) return true;
        m_samples.resize(static_cast<size_t>(to - from));
        for (int64_t s = from; s < to; ++s) {
            const uint8_t* p = data + 2 * (s - first);
            m_samples[static_cast<size_t>(s - from)] = static_cast<int16_t>(p[0] | p[1] << 8);
        }
        m_audioNext = to;
        return m_muxer.WriteAudio(m_samples.data(), m_samples.size());
    }

    // Silence up to sample `until` (when the sound so far ends before it).
    bool PadSilence(int64_t until) {
        until = std::min(until, m_audioEnd);
        if (until <= m_audioNext) return true;
        m_samples.assign(static_cast<size_t>(until - m_audioNext), 0);
        m_audioNext = until;
        return m_muxer.WriteAudio(m_samples.data(), m_samples.size());
    }

    const std::vector<SourceFile>& m_files;
    const int64_t m_first;  // front frame the clip starts with (a key frame)
    const int64_t m_end;    // front frame after the clip
    VClipSink& m_muxer;
    const ClipExporter::Progress& m_progress;
    const ClipExporter::TextSink& m_sink;
    const std::atomic<bool>& m_cancel;
    std::vector<uint8_t> m_buffer;
    std::vector<int16_t> m_samples;
    int64_t m_rate = 0, m_rearRate = 0, m_audioRate = 0;
    int64_t m_rearFirst = 0, m_audioFirst = 0, m_audioEnd = 0, m_audioNext = 0;
    int32_t m_frontFrames = 0, m_rearFrames = 0;
    VideoCodec m_codec[2] = {VideoCodec::H264, VideoCodec::H264};
    int m_progressStep = 0;
    bool m_done = false;
};

}  // namespace

ClipResult ClipExporter::Export(const ClipRequest& request, ClipSummary* summary,
                                std::string* error) {
    // A cancel that comes before the export starts holds; the next export starts afresh.
    const ClipResult result = Run(request, summary, error);
    m_cancel.store(false);
    return result;
}

namespace {

// The front frames of the clip: from the key frame at or before the start, to the end.
bool ClipSpan(const ClipRequest& request, const std::vector<SourceFile>& files, int64_t total,
              int64_t* key, int64_t* end, std::string* error) {
    const int64_t rate = files[0].frontRate;
    const int64_t from = std::max<int64_t>(0, request.fromMs) * rate / 1000;
    *end = std::min(total, (request.toMs * rate + 999) / 1000);
    if (from >= *end) return Fail(error, "the clip is empty");
    *key = FindStartKeyFrame(files, from);
    if (*key < 0 || *key >= *end) return Fail(error, "no key frame to start the clip on");
    return true;
}

ClipLayout LayoutOf(const std::vector<SourceFile>& files, const ClipRequest& request) {
    const SourceFile& lead = files[0];
    ClipLayout layout;
    layout.front = {lead.front.width, lead.front.height, lead.frontRate, "Front camera"};
    layout.front.codec = lead.codec[0];
    layout.hasRear = lead.rearRate > 0;
    layout.rear = {lead.rear.width, lead.rear.height, lead.rearRate, "Rear camera"};
    layout.rear.codec = lead.codec[1];
    layout.audioRate = lead.audioBits == 16 && !request.noSound ? lead.audioRate : 0;
    return layout;
}

// The composer's caption and retouch read the recording's own time and frame numbers.
ClipComposeOptions ComposeOptions(const ClipRequest& request, const ClipLayout& layout,
                                  int64_t key) {
    const int64_t rate = layout.front.frameRate;
    ClipComposeOptions options;
    options.mode = request.compose;
    if (request.caption)
        options.caption = [&request, startMs = key * 1000 / rate](int64_t clipMs) {
            return request.caption(startMs + clipMs);
        };
    if (request.retouch)
        options.retouch = [&request, front = key, rear = key * layout.rear.frameRate / rate](
                              int camera, int64_t clipFrame, AVFrame* picture) {
            return request.retouch(camera, clipFrame + (camera == 0 ? front : rear), picture);
        };
    return options;
}

// The packets of each video track the finished clip must hold.
std::vector<int64_t> WrittenPackets(const ClipRequest& request, const ClipLayout& layout,
                                    const ClipSummary& done, const ClipComposer& composer) {
    if (request.compose != ClipCompose::None) return {composer.Encoded()};
    if (layout.hasRear) return {done.frontFrames, done.rearFrames};
    return {done.frontFrames};
}

// The creation time of the clip from the recording its first frame, key, comes from.
std::string CreationTimeAt(const ClipExporter::CreationTime& creationTime,
                           const std::vector<SourceFile>& files, int64_t key) {
    if (!creationTime) return {};
    const int64_t rate = files[0].frontRate;
    for (const SourceFile& f : files)
        if (key >= f.firstFrame && key < f.firstFrame + f.frontCount)
            return creationTime(f.path, (key - f.firstFrame) * 1000 / rate);
    return {};
}

}  // namespace

ClipResult ClipExporter::Run(const ClipRequest& request, ClipSummary* summary, std::string* error) {
    if (request.paths.empty()) return Fail(error, "no recording given"), ClipResult::Failed;
    // A picture's frame number in a recording is only known for a clip of that one recording.
    if (request.retouch && (request.paths.size() != 1 || request.compose == ClipCompose::None))
        return Fail(error,
                    "marked regions can only be blurred in a composed clip of one recording"),
               ClipResult::Failed;
    const bool withGpx = !request.gpxPath.empty() && !request.noPosition;
    std::vector<std::string> outputs{request.outPath};
    if (withGpx) outputs.push_back(request.gpxPath);
    if (!CheckExportTargets(request.paths, outputs, error)) return ClipResult::Failed;
    std::vector<SourceFile> files;
    int64_t total = 0, key = 0, end = 0;
    if (!ProbeAll(request.paths, files, &total, error) ||
        !ClipSpan(request, files, total, &key, &end, error))
        return ClipResult::Failed;
    ClipLayout layout = LayoutOf(files, request);
    layout.creationTime = CreationTimeAt(m_creationTime, files, key);
    // Declared before the muxer, so that the muxer has closed the file before it goes.
    PendingFile mp4, gpx;
    if (!mp4.Create(request.outPath, error)) return ClipResult::Failed;
    if (withGpx && !gpx.Create(request.gpxPath, error)) return ClipResult::Failed;
    ClipMuxer copier;
    ClipComposer composer;
    const bool copying = request.compose == ClipCompose::None;
    VClipSink& muxer = copying ? static_cast<VClipSink&>(copier) : composer;
    if (copying ? !copier.Open(mp4.TempPath(), request.outPath, layout, error)
                : !composer.Open(mp4.TempPath(), request.outPath, layout,
                                 ComposeOptions(request, layout, key), error))
        return ClipResult::Failed;
    ClipWalk walk(files, key, end, layout.audioRate, muxer, m_progress, m_textSink, m_cancel);
    ClipSummary done;
    const ClipResult result = walk.Run(done, error);
    if (result != ClipResult::Done) return result;  // the temporaries go with mp4 and gpx
    if (done.frontFrames == 0) return Fail(error, "no picture in the span"), ClipResult::Failed;
    if (!muxer.Finish(error)) return ClipResult::Failed;
    done.videoPackets = WrittenPackets(request, layout, done, composer);
    const int videoTracks = copying && layout.hasRear ? 2 : 1;
    if (!ClipReadsBack(mp4.TempPath(), request.outPath, videoTracks, error))
        return ClipResult::Failed;
    if (withGpx && !gpx.WriteAll(m_gpxDocument ? m_gpxDocument() : std::string(), error))
        return ClipResult::Failed;
    if (m_cancel.load()) return ClipResult::Cancelled;
    if (!PendingFile::CommitAll({&mp4, withGpx ? &gpx : nullptr}, error)) return ClipResult::Failed;
    if (summary) *summary = done;
    return ClipResult::Done;
}
