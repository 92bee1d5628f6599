#include "telemetry/TelemetryWalk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"

namespace {

// A telemetry chunk is one sentence or one sample; anything far larger is not telemetry.
constexpr uint32_t kTextChunkCapacityBytes = 64 * 1024;
// The player counts a recording without a usable rate as 30 frames a second.
constexpr int32_t kFallbackFrameRate = 30;
constexpr size_t kRmcPrefixBytes = 7;      // 'G' + "$GPRMC"
constexpr size_t kSamplePayloadBytes = 4;  // 'M' + three axis bytes

bool IsRmcPayload(const uint8_t* p, size_t length) {
    return length >= kRmcPrefixBytes && p[0] == 'G' && std::memcmp(p + 2, "GPRMC", 5) == 0;
}

}  // namespace

bool WalkTelemetry(const std::string& path, RecordingTelemetry& out,
                   const std::atomic<bool>* cancel) {
    out = RecordingTelemetry{};
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0) return false;
    out.frameRate = reader.GetNativeFrameRate(0);
    const int64_t rate = out.frameRate > 0 ? out.frameRate : kFallbackFrameRate;
    out.durationMs = static_cast<int64_t>(info.frontFrameCount) * 1000 / rate;

    std::vector<uint8_t> buffer(kTextChunkCapacityBytes + 1);
    int64_t frontFrames = 0;
    char id[4];
    uint32_t size = 0;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            reader.CloseFile();
            out = RecordingTelemetry{};
            return false;
        }
        const int64_t position = reader.SkipChunk(id, &size);
        if (position < 0) break;
        const AviChunkKind kind = ClassifyChunk(id);
        if (kind == AviChunkKind::FrontVideo) ++frontFrames;
        if (kind != AviChunkKind::Text || size > kTextChunkCapacityBytes) continue;
        reader.Seek(position, 0);
        int32_t length = static_cast<int32_t>(kTextChunkCapacityBytes);
        if (reader.ParseMedia(id, buffer.data(), &length) < 0) break;
        const size_t n = static_cast<size_t>(length);
        buffer[n] = 0;
        const int64_t timeMs = frontFrames * 1000 / rate;
        if (IsRmcPayload(buffer.data(), n)) {
            out.fixes.push_back(
                {timeMs, CGPSData(reinterpret_cast<const char*>(buffer.data()), n, 0)});
        } else if (n >= kSamplePayloadBytes && buffer[0] == 'M') {
            out.samples.push_back({timeMs, CGSensorData(buffer[1], buffer[2], buffer[3], 0)});
        }
    }
    reader.CloseFile();
    // A recording without an index still has its frames in the movie data.
    if (out.durationMs == 0) out.durationMs = frontFrames * 1000 / rate;
    return true;
}

bool WalkTelemetry(const std::vector<std::string>& paths, RecordingTelemetry& out) {
    out = RecordingTelemetry{};
    for (const std::string& path : paths) {
        RecordingTelemetry one;
        if (!WalkTelemetry(path, one)) {
            out = RecordingTelemetry{};
            return false;
        }
        if (out.frameRate == 0) out.frameRate = one.frameRate;
        for (TimedFix& f : one.fixes) {
            f.timeMs += out.durationMs;
            out.fixes.push_back(std::move(f));
        }
        for (TimedSample& s : one.samples) {
            s.timeMs += out.durationMs;
            out.samples.push_back(s);
        }
        out.durationMs += one.durationMs;
    }
    return true;
}

int64_t NearestValidFix(const std::vector<TimedFix>& fixes, int64_t timeMs) {
    const auto at = std::lower_bound(fixes.begin(), fixes.end(), timeMs,
                                     [](const TimedFix& f, int64_t t) { return f.timeMs < t; });
    // The nearest usable fix at or after timeMs, and the nearest before it.
    auto after = at;
    while (after != fixes.end() && !after->fix.IsUsable()) ++after;
    auto before = at;
    bool hasBefore = false;
    while (before != fixes.begin()) {
        --before;
        if (before->fix.IsUsable()) {
            hasBefore = true;
            break;
        }
    }
    // Of several usable fixes at that same time, the first.
    for (auto earlier = before; hasBefore && earlier != fixes.begin();) {
        --earlier;
        if (earlier->timeMs != before->timeMs) break;
        if (earlier->fix.IsUsable()) before = earlier;
    }
    if (!hasBefore && after == fixes.end()) return -1;
    const bool takeBefore =
        hasBefore && (after == fixes.end() || timeMs - before->timeMs <= after->timeMs - timeMs);
    return (takeBefore ? before : after) - fixes.begin();
}

int64_t NearestValidFixTo(const std::vector<TimedFix>& fixes, double latitude, double longitude) {
    const double squeeze = std::cos(latitude * M_PI / 180.0);  // a degree of longitude is shorter
    int64_t best = -1;
    double bestDistance = 0;
    for (size_t i = 0; i < fixes.size(); ++i) {
        if (!fixes[i].fix.IsUsable()) continue;
        const double dLat = fixes[i].fix.GetLatitude() - latitude;
        const double dLon = (fixes[i].fix.GetLongitude() - longitude) * squeeze;
        const double d = dLat * dLat + dLon * dLon;
        if (best < 0 || d < bestDistance) {
            best = static_cast<int64_t>(i);
            bestDistance = d;
        }
    }
    return best;
}
