#include "evidence/EvidencePackage.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

extern "C" {
#include <libavutil/log.h>
}

#include "evidence/MomentStills.h"
#include "evidence/Sha256.h"
#include "library/CardRoot.h"
#include "library/TripCatalogue.h"
#include "media/ClipExporter.h"
#include "media/ExportTargets.h"
#include "support/JsonWriter.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipCaption.h"
#include "telemetry/ClipGpx.h"
#include "telemetry/Gpx.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kOriginals = "originals";
constexpr const char* kLosslessClip = "clip.mp4";
constexpr const char* kComposedClip = "clip_composed.mp4";
constexpr const char* kTrack = "track.gpx";
constexpr const char* kReport = "report.pdf";
constexpr const char* kManifest = "manifest.json";
constexpr const char* kSums = "SHA256SUMS";
constexpr const char* kConfigCopy = "blackbox.cfg";
// A recording whose name says it started this much before the end of the one before it still
// follows it (the names keep whole seconds).
constexpr int64_t kOverlapToleranceMs = 2000;

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f) return Fail(error, "cannot write " + path.string() + ": " + std::strerror(errno));
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                    std::fflush(f) == 0 && fsync(fileno(f)) == 0;
    const int saved = errno;
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed)
        return Fail(error,
                    "cannot write " + path.string() + ": " + std::strerror(ok ? errno : saved));
    return true;
}

std::string UtcText(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::string ModifiedUtc(const std::string& path) {
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (ec) return {};
    const auto sys = std::chrono::file_clock::to_sys(written);
    return UtcText(std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys)));
}

// Removes the folder being built unless it was moved into place.
struct Scratch {
    fs::path path;
    bool kept = false;
    ~Scratch() {
        std::error_code ec;
        if (!kept && !path.empty()) fs::remove_all(path, ec);
    }
};

// The temporary folder of this process for target.
fs::path ScratchPath(const fs::path& target, pid_t pid) {
    return target.parent_path() /
           ("." + target.filename().string() + ".partial-" + std::to_string(pid));
}

// Temporary folders for target that a process no longer alive left behind (killed, or the
// power went): nothing else will ever remove them.
void RemoveStaleScratch(const fs::path& target) {
    const std::string prefix = "." + target.filename().string() + ".partial-";
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(target.parent_path(), ec)) {
        const std::string name = e.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const long pid = std::strtol(digits.c_str(), nullptr, 10);
        if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
            std::error_code removeError;
            fs::remove_all(e.path(), removeError);
        }
    }
}

bool Cancelled(const PackageRequest& r) {
    return r.cancel && r.cancel->load();
}

// The share of the whole package each step ends at.
constexpr double kCopiedShare = 0.1, kLosslessShare = 0.2, kComposedShare = 0.85,
                 kProvenShare = 0.9;

struct Source {
    std::string path;
    RecordingTelemetry telemetry;
    int64_t startSec = -1;
    int64_t timelineMs = 0;  // where it starts on the joined timeline
};

bool ReadSources(const PackageRequest& r, std::vector<Source>& sources, std::string* error) {
    sources.clear();
    int64_t at = 0;
    for (const std::string& path : r.paths) {
        Source s;
        s.path = path;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) return Fail(error, "cannot read " + path);
        if (!WalkTelemetry(path, s.telemetry) || s.telemetry.durationMs <= 0)
            return Fail(error, "not a recording the reader accepts: " + path);
        if (!ParseRecordingStart(fs::path(path).filename().string(), s.startSec))
            return Fail(error, path + ": the name carries no start time, so it cannot be placed");
        if (!sources.empty()) {
            const Source& before = sources.back();
            const int64_t gap =
                s.startSec * 1000 - (before.startSec * 1000 + before.telemetry.durationMs);
            if (gap > kTripJoinGapMs || gap < -kOverlapToleranceMs)
                return Fail(error, path + " does not follow " + before.path +
                                       " (recordings of one package must be consecutive)");
        }
        s.timelineMs = at;
        at += s.telemetry.durationMs;
        sources.push_back(std::move(s));
    }
    return true;
}

