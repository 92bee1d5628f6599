// still: both cameras' pictures of one moment of a recording as JPEG stills named after the
// picture's time on the camera clock, with that time, the clock's offset from UTC, the GPS
// fix and the frame in their EXIF.
//
//   still FILE --at SECONDS OUT_DIR [--no-position] [--redact MASKS]

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "evidence/MomentStills.h"
#include "redact/MaskPainter.h"
#include "support/JsonWriter.h"
#include "telemetry/CameraClock.h"
#include "telemetry/MomentStill.h"
#include "tools/RedactArgs.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "still";
constexpr int64_t kLongestAtMs = int64_t{24} * 3600 * 1000;

struct StillOptions {
    std::string path;
    std::string folder;
    std::string masks;  // --redact
    int64_t atMs = -1;
    bool withPosition = true;
};

int ParseOptions(const std::vector<std::string>& args, StillOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at") {
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--at needs SECONDS");
            if (!ToolParseSeconds(args[i + 1], o.atMs) || o.atMs > kLongestAtMs)
                return ToolUsageError(kName, "--at needs SECONDS of 0 or more");
            ++i;
        } else if (a == "--redact") {
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--redact needs a masks file");
            o.masks = args[++i];
        } else if (a == "--no-position") {
            o.withPosition = false;
        } else if (!a.empty() && a[0] == '-') {
            return ToolUsageError(kName, "unknown option " + a);
        } else if (o.path.empty()) {
            o.path = a;
        } else if (o.folder.empty()) {
            o.folder = a;
        } else {
            return ToolUsageError(kName, "unexpected argument '" + a + "'");
        }
    }
    if (o.path.empty() || o.folder.empty())
        return ToolUsageError(kName, "expected FILE and OUT_DIR");
    if (o.atMs < 0) return ToolUsageError(kName, "--at SECONDS is required");
    return kToolOk;
}

// The rear picture shown beside front frame frontFrame: the same moment at the rear's rate.
int64_t RearFrameFor(const MaskSet& masks, int camera, int64_t frontFrame) {
    const MaskCamera* front = masks.Camera(0);
    const MaskCamera* rear = masks.Camera(1);
    if (camera == 0 || !front || !rear) return frontFrame;
    return frontFrame * rear->frames / front->frames;
}

void PrintResult(const StillMoment& moment, const std::vector<StillTarget>& targets,
                 int64_t positionMs) {
    JsonWriter j;
    j.BeginObject()
        .Key("recording")
        .String(moment.recording)
        .Key("frame")
        .Int(moment.frameIndex)
        .Key("position_ms")
        .Int(positionMs)
        .Key("time_of_day")
        .String(FormatClockIsoMs(moment.cameraMs))
        .Key("clock_offset_s");
    if (moment.clockOffsetSec)
        j.Int(*moment.clockOffsetSec);
    else
        j.Null();
    j.Key("position").Bool(moment.fix.has_value());
    j.Key("stills").BeginArray();
    for (const StillTarget& t : targets) {
        j.BeginObject()
            .Key("camera")
            .String(t.camera == 0 ? "front" : "rear")
            .Key("path")
            .String(t.path)
            .EndObject();
    }
    j.EndArray().EndObject();
    std::printf("%s\n", j.Text().c_str());
}

int RunStill(const std::vector<std::string>& args) {
    StillOptions o;
    if (const int usage = ParseOptions(args, o); usage != kToolOk) return usage;
    std::error_code ec;
    if (!std::filesystem::is_directory(o.folder, ec))
        return ToolFailure("still: " + o.folder + " is not a folder");
    RecordingTelemetry telemetry;
    if (!WalkTelemetry(o.path, telemetry))
        return ToolFailure("still: not a recording the reader accepts: " + o.path);
    MomentStillsResult result;
    std::string error;
    MaskSet masks;
    if (!o.masks.empty() && !LoadRedaction(o.path, o.masks, &masks, &error))
        return ToolFailure("still: " + error);
    MaskPainter painter(masks);
    StillRetouch retouch;
    std::string blurError;
    if (!o.masks.empty())
        retouch = [&](int camera, int64_t frontFrame, const std::string& jpeg) {
            std::string why;
            if (painter.PaintJpeg(camera, RearFrameFor(masks, camera, frontFrame), jpeg, &why))
                return true;
            blurError = std::string("cannot blur the marked regions in the ") +
                        MaskCameraName(camera) + " still: " + why;
            return false;
        };
    if (!WriteMomentStills(o.path, telemetry, o.atMs, o.folder, o.withPosition, &result, &error,
                           retouch))
        return ToolFailure("still: " + (blurError.empty() ? error : blurError));
    PrintResult(result.moment, result.stills, result.positionMs);
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(still, "still", "FILE --at SECONDS OUT_DIR [--no-position] [--redact MASKS]",
                    RunStill);
