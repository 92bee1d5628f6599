// track: follows a box drawn on one picture of a recording through a span of it and writes
// the region as a masks file (or adds it to one).
//
//   track FILE --camera front|rear --at S --box X,Y,W,H [--from S --to S]
//         [--kind plate|face|other] [--tracker csrt|kcf] [--add-to masks.json] [--out FILE]

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "redact/RecordingShape.h"
#include "redact/vision/RecordingFrames.h"
#include "redact/vision/RegionTracker.h"
#include "support/Profile.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "track";
// The tracker sees pictures no larger than this; a plate keeps enough pixels to follow.
constexpr int kTrackingSidePixels = 960;

struct TrackArgs {
    std::string path, out, addTo;
    int camera = 0;
    int64_t atMs = -1, fromMs = -1, toMs = -1;
    MaskBox box;
    MaskKind kind = MaskKind::Plate;
    TrackerKind tracker = TrackerKind::Kcf;
};

bool ParseBox(const std::string& text, MaskBox* box) {
    long long v[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (i == 3)) return false;
        if (!ToolParseInt(text.substr(start, comma - start), v[i])) return false;
        start = comma + 1;
    }
    if (v[2] < 1 || v[3] < 1 || v[0] < 0 || v[1] < 0 || v[0] > 1 << 16 || v[1] > 1 << 16 ||
        v[2] > 1 << 16 || v[3] > 1 << 16)
        return false;
    box->x = int(v[0]), box->y = int(v[1]), box->width = int(v[2]), box->height = int(v[3]);
    return true;
}

// Takes the option at args[i] (and its value); a usage message when it is wrong.
std::string TakeOption(const std::vector<std::string>& args, size_t& i, TrackArgs& t) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) return a + " needs a value";
    const std::string& v = args[++i];
    if (a == "--camera") return ParseMaskCamera(v, &t.camera) ? "" : "--camera needs front or rear";
    if (a == "--box") return ParseBox(v, &t.box) ? "" : "--box needs X,Y,W,H in pixels";
    if (a == "--kind") return ParseMaskKind(v, &t.kind) ? "" : "--kind needs plate, face or other";
    if (a == "--tracker") {
        if (v != "csrt" && v != "kcf") return "--tracker needs csrt or kcf";
        t.tracker = v == "kcf" ? TrackerKind::Kcf : TrackerKind::Csrt;
        return "";
    }
    if (a == "--out") return t.out = v, "";
    if (a == "--add-to") return t.addTo = v, "";
    int64_t* ms = a == "--at"     ? &t.atMs
                  : a == "--from" ? &t.fromMs
                  : a == "--to"   ? &t.toMs
                                  : nullptr;
    if (!ms) return "unknown option " + a;
    return ToolParseSeconds(v, *ms) ? "" : a + " needs SECONDS";
}

int ParseArgs(const std::vector<std::string>& args, TrackArgs& t) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (!args[i].empty() && args[i][0] == '-') {
            const std::string usage = TakeOption(args, i, t);
            if (!usage.empty()) return ToolUsageError(kName, usage);
        } else if (t.path.empty()) {
            t.path = args[i];
        } else {
            return ToolUsageError(kName, "more than one recording given");
        }
    }
    if (t.path.empty()) return ToolUsageError(kName, "no recording given");
    if (t.atMs < 0 || t.box.width == 0) return ToolUsageError(kName, "--at and --box are required");
    if ((t.fromMs >= 0 && t.atMs < t.fromMs) || (t.toMs >= 0 && t.atMs > t.toMs))
        return ToolUsageError(kName, "--at must lie between --from and --to");
    return kToolOk;
}

// The masks the new region joins: the file given with --add-to, or a new one.
bool StartingSet(const TrackArgs& t, MaskSet* set, std::string* error) {
    if (!t.addTo.empty()) {
        RecordingShape shape;
        if (!LoadMaskSet(t.addTo, set, error) || !ReadRecordingShape(t.path, &shape, error))
            return false;
        return MaskSetFits(*set, shape.cameras, error);
    }
    RecordingShape shape;
    if (!ReadRecordingShape(t.path, &shape, error)) return false;
    set->file = std::filesystem::path(t.path).filename().string();
    set->durationMs = shape.durationMs;
    set->cameras = shape.cameras;
    return true;
}

int64_t FrameAt(int64_t ms, double rate) {
    return static_cast<int64_t>(std::floor(ms * rate / 1000.0));
}

int WriteOut(const std::string& out, const MaskSet& set) {
    const std::string text = MaskSetJson(set) + "\n";
    if (out.empty())
        return std::fputs(text.c_str(), stdout) >= 0 ? kToolOk : ToolFailure("track: cannot write");
    if (!WriteFileWhole(out, text)) return ToolFailure("track: cannot write " + out);
    return kToolOk;
}

int RunTrack(const std::vector<std::string>& args) {
    TrackArgs t;
    if (const int usage = ParseArgs(args, t); usage != kToolOk) return usage;
    RecordingFrames frames;
    std::string error;
    MaskSet set;
    if (!frames.Open(t.path, &error) || !StartingSet(t, &set, &error))
        return ToolFailure("track: " + error);
    const MaskCamera* camera = set.Camera(t.camera);
    if (!camera)
        return ToolFailure(std::string("track: the recording has no ") + MaskCameraName(t.camera) +
                           " camera");
    const double rate = frames.FrameRate(t.camera);
    TrackRequest q;
    q.camera = t.camera;
    q.kind = t.kind;
    q.tracker = t.tracker;
    q.drawn = t.box;
    q.atFrame = FrameAt(t.atMs, rate);
    q.firstFrame = t.fromMs < 0 ? 0 : FrameAt(t.fromMs, rate);
    q.lastFrame =
        t.toMs < 0 ? camera->frames - 1 : std::min(camera->frames - 1, FrameAt(t.toMs, rate));
    MaskRegion region;
    region.id = 1;
    for (const MaskRegion& r : set.regions) region.id = std::max(region.id, r.id + 1);
    region.camera = t.camera;
    region.kind = t.kind;
    if (q.atFrame >= camera->frames)
        return ToolFailure("track: --at lies past the recording's end");
    const MaskBox& b = t.box;
    if (b.x + b.width > camera->width || b.y + b.height > camera->height)
        return ToolFailure("track: " + MaskRegionName(region) +
                           ": the drawn box lies outside the " + std::to_string(camera->width) +
                           "x" + std::to_string(camera->height) + " picture");
    frames.SetWorkingSide(kTrackingSidePixels);
    if (!TrackRegion(frames, q, &region, &error)) return ToolFailure("track: " + error);
    set.regions.push_back(region);
    return WriteOut(t.out, set);
}

}  // namespace

TARVEX_TOOL_COMMAND(track, "track",
                    "FILE --camera front|rear --at S --box X,Y,W,H [--from S --to S] "
                    "[--kind plate|face|other] [--tracker csrt|kcf] [--add-to MASKS] [--out FILE]",
                    RunTrack);
