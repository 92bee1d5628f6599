// package: the evidence package of a moment (see evidence/EvidencePackage.h): the originals
// the clip touches, the lossless and the composed clip, the stills, the GPS track, the
// manifest and SHA256SUMS, the lossless clip proven against the originals. With --redact the
// composed clip and the stills are blurred and the originals kept beside them
// (--keep-original), or left out (--redact-only: a share copy, without position and sound
// unless --with-position and --with-sound ask for them).
//
//   package FILE... --from S --to S [--at S] OUT_DIR [--no-sound] [--no-position] [--mph]
//           [--redact MASKS [--keep-original | --redact-only [--with-position] [--with-sound]]]
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

constexpr const char* kName = "package";

// What the command line asks for beyond the package itself.
struct PackageArgs {
    PackageRequest request;
    bool progress = false;
    std::string key, cert;  // --sign, --cert
    std::string masks;      // --redact
    bool keepOriginal = false, redactOnly = false, withPosition = false, withSound = false;
};

// One option of the package command; "" when taken, else what is wrong with it.
std::string TakeOption(const std::vector<std::string>& args, size_t& i, PackageArgs& p,
                       ClipBudgetArgs& budget) {
    const std::string& a = args[i];
    PackageRequest& r = p.request;
    bool* flag = a == "--no-sound"        ? &r.noSound
                 : a == "--no-position"   ? &r.noPosition
                 : a == "--mph"           ? &r.mph
                 : a == "--progress"      ? &p.progress
                 : a == "--keep-original" ? &p.keepOriginal
                 : a == "--redact-only"   ? &p.redactOnly
                 : a == "--with-position" ? &p.withPosition
                 : a == "--with-sound"    ? &p.withSound
                                          : nullptr;
    if (flag) return *flag = true, "";
    std::string budgetError;
    if (const int b = ParseClipBudgetOption(args, &i, &budget, &budgetError))
        return b < 0 ? budgetError : "";
    if (a == "--from" || a == "--to" || a == "--at") {
        int64_t ms = 0;
        if (i + 1 >= args.size() || !ToolParseSeconds(args[i + 1], ms))
            return a + " needs a number of seconds";
        ++i;
        (a == "--from" ? r.fromMs : a == "--to" ? r.toMs : r.atMs) = ms;
        return "";
    }
    if (a == "--lang") {
        if (i + 1 >= args.size() || (args[i + 1] != "ko" && args[i + 1] != "en"))
            return "--lang takes ko or en";
        return r.language = args[++i], "";
    }
    if (a == "--sign" || a == "--cert") {
        if (i + 1 >= args.size() || args[i + 1].empty()) return a + " needs a PEM file";
        return (a == "--sign" ? p.key : p.cert) = args[++i], "";
    }
    if (a == "--redact") {
        if (i + 1 >= args.size()) return "--redact needs a masks file";
        return p.masks = args[++i], "";
    }
    return "unknown option " + a;
}

// How the copies of a redacted package are kept; "" when the options agree.
std::string SettleRedaction(PackageArgs& p) {
    PackageRequest& r = p.request;
    if (p.masks.empty() && (p.keepOriginal || p.redactOnly))
        return std::string(p.keepOriginal ? "--keep-original" : "--redact-only") +
               " goes with --redact";
    if (p.keepOriginal && p.redactOnly)
        return "--keep-original and --redact-only exclude each other";
    if (!p.redactOnly && (p.withPosition || p.withSound))
        return std::string(p.withPosition ? "--with-position" : "--with-sound") +
               " goes with --redact-only";
    if ((p.withPosition && r.noPosition) || (p.withSound && r.noSound))
        return p.withPosition && r.noPosition
                   ? "--with-position and --no-position exclude each other"
                   : "--with-sound and --no-sound exclude each other";
    // A share copy carries neither where it was nor what was said unless asked.
    if (p.redactOnly) {
        r.shareCopy = true;
        r.noPosition = !p.withPosition;
        r.noSound = !p.withSound;
    }
    return "";
}

int ParsePackage(const std::vector<std::string>& args, PackageArgs& p) {
    PackageRequest& r = p.request;
    r.fromMs = r.toMs = -1;
    std::vector<std::string> plain;
    ClipBudgetArgs budgetArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].empty() || args[i][0] != '-') {
            plain.push_back(args[i]);
        } else if (const std::string usage = TakeOption(args, i, p, budgetArgs); !usage.empty()) {
            return ToolUsageError(kName, usage);
        }
    }
    if (plain.size() < 2) return ToolUsageError(kName, "needs a recording and the package folder");
    if (r.fromMs < 0 || r.toMs < 0) return ToolUsageError(kName, "--from and --to are required");
    if (r.toMs <= r.fromMs) return ToolUsageError(kName, "--to must be after --from");
    if (p.key.empty() != p.cert.empty())
        return ToolUsageError(kName, "--sign and --cert go together");
    if (const std::string usage = SettleRedaction(p); !usage.empty())
        return ToolUsageError(kName, usage);
    r.budget = FinalBudget(budgetArgs);
    r.outDir = plain.back();
    plain.pop_back();
    r.paths = plain;
    return kToolOk;
}

void PrintPackage(const PackageResult& result, bool isSigned) {
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
    const bool shareCopy = f.request && f.request->shareCopy;
    j.Key("packets_compared").Int(compared).Key("all_equal");
    if (shareCopy)
        j.Null();  // no clip.mp4 in a share copy: nothing compared
    else
        j.Bool(equal);
    j.Key("fingerprint").String(result.fingerprint).Key("signed").Bool(isSigned);
    j.Key("share_copy").Bool(shareCopy);
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
}

int RunPackage(const std::vector<std::string>& args) {
    PackageArgs p;
    if (const int usage = ParsePackage(args, p); usage != kToolOk) return usage;
    PackageRequest& request = p.request;
    PackageSigner signer;
    std::string error;
    MaskSet masks;
    if (!p.masks.empty()) {
        if (request.paths.size() != 1)
            return ToolUsageError(kName, "--redact needs a package of one recording");
        if (!LoadRedaction(request.paths[0], p.masks, &masks, &error))
            return ToolFailure("package: " + error);
        request.redact = &masks;
    }
    if (!p.key.empty()) {
        if (!signer.Load(p.key, p.cert, &error)) return ToolFailure("package: " + error);
        request.signer = &signer;
    }
    if (p.progress)
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
    // Kept from every prune; a share copy holds no recording, but came from them all the same.
    LockPackagedRecordings(request.paths, DefaultArchiveFolder());
    PrintPackage(result, request.signer != nullptr);
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

// What a check that held proves, and what it cannot.
void PrintVerified(const VerifyReport& report, int64_t compared) {
    if (report.shareCopy)
        std::printf(
            "verified: %lld files agree with SHA256SUMS and manifest.json; a share copy, with "
            "no originals and no clip.mp4 to compare\n",
            static_cast<long long>(report.filesChecked));
    else
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
    "[--no-sound] [--no-position] [--mph] [--redact MASKS [--keep-original | --redact-only "
    "[--with-position] [--with-sound]]] [--lang ko|en] [--progress] "
    "[--sign KEY.pem --cert CERT.pem] [--max-mb N] [--max-files N] "
    "[--max-seconds N] [--portal kr|uk]",
    RunPackage);
TARVEX_TOOL_COMMAND(verify, "verify", "DIR [--ca CA.pem]", RunVerify);
