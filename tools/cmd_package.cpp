// package: the evidence package of a moment (see evidence/EvidencePackage.h): the originals
// the clip touches, the lossless and the composed clip, the stills, the GPS track, the
// manifest and SHA256SUMS, the lossless clip proven against the originals.
//
//   package FILE... --from S --to S [--at S] OUT_DIR [--no-sound] [--no-position] [--mph]
//           [--lang ko|en] [--progress]
//
// verify: checks a package again (every hash and the packet comparison); exit 0 when all
// holds, 1 naming every file that changed, 2 for usage.
//
//   verify DIR

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "evidence/EvidencePackage.h"
#if TARVEX_WITH_REPORT
#include "evidence/QtEvidenceReport.h"
#endif
#include "support/JsonWriter.h"
#include "tools/ToolCommand.h"

namespace {

int ParsePackage(const std::vector<std::string>& args, PackageRequest& r, bool& progress) {
    constexpr const char* kName = "package";
    bool haveFrom = false, haveTo = false;
    std::vector<std::string> plain;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--from" || a == "--to" || a == "--at") {
            int64_t ms = 0;
            if (i + 1 >= args.size() || !ToolParseSeconds(args[i + 1], ms))
                return ToolUsageError(kName, a + " needs a number of seconds");
            ++i;
            if (a == "--from") r.fromMs = ms, haveFrom = true;
            if (a == "--to") r.toMs = ms, haveTo = true;
            if (a == "--at") r.atMs = ms;
        } else if (a == "--lang") {
            if (i + 1 >= args.size() || (args[i + 1] != "ko" && args[i + 1] != "en"))
                return ToolUsageError(kName, "--lang takes ko or en");
            r.language = args[++i];
        } else if (a == "--no-sound") {
            r.noSound = true;
        } else if (a == "--no-position") {
            r.noPosition = true;
        } else if (a == "--mph") {
            r.mph = true;
        } else if (a == "--progress") {
            progress = true;
        } else if (!a.empty() && a[0] == '-') {
            return ToolUsageError(kName, "unknown option " + a);
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() < 2) return ToolUsageError(kName, "needs a recording and the package folder");
    if (!haveFrom || !haveTo) return ToolUsageError(kName, "--from and --to are required");
    if (r.toMs <= r.fromMs) return ToolUsageError(kName, "--to must be after --from");
    r.outDir = plain.back();
    plain.pop_back();
    r.paths = plain;
    return kToolOk;
}

int RunPackage(const std::vector<std::string>& args) {
    PackageRequest request;
    bool progress = false;
    if (const int usage = ParsePackage(args, request, progress); usage != kToolOk) return usage;
    if (progress)
        request.progress = [](const std::string& step) {
            std::fprintf(stderr, "%s\n", step.c_str());
        };
    PackageResult result;
    std::string error;
#if TARVEX_WITH_REPORT
    const ReportWriter report = WriteEvidenceReport;
#else
    const ReportWriter report;
#endif
    if (!WritePackage(request, report, &result, &error))
        return ToolFailure("package: " + error);
    const PackageFacts& f = result.facts;
    int64_t compared = 0;
    bool equal = !f.proof.empty();
    for (const TrackProof& t : f.proof) {
        compared += t.compared;
        equal = equal && t.Holds();
    }
    JsonWriter j;
    j.BeginObject().Key("folder").String(result.folder).Key("files").Int(
        static_cast<int64_t>(f.files.size()) + 2);
    j.Key("packets_compared").Int(compared).Key("all_equal").Bool(equal);
    j.Key("clock_offset_s");
    if (f.clockOffsetSec)
        j.Int(*f.clockOffsetSec);
    else
        j.Null();
    j.EndObject();
    std::printf("%s\n", j.Text().c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

int RunVerify(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return ToolUsageError("verify", "expected the package folder");
    VerifyReport report;
    std::string error;
    if (!VerifyPackage(args[0], &report, &error)) return ToolFailure("verify: " + error);
    for (const std::string& f : report.changed) std::printf("changed: %s\n", f.c_str());
    for (const std::string& f : report.unlisted) std::printf("not listed: %s\n", f.c_str());
    if (!report.proofError.empty()) std::printf("clip: %s\n", report.proofError.c_str());
    int64_t compared = 0;
    for (const TrackProof& t : report.proof) {
        compared += t.compared;
        if (!t.mismatch.empty())
            std::printf("clip, %s camera: %s\n", t.camera == 0 ? "front" : "rear",
                        t.mismatch.c_str());
    }
    if (!report.Holds()) {
        std::fflush(stdout);
        return kToolRejected;
    }
    std::printf("verified: every hash holds; %lld video packets equal to their source chunks\n",
                static_cast<long long>(compared));
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(package, "package",
                    "FILE [FILE...] --from SECONDS --to SECONDS [--at SECONDS] OUT_DIR "
                    "[--no-sound] [--no-position] [--mph] [--lang ko|en] [--progress]",
                    RunPackage);
TARVEX_TOOL_COMMAND(verify, "verify", "DIR", RunVerify);
