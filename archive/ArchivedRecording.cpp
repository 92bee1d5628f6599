#include "archive/ArchivedRecording.h"

#include "media/CAVIExtractor.h"
#include "media/MediaInfo.h"
#include "telemetry/CameraClock.h"
#include "telemetry/EventDetector.h"
#include "telemetry/EventMoment.h"
#include "telemetry/TelemetryWalk.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;

// The first usable fix of every second of the recording.
std::vector<ArchivedWaypoint> WaypointsOf(const RecordingTelemetry& t, const ArchivedRecording& r) {
    std::vector<ArchivedWaypoint> out;
    int64_t lastSecond = -1;
    for (const TimedFix& f : t.fixes) {
        const int64_t second = f.timeMs / kMsPerSecond;
        if (!f.fix.IsUsable() || second == lastSecond) continue;
        lastSecond = second;
        ArchivedWaypoint w;
        w.offsetMs = f.timeMs;
        w.timeCameraMs = CameraTimeMs(r.startCamera.value_or(0), f.timeMs);
        if (r.startCamera && r.clockOffsetS) w.timeUtcMs = w.timeCameraMs - *r.clockOffsetS * 1000;
        w.latitude = f.fix.GetLatitude();
        w.longitude = f.fix.GetLongitude();
        w.speedKmh = f.fix.GetSpeed();
        w.heading = f.fix.course;
        out.push_back(w);
    }
    return out;
}

std::vector<ArchivedEvent> EventsOf(const RecordingTelemetry& t, const ArchivedRecording& r) {
    std::vector<ArchivedEvent> out;
    for (const EventMoment& m : DescribeEvents(DetectEvents(t.samples), r.startCamera, t.fixes)) {
        ArchivedEvent e;
        e.kind = DrivingEventName(m.event.kind);
        e.offsetMs = m.event.timeMs;
        e.timeCameraMs = m.cameraMs;
        if (m.cameraMs && r.clockOffsetS) e.timeUtcMs = *m.cameraMs - *r.clockOffsetS * 1000;
        e.peakG = m.event.peakG;
        e.speedKmh = m.speedKmh;
        if (const int64_t at = NearestValidFix(t.fixes, m.event.timeMs); at >= 0) {
            e.latitude = t.fixes[at].fix.GetLatitude();
            e.longitude = t.fixes[at].fix.GetLongitude();
        }
        out.push_back(e);
    }
    return out;
}

}  // namespace

bool ReadRecordingFacts(const std::string& file, ArchivedRecording& out) {
    out.startCamera = RecordingStartSec(out.name);
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(file.c_str(), &info) == 0) return false;
    out.cameras = info.rearFrameCount > 0 ? 2 : 1;
    out.codec = VideoCodecName(reader.GetVideoCodec(0));
    RecordingTelemetry telemetry;
    if (!WalkTelemetry(file, telemetry)) return false;
    out.lengthMs = telemetry.durationMs;
    if (out.startCamera) {
        out.clockOffsetS = ClockOffsetSec(*out.startCamera, telemetry.fixes);
        if (out.clockOffsetS) out.startUtc = *out.startCamera - *out.clockOffsetS;
    }
    out.waypoints = WaypointsOf(telemetry, out);
    out.events = EventsOf(telemetry, out);
    return true;
}
