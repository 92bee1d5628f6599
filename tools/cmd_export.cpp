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

struct ExportArgs {
    std::vector<std::string> files;
    ClipRequest request;
    std::string gpxPath;  // empty: no track, also with --no-position
    bool progress = false;
    CaptionOptions captionOptions;
    ClipBudget budget;
    std::string masksPath;
};

// One option of the export command; "" when taken, else what is wrong with it.
std::string TakeOption(const std::vector<std::string>& args, size_t& i, ExportArgs& e,
                       ClipBudgetArgs& budget) {
    const std::string& a = args[i];
    ClipRequest& request = e.request;
    std::string budgetError;
    if (const int b = ParseClipBudgetOption(args, &i, &budget, &budgetError))
        return b < 0 ? budgetError : "";
    if (a == "--from" || a == "--to") {
        int64_t ms = 0;
        if (i + 1 >= args.size() || !ToolParseSeconds(args[i + 1], ms))
            return a + " needs a number of seconds";
        ++i;
        (a == "--from" ? request.fromMs : request.toMs) = ms;
        return "";
    }
    if (a == "--gpx" || a == "--redact") {
        if (i + 1 >= args.size())
            return a == "--gpx" ? "--gpx needs a file" : "--redact needs a masks file";
        return (a == "--gpx" ? e.gpxPath : e.masksPath) = args[++i], "";
    }
    if (a == "--compose") {
        const std::string mode = i + 1 < args.size() ? args[++i] : std::string();
        if (mode != "pip" && mode != "side") return "--compose takes pip or side";
        request.compose = mode == "pip" ? ClipCompose::PictureInPicture : ClipCompose::SideBySide;
        return "";
    }
    if (a == "--no-position") {
        request.noPosition = true;
        e.captionOptions.position = false;
        return "";
    }
    bool* flag = a == "--no-sound"   ? &request.noSound
                 : a == "--mph"      ? &e.captionOptions.mph
                 : a == "--progress" ? &e.progress
                                     : nullptr;
    if (!flag) return "unknown option " + a;
    return *flag = true, "";
}

int ParseExport(const std::vector<std::string>& args, ExportArgs& e) {
    ClipRequest& request = e.request;
    request.fromMs = request.toMs = -1;
    ClipBudgetArgs budgetArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].empty() || args[i][0] != '-')
            e.files.push_back(args[i]);
        else if (const std::string usage = TakeOption(args, i, e, budgetArgs); !usage.empty())
            return ToolUsageError(kName, usage);
    }
    if (e.files.size() < 2) return ToolUsageError(kName, "needs a recording and the output file");
    if (request.fromMs < 0 || request.toMs < 0)
        return ToolUsageError(kName, "--from and --to are required");
    if (request.toMs <= request.fromMs) return ToolUsageError(kName, "--to must be after --from");
    request.outPath = e.files.back();
    // "export *.AVI ..." without the output: the newest recording would take its place.
    if (HasRecordingName(request.outPath))
        return ToolUsageError(kName, "the last file, " + request.outPath +
                                         ", is a recording; the output file is missing");
    e.files.pop_back();
    request.paths = e.files;
    request.gpxPath = e.gpxPath;
    if (request.noPosition) e.gpxPath.clear();
    e.budget = FinalBudget(budgetArgs);
    if (!e.masksPath.empty() &&
        (e.files.size() != 1 || (request.compose == ClipCompose::None && !e.budget.Any())))
        return ToolUsageError(kName,
                              "--redact needs --compose and one recording: the lossless clip "
                              "copies the recording's packets and cannot be blurred");
    return kToolOk;
}

