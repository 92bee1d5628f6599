// archive: the PC's archive of a card's recordings and its catalogue.
//
//   archive import CARD      copies what is not archived yet; a JSON summary last
//   archive find [filters]   one JSON line per match
//   archive bookmark FILE --at S --note TEXT
//   archive check            re-hashes every archived file; exit 1 when any is missing or changed
//   archive prune --keep-gb N | --keep-days N [--dry-run]
//
// Each takes --archive DIR (default $XDG_DATA_HOME/tarvex/archive) and --catalogue URL (an
// SQLite file, default DIR/catalogue.sqlite, or a postgresql:// connection URI).

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/ArchiveFind.h"
#include "archive/ArchiveImport.h"
#include "archive/ArchiveLayout.h"
#include "archive/ArchiveUpkeep.h"
#include "support/JsonWriter.h"
#include "telemetry/CameraClock.h"
#include "telemetry/EventMoment.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "archive";
constexpr uint64_t kBytesPerGb = 1000ull * 1000 * 1000;
constexpr size_t kDateOnlyChars = 10;  // "2026-03-14"
constexpr int64_t kMsPerDay = 86400 * 1000LL;

struct ArchiveArgs {
    std::string folder;
    std::string catalogue;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // --name value
    std::set<std::string> flags;                 // --name
};

// Options that take a value; every other --name is a flag of the sub-command.
const std::set<std::string> kValueOptions = {
    "--archive", "--catalogue", "--from", "--to",   "--near",    "--radius",
    "--event",   "--category",  "--at",   "--note", "--keep-gb", "--keep-days"};

int ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& allowed,
              ArchiveArgs* out) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a.rfind("--", 0) != 0) {
            out->positional.push_back(a);
        } else if (!allowed.count(a) && a != "--archive" && a != "--catalogue") {
            return ToolUsageError(kName, "unknown option " + a + " for " + args[0]);
        } else if (kValueOptions.count(a)) {
            if (i + 1 >= args.size()) return ToolUsageError(kName, a + " needs a value");
            out->options[a] = args[++i];
        } else {
            out->flags.insert(a);
        }
    }
    out->folder =
        out->options.count("--archive") ? out->options["--archive"] : DefaultArchiveFolder();
    out->catalogue = out->options.count("--catalogue") ? out->options["--catalogue"]
                                                       : DefaultCatalogue(out->folder);
    return kToolOk;
}

// The catalogue of an archive that must already exist (everything but import).
bool OpenExisting(const ArchiveArgs& a, ArchiveCatalogue& catalogue, std::string* error) {
    std::error_code ec;
    if (!IsServerCatalogue(a.catalogue) && !std::filesystem::exists(a.catalogue, ec)) {
        *error = "no archive catalogue at " + a.catalogue;
        return false;
    }
    return catalogue.Open(a.catalogue, error);
}

// The shortest text that reads back as the same number ("3.9", not "3.8999999999999999").
std::string Shortest(double value) {
    return SqlParam(value).Text();
}

std::string ImportSummary(const ImportReport& r) {
    JsonWriter j;
    j.BeginObject().Key("summary").BeginObject();
    j.Key("copied").Int(r.totals.copied).Key("skipped").Int(r.totals.skipped);
    j.Key("failed").Int(r.totals.failed).Key("failures").BeginArray();
    for (const ImportFailure& f : r.failures)
        j.BeginObject().Key("file").String(f.file).Key("reason").String(f.reason).EndObject();
    j.EndArray().Key("bytes").UInt(r.totals.bytes);
    j.Key("seconds").Raw(Shortest(std::round(r.seconds * 1000) / 1000));
    j.EndObject().EndObject();
    return j.Text();
}

int RunImport(const std::vector<std::string>& args) {
    ArchiveArgs a;
    if (int s = ParseArgs(args, {"--progress"}, &a); s != kToolOk) return s;
    if (a.positional.size() != 1) return ToolUsageError(kName, "import needs one CARD");
    std::error_code ec;
    std::filesystem::create_directories(a.folder, ec);
    if (ec || ::access(a.folder.c_str(), W_OK) != 0)
        return ToolFailure("archive import: archive " + a.folder + " cannot be written" +
                           (ec ? ": " + ec.message() : std::string(": read-only")));
    ArchiveCatalogue catalogue;
    std::string error;
    if (!catalogue.Open(a.catalogue, &error)) return ToolFailure("archive import: " + error);
    ArchiveImport import(catalogue, a.folder, a.positional[0]);
    ImportReport report;
    ImportProgress progress;
    if (a.flags.count("--progress"))
        progress = [](const std::string& line) {
            std::fprintf(stderr, "archive: %s\n", line.c_str());
            std::fflush(stderr);
        };
    if (!import.Run(progress, &report, &error)) return ToolFailure("archive import: " + error);
    std::printf("%s\n", ImportSummary(report).c_str());
    if (std::fflush(stdout) != 0) return kToolRejected;
    return report.totals.failed == 0 ? kToolOk : kToolRejected;
}

