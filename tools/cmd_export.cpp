// export: a clip of one recording, or of several played one after another, as an MP4 with
// both cameras copied as recorded (or, with --compose, in one picture with a caption) and the
// sound in AAC, and optionally its GPS track as GPX. With a budget (--max-mb, --max-files,
// --max-seconds, --portal) the composed clip is cut into parts that fit it (see ClipBudget.h).
// Prints what was written as JSON; progress goes to stderr with --progress. Refuses outputs
// that are inputs or recordings; writes nothing unless everything is written.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "media/ClipExporter.h"
#include "media/ClipFitter.h"
#include "media/ClipMuxer.h"
#include "media/ExportTargets.h"
#include "redact/MaskPainter.h"
#include "support/JsonWriter.h"
#include "support/PendingFile.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipCaption.h"
#include "telemetry/ClipGpx.h"
#include "tools/ClipBudgetArgs.h"
#include "tools/RedactArgs.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "export";

// The composed copy a budgeted export encodes its parts from, in a folder of its own that goes
// with it; the user's target is where the parts go.
struct WorkingCopy {
    std::string target;
    std::string gpxTarget;  // empty: no track
    std::filesystem::path folder;
    PendingFile gpx;

    // Refuses, before anything is written, a budget that cannot hold the stretch even at the
    // smallest picture, and targets the parts may not take.
    bool Prepare(ClipRequest& request, const ClipBudget& budget, std::string* error) {
        size_t parts = 0;
        if (!BudgetHoldsStretch(budget, request.toMs - request.fromMs,
                                request.noSound ? 0 : ClipMuxer::kAacBitRate, &parts, error))
            return false;
        std::vector<std::string> outputs = FitPartPaths(request.outPath, parts);
        if (!request.noPosition && !request.gpxPath.empty()) outputs.push_back(request.gpxPath);
        if (!CheckExportTargets(request.paths, outputs, error)) return false;
        std::string name = (std::filesystem::temp_directory_path() / "tarvex-clip-XXXXXX").string();
        if (!mkdtemp(name.data())) return *error = "cannot make a temporary folder", false;
        folder = name;
        target = request.outPath;
        request.outPath = (folder / "working.mp4").string();
        // The track goes in place with the parts, not with the working copy.
        if (!request.noPosition && !request.gpxPath.empty()) {
            gpxTarget = request.gpxPath;
            request.gpxPath = (folder / "track.gpx").string();
        }
        return true;
    }
    // The track written beside the working copy, readied to go in place with the parts.
    bool ReadyTrack(std::string* error) {
        if (gpxTarget.empty()) return true;
        std::ifstream in(folder / "track.gpx", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        return gpx.Create(gpxTarget, error) && gpx.WriteAll(text, error);
    }
    ~WorkingCopy() {
        std::error_code ec;
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }
};

int RunExport(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    ClipRequest request;
    std::string gpxPath;
    bool haveFrom = false, haveTo = false, progress = false;
    CaptionOptions captionOptions;
    ClipBudgetArgs budgetArgs;
    std::string budgetError, masksPath;
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
        } else if (a == "--redact") {
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--redact needs a masks file");
            masksPath = args[++i];
        } else if (a == "--progress") {
            progress = true;
        } else if (const int b = ParseClipBudgetOption(args, &i, &budgetArgs, &budgetError)) {
            if (b < 0) return ToolUsageError(kName, budgetError);
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
    const ClipBudget budget = FinalBudget(budgetArgs);
    if (!masksPath.empty() &&
        (files.size() != 1 || (request.compose == ClipCompose::None && !budget.Any())))
        return ToolUsageError(kName,
                              "--redact needs --compose and one recording: the lossless clip "
                              "copies the recording's packets and cannot be blurred");
    MaskSet masks;
    std::string masksError;
    if (!masksPath.empty() && !LoadRedaction(files[0], masksPath, &masks, &masksError))
        return ToolFailure("export: " + masksError);
    MaskPainter painter(masks);
    if (!masksPath.empty())
        request.retouch = [&painter](int camera, int64_t frame, AVFrame* picture) {
            return painter.Paint(camera, frame, picture);
        };
    WorkingCopy working;
    if (budget.Any()) {
        // The budget is met by parts encoded from a composed working copy.
        if (request.compose == ClipCompose::None) request.compose = ClipCompose::PictureInPicture;
        std::string error;
        if (!working.Prepare(request, budget, &error)) return ToolFailure("export: " + error);
    }

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
    FitResult fit;
    if (budget.Any()) {
        const ClipFitter::Progress fitProgress = [progress](double f) {
            if (progress) std::fprintf(stderr, "fitting %.2f\n", f);
            return true;
        };
        std::vector<PendingFile*> alongside;
        if (!working.gpxTarget.empty()) alongside.push_back(&working.gpx);
        if (!working.ReadyTrack(&error) ||
            !FitWorkingCopy(request.outPath, budget, RecordingsBitsPerSecond(files), working.target,
                            fitProgress, &fit, &error, alongside))
            return ToolFailure("export: " + error);
    }

    JsonWriter j;
    j.BeginObject()
        .Key("output")
        .String(budget.Any() ? working.target : request.outPath)
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
    if (budget.Any()) WriteFitJson(fit, summary.startMs, j);
    if (!masksPath.empty()) j.Key("redacted_boxes").Int(painter.BoxesPainted());
    j.EndObject();
    std::printf("%s\n", j.Text().c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(export_clip, "export",
                    "FILE [FILE...] --from SECONDS --to SECONDS OUT.mp4 [--gpx OUT.gpx] "
                    "[--compose pip|side] [--redact MASKS] [--mph] [--no-sound] [--no-position] "
                    "[--progress] "
                    "[--max-mb N] [--max-files N] [--max-seconds N] [--portal kr|uk]",
                    RunExport);