// What was written, as one JSON line.
void PrintExport(const ExportArgs& e, const std::string& output, const ClipSummary& summary,
                 int64_t gpxPoints, const std::optional<CreationTime>& created,
                 const FitResult* fit, const MaskPainter& painter) {
    JsonWriter j;
    j.BeginObject().Key("output").String(output);
    j.Key("start_ms").Int(summary.startMs).Key("end_ms").Int(summary.endMs);
    j.Key("front_frames").Int(summary.frontFrames).Key("rear_frames").Int(summary.rearFrames);
    j.Key("audio_samples").Int(summary.audioSamples).Key("audio_rate").Int(summary.audioRate);
    j.Key("gpx");
    if (e.gpxPath.empty())
        j.Null();
    else
        j.String(e.gpxPath);
    j.Key("gpx_points").Int(e.request.noPosition ? 0 : gpxPoints);
    // "utc" where the fixes gave the camera clock's offset; "local": the camera clock as it
    // read, taken as the local time.
    j.Key("creation_time");
    if (created)
        j.String(created->text).Key("creation_time_zone").String(created->utc ? "utc" : "local");
    else
        j.Null().Key("creation_time_zone").Null();
    if (fit) WriteFitJson(*fit, summary.startMs, j);
    if (!e.masksPath.empty()) j.Key("redacted_boxes").Int(painter.BoxesPainted());
    j.EndObject();
    std::printf("%s\n", j.Text().c_str());
}

// The budgeted parts encoded from the working copy, the track going in place with them.
bool FitParts(const ExportArgs& e, WorkingCopy& working, FitResult* fit, std::string* error) {
    const bool progress = e.progress;
    const ClipFitter::Progress fitProgress = [progress](double f) {
        if (progress) std::fprintf(stderr, "fitting %.2f\n", f);
        return true;
    };
    std::vector<PendingFile*> alongside;
    if (!working.gpxTarget.empty()) alongside.push_back(&working.gpx);
    return working.ReadyTrack(error) &&
           FitWorkingCopy(e.request.outPath, e.budget, RecordingsBitsPerSecond(e.files),
                          working.target, fitProgress, fit, error, alongside);
}

int RunExport(const std::vector<std::string>& args) {
    ExportArgs e;
    if (const int usage = ParseExport(args, e); usage != kToolOk) return usage;
    ClipRequest& request = e.request;
    MaskSet masks;
    std::string error;
    if (!e.masksPath.empty() && !LoadRedaction(e.files[0], e.masksPath, &masks, &error))
        return ToolFailure("export: " + error);
    MaskPainter painter(masks);
    if (!e.masksPath.empty())
        request.retouch = [&painter](int camera, int64_t frame, AVFrame* picture) {
            return painter.Paint(camera, frame, picture);
        };
    WorkingCopy working;
    if (e.budget.Any()) {
        // The budget is met by parts encoded from a composed working copy.
        if (request.compose == ClipCompose::None) request.compose = ClipCompose::PictureInPicture;
        if (!working.Prepare(request, e.budget, &error)) return ToolFailure("export: " + error);
    }
    // The AAC encoder reports its statistics at the information level when it closes.
    av_log_set_level(AV_LOG_ERROR);
    ClipExporter exporter;
    ClipGpx gpx(e.files);
    exporter.SetTextSink(gpx.Sink());
    exporter.SetGpxDocument([&gpx] { return gpx.Document(); });
    std::optional<CreationTime> created;
    exporter.SetCreationTime([&created](const std::string& path, int64_t positionMs) {
        created = PictureCreationTime(path, positionMs);
        return created ? created->text : std::string();
    });
    if (e.progress)
        exporter.SetProgress([](double f) { std::fprintf(stderr, "progress %.2f\n", f); });
    ClipCaption caption;
    if (request.compose != ClipCompose::None) {
        if (!caption.Load(e.files, e.captionOptions, &error))
            return ToolFailure("export: " + error);
        request.caption = [&caption](int64_t ms) { return caption.Text(ms); };
    }
    ClipSummary summary;
    if (exporter.Export(request, &summary, &error) != ClipResult::Done)
        return ToolFailure("export: " + error);
    FitResult fit;
    if (e.budget.Any() && !FitParts(e, working, &fit, &error))
        return ToolFailure("export: " + error);
    PrintExport(e, e.budget.Any() ? working.target : request.outPath, summary, gpx.PointCount(),
                created, e.budget.Any() ? &fit : nullptr, painter);
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(export_clip, "export",
                    "FILE [FILE...] --from SECONDS --to SECONDS OUT.mp4 [--gpx OUT.gpx] "
                    "[--compose pip|side] [--redact MASKS] [--mph] [--no-sound] [--no-position] "
                    "[--progress] "
                    "[--max-mb N] [--max-files N] [--max-seconds N] [--portal kr|uk]",
                    RunExport);
