#include "tools/ClipBudgetArgs.h"

#include <filesystem>

#include "telemetry/TelemetryWalk.h"
#include "tools/ToolCommand.h"

namespace {

constexpr long long kBytesPerMb = 1000 * 1000;
constexpr long long kMostMb = 1000 * 1000;  // a terabyte
constexpr long long kMostFiles = 1000;
constexpr long long kMostSeconds = 24 * 3600;

}  // namespace

int ParseClipBudgetOption(const std::vector<std::string>& args, size_t* i, ClipBudgetArgs* out,
                          std::string* error) {
    const std::string& a = args[*i];
    const bool numbered = a == "--max-mb" || a == "--max-files" || a == "--max-seconds";
    if (!numbered && a != "--portal") return 0;
    if (*i + 1 >= args.size()) return *error = a + " needs a value", -1;
    const std::string& value = args[++*i];
    if (a == "--portal") {
        ClipBudget probe;
        if (!PortalBudget(value, &probe)) return *error = "--portal takes kr or uk", -1;
        out->portal = value;
        return 1;
    }
    long long n = 0;
    const long long most = a == "--max-mb"      ? kMostMb
                           : a == "--max-files" ? kMostFiles
                                                : kMostSeconds;
    if (!ToolParseInt(value, n) || n < 1 || n > most)
        return *error = a + " takes a whole number from 1 to " + std::to_string(most), -1;
    if (a == "--max-mb") out->budget.maxBytes = n * kBytesPerMb;
    if (a == "--max-files") out->budget.maxFiles = static_cast<int>(n);
    if (a == "--max-seconds") out->budget.maxPartMs = n * 1000;
    return 1;
}

ClipBudget FinalBudget(const ClipBudgetArgs& args) {
    ClipBudget budget = args.budget;
    if (!args.portal.empty()) PortalBudget(args.portal, &budget);
    return budget;
}

int64_t RecordingsBitsPerSecond(const std::vector<std::string>& paths) {
    int64_t bytes = 0, ms = 0;
    for (const std::string& path : paths) {
        RecordingTelemetry t;
        std::error_code ec;
        const uintmax_t size = std::filesystem::file_size(path, ec);
        if (ec || !WalkTelemetry(path, t) || t.durationMs <= 0) return 0;
        bytes += static_cast<int64_t>(size);
        ms += t.durationMs;
    }
    return ms > 0 ? bytes * 8 * 1000 / ms : 0;
}

void WriteFitJson(const FitResult& fit, int64_t clipStartMs, JsonWriter& j) {
    j.Key("parts").BeginArray();
    for (const FittedPart& p : fit.parts)
        j.BeginObject()
            .Key("path")
            .String(p.path)
            .Key("from_ms")
            .Int(clipStartMs + p.part.fromMs)
            .Key("to_ms")
            .Int(clipStartMs + p.part.toMs)
            .Key("first_frame")
            .Int(p.part.firstFrame)
            .Key("frames")
            .Int(p.part.frames)
            .Key("bytes")
            .Int(p.bytes)
            .EndObject();
    j.EndArray();
    j.Key("bit_rate").Int(fit.bitsPerSecond).Key("width").Int(fit.plan.width);
    j.Key("height").Int(fit.plan.height).Key("lowered");
    if (fit.plan.lowered.empty())
        j.Null();
    else
        j.String(fit.plan.lowered);
}
