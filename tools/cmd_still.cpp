// still: both cameras' pictures of one moment of a recording as JPEG stills named after the
// picture's time on the camera clock, with that time, the clock's offset from UTC, the GPS
// fix and the frame in their EXIF.
//
//   still FILE --at SECONDS OUT_DIR [--no-position]

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/CPlaybackSession.h"
#include "support/HeadlessVideoWindow.h"
#include "support/JsonWriter.h"
#include "telemetry/CameraClock.h"
#include "telemetry/MomentStill.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "still";
constexpr double kLongestAtSec = 24 * 3600;

struct StillOptions {
    std::string path;
    std::string folder;
    double atSec = -1;
    bool withPosition = true;
};

int ParseOptions(const std::vector<std::string>& args, StillOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at") {
            char* end = nullptr;
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--at needs SECONDS");
            o.atSec = std::strtod(args[i + 1].c_str(), &end);
            if (args[i + 1].empty() || !end || *end != '\0' || !(o.atSec >= 0) ||
                o.atSec > kLongestAtSec)
                return ToolUsageError(kName, "--at needs SECONDS of 0 or more");
            ++i;
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
    if (o.atSec < 0) return ToolUsageError(kName, "--at SECONDS is required");
    return kToolOk;
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
    if (!RecordingStartSec(o.path))
        return ToolFailure("still: " + o.path + ": the name carries no start time");
    const int64_t atMs = std::llround(o.atSec * 1000);
    if (atMs >= telemetry.durationMs)
        return ToolFailure("still: " + o.path + " is only " + std::to_string(telemetry.durationMs) +
                           " ms long");

    // Size 0 x 0: the pictures are decoded but converted only for the stills.
    HeadlessVideoWindow front(0, 0), rear(0, 0);
    CPlaybackSession engine;
    if (!engine.Start(&front, &rear, false)) return ToolFailure("still: the player did not start");
    CQRVMediaPlayer& player = engine.Player();
    if (!player.Open(o.path.c_str())) {
        engine.Stop();
        return ToolFailure("still: not a playable recording: " + o.path);
    }
    // Paused first, so the seek shows the frame asked for and playback stays there.
    player.Pause();
    player.WaitForWorker();
    player.SeekToMs(static_cast<int32_t>(atMs));
    player.WaitForWorker();
    const int64_t positionMs = player.GetPositionMs();
    const std::optional<StillMoment> moment =
        MakeStillMoment(o.path, positionMs, player.GetFrameCounter(), telemetry, o.withPosition);
    std::vector<StillTarget> targets{
        {0, (std::filesystem::path(o.folder) / StillFileName(moment->cameraMs, 0)).string()}};
    if (player.GetCameraCount() > 1)
        targets.push_back(
            {1, (std::filesystem::path(o.folder) / StillFileName(moment->cameraMs, 1)).string()});
    std::string error;
    const bool ok = WriteStills(
        targets, *moment,
        [&player](int camera, const std::string& path) {
            return player.Capture(camera, path.c_str());
        },
        &error);
    engine.Stop();
    if (!ok) return ToolFailure("still: " + error);
    PrintResult(*moment, targets, positionMs);
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(still, "still", "FILE --at SECONDS OUT_DIR [--no-position]", RunStill);
