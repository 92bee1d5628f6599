// detect: suggests regions to blur (number plates, faces) over a span of a recording and
// writes them as a masks file (or adds them to one). Suggestions only: what a person sees
// that the cascades missed is still theirs to mark.
//
//   detect FILE --from S --to S [--kinds plate,face] [--camera front|rear]
//          [--add-to masks.json] [--out FILE]

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "redact/RecordingShape.h"
#include "redact/vision/RecordingFrames.h"
#include "redact/vision/RegionDetector.h"
#include "support/Profile.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "detect";
// The cascades look at pictures no larger than this: faster, and their smallest window
// still finds a plate a few car lengths ahead.
constexpr int kDetectionSidePixels = 960;

struct DetectArgs {
    std::string path, out, addTo;
    int64_t fromMs = -1, toMs = -1;
    DetectRequest request;
};

bool ParseKinds(const std::string& text, std::vector<MaskKind>* kinds) {
    kinds->clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        MaskKind kind;
        const std::string word = text.substr(start, comma - start);
        if (!ParseMaskKind(word, &kind) || kind == MaskKind::Other) return false;
        kinds->push_back(kind);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

std::string TakeOption(const std::vector<std::string>& args, size_t& i, DetectArgs& d) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) return a + " needs a value";
    const std::string& v = args[++i];
    if (a == "--kinds")
        return ParseKinds(v, &d.request.kinds) ? "" : "--kinds takes plate, face or plate,face";
    if (a == "--camera") {
        int camera = 0;
        if (!ParseMaskCamera(v, &camera)) return "--camera needs front or rear";
        d.request.cameras = {camera};
        return "";
    }
    if (a == "--out") return d.out = v, "";
    if (a == "--add-to") return d.addTo = v, "";
    int64_t* ms = a == "--from" ? &d.fromMs : a == "--to" ? &d.toMs : nullptr;
    if (!ms) return "unknown option " + a;
    return ToolParseSeconds(v, *ms) ? "" : a + " needs SECONDS";
}

int ParseArgs(const std::vector<std::string>& args, DetectArgs& d) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (!args[i].empty() && args[i][0] == '-') {
            const std::string usage = TakeOption(args, i, d);
            if (!usage.empty()) return ToolUsageError(kName, usage);
        } else if (d.path.empty()) {
            d.path = args[i];
        } else {
            return ToolUsageError(kName, "more than one recording given");
        }
    }
    if (d.path.empty()) return ToolUsageError(kName, "no recording given");
    if (d.fromMs < 0 || d.toMs < 0) return ToolUsageError(kName, "--from and --to are required");
    if (d.toMs <= d.fromMs) return ToolUsageError(kName, "--to must be after --from");
    return kToolOk;
}

bool StartingSet(const DetectArgs& d, MaskSet* set, std::string* error) {
    RecordingShape shape;
    if (!ReadRecordingShape(d.path, &shape, error)) return false;
    if (!d.addTo.empty())
        return LoadMaskSet(d.addTo, set, error) && MaskSetFits(*set, shape.cameras, error);
    set->file = std::filesystem::path(d.path).filename().string();
    set->durationMs = shape.durationMs;
    set->cameras = shape.cameras;
    return true;
}

int RunDetect(const std::vector<std::string>& args) {
    DetectArgs d;
    if (const int usage = ParseArgs(args, d); usage != kToolOk) return usage;
    RecordingFrames frames;
    MaskSet set;
    std::string error;
    if (!frames.Open(d.path, &error) || !StartingSet(d, &set, &error))
        return ToolFailure("detect: " + error);
    const double rate = frames.FrameRate(0);
    d.request.firstFrame = static_cast<int64_t>(std::floor(d.fromMs * rate / 1000.0));
    d.request.lastFrame = static_cast<int64_t>(std::ceil(d.toMs * rate / 1000.0)) - 1;
    frames.SetWorkingSide(kDetectionSidePixels);
    if (!DetectRegions(frames, d.request, &set, &error)) return ToolFailure("detect: " + error);
    const std::string text = MaskSetJson(set) + "\n";
    if (d.out.empty()) return std::fputs(text.c_str(), stdout) >= 0 ? kToolOk : kToolRejected;
    if (!WriteFileWhole(d.out, text)) return ToolFailure("detect: cannot write " + d.out);
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(detect, "detect",
                    "FILE --from S --to S [--kinds plate,face] [--camera front|rear] "
                    "[--add-to MASKS] [--out FILE]",
                    RunDetect);
