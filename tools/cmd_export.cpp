// export: a clip of one recording, or of several played one after another, as an MP4 with
// both cameras copied as recorded (or, with --compose, in one picture with a caption) and the
// sound in AAC, and optionally its GPS track as GPX.
// Prints what was written as JSON; progress goes to stderr with --progress. Refuses outputs
// that are inputs or recordings; writes nothing unless everything is written.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "media/ClipExporter.h"
#include "media/ExportTargets.h"
#include "support/JsonWriter.h"
#include "telemetry/ClipCaption.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipGpx.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "export";

int RunExport(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    ClipRequest request;
    std::string gpxPath;
    bool haveFrom = false, haveTo = false, progress = false;
    CaptionOptions captionOptions;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--from" || a == "--to") {
            int64_t ms = 0;
            if (i + 1 >= args.size() || !ToolParseSeconds(args[i + 1], ms))
                return ToolUsageError(kName, a + " needs a number of seconds");
            ++i;
            (a == "--from" ? request.fromMs : request.toMs) = ms;
            (a == "--from" ? haveFrom : haveTo) = true;
        } else if (a == "--gpx") {
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--gpx needs a file");
            gpxPath = args[++i];
        } else if (a == "--compose") {
            const std::string mode = i + 1 < args.size() ? args[++i] : std::string();
            if (mode == "pip")
                request.compose = ClipCompose::PictureInPicture;
            else if (mode == "side")
                request.compose = ClipCompose::SideBySide;
            else
                return ToolUsageError(kName, "--compose takes pip or side");
        } else if (a == "--no-sound") {
            request.noSound = true;
        } else if (a == "--no-position") {
            request.noPosition = true;
            captionOptions.position = false;
        } else if (a == "--mph") {
            captionOptions.mph = true;
        } else if (a == "--progress") {
            progress = true;
        } else if (!a.empty() && a[0] == '-') {
            return ToolUsageError(kName, "unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() < 2) return ToolUsageError(kName, "needs a recording and the output file");
    if (!haveFrom || !haveTo) return ToolUsageError(kName, "--from and --to are required");
    if (request.toMs <= request.fromMs) return ToolUsageError(kName, "--to must be after --from");
    request.outPath = files.back();
    // "export *.AVI ..." without the output: the newest recording would take its place.
    if (HasRecordingName(request.outPath))
        return ToolUsageError(kName, "the last file, " + request.outPath +
                                         ", is a recording; the output file is missing");
    files.pop_back();
    request.paths = files;
    request.gpxPath = gpxPath;
    if (request.noPosition) gpxPath.clear();

    // The AAC encoder reports its statistics at the information level when it closes.
    av_log_set_level(AV_LOG_ERROR);
    ClipExporter exporter;
    ClipGpx gpx(files);
    exporter.SetTextSink(gpx.Sink());
    exporter.SetGpxDocument([&gpx] { return gpx.Document(); });
    std::optional<CreationTime> created;
    exporter.SetCreationTime([&created](const std::string& path, int64_t positionMs) {
        created = PictureCreationTime(path, positionMs);
        return created ? created->text : std::string();
    });
    if (progress)
        exporter.SetProgress([](double f) { std::fprintf(stderr, "progress %.2f\n", f); });
    ClipSummary summary;
    std::string error;
    ClipCaption caption;
    if (request.compose != ClipCompose::None) {
        if (!caption.Load(files, captionOptions, &error)) return ToolFailure("export: " + error);
        request.caption = [&caption](int64_t ms) { return caption.Text(ms); };
    }
    if (exporter.Export(request, &summary, &error) != ClipResult::Done)
        return ToolFailure("export: " + error);

    JsonWriter j;
    j.BeginObject()
        .Key("output")
        .String(request.outPath)
        .Key("start_ms")
        .Int(summary.startMs)
        .Key("end_ms")
        .Int(summary.endMs)
        .Key("front_frames")
        .Int(summary.frontFrames)
        .Key("rear_frames")
        .Int(summary.rearFrames)
        .Key("audio_samples")
        .Int(summary.audioSamples)
        .Key("audio_rate")
        .Int(summary.audioRate)
        .Key("gpx");
    if (gpxPath.empty())
        j.Null();
    else
        j.String(gpxPath);
    j.Key("gpx_points").Int(request.noPosition ? 0 : gpx.PointCount());
    // "utc" where the fixes gave the camera clock's offset; "local": the camera clock as it
    // read, taken as the local time.
    j.Key("creation_time");
    if (created)
        j.String(created->text).Key("creation_time_zone").String(created->utc ? "utc" : "local");
    else
        j.Null().Key("creation_time_zone").Null();
    j.EndObject();
    std::printf("%s\n", j.Text().c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(export_clip, "export",
                    "FILE [FILE...] --from SECONDS --to SECONDS OUT.mp4 [--gpx OUT.gpx] "
                    "[--compose pip|side] [--mph] [--no-sound] [--no-position] [--progress]",
                    RunExport);
