#include "evidence/EvidencePackage.h"

#include <sys/stat.h>

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
#include "evidence/PackageNames.h"
#include "evidence/PackageReadme.h"
#include "evidence/PackageScratch.h"
#include "evidence/PdfCheck.h"
#include "evidence/Sha256.h"
#include "library/CardRoot.h"
#include "library/TripCatalogue.h"
#include "media/ClipCheck.h"
#include "media/ClipExporter.h"
#include "media/ClipFitter.h"
#include "media/ClipMuxer.h"
#include "media/ExportTargets.h"
#include "redact/MaskPainter.h"
#include "support/JsonWriter.h"
#include "support/ProgramVersion.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipCaption.h"
#include "telemetry/ClipGpx.h"
#include "telemetry/Gpx.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kOriginals = kPackageOriginals;
constexpr const char* kLosslessClip = kPackageLosslessClip;
constexpr const char* kComposedClip = kPackageComposedClip;
constexpr const char* kTrack = kPackageTrack;
constexpr const char* kReport = kPackageReport;
constexpr const char* kManifest = kPackageManifest;
constexpr const char* kSums = kPackageSums;
constexpr const char* kConfigCopy = kPackageConfigCopy;
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

// The time of writing a stamp holds, to the second.
std::string ModifiedUtc(const FileStamp& stamp) {
    constexpr int64_t kNsPerSecond = 1000000000;
    return UtcText(static_cast<std::time_t>(stamp.modifiedNs / kNsPerSecond));
}

bool Cancelled(const PackageRequest& r) {
    return r.cancel && r.cancel->load();
}

// The share of the whole package each step ends at.
constexpr double kCopiedShare = 0.1, kLosslessShare = 0.2, kComposedShare = 0.85,
                 kProvenShare = 0.9;

struct Source {
    std::string path;
    FileStamp stamp;  // as it was walked; its copy must hold these very bytes
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
        if (!StampOfFile(path, &s.stamp, error)) return false;
        if (!WalkTelemetry(path, s.telemetry) || s.telemetry.durationMs <= 0)
            return Fail(error, "not a recording the reader accepts: " + path);
        FileStamp walked;
        if (!StampOfFile(path, &walked, error)) return false;
        if (!(walked == s.stamp)) return Fail(error, path + " changed while it was read");
        if (!ParseRecordingStart(fs::path(path).filename().string(), s.startSec))
            return Fail(error, path + ": the name carries no start time, so it cannot be placed");
        if (!sources.empty()) {
            const Source& before = sources.back();
            const int64_t beforeEndMs = before.startSec * 1000 + before.telemetry.durationMs;
            if (!TripTimeline::Joins(beforeEndMs, s.startSec * 1000) ||
                s.startSec * 1000 - beforeEndMs < -kOverlapToleranceMs)
                return Fail(error, path + " does not follow " + before.path +
                                       " (recordings of one package must be consecutive)");
        }
        s.timelineMs = at;
        at += s.telemetry.durationMs;
        sources.push_back(std::move(s));
    }
    return true;
}

// The package's folder: outDir made absolute, without a trailing "/" or "/.". Refused before
// any work when it names no folder of its own, is a symbolic link (even one to an empty
// folder: the link is the user's), is anything but a missing name or an empty folder, or the
// folder it goes in does not exist.
bool ResolveTarget(const std::string& outDir, fs::path* target, std::string* error) {
    if (outDir.empty()) return Fail(error, "no package folder given");
    std::error_code ec;
    fs::path p = fs::absolute(outDir, ec);
    if (ec) return Fail(error, "cannot place " + outDir + ": " + ec.message());
    while ((!p.has_filename() || p.filename() == ".") && p != p.root_path()) p = p.parent_path();
    if (!p.has_filename() || p.filename() == "..")
        return Fail(error, outDir + " names no folder of its own for the package");
    *target = p;
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return Fail(error, "cannot use " + outDir + ": " + std::strerror(errno));
        if (!fs::is_directory(p.parent_path(), ec))
            return Fail(error, "the folder " + p.parent_path().string() + " does not exist");
        return true;
    }
    if (S_ISLNK(st.st_mode))
        return Fail(error, outDir + " is a symbolic link; name the folder itself");
    if (!S_ISDIR(st.st_mode) || !fs::is_empty(p, ec) || ec)
        return Fail(error, p.string() + " exists and is not an empty folder");
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
        if (PackageScratch::IsMarker(rel)) continue;
        PackageFacts::File f;
        f.path = rel;
        std::error_code ec;
        f.size = fs::file_size(folder / rel, ec);
        if (ec) return Fail(error, "cannot read " + (folder / rel).string() + ": " + ec.message());
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