std::string MatchJson(const std::string& folder, const FindMatch& m) {
    JsonWriter j;
    j.BeginObject().Key("path").String(
        (std::filesystem::absolute(folder) / m.path).lexically_normal().string());
    j.Key("offset_s").Raw(Shortest(static_cast<double>(m.offsetMs) / 1000.0));
    j.Key("time_of_day");
    m.cameraMs ? j.String(FormatTimeOfDay(*m.cameraMs)) : j.Null();
    j.Key("camera_time");
    m.cameraMs ? j.String(FormatClockIso(*m.cameraMs / 1000)) : j.Null();
    j.Key("utc");
    m.utcMs ? j.String(FormatClockIso(*m.utcMs / 1000) + "Z") : j.Null();
    j.Key("position");
    if (m.latitude)
        j.BeginObject()
            .Key("latitude")
            .Raw(Shortest(*m.latitude))
            .Key("longitude")
            .Raw(Shortest(*m.longitude))
            .EndObject();
    else
        j.Null();
    j.Key("speed");
    m.speedKmh ? j.Int(static_cast<int64_t>(*m.speedKmh)) : j.Null();
    j.Key("match").BeginObject().Key("kind").String(m.kind);
    if (m.kind == "event") j.Key("event").String(m.event).Key("peak_g").Raw(Shortest(m.peakG));
    if (m.kind == "bookmark") j.Key("note").String(m.note);
    if (m.distanceM) j.Key("distance_m").Int(static_cast<int64_t>(*m.distanceM + 0.5));
    j.EndObject().EndObject();
    return j.Text();
}

bool ParseNear(const std::string& text, FindQuery* q) {
    double lat = 0, lon = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%lf,%lf%c", &lat, &lon, &tail) != 2 || lat < -90 || lat > 90 ||
        lon < -180 || lon > 180)
        return false;
    q->latitude = lat;
    q->longitude = lon;
    return true;
}

int ParseFindQuery(ArchiveArgs& a, FindQuery* q) {
    for (const char* bound : {"--from", "--to"}) {
        if (!a.options.count(bound)) continue;
        int64_t ms = 0;
        bool zoned = false;
        if (!ParseFindTime(a.options[bound], &ms, &zoned))
            return ToolUsageError(kName, std::string(bound) + " needs an ISO 8601 time");
        // A day alone as the end of a range takes in that whole day.
        if (std::string(bound) == "--to" && a.options[bound].size() == kDateOnlyChars)
            ms += kMsPerDay - 1;
        (std::string(bound) == "--from" ? q->fromMs : q->toMs) = ms;
        if ((q->fromMs && q->toMs) && zoned != q->zoned)
            return ToolUsageError(kName, "--from and --to must both have a zone or neither");
        q->zoned = zoned;
    }
    if (a.options.count("--near") && !ParseNear(a.options["--near"], q))
        return ToolUsageError(kName, "--near needs LAT,LON in degrees");
    if (a.options.count("--radius")) {
        long long metres = 0;
        if (!ToolParseInt(a.options["--radius"], metres) || metres <= 0)
            return ToolUsageError(kName, "--radius needs a number of metres");
        q->radiusM = static_cast<double>(metres);
    }
    if (a.options.count("--event")) q->eventKind = a.options["--event"];
    if (a.options.count("--category")) {
        std::string c = a.options["--category"];
        for (char& ch : c) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        q->category = c;
    }
    q->bookmarked = a.flags.count("--bookmarked") > 0;
    return kToolOk;
}

