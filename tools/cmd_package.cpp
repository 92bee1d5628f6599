// package: the evidence package of a moment (see evidence/EvidencePackage.h): the originals
// the clip touches, the lossless and the composed clip, the stills, the GPS track, the
// manifest and SHA256SUMS, the lossless clip proven against the originals.
//
//   package FILE... --from S --to S [--at S] OUT_DIR [--no-sound] [--no-position] [--mph]
//           [--redact MASKS]
//           [--lang ko|en] [--progress] [--sign KEY.pem --cert CERT.pem]
//           [--max-mb N] [--max-files N] [--max-seconds N] [--portal kr|uk]
//
// verify: checks a package again (see evidence/PackageVerify.h); exit 0 when all holds, 1
// naming every file that is missing, changed, added, listed differently or refused, 2 for
// usage. Both print the package's fingerprint, the SHA-256 of its SHA256SUMS.
//
//   verify DIR [--ca CA.pem]

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/ArchiveLayout.h"
#include "archive/PackageLock.h"
#include "evidence/EvidencePackage.h"
#include "evidence/PackageVerify.h"
#if TARVEX_WITH_REPORT
#include "evidence/QtEvidenceReport.h"
#endif
#include "support/JsonWriter.h"
#include "tools/ClipBudgetArgs.h"
#include "tools/RedactArgs.h"
#include "tools/ToolCommand.h"

namespace {

struct SigningFiles {
    std::string key, cert;
};

int ParsePackage(const std::vector<std::string>& args, PackageRequest& r, bool& progress,
                 SigningFiles& signing, std::string& masks) {
    constexpr const char* kName = "package";
    bool haveFrom = false, haveTo = false;
    std::vector<std::string> plain;
    ClipBudgetArgs budgetArgs;
    std::string budgetError;
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
        } else if (a == "--sign" || a == "--cert") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return ToolUsageError(kName, a + " needs a PEM file");
            (a == "--sign" ? signing.key : signing.cert) = args[++i];
        } else if (a == "--redact") {
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--redact needs a masks file");
            masks = args[++i];
        } else if (a == "--no-sound") {
            r.noSound = true;
        } else if (a == "--no-position") {
            r.noPosition = true;
        } else if (a == "--mph") {
            r.mph = true;
        } else if (a == "--progress") {
            progress = true;
        } else if (const int b = ParseClipBudgetOption(args, &i, &budgetArgs, &budgetError)) {
            if (b < 0) return ToolUsageError(kName, budgetError);
        } else if (!a.empty() && a[0] == '-') {
            return ToolUsageError(kName, "unknown option " + a);
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() < 2) return ToolUsageError(kName, "needs a recording and the package folder");
    if (!haveFrom || !haveTo) return ToolUsageError(kName, "--from and --to are required");
    if (r.toMs <= r.fromMs) return ToolUsageError(kName, "--to must be after --from");
    if (signing.key.empty() != signing.cert.empty())
        return ToolUsageError(kName, "--sign and --cert go together");
    r.budget = FinalBudget(budgetArgs);
    r.outDir = plain.back();
    plain.pop_back();
    r.paths = plain;
    return kToolOk;
}