bool CheckTarget(const fs::path& target, std::string* error) {
    std::error_code ec;
    if (!fs::exists(target, ec)) return true;
    if (!fs::is_directory(target, ec) || !fs::is_empty(target, ec))
        return Fail(error, target.string() + " exists and is not an empty folder");
    return true;
}

// Every file under folder, relative, in name order.
std::vector<std::string> FilesUnder(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

// Hashes already taken in this package, so a file is read once however often the list is
// made: a file is hashed again only when its size or its time of writing changed.
struct HashCache {
    struct Entry {
        uintmax_t size = 0;
        fs::file_time_type written;
        std::string sha256;
    };
    std::map<std::string, Entry> known;

    void Remember(const fs::path& folder, const std::string& rel, const std::string& sha256) {
        std::error_code ec;
        Entry e{fs::file_size(folder / rel, ec), fs::last_write_time(folder / rel, ec), sha256};
        if (!ec) known[rel] = std::move(e);
    }
};

bool HashAll(const fs::path& folder, HashCache& cache, std::vector<PackageFacts::File>& files,
             std::string* error) {
    files.clear();
    for (const std::string& rel : FilesUnder(folder)) {
        PackageFacts::File f;
        f.path = rel;
        std::error_code ec;
        f.size = fs::file_size(folder / rel, ec);
        const auto written = fs::last_write_time(folder / rel, ec);
        const auto it = cache.known.find(rel);
        if (!ec && it != cache.known.end() && it->second.size == f.size &&
            it->second.written == written) {
            f.sha256 = it->second.sha256;
        } else {
            if (!Sha256OfFile((folder / rel).string(), &f.sha256, error)) return false;
            cache.Remember(folder, rel, f.sha256);
        }
        files.push_back(f);
    }
    return true;
}

bool ExportClip(const std::vector<std::string>& copies, int64_t fromMs, int64_t toMs,
                const fs::path& out, const fs::path& gpx, ClipCompose compose,
                const PackageRequest& r, std::pair<double, double> share, std::string* error) {
    ClipRequest clip;
    clip.paths = copies;
    clip.fromMs = fromMs;
    clip.toMs = toMs;
    clip.outPath = out.string();
    clip.gpxPath = gpx.string();
    clip.compose = compose;
    clip.noSound = r.noSound;
    clip.noPosition = r.noPosition;
    ClipExporter exporter;
    // The exporter's progress comes often enough to pass a cancel on within a moment.
    exporter.SetProgress([&r, &exporter, share](double done) {
        if (Cancelled(r)) exporter.Cancel();
        if (r.fraction) r.fraction(share.first + (share.second - share.first) * done);
    });
    if (Cancelled(r)) exporter.Cancel();
    ClipGpx track(copies);
    exporter.SetTextSink(track.Sink());
    exporter.SetGpxDocument([&track] { return track.Document(); });
    exporter.SetCreationTime([](const std::string& path, int64_t positionMs) {
        const std::optional<CreationTime> created = PictureCreationTime(path, positionMs);
        return created ? created->text : std::string();
    });
    ClipCaption caption;
    if (compose != ClipCompose::None) {
        CaptionOptions options;
        options.mph = r.mph;
        options.position = !r.noPosition;
        if (!caption.Load(copies, options, error)) return false;
        clip.caption = [&caption](int64_t ms) { return caption.Text(ms); };
    }
    ClipSummary summary;
    const ClipResult result = exporter.Export(clip, &summary, error);
    if (result == ClipResult::Cancelled) *error = "cancelled";
    return result == ClipResult::Done;
}

std::string Manifest(const PackageFacts& facts, const std::vector<Source>& sources, size_t first,
                     size_t last) {
    const PackageRequest& r = *facts.request;
    JsonWriter j;
    j.BeginObject().Key("program").String(r.program).Key("version").String(TARVEX_VERSION);
    j.Key("created_utc").String(UtcText(std::time(nullptr)));
    j.Key("sources").BeginArray();
    for (size_t i = first; i <= last; ++i) {
        std::error_code ec;
        j.BeginObject()
            .Key("path")
            .String(fs::absolute(sources[i].path, ec).string())
            .Key("size")
            .UInt(fs::file_size(sources[i].path, ec))
            .Key("modified_utc")
            .String(ModifiedUtc(sources[i].path))
            .Key("start_camera_clock")
            .String(FormatClockIso(sources[i].startSec))
            .Key("length_ms")
            .Int(sources[i].telemetry.durationMs)
            .EndObject();
    }
    j.EndArray();
    j.Key("clip")
        .BeginObject()
        .Key("from_ms")
        .Int(facts.clipFromMs)
        .Key("to_ms")
        .Int(facts.clipToMs);
    j.Key("sound").Bool(!r.noSound).Key("position").Bool(!r.noPosition).EndObject();
    j.Key("moment").BeginObject().Key("timeline_ms").Int(facts.momentMs);
    j.Key("camera_clock").String(FormatClockIsoMs(facts.cameraMs)).Key("utc");
    if (facts.clockOffsetSec)
        j.String(FormatClockIsoMs(facts.cameraMs - *facts.clockOffsetSec * 1000) + "Z");
    else
        j.Null();
    j.EndObject();
    j.Key("clock").BeginObject().Key("offset_from_utc_s");
    if (facts.clockOffsetSec)
        j.Int(*facts.clockOffsetSec);
    else
        j.Null();
    j.Key("method")
        .String(
            "median over the recording's valid GPS fixes of (camera clock - GPS UTC), "
            "rounded to the second")
        .Key("fixes")
        .Int(facts.clockFixes)
        .EndObject();
    int64_t compared = 0;
    bool equal = !facts.proof.empty();
    j.Key("verified").BeginObject().Key("tracks").BeginArray();
    for (const TrackProof& t : facts.proof) {
        compared += t.compared;
        equal = equal && t.Holds();
        j.BeginObject()
            .Key("camera")
            .String(t.camera == 0 ? "front" : "rear")
            .Key("packets")
            .Int(t.packets)
            .Key("equal_to_source")
            .Int(t.compared)
            .Key("first_source")
            .String(fs::path(t.firstSource).filename().string())
            .Key("first_chunk")
            .Int(t.firstChunk)
            .EndObject();
    }
    j.EndArray().Key("packets_compared").Int(compared).Key("all_equal").Bool(equal);
    j.Key("what")
        .String(
            "every video packet of clip.mp4 compared with the recording chunk it was copied "
            "from; SHA-256 of every file in SHA256SUMS")
        .EndObject();
    j.Key("files").BeginArray();
    for (const PackageFacts::File& f : facts.files)
        j.BeginObject()
            .Key("path")
            .String(f.path)
            .Key("size")
            .UInt(f.size)
            .Key("sha256")
            .String(f.sha256)
            .EndObject();
    j.EndArray().EndObject();
    return j.Text() + "\n";
}

int CountValidFixes(const RecordingTelemetry& t) {
    return static_cast<int>(std::count_if(t.fixes.begin(), t.fixes.end(), [](const TimedFix& f) {
        int64_t utc = 0;
        return f.fix.IsUsable() && GpsFixUtcSeconds(f.fix, utc);
    }));
}

}  // namespace