int RunFind(const std::vector<std::string>& args) {
    ArchiveArgs a;
    if (int s = ParseArgs(
            args, {"--from", "--to", "--near", "--radius", "--event", "--category", "--bookmarked"},
            &a);
        s != kToolOk)
        return s;
    if (!a.positional.empty()) return ToolUsageError(kName, "find takes no FILE");
    FindQuery q;
    if (int s = ParseFindQuery(a, &q); s != kToolOk) return s;
    ArchiveCatalogue catalogue;
    std::string error;
    std::vector<FindMatch> matches;
    if (!OpenExisting(a, catalogue, &error) || !FindInArchive(catalogue.Db(), q, &matches, &error))
        return ToolFailure("archive find: " + error);
    for (const FindMatch& m : matches) std::printf("%s\n", MatchJson(a.folder, m).c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

// An archived file named by its path (anywhere under the archive), its path in the archive
// or its name on the card.
std::string ArchiveRelative(const std::string& folder, const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder, ec);
    const fs::path full = fs::weakly_canonical(file, ec);
    const fs::path rel = full.lexically_relative(base);
    if (fs::exists(file, ec) && !rel.empty() && rel.begin()->string() != "..") return rel.string();
    return file;
}

int RunBookmark(const std::vector<std::string>& args) {
    ArchiveArgs a;
    if (int s = ParseArgs(args, {"--at", "--note"}, &a); s != kToolOk) return s;
    int64_t atMs = 0;
    if (a.positional.size() != 1) return ToolUsageError(kName, "bookmark needs one FILE");
    if (!a.options.count("--at") || !ToolParseSeconds(a.options["--at"], atMs))
        return ToolUsageError(kName, "bookmark needs --at SECONDS");
    ArchiveCatalogue catalogue;
    std::string error;
    if (!OpenExisting(a, catalogue, &error)) return ToolFailure("archive bookmark: " + error);
    const std::optional<CatalogueEntry> e =
        catalogue.FindRecording(ArchiveRelative(a.folder, a.positional[0]), &error);
    if (!e)
        return ToolFailure("archive bookmark: " +
                           (error.empty() ? a.positional[0] + " is not in the archive" : error));
    if (atMs > e->lengthMs)
        return ToolFailure("archive bookmark: " + e->path + " is " +
                           Shortest(e->lengthMs / 1000.0) + " s long");
    if (!catalogue.AddBookmark(e->id, atMs, a.options["--note"], &error))
        return ToolFailure("archive bookmark: " + error);
    JsonWriter j;
    j.BeginObject().Key("bookmarked").String(e->path).Key("offset_s").Double(atMs / 1000.0);
    j.Key("note").String(a.options["--note"]).EndObject();
    std::printf("%s\n", j.Text().c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

int RunCheck(const std::vector<std::string>& args) {
    ArchiveArgs a;
    if (int s = ParseArgs(args, {}, &a); s != kToolOk) return s;
    ArchiveCatalogue catalogue;
    std::string error;
    std::vector<CheckProblem> problems;
    size_t checked = 0;
    if (!OpenExisting(a, catalogue, &error) ||
        !CheckArchive(catalogue, a.folder, &problems, &checked, &error))
        return ToolFailure("archive check: " + error);
    for (const CheckProblem& p : problems) {
        JsonWriter j;
        j.BeginObject().Key("path").String(p.path).Key("state").String(p.state);
        j.Key("detail").String(p.detail).EndObject();
        std::printf("%s\n", j.Text().c_str());
    }
    JsonWriter j;
    j.BeginObject().Key("summary").BeginObject().Key("checked").UInt(checked);
    j.Key("problems").UInt(problems.size()).EndObject().EndObject();
    std::printf("%s\n", j.Text().c_str());
    if (std::fflush(stdout) != 0) return kToolRejected;
    return problems.empty() ? kToolOk : kToolRejected;
}

int RunPrune(const std::vector<std::string>& args) {
    ArchiveArgs a;
    if (int s = ParseArgs(args, {"--keep-gb", "--keep-days", "--dry-run"}, &a); s != kToolOk)
        return s;
    PruneRule rule;
    rule.dryRun = a.flags.count("--dry-run") > 0;
    long long n = 0;
    if (a.options.count("--keep-gb") == a.options.count("--keep-days"))
        return ToolUsageError(kName, "prune needs one of --keep-gb N and --keep-days N");
    const bool bySize = a.options.count("--keep-gb") > 0;
    if (!ToolParseInt(a.options[bySize ? "--keep-gb" : "--keep-days"], n) || n < 0)
        return ToolUsageError(kName, "prune needs a whole number that is not negative");
    if (bySize)
        rule.keepBytes = static_cast<uint64_t>(n) * kBytesPerGb;
    else
        rule.keepDays = n;
    ArchiveCatalogue catalogue;
    std::string error;
    std::vector<CatalogueEntry> removed;
    if (!OpenExisting(a, catalogue, &error) ||
        !PruneArchive(catalogue, a.folder, rule, &removed, &error))
        return ToolFailure("archive prune: " + error);
    for (const CatalogueEntry& e : removed) {
        JsonWriter j;
        j.BeginObject().Key(rule.dryRun ? "would_remove" : "removed").String(e.path);
        j.Key("category").String(e.category).Key("bytes").UInt(e.size).EndObject();
        std::printf("%s\n", j.Text().c_str());
    }
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

int RunArchive(const std::vector<std::string>& args) {
    static const std::map<std::string, int (*)(const std::vector<std::string>&)> kCommands = {
        {"import", RunImport},
        {"find", RunFind},
        {"bookmark", RunBookmark},
        {"check", RunCheck},
        {"prune", RunPrune}};
    if (args.empty() || !kCommands.count(args[0]))
        return ToolUsageError(kName, "expected import, find, bookmark, check or prune");
    return kCommands.at(args[0])(args);
}

}  // namespace

TARVEX_TOOL_COMMAND(archive, "archive",
                    "import CARD [--progress] | find [--from ISO] [--to ISO] [--near LAT,LON] "
                    "[--radius M] [--event KIND] [--category C] [--bookmarked] | bookmark FILE "
                    "--at S --note TEXT | check | prune --keep-gb N|--keep-days N [--dry-run]; "
                    "each [--archive DIR] [--catalogue URL]",
                    RunArchive);