int RunPackage(const std::vector<std::string>& args) {
    PackageRequest request;
    bool progress = false;
    SigningFiles signing;
    std::string masksPath;
    if (const int usage = ParsePackage(args, request, progress, signing, masksPath);
        usage != kToolOk)
        return usage;
    PackageSigner signer;
    std::string error;
    MaskSet masks;
    if (!masksPath.empty()) {
        if (request.paths.size() != 1)
            return ToolUsageError("package", "--redact needs a package of one recording");
        if (!LoadRedaction(request.paths[0], masksPath, &masks, &error))
            return ToolFailure("package: " + error);
        request.redact = &masks;
    }
    if (!signing.key.empty()) {
        if (!signer.Load(signing.key, signing.cert, &error))
            return ToolFailure("package: " + error);
        request.signer = &signer;
    }
    if (progress)
        request.progress = [](const std::string& step) {
            std::fprintf(stderr, "%s\n", step.c_str());
        };
    PackageResult result;
#if TARVEX_WITH_REPORT
    const ReportWriter report = WriteEvidenceReport;
#else
    const ReportWriter report;
#endif
    if (!WritePackage(request, report, &result, &error)) return ToolFailure("package: " + error);
    LockPackagedRecordings(request.paths, DefaultArchiveFolder());  // kept from every prune
    const PackageFacts& f = result.facts;
    int64_t compared = 0;
    bool equal = !f.proof.empty();
    for (const TrackProof& t : f.proof) {
        compared += t.compared;
        equal = equal && t.Holds();
    }
    JsonWriter j;
    j.BeginObject()
        .Key("folder")
        .String(result.folder)
        .Key("files")
        .Int(static_cast<int64_t>(f.files.size()) + 2);
    j.Key("packets_compared").Int(compared).Key("all_equal").Bool(equal);
    j.Key("fingerprint").String(result.fingerprint).Key("signed").Bool(request.signer != nullptr);
    j.Key("clock_offset_s");
    if (f.clockOffsetSec)
        j.Int(*f.clockOffsetSec);
    else
        j.Null();
    if (!f.composedParts.empty()) {
        j.Key("composed_parts").BeginArray();
        for (const PackageFacts::Part& p : f.composedParts) j.String(p.path);
        j.EndArray().Key("composed_bit_rate").Int(f.composedBitsPerSecond);
    }
    j.EndObject();
    std::printf("%s\n", j.Text().c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

// What a check that held proves, and what it cannot.
void PrintVerified(const VerifyReport& report, int64_t compared) {
    std::printf(
        "verified: %lld files agree with SHA256SUMS and manifest.json, the originals whole; "
        "%lld video packets of clip.mp4 equal to their source chunks\n",
        static_cast<long long>(report.filesChecked), static_cast<long long>(compared));
    if (!report.isSigned) {
        std::printf(
            "unsigned: this shows the package is consistent as it stands, not who made it; "
            "anyone could have rebuilt it whole\n");
        return;
    }
    const SignatureCheck& s = report.signature;
    std::printf("signed by %s%s%s\n", s.signer.c_str(), s.signedAt.empty() ? "" : " at ",
                s.signedAt.c_str());
    std::printf(s.chainChecked
                    ? "the signer's certificate leads to the CA given\n"
                    : "the signer's certificate was not checked against a CA (give --ca CA.pem): "
                      "the signature proves the key's holder made it, not who that is\n");
}

int RunVerify(const std::vector<std::string>& args) {
    std::string dir, ca;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ca" && i + 1 < args.size() && !args[i + 1].empty()) {
            ca = args[++i];
        } else if (args[i].empty() || args[i][0] == '-' || !dir.empty()) {
            return ToolUsageError("verify", "expected the package folder and at most --ca CA.pem");
        } else {
            dir = args[i];
        }
    }
    if (dir.empty()) return ToolUsageError("verify", "expected the package folder");
    VerifyReport report;
    std::string error;
    if (!VerifyPackage(dir, ca, &report, &error)) return ToolFailure("verify: " + error);
    std::printf("fingerprint: %s\n", report.fingerprint.c_str());
    for (const VerifyProblem& p : report.problems)
        std::printf("%s: %s%s%s%s\n", VerifyProblemWord(p.kind), p.file.c_str(),
                    p.detail.empty() ? "" : " (", p.detail.c_str(), p.detail.empty() ? "" : ")");
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
    PrintVerified(report, compared);
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(
    package, "package",
    "FILE [FILE...] --from SECONDS --to SECONDS [--at SECONDS] OUT_DIR "
    "[--no-sound] [--no-position] [--mph] [--redact MASKS] [--lang ko|en] [--progress] "
    "[--sign KEY.pem --cert CERT.pem] [--max-mb N] [--max-files N] "
    "[--max-seconds N] [--portal kr|uk]",
    RunPackage);
TARVEX_TOOL_COMMAND(verify, "verify", "DIR [--ca CA.pem]", RunVerify);