bool WritePackage(const PackageRequest& r, const ReportWriter& report, PackageResult* result,
                  std::string* error) {
    // Each step says what it does; false once a cancel has come.
    auto step = [&r, error](const char* what, double fraction) {
        if (Cancelled(r)) return Fail(error, "cancelled");
        if (r.progress) r.progress(what);
        if (r.fraction) r.fraction(fraction);
        return true;
    };
    if (r.paths.empty()) return Fail(error, "no recording given");
    if (r.toMs <= r.fromMs) return Fail(error, "the end of the range must come after its start");
    const fs::path target = fs::absolute(r.outDir).lexically_normal();
    if (!CheckTarget(target, error)) return false;
    for (const std::string& path : r.paths) {
        std::error_code ec;
        if (fs::equivalent(path, target, ec) || fs::path(path).lexically_normal() == target)
            return Fail(error, "the package folder cannot be a recording: " + path);
    }
    std::vector<Source> sources;
    if (!ReadSources(r, sources, error)) return false;
    const int64_t total = sources.back().timelineMs + sources.back().telemetry.durationMs;
    if (r.fromMs >= total || r.toMs > total)
        return Fail(error, "the range lies outside the recordings, which play " +
                               std::to_string(total) + " ms");
    const int64_t atMs = r.atMs < 0 ? (r.fromMs + r.toMs) / 2 : r.atMs;
    if (atMs < r.fromMs || atMs >= r.toMs)
        return Fail(error, "the moment of the stills lies outside the range");

    // The recordings the clip touches.
    size_t first = 0, last = sources.size() - 1;
    while (sources[first].timelineMs + sources[first].telemetry.durationMs <= r.fromMs) ++first;
    while (sources[last].timelineMs >= r.toMs) --last;
    std::set<std::string> names;
    for (size_t i = first; i <= last; ++i)
        if (!names.insert(fs::path(sources[i].path).filename().string()).second)
            return Fail(error, "two recordings share the name " +
                                   fs::path(sources[i].path).filename().string());

    RemoveStaleScratch(target);
    Scratch scratch;
    scratch.path = ScratchPath(target, getpid());
    std::error_code ec;
    fs::remove_all(scratch.path, ec);
    if (!fs::create_directories(scratch.path / kOriginals, ec))
        return Fail(error, "cannot create " + scratch.path.string() + ": " + ec.message());

    if (!step("copying the originals", 0)) return false;
    PackageFacts& facts = result->facts;
    facts = PackageFacts();
    facts.request = &r;
    HashCache hashes;
    for (size_t i = first; i <= last; ++i) {
        const fs::path copy = scratch.path / kOriginals / fs::path(sources[i].path).filename();
        std::string hex;
        uint64_t bytes = 0;
        if (!CopyAndHash(sources[i].path, copy.string(), &hex, &bytes, error)) return false;
        hashes.Remember(scratch.path, fs::relative(copy, scratch.path).string(), hex);
        facts.originals.push_back(copy.string());
        facts.startsMs.push_back(sources[i].timelineMs - sources[first].timelineMs);
    }
    const std::string config = CardConfigPath(
        CardRoot(fs::path(sources[first].path).parent_path().parent_path().string()));
    if (fs::is_regular_file(config, ec)) {
        std::string hex;
        uint64_t bytes = 0;
        if (!CopyAndHash(config, (scratch.path / kOriginals / kConfigCopy).string(), &hex, &bytes,
                         error))
            return false;
        hashes.Remember(scratch.path, (fs::path(kOriginals) / kConfigCopy).string(), hex);
    }
    const int64_t offset = sources[first].timelineMs;
    facts.clipFromMs = r.fromMs - offset;
    facts.clipToMs = r.toMs - offset;
    facts.momentMs = atMs - offset;
    for (size_t i = first; i <= last; ++i) {
        RecordingTelemetry moved = sources[i].telemetry;
        for (TimedFix& f : moved.fixes) f.timeMs += sources[i].timelineMs - offset;
        for (TimedSample& s : moved.samples) s.timeMs += sources[i].timelineMs - offset;
        facts.timeline.durationMs += moved.durationMs;
        facts.timeline.frameRate = moved.frameRate;
        facts.timeline.fixes.insert(facts.timeline.fixes.end(), moved.fixes.begin(),
                                    moved.fixes.end());
        facts.timeline.samples.insert(facts.timeline.samples.end(), moved.samples.begin(),
                                      moved.samples.end());
    }

    av_log_set_level(AV_LOG_ERROR);
    if (!step("writing the lossless clip", kCopiedShare)) return false;
    const fs::path gpx = r.noPosition ? fs::path() : scratch.path / kTrack;
    if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs, scratch.path / kLosslessClip,
                    gpx, ClipCompose::None, r, {kCopiedShare, kLosslessShare}, error))
        return false;
    if (!step("writing the composed clip", kLosslessShare)) return false;
    if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs, scratch.path / kComposedClip,
                    fs::path(), ClipCompose::PictureInPicture, r, {kLosslessShare, kComposedShare},
                    error))
        return false;

    if (!step("taking the stills", kComposedShare)) return false;
    size_t k = facts.startsMs.size() - 1;
    while (k > 0 && facts.startsMs[k] > facts.momentMs) --k;
    const Source& moment = sources[first + k];
    MomentStillsResult stills;
    if (!WriteMomentStills(facts.originals[k], moment.telemetry, facts.momentMs - facts.startsMs[k],
                           scratch.path.string(), !r.noPosition, &stills, error))
        return false;
    for (const StillTarget& t : stills.stills) facts.stills.push_back(t.path);
    facts.cameraMs = stills.moment.cameraMs;
    facts.momentMs = facts.startsMs[k] + stills.positionMs;
    facts.clockOffsetSec = ClockOffsetSec(moment.startSec, moment.telemetry.fixes);
    facts.clockFixes = CountValidFixes(moment.telemetry);

    if (!step("comparing the clip with the originals", kComposedShare)) return false;
    std::vector<std::string> recordings(facts.originals.begin(), facts.originals.end());
    if (!ProveClip((scratch.path / kLosslessClip).string(), recordings, &facts.proof, error))
        return false;

    if (!HashAll(scratch.path, hashes, facts.files, error)) return false;
    if (report) {
        if (!step("writing the report", kProvenShare)) return false;
        if (!report(facts, (scratch.path / kReport).string(), error)) return false;
        if (!HashAll(scratch.path, hashes, facts.files, error)) return false;
    }
    if (!step("writing the manifest", kProvenShare)) return false;
    if (!WriteText(scratch.path / kManifest, Manifest(facts, sources, first, last), error))
        return false;
    std::vector<PackageFacts::File> all;
    if (!HashAll(scratch.path, hashes, all, error)) return false;
    std::string sums;
    for (const PackageFacts::File& f : all) sums += f.sha256 + "  " + f.path + "\n";
    if (!WriteText(scratch.path / kSums, sums, error)) return false;

    // Into place: an empty folder at the target gives way to the whole package.
    if (fs::exists(target, ec) && !fs::remove(target, ec))
        return Fail(error, "cannot replace the empty folder " + target.string());
    fs::rename(scratch.path, target, ec);
    if (ec)
        return Fail(error, "cannot move the package to " + target.string() + ": " + ec.message());
    scratch.kept = true;
    if (r.fraction) r.fraction(1.0);
    result->folder = target.string();
    // The paths now lie in the package's own folder.
    for (std::string& p : facts.originals)
        p = (target / kOriginals / fs::path(p).filename()).string();
    for (std::string& p : facts.stills) p = (target / fs::path(p).filename()).string();
    return true;
}