// A clip of the package is read back to its end: every video track holds the packets the
// exporter wrote.
bool ClipHoldsWhatWasWritten(const fs::path& path, const ClipSummary& written, std::string* error) {
    const std::string name = path.filename().string();
    std::vector<int64_t> packets;
    if (!ClipVideoPackets(path.string(), name, &packets, error)) return false;
    if (packets != written.videoPackets)
        return Fail(error, name + " was written but does not read back with the pictures written");
    return true;
}

bool ExportClip(const std::vector<std::string>& copies, int64_t fromMs, int64_t toMs,
                const fs::path& out, const fs::path& gpx, ClipCompose compose,
                const PackageRequest& r, std::pair<double, double> share, std::string* error,
                int64_t* startMs = nullptr, int64_t* redactedBoxes = nullptr) {
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
    const MaskSet none;
    MaskPainter painter(r.redact ? *r.redact : none);
    if (compose != ClipCompose::None && r.redact)
        clip.retouch = [&painter](int camera, int64_t frame, AVFrame* picture) {
            return painter.Paint(camera, frame, picture);
        };
    ClipSummary summary;
    const ClipResult result = exporter.Export(clip, &summary, error);
    if (redactedBoxes) *redactedBoxes += painter.BoxesPainted();
    if (result == ClipResult::Cancelled) *error = "cancelled";
    if (startMs) *startMs = summary.startMs;
    return result == ClipResult::Done && ClipHoldsWhatWasWritten(out, summary, error);
}

// The frame of camera's picture shown beside front frame frontFrame, at the rear's rate.
int64_t RedactedFrame(const MaskSet& masks, int camera, int64_t frontFrame) {
    const MaskCamera* front = masks.Camera(0);
    const MaskCamera* rear = masks.Camera(1);
    if (camera == 0 || !front || !rear) return frontFrame;
    return frontFrame * rear->frames / front->frames;
}

// The files that left blurred: the composed clip (or its parts) and the stills.
void NoteRedactedFiles(const fs::path& scratch, const std::vector<StillTarget>& stills,
                       PackageFacts& facts) {
    if (facts.composedParts.empty()) facts.redactedFiles.push_back(kComposedClip);
    for (const PackageFacts::Part& p : facts.composedParts) facts.redactedFiles.push_back(p.path);
    for (const StillTarget& t : stills)
        facts.redactedFiles.push_back(fs::relative(t.path, scratch).string());
}

// Every region and what was blurred, and what stays unedited.
void WriteRedactions(const PackageFacts& facts, JsonWriter& j) {
    const PackageRequest& r = *facts.request;
    if (!r.redact) return;
    j.Key("redactions").BeginObject().Key("regions").BeginArray();
    for (const MaskRegion& region : r.redact->regions) {
        int64_t count[3] = {0, 0, 0};
        for (const MaskBox& b : region.boxes) ++count[static_cast<int>(b.source)];
        j.BeginObject().Key("id").Int(region.id).Key("camera").String(
            MaskCameraName(region.camera));
        j.Key("kind").String(MaskKindName(region.kind)).Key("first_frame").Int(region.FirstFrame());
        j.Key("last_frame").Int(region.LastFrame()).Key("hand").Int(count[0]);
        j.Key("tracked").Int(count[1]).Key("detected").Int(count[2]).EndObject();
    }
    j.EndArray().Key("boxes_blurred").Int(facts.redactedBoxes).Key("redacted_files").BeginArray();
    for (const std::string& f : facts.redactedFiles) j.String(f);
    j.EndArray().Key("unedited_files").BeginArray().String(kLosslessClip);
    for (const std::string& o : facts.originals)
        j.String((fs::path(kOriginals) / fs::path(o).filename()).string());
    j.EndArray().EndObject();
}

