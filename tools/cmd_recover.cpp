// Recovery sub-commands: recordings brought back from a card, and damaged ones repaired.
//
//   recover SOURCE OUT_DIR [--progress] [--all]   one JSON line per recording found, then a
//                                                  summary line; SOURCE is only read
//   repair FILE OUT                                a copy any player opens; one JSON line per
//                                                  header field changed, then a summary line

#include <cstdio>
#include <string>
#include <vector>

#include "recover/CardRecovery.h"
#include "recover/RecordingRepair.h"
#include "support/JsonWriter.h"
#include "tools/ToolCommand.h"

namespace {

std::string FoundJson(const FoundRecording& f) {
    JsonWriter j;
    j.BeginObject().Key("name").String(f.name).Key("card_path");
    if (f.cardPath.empty())
        j.Null();
    else
        j.String(f.cardPath);
    j.Key("source").String(FoundSourceName(f.source));
    j.Key("start_cluster");
    if (f.startCluster != 0)
        j.UInt(f.startCluster);
    else
        j.Null();
    j.Key("offset").UInt(f.offset);
    j.Key("state").String(FoundStateName(f.state));
    j.Key("bytes").UInt(f.bytes);
    j.Key("frames").UInt(f.frontFrames).Key("rear_frames").UInt(f.rearFrames);
    j.Key("fragments").UInt(f.fragments);
    j.Key("sha256");
    if (f.sha256.empty())
        j.Null();
    else
        j.String(f.sha256);
    j.Key("written");
    if (f.outputPath.empty())
        j.Null();
    else
        j.String(f.outputPath);
    j.EndObject();
    return j.Text();
}

int RunRecover(const std::vector<std::string>& args) {
    std::vector<std::string> paths;
    RecoveryOptions options;
    bool progress = false;
    for (const std::string& a : args) {
        if (a == "--progress")
            progress = true;
        else if (a == "--all")
            options.all = true;
        else if (a.size() > 1 && a[0] == '-')
            return ToolUsageError("recover", "unknown option '" + a + "'");
        else
            paths.push_back(a);
    }
    if (paths.size() != 2) return ToolUsageError("recover", "expected SOURCE and OUT_DIR");
    if (progress) {
        options.progress = [](uint64_t done, uint64_t total) {
            std::fprintf(stderr, "progress %.2f\n", total ? double(done) / double(total) : 1.0);
        };
    }
    RecoverySummary summary;
    std::string error;
    const bool ok = RecoverCard(
        paths[0], paths[1], options,
        [](const FoundRecording& f) {
            puts(FoundJson(f).c_str());
            fflush(stdout);
        },
        &summary, &error);
    if (!ok) return ToolFailure(error);
    JsonWriter j;
    j.BeginObject().Key("summary").BeginObject();
    j.Key("file_system").String(summary.fileSystem ? "fat32" : "none");
    j.Key("found").UInt(summary.found).Key("whole").UInt(summary.whole);
    j.Key("cut").UInt(summary.cut).Key("unreadable").UInt(summary.unreadable);
    j.Key("written").UInt(summary.written);
    j.Key("note");
    if (summary.note.empty())
        j.Null();
    else
        j.String(summary.note);
    j.EndObject().EndObject();
    puts(j.Text().c_str());
    return kToolOk;
}

int RunRepair(const std::vector<std::string>& args) {
    if (args.size() != 2) return ToolUsageError("repair", "expected FILE and OUT");
    RepairReport report;
    std::string error;
    if (!RepairRecording(args[0], args[1], &report, &error)) return ToolFailure(error);
    for (const RepairChange& c : report.changes) {
        JsonWriter j;
        j.BeginObject().Key("changed").String(c.field).Key("offset").UInt(c.offset);
        j.Key("before").UInt(c.before).Key("after").UInt(c.after).EndObject();
        puts(j.Text().c_str());
    }
    JsonWriter j;
    j.BeginObject().Key("written").String(args[1]).Key("bytes").UInt(report.bytes);
    j.Key("kept_bytes").UInt(report.keptBytes).Key("dropped_bytes").UInt(report.droppedBytes);
    j.Key("index_entries").UInt(report.indexEntries);
    j.Key("frames").UInt(report.frontFrames).Key("rear_frames").UInt(report.rearFrames);
    j.Key("sha256").String(report.sha256).EndObject();
    puts(j.Text().c_str());
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(recover, "recover", "SOURCE OUT_DIR [--progress] [--all]", RunRecover);
TARVEX_TOOL_COMMAND(repair, "repair", "FILE OUT", RunRepair);