bool VerifyReport::Holds() const {
    if (!changed.empty() || !unlisted.empty() || !proofError.empty() || proof.empty()) return false;
    return std::all_of(proof.begin(), proof.end(), [](const TrackProof& t) { return t.Holds(); });
}

bool VerifyPackage(const std::string& dir, VerifyReport* report, std::string* error) {
    *report = VerifyReport();
    const fs::path folder(dir);
    std::ifstream sums(folder / kSums);
    if (!sums) return Fail(error, dir + " is not an evidence package (no " + kSums + ")");
    std::set<std::string> listed;
    std::string line;
    while (std::getline(sums, line)) {
        if (line.size() < 67 || line[64] != ' ') continue;
        const std::string expected = line.substr(0, 64);
        const std::string rel = line.substr(line[65] == '*' || line[65] == ' ' ? 66 : 65);
        listed.insert(rel);
        std::string actual, why;
        if (!Sha256OfFile((folder / rel).string(), &actual, &why) || actual != expected)
            report->changed.push_back(rel);
    }
    for (const std::string& rel : FilesUnder(folder))
        if (rel != kSums && !listed.count(rel)) report->unlisted.push_back(rel);
    std::vector<std::string> originals;
    for (const std::string& rel : FilesUnder(folder / kOriginals))
        if (HasRecordingName(rel)) originals.push_back((folder / kOriginals / rel).string());
    if (!ProveClip((folder / kLosslessClip).string(), originals, &report->proof,
                   &report->proofError) &&
        report->proofError.empty())
        report->proofError = "cannot read the clip";
    return true;
}
