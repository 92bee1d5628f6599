#include "tools/cardgen/CardGenerator.h"

#include <cmath>
#include <deque>
#include <optional>
#include <vector>

#include "support/JsonWriter.h"
#include "tools/cardgen/AviWriter.h"
#include "tools/cardgen/BeepTone.h"
#include "tools/cardgen/DriveTrack.h"
#include "tools/cardgen/FramePattern.h"
#include "tools/cardgen/MovingPlate.h"
#include "tools/cardgen/TestPicture.h"
#include "tools/cardgen/VideoEncoder.h"

namespace {

constexpr int kPcmChunkBytes = 3840;
constexpr int kPcmChunkSamples = kPcmChunkBytes / 2;
constexpr int kNalSps = 7;
constexpr int kNalSlice = 1;
constexpr int kHevcNalVps = 32;
constexpr int kHevcNalLastOrdinarySlice = 9;  // TRAIL_N ... RASL_R
constexpr int kMaxDurationSec = 3600;
constexpr int kMaxDimension = 4096;

bool Reject(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

bool ValidSize(int width, int height) {
    return width >= 16 && height >= 16 && width <= kMaxDimension && height <= kMaxDimension &&
           width % 2 == 0 && height % 2 == 0;
}

bool CheckOptions(const RecordingOptions& o, std::string* error) {
    if (o.durationSec < 1 || o.durationSec > kMaxDurationSec)
        return Reject(error, "duration must be 1 to 3600 seconds");
    if (!ValidSize(o.frontWidth, o.frontHeight) ||
        (o.rearCamera && !ValidSize(o.rearWidth, o.rearHeight)))
        return Reject(error, "picture sizes must be even and 16 to 4096 pixels");
    if (o.frameRate < 1 || o.frameRate > 120) return Reject(error, "frame rate must be 1 to 120");
    if (o.keyFrameInterval < 1 || o.keyFrameInterval > 600)
        return Reject(error, "key frame interval must be 1 to 600 frames");
    if (o.encoderThreads < 1 || o.encoderThreads > 16)
        return Reject(error, "encoder threads must be 1 to 16");
    if (o.crf < 0 || o.crf > 51) return Reject(error, "crf must be 0 to 51");
    if (o.frontBitRateKbps < 0 || o.frontBitRateKbps > 100000 || o.rearBitRateKbps < 0 ||
        o.rearBitRateKbps > 100000)
        return Reject(error, "bit rates must be 0 to 100000 kbit/s");
    if (o.codec == VideoCodec::Unknown) return Reject(error, "the codec must be H.264 or H.265");
    if (o.noFixSeconds < 0) return Reject(error, "no-fix seconds cannot be negative");
    if (o.audio && (o.audioRate < 1000 || o.audioRate > 48000))
        return Reject(error, "audio rate must be 1000 to 48000 Hz");
    if (static_cast<int64_t>(o.durationSec) * o.frameRate > kFramePatternMaxIndex)
        return Reject(error, "too many frames for the frame pattern");
    return true;
}

// One camera: its encoder, its picture and the access units not yet written.
struct Camera {
    VideoEncoder encoder;
    TestPicture picture;
    std::deque<EncodedFrame> pending;
};

class RecordingWriter {
public:
    RecordingWriter(const RecordingOptions& o) : m_o(o), m_track(o, o.noFixSeconds) {}

    bool Run(const std::string& path, std::string* error) {
        AviLayout layout;
        layout.video.push_back({m_o.frontWidth, m_o.frontHeight, m_o.frameRate});
        if (m_o.rearCamera) layout.video.push_back({m_o.rearWidth, m_o.rearHeight, m_o.frameRate});
        layout.audio = m_o.audio;
        layout.audioRate = m_o.audioRate;
        layout.text = m_o.telemetry;
        layout.codec = m_o.codec;
        m_cameras.resize(layout.video.size());
        for (size_t c = 0; c < m_cameras.size(); ++c) {
            VideoEncoderSettings s;
            s.codec = m_o.codec;
            s.cameraLike = m_o.cameraLike;
            s.width = layout.video[c].width;
            s.height = layout.video[c].height;
            s.frameRate = m_o.frameRate;
            s.keyFrameInterval = m_o.keyFrameInterval;
            s.threads = m_o.encoderThreads;
            s.crf = m_o.crf;
            s.bitRateKbps = c == 0 ? m_o.frontBitRateKbps : m_o.rearBitRateKbps;
            if (!m_cameras[c].encoder.Open(s, error)) return false;
            m_cameras[c].picture.Prepare(s.width, s.height, static_cast<int>(c), m_o.frameRate);
        }
        if (m_o.plate) m_plate.emplace(m_o.frontWidth, m_o.frontHeight, m_o.frameRate);
        if (m_o.telemetry) m_telemetry = m_track.Payloads();
        if (!m_avi.Open(path, layout, error)) return false;

        const int frames = m_o.durationSec * m_o.frameRate;
        std::vector<EncodedFrame> out;
        for (int i = 0; i < frames; ++i) {
            for (Camera& camera : m_cameras) {
                AVFrame* picture = camera.encoder.Picture();
                if (!picture) return Fail(error, "cannot get a picture to draw into");
                camera.picture.Draw(picture, i);
                if (m_plate && &camera == &m_cameras.front()) m_plate->Draw(picture, i);
                out.clear();
                if (!camera.encoder.Encode(out, error)) return Fail(error, nullptr);
                for (EncodedFrame& f : out) camera.pending.push_back(std::move(f));
            }
            if (!WriteReady(error)) return false;
        }
        for (Camera& camera : m_cameras) {
            out.clear();
            if (!camera.encoder.Flush(out, error)) return Fail(error, nullptr);
            for (EncodedFrame& f : out) camera.pending.push_back(std::move(f));
        }
        if (!WriteReady(error)) return false;
        if (m_nextFrame != frames) return Fail(error, "the encoder lost frames");
        return m_avi.Finish(m_o.writeIndex, error);
    }

private:
    bool Fail(std::string* error, const char* message) {
        if (message && error) *error = message;
        m_avi.Abandon();
        return false;
    }

    // Writes every frame whose access units are complete for all cameras, each preceded by
    // the sound and telemetry whose time has come.
    bool WriteReady(std::string* error) {
        for (;;) {
            for (const Camera& camera : m_cameras)
                if (camera.pending.empty()) return true;
            if (!WriteDueBefore(m_nextFrame, error)) return false;
            for (size_t c = 0; c < m_cameras.size(); ++c) {
                EncodedFrame& f = m_cameras[c].pending.front();
                if (f.index != m_nextFrame || !InRecorderForm(f))
                    return Fail(error, "the encoder's output is not in the recorder's form");
                if (!m_avi.WriteVideo(static_cast<int>(c), f.data.data(), f.data.size(),
                                      f.keyFrame))
                    return Fail(error, "cannot write the recording (disk full?)");
                m_cameras[c].pending.pop_front();
            }
            ++m_nextFrame;
        }
    }

    // A key frame starts with its first parameter set, any other frame with its slice.
    bool InRecorderForm(const EncodedFrame& f) const {
        if (m_o.codec == VideoCodec::Hevc)
            return f.keyFrame ? f.firstNalType == kHevcNalVps
                              : f.firstNalType >= 0 && f.firstNalType <= kHevcNalLastOrdinarySlice;
        return f.firstNalType == (f.keyFrame ? kNalSps : kNalSlice);
    }

    // Sound and telemetry chunks start at or before the time of frame `frame`.
    bool WriteDueBefore(int64_t frame, std::string* error) {
        const int64_t fps = m_o.frameRate;
        if (m_o.audio) {
            while (m_audioSample * fps <= frame * m_o.audioRate) {
                int16_t samples[kPcmChunkSamples];
                FillBeepPcm(m_audioSample, kPcmChunkSamples, m_o.audioRate, samples);
                uint8_t bytes[kPcmChunkBytes];
                for (int i = 0; i < kPcmChunkSamples; ++i) {
                    bytes[2 * i] = static_cast<uint8_t>(samples[i]);
                    bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(samples[i]) >> 8);
                }
                if (!m_avi.WriteAudio(bytes, sizeof bytes))
                    return Fail(error, "cannot write the recording (disk full?)");
                m_audioSample += kPcmChunkSamples;
            }
        }
        while (m_nextText < m_telemetry.size() &&
               m_telemetry[m_nextText].timeMs * fps <= frame * 1000) {
            const std::string& bytes = m_telemetry[m_nextText].bytes;
            if (!m_avi.WriteText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
                return Fail(error, "cannot write the recording (disk full?)");
            ++m_nextText;
        }
        return true;
    }

    const RecordingOptions& m_o;
    DriveTrack m_track;
    AviWriter m_avi;
    std::vector<Camera> m_cameras;
    std::optional<MovingPlate> m_plate;  // front camera only
    std::vector<TelemetryPayload> m_telemetry;
    size_t m_nextText = 0;
    int64_t m_audioSample = 0;
    int64_t m_nextFrame = 0;
};

}  // namespace

bool CheckGEvents(const RecordingOptions& o, std::string* error) {
    for (const GeneratedGEvent& e : o.gEvents) {
        if (e.kind != 'b' && e.kind != 'a' && e.kind != 't' && e.kind != 'i')
            return Reject(error, "G-sensor event kinds are b, a, t and i");
        if (e.timeMs < 0 || e.timeMs >= o.durationSec * 1000)
            return Reject(error, "G-sensor events must lie inside the recording");
    }
    return true;
}

bool WriteRecording(const std::string& path, const RecordingOptions& options, std::string* error) {
    if (!CheckOptions(options, error) || !CheckGEvents(options, error)) return false;
    RecordingWriter writer(options);
    return writer.Run(path, error);
}

std::string PlateTruthJson(const RecordingOptions& options) {
    const MovingPlate plate(options.frontWidth, options.frontHeight, options.frameRate);
    JsonWriter j;
    j.BeginObject().Key("version").Int(1).Key("camera").String("front").Key("kind").String("plate");
    j.Key("width").Int(options.frontWidth).Key("height").Int(options.frontHeight);
    j.Key("frames").BeginArray();
    const int frames = options.durationSec * options.frameRate;
    for (int i = 0; i < frames; ++i) {
        const PlateBox b = plate.BoxAt(i);
        j.BeginObject().Key("frame").Int(i);
        j.Key("time_ms").Int(std::llround(i * 1000.0 / options.frameRate));
        j.Key("box").BeginArray().Int(b.x).Int(b.y).Int(b.width).Int(b.height).EndArray();
        j.EndObject();
    }
    j.EndArray().EndObject();
    return j.Text();
}