std::string Manifest(const PackageFacts& facts, const std::vector<Source>& sources, size_t first,
                     size_t last) {
    const PackageRequest& r = *facts.request;
    JsonWriter j;
    j.BeginObject().Key("program").String(r.program).Key("version").String(kProgramVersion);
    j.Key("created_utc").String(UtcText(static_cast<std::time_t>(facts.createdUtcSec)));
    j.Key("sources").BeginArray();
    for (size_t i = first; i <= last; ++i) {
        std::error_code ec;
        j.BeginObject()
            .Key("path")
            .String(fs::absolute(sources[i].path, ec).string())
            .Key("size")
            .UInt(sources[i].stamp.size)
            .Key("modified_utc")
            .String(ModifiedUtc(sources[i].stamp))
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
    j.Key("sound").Bool(!r.noSound).Key("position").Bool(!r.noPosition);
    if (!facts.composedParts.empty()) {
        j.Key("composed_parts").BeginArray();
        for (const PackageFacts::Part& p : facts.composedParts)
            j.BeginObject()
                .Key("path")
                .String(p.path)
                .Key("from_camera_clock")
                .String(FormatClockIsoMs(facts.CameraMsAt(p.fromMs)))
                .Key("to_camera_clock")
                .String(FormatClockIsoMs(facts.CameraMsAt(p.toMs)))
                .EndObject();
        j.EndArray().Key("composed_bit_rate").Int(facts.composedBitsPerSecond);
    }
    j.EndObject();
    WriteRedactions(facts, j);
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

// Copies the recordings the clip touches and the card's configuration file into the
// package's originals; each recording must still be the file that was walked.
bool CopyOriginals(const PackageRequest& r, const std::vector<Source>& sources, size_t first,
                   size_t last, const fs::path& scratch, HashCache& hashes, std::string* error) {
    uint64_t total = 0, before = 0;
    for (size_t i = first; i <= last; ++i) total += sources[i].stamp.size;
    // Originals of a gigabyte take a while: the share moves, and a cancel is heard, per block.
    const CopyProgress progress = [&r, &total, &before](uint64_t done, uint64_t) {
        if (Cancelled(r)) return false;
        if (r.fraction && total > 0)
            r.fraction(kCopiedShare * static_cast<double>(std::min(before + done, total)) /
                       static_cast<double>(total));
        return true;
    };
    auto copy = [&](const std::string& from, const FileStamp* expected, const fs::path& rel) {
        CopiedFile copied;
        if (!CopyAndHash(from, (scratch / rel).string(), expected, progress, &copied, error)) {
            if (Cancelled(r)) *error = "cancelled";
            return false;
        }
        hashes.Remember(scratch, rel.string(), copied.sha256);
        return true;
    };
    for (size_t i = first; i <= last; ++i) {
        const fs::path rel = fs::path(kOriginals) / fs::path(sources[i].path).filename();
        if (!copy(sources[i].path, &sources[i].stamp, rel)) return false;
        before += sources[i].stamp.size;
    }
    const std::string config = CardConfigPath(
        CardRoot(fs::path(sources[first].path).parent_path().parent_path().string()));
    std::error_code ec;
    if (!fs::is_regular_file(config, ec)) return true;
    return copy(config, nullptr, fs::path(kOriginals) / kConfigCopy);
}

// The composed clip cut into the parts the request's budget allows: a working copy composed
// at the usual quality, then the parts encoded from it at the rate the budget leaves (capped
// at the originals' own); each part is read back whole.
bool ComposeFitted(const std::vector<Source>& sources, size_t first, size_t last,
                   const fs::path& scratch, PackageFacts& facts, std::string* error) {
    const PackageRequest& r = *facts.request;
    const fs::path working = scratch / ".composed-working.mp4";
    const double middle = (kLosslessShare + kComposedShare) / 2;
    int64_t from = facts.clipFromMs;  // the key frame at or before the range's start
    if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs, working, fs::path(),
                    ClipCompose::PictureInPicture, r, {kLosslessShare, middle}, error, &from,
                    &facts.redactedBoxes))
        return false;
    uint64_t bytes = 0;
    int64_t ms = 0;
    for (size_t i = first; i <= last; ++i) {
        bytes += sources[i].stamp.size;
        ms += sources[i].telemetry.durationMs;
    }
    const int64_t cap = ms > 0 ? static_cast<int64_t>(bytes * 8 * 1000 / ms) : 0;
    const ClipFitter::Progress progress = [&r, middle](double done) {
        if (r.fraction) r.fraction(middle + (kComposedShare - middle) * done);
        return !Cancelled(r);
    };
    FitResult fit;
    const bool fitted = FitWorkingCopy(working.string(), r.budget, cap,
                                       (scratch / kComposedClip).string(), progress, &fit, error);
    std::error_code ec;
    fs::remove(working, ec);
    if (!fitted) {
        if (Cancelled(r)) *error = "cancelled";
        return false;
    }
    for (const FittedPart& p : fit.parts) {
        std::vector<int64_t> packets;
        const std::string name = fs::path(p.path).filename().string();
        if (!ClipVideoPackets(p.path, name, &packets, error)) return false;
        if (packets.size() != 1 || packets[0] != p.part.frames)
            return Fail(error, name + " was written but does not read back with its pictures");
        facts.composedParts.push_back({name, from + p.part.fromMs, from + p.part.toMs});
    }
    facts.composedBitsPerSecond = fit.bitsPerSecond;
    facts.composedLowered = fit.plan.lowered;
    facts.composedWidth = fit.plan.width, facts.composedHeight = fit.plan.height;
    return true;
}

}  // namespace

TripTimeline PackageFacts::Originals() const {
    std::vector<int64_t> lengths, clockSec;
    for (size_t k = 0; k < startsMs.size(); ++k) {
        lengths.push_back((k + 1 < startsMs.size() ? startsMs[k + 1] : timeline.durationMs) -
                          startsMs[k]);
        clockSec.push_back(k < startsCameraMs.size() ? startsCameraMs[k] / 1000 : -1);
    }
    return TripTimeline(std::move(lengths), std::move(clockSec));
}

int64_t PackageFacts::CameraMsAt(int64_t timelineMs) const {
    if (const std::optional<int64_t> ms = Originals().ClockMsAt(timelineMs)) return *ms;
    return cameraMs + (timelineMs - momentMs);
}

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
    if (r.redact && r.paths.size() != 1)
        return Fail(error, "marked regions can only be blurred in a package of one recording");
    fs::path target;
    if (!ResolveTarget(r.outDir, &target, error)) return false;
    for (const std::string& path : r.paths) {
        std::error_code ec;
        if (fs::equivalent(path, target, ec) ||
            fs::absolute(path, ec).lexically_normal() == target.lexically_normal())
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
    size_t parts = 0;
    if (r.budget.Any() &&
        !BudgetHoldsStretch(r.budget, r.toMs - r.fromMs, r.noSound ? 0 : ClipMuxer::kAacBitRate,
                            &parts, error))
        return false;

    // The recordings the clip touches.
    size_t first = 0, last = sources.size() - 1;
    while (sources[first].timelineMs + sources[first].telemetry.durationMs <= r.fromMs) ++first;
    while (sources[last].timelineMs >= r.toMs) --last;
    std::set<std::string> names;
    for (size_t i = first; i <= last; ++i)
        if (!names.insert(fs::path(sources[i].path).filename().string()).second)
            return Fail(error, "two recordings share the name " +
                                   fs::path(sources[i].path).filename().string());

    PackageScratch::RemoveLeftovers(target.parent_path());
    PackageScratch scratchFolder;
    if (!scratchFolder.Create(target, error)) return false;
    const fs::path& scratch = scratchFolder.Path();
    std::error_code ec;
    if (!fs::create_directory(scratch / kOriginals, ec))
        return Fail(error,
                    "cannot create " + (scratch / kOriginals).string() + ": " + ec.message());

    if (!step("copying the originals", 0)) return false;
    PackageFacts& facts = result->facts;
    facts = PackageFacts();
    facts.request = &r;
    facts.createdUtcSec = static_cast<int64_t>(std::time(nullptr));
    HashCache hashes;
    if (!CopyOriginals(r, sources, first, last, scratch, hashes, error)) return false;
    for (size_t i = first; i <= last; ++i) {
        facts.originals.push_back(
            (scratch / kOriginals / fs::path(sources[i].path).filename()).string());
        facts.startsMs.push_back(sources[i].timelineMs - sources[first].timelineMs);
        facts.startsCameraMs.push_back(sources[i].startSec * 1000);
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
    const fs::path gpx = r.noPosition ? fs::path() : scratch / kTrack;
    if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs, scratch / kLosslessClip, gpx,
                    ClipCompose::None, r, {kCopiedShare, kLosslessShare}, error))
        return false;
    if (!step("writing the composed clip", kLosslessShare)) return false;
    if (r.budget.Any()) {
        if (!ComposeFitted(sources, first, last, scratch, facts, error)) return false;
    } else if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs,
                           scratch / kComposedClip, fs::path(), ClipCompose::PictureInPicture, r,
                           {kLosslessShare, kComposedShare}, error, nullptr,
                           &facts.redactedBoxes)) {
        return false;
    }

    if (!step("taking the stills", kComposedShare)) return false;
    const size_t k = facts.Originals().RecordingAt(facts.momentMs);
    const Source& moment = sources[first + k];
    MomentStillsResult stills;
    const MaskSet none;
    MaskPainter stillPainter(r.redact ? *r.redact : none);
    StillRetouch retouch;
    if (r.redact)
        retouch = [&stillPainter, &r](int camera, int64_t frontFrame, const std::string& jpeg) {
            return stillPainter.PaintJpeg(camera, RedactedFrame(*r.redact, camera, frontFrame),
                                          jpeg);
        };
    if (!WriteMomentStills(facts.originals[k], moment.telemetry, facts.momentMs - facts.startsMs[k],
                           scratch.string(), !r.noPosition, &stills, error, retouch))
        return false;
    facts.redactedBoxes += stillPainter.BoxesPainted();
    if (r.redact) NoteRedactedFiles(scratch, stills.stills, facts);
    for (const StillTarget& t : stills.stills) facts.stills.push_back(t.path);
    facts.cameraMs = stills.moment.cameraMs;
    facts.momentMs = facts.startsMs[k] + stills.positionMs;
    facts.clockOffsetSec = ClockOffsetSec(moment.startSec, moment.telemetry.fixes);
    facts.clockFixes = CountValidFixes(moment.telemetry);

    if (!step("comparing the clip with the originals", kComposedShare)) return false;
    std::vector<std::string> recordings(facts.originals.begin(), facts.originals.end());
    if (!ProveClip((scratch / kLosslessClip).string(), recordings, &facts.proof, error))
        return false;

    // The guide goes first, so that the report lists every file but itself and the manifest.
    if (!WriteText(scratch / kPackageReadme,
                   PackageReadme(r.language, !r.noPosition, static_cast<bool>(report),
                                 r.signer != nullptr, facts.composedParts.size()),
                   error))
        return false;
    if (!HashAll(scratch, hashes, facts.files, error)) return false;
    if (report) {
        if (!step("writing the report", kProvenShare)) return false;
        if (!report(facts, (scratch / kReport).string(), error)) return false;
        if (!PdfIsWhole((scratch / kReport).string(), kReport, error)) return false;
        if (!HashAll(scratch, hashes, facts.files, error)) return false;
    }
    if (!step("writing the manifest", kProvenShare)) return false;
    if (!WriteText(scratch / kManifest, Manifest(facts, sources, first, last), error)) return false;
    std::vector<PackageFacts::File> all;
    if (!HashAll(scratch, hashes, all, error)) return false;
    std::string sums;
    for (const PackageFacts::File& f : all) sums += Sha256SumsLine(f.sha256, f.path);
    if (!WriteText(scratch / kSums, sums, error)) return false;
    if (r.signer) {
        std::string signature;
        if (!r.signer->Sign(sums, &signature, error) ||
            !WriteText(scratch / kPackageSignature, signature, error))
            return false;
    }
    result->fingerprint = Sha256OfBytes(sums);

    // Into place: an empty folder at the target gives way to the whole package.
    if (!scratchFolder.MoveOnto(target, error)) return false;
    if (r.fraction) r.fraction(1.0);
    result->folder = target.string();
    // The paths now lie in the package's own folder.
    for (std::string& p : facts.originals)
        p = (target / kOriginals / fs::path(p).filename()).string();
    for (std::string& p : facts.stills) p = (target / fs::path(p).filename()).string();
    return true;
}
