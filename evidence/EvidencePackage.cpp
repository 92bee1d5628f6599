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

// A share copy reads the originals from a hidden working folder that leaves before the hashes.
fs::path OriginalsName(const PackageRequest& r) {
    return r.shareCopy ? ".originals-working" : kOriginals;
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
    // A share copy holds no unedited file: the originals were read and left behind.
    j.EndArray().Key("unedited_files").BeginArray();
    if (!r.shareCopy) j.String(kLosslessClip);
    for (const std::string& o : facts.originals)
        j.String((fs::path(kOriginals) / fs::path(o).filename()).string());
    j.EndArray().EndObject();
}

void WriteSources(const PackageFacts& facts, const std::vector<Source>& sources, size_t first,
                  size_t last, JsonWriter& j) {
    j.Key("sources").BeginArray();
    for (size_t i = first; i <= last; ++i) {
        // A share copy goes to strangers: the recording's name, not the folders of the PC.
        std::error_code ec;
        const fs::path path = facts.request->shareCopy ? fs::path(sources[i].path).filename()
                                                       : fs::absolute(sources[i].path, ec);
        j.BeginObject()
            .Key("path")
            .String(path.string())
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
}

void WriteClip(const PackageFacts& facts, JsonWriter& j) {
    const PackageRequest& r = *facts.request;
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
}

void WriteMomentAndClock(const PackageFacts& facts, JsonWriter& j) {
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
}

void WriteVerified(const PackageFacts& facts, JsonWriter& j) {
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
    j.EndArray().Key("packets_compared").Int(compared).Key("all_equal");
    if (facts.request->shareCopy)
        j.Null();  // nothing was compared, so nothing was found equal or unequal
    else
        j.Bool(equal);
    j.Key("what").String(facts.request->shareCopy
                             ? "a share copy: no original and no lossless clip to compare; "
                               "SHA-256 of every file in SHA256SUMS"
                             : "every video packet of clip.mp4 compared with the recording "
                               "chunk it was copied from; SHA-256 of every file in SHA256SUMS");
    j.EndObject();
}

std::string Manifest(const PackageFacts& facts, const std::vector<Source>& sources, size_t first,
                     size_t last) {
    const PackageRequest& r = *facts.request;
    JsonWriter j;
    j.BeginObject().Key("program").String(r.program).Key("version").String(kProgramVersion);
    j.Key("created_utc").String(UtcText(static_cast<std::time_t>(facts.createdUtcSec)));
    if (r.shareCopy) j.Key("share_copy").Bool(true);
    WriteSources(facts, sources, first, last, j);
    WriteClip(facts, j);
    WriteRedactions(facts, j);
    WriteMomentAndClock(facts, j);
    WriteVerified(facts, j);
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
    const fs::path folder = OriginalsName(r);
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
        const fs::path rel = folder / fs::path(sources[i].path).filename();
        if (!copy(sources[i].path, &sources[i].stamp, rel)) return false;
        before += sources[i].stamp.size;
    }
    const std::string config = CardConfigPath(
        CardRoot(fs::path(sources[first].path).parent_path().parent_path().string()));
    std::error_code ec;
    if (!fs::is_regular_file(config, ec)) return true;
    return copy(config, nullptr, folder / kConfigCopy);
}

// The composed clip cut into the parts the request's budget allows: a working copy composed
// at the usual quality, then the parts encoded from it at the rate the budget leaves (capped
// at the originals' own); each part is read back whole.
bool ComposeFitted(const std::vector<Source>& sources, size_t first, size_t last,
                   const fs::path& scratch, const fs::path& gpx, PackageFacts& facts,
                   std::string* error) {
    const PackageRequest& r = *facts.request;
    const fs::path working = scratch / ".composed-working.mp4";
    const double middle = (kLosslessShare + kComposedShare) / 2;
    int64_t from = facts.clipFromMs;  // the key frame at or before the range's start
    if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs, working, gpx,
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

namespace {

// One package on its way: what was read of the sources and where the folder is being built.
struct PackageBuild {
    PackageBuild(const PackageRequest& request, PackageFacts& f) : r(request), facts(f) {}

    const PackageRequest& r;
    PackageFacts& facts;
    std::vector<Source> sources;
    size_t first = 0, last = 0;  // the sources the clip touches
    int64_t atMs = 0;            // the stills' moment on the sources' joined timeline
    fs::path target;
    PackageScratch scratchFolder;
    fs::path scratch;
    HashCache hashes;

    // Each step says what it does; false once a cancel has come.
    bool Step(const char* what, double fraction, std::string* error) const {
        if (Cancelled(r)) return Fail(error, "cancelled");
        if (r.progress) r.progress(what);
        if (r.fraction) r.fraction(fraction);
        return true;
    }
    fs::path OriginalsFolder() const { return scratch / OriginalsName(r); }
};

// The request's own sense, the target and the sources, all before anything is written.
bool CheckRequest(PackageBuild& b, std::string* error) {
    const PackageRequest& r = b.r;
    if (r.paths.empty()) return Fail(error, "no recording given");
    if (r.toMs <= r.fromMs) return Fail(error, "the end of the range must come after its start");
    if (r.redact && r.paths.size() != 1)
        return Fail(error, "marked regions can only be blurred in a package of one recording");
    if (r.shareCopy && !r.redact)
        return Fail(error, "a share copy is made only with regions to blur");
    if (!ResolveTarget(r.outDir, &b.target, error)) return false;
    for (const std::string& path : r.paths) {
        std::error_code ec;
        if (fs::equivalent(path, b.target, ec) ||
            fs::absolute(path, ec).lexically_normal() == b.target.lexically_normal())
            return Fail(error, "the package folder cannot be a recording: " + path);
    }
    if (!ReadSources(r, b.sources, error)) return false;
    const int64_t total = b.sources.back().timelineMs + b.sources.back().telemetry.durationMs;
    if (r.fromMs >= total || r.toMs > total)
        return Fail(error, "the range lies outside the recordings, which play " +
                               std::to_string(total) + " ms");
    b.atMs = r.atMs < 0 ? (r.fromMs + r.toMs) / 2 : r.atMs;
    if (b.atMs < r.fromMs || b.atMs >= r.toMs)
        return Fail(error, "the moment of the stills lies outside the range");
    size_t parts = 0;
    if (r.budget.Any() &&
        !BudgetHoldsStretch(r.budget, r.toMs - r.fromMs, r.noSound ? 0 : ClipMuxer::kAacBitRate,
                            &parts, error))
        return false;
    return true;
}

// The recordings the clip touches, which must not share a name in the originals folder.
bool PickTouched(PackageBuild& b, std::string* error) {
    const std::vector<Source>& sources = b.sources;
    b.first = 0, b.last = sources.size() - 1;
    while (sources[b.first].timelineMs + sources[b.first].telemetry.durationMs <= b.r.fromMs)
        ++b.first;
    while (sources[b.last].timelineMs >= b.r.toMs) --b.last;
    std::set<std::string> names;
    for (size_t i = b.first; i <= b.last; ++i) {
        const std::string name = fs::path(sources[i].path).filename().string();
        if (!names.insert(name).second) return Fail(error, "two recordings share the name " + name);
    }
    return true;
}

bool StartScratch(PackageBuild& b, std::string* error) {
    PackageScratch::RemoveLeftovers(b.target.parent_path());
    if (!b.scratchFolder.Create(b.target, error)) return false;
    b.scratch = b.scratchFolder.Path();
    std::error_code ec;
    if (!fs::create_directory(b.OriginalsFolder(), ec))
        return Fail(error, "cannot create " + b.OriginalsFolder().string() + ": " + ec.message());
    return true;
}

// The copied originals' places and telemetry on the clip's own timeline, which starts with
// the first recording the clip touches.
void JoinTimeline(PackageBuild& b) {
    PackageFacts& facts = b.facts;
    const int64_t offset = b.sources[b.first].timelineMs;
    for (size_t i = b.first; i <= b.last; ++i) {
        const Source& s = b.sources[i];
        facts.originals.push_back((b.OriginalsFolder() / fs::path(s.path).filename()).string());
        facts.startsMs.push_back(s.timelineMs - offset);
        facts.startsCameraMs.push_back(s.startSec * 1000);
        RecordingTelemetry moved = s.telemetry;
        for (TimedFix& f : moved.fixes) f.timeMs += s.timelineMs - offset;
        for (TimedSample& t : moved.samples) t.timeMs += s.timelineMs - offset;
        facts.timeline.durationMs += moved.durationMs;
        facts.timeline.frameRate = moved.frameRate;
        facts.timeline.fixes.insert(facts.timeline.fixes.end(), moved.fixes.begin(),
                                    moved.fixes.end());
        facts.timeline.samples.insert(facts.timeline.samples.end(), moved.samples.begin(),
                                      moved.samples.end());
    }
    facts.clipFromMs = b.r.fromMs - offset;
    facts.clipToMs = b.r.toMs - offset;
    facts.momentMs = b.atMs - offset;
}

// The lossless clip (not in a share copy) and the composed one; the track goes with the first.
bool WriteClips(PackageBuild& b, std::string* error) {
    const PackageRequest& r = b.r;
    PackageFacts& facts = b.facts;
    av_log_set_level(AV_LOG_ERROR);
    const fs::path gpx = r.noPosition ? fs::path() : b.scratch / kTrack;
    if (!r.shareCopy) {
        if (!b.Step("writing the lossless clip", kCopiedShare, error)) return false;
        if (!ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs,
                        b.scratch / kLosslessClip, gpx, ClipCompose::None, r,
                        {kCopiedShare, kLosslessShare}, error))
            return false;
    }
    const fs::path composedGpx = r.shareCopy ? gpx : fs::path();
    if (!b.Step("writing the composed clip", kLosslessShare, error)) return false;
    if (r.budget.Any())
        return ComposeFitted(b.sources, b.first, b.last, b.scratch, composedGpx, facts, error);
    return ExportClip(facts.originals, facts.clipFromMs, facts.clipToMs, b.scratch / kComposedClip,
                      composedGpx, ClipCompose::PictureInPicture, r,
                      {kLosslessShare, kComposedShare}, error, nullptr, &facts.redactedBoxes);
}

// Both cameras' stills of the moment, blurred at the regions; a still that cannot be blurred
// fails the package naming it and why.
bool TakeStills(PackageBuild& b, std::string* error) {
    const PackageRequest& r = b.r;
    PackageFacts& facts = b.facts;
    if (!b.Step("taking the stills", kComposedShare, error)) return false;
    const size_t k = facts.Originals().RecordingAt(facts.momentMs);
    const Source& moment = b.sources[b.first + k];
    MomentStillsResult stills;
    const MaskSet none;
    MaskPainter painter(r.redact ? *r.redact : none);
    StillRetouch retouch;
    std::string blurError;
    if (r.redact)
        retouch = [&](int camera, int64_t frontFrame, const std::string& jpeg) {
            std::string why;
            const int64_t frame = RedactedFrame(*r.redact, camera, frontFrame);
            if (painter.PaintJpeg(camera, frame, jpeg, &why)) return true;
            const size_t i = static_cast<size_t>(camera);
            const std::string name = i < stills.stills.size()
                                         ? fs::path(stills.stills[i].path).filename().string()
                                         : std::string(MaskCameraName(camera)) + " camera's still";
            blurError = "cannot blur the marked regions in the still " + name + ": " + why;
            return false;
        };
    if (!WriteMomentStills(facts.originals[k], moment.telemetry, facts.momentMs - facts.startsMs[k],
                           b.scratch.string(), !r.noPosition, &stills, error, retouch)) {
        if (!blurError.empty()) *error = blurError;
        return false;
    }
    facts.redactedBoxes += painter.BoxesPainted();
    if (r.redact) NoteRedactedFiles(b.scratch, stills.stills, facts);
    for (const StillTarget& t : stills.stills) facts.stills.push_back(t.path);
    facts.cameraMs = stills.moment.cameraMs;
    facts.momentMs = facts.startsMs[k] + stills.positionMs;
    facts.clockOffsetSec = ClockOffsetSec(moment.startSec, moment.telemetry.fixes);
    facts.clockFixes = CountValidFixes(moment.telemetry);
    return true;
}

// The lossless clip against the copied originals; a share copy holds neither, and its working
// copies of the originals leave here, before anything is hashed.
bool ProveOrWithdraw(PackageBuild& b, std::string* error) {
    if (b.r.shareCopy) {
        std::error_code ec;
        fs::remove_all(b.OriginalsFolder(), ec);
        if (ec)
            return Fail(error,
                        "cannot remove " + b.OriginalsFolder().string() + ": " + ec.message());
        b.facts.originals.clear();
        return true;
    }
    if (!b.Step("comparing the clip with the originals", kComposedShare, error)) return false;
    std::vector<std::string> recordings(b.facts.originals.begin(), b.facts.originals.end());
    return ProveClip((b.scratch / kLosslessClip).string(), recordings, &b.facts.proof, error);
}

// README.txt, the report, manifest.json, SHA256SUMS and its signature, in that order: each
// lists or hashes what came before it.
bool WriteRecords(PackageBuild& b, const ReportWriter& report, PackageResult* result,
                  std::string* error) {
    const PackageRequest& r = b.r;
    PackageFacts& facts = b.facts;
    const fs::path& scratch = b.scratch;
    const std::string readme =
        PackageReadme(r.language, !r.noPosition, static_cast<bool>(report), r.signer != nullptr,
                      facts.composedParts.size(), r.shareCopy);
    if (!WriteText(scratch / kPackageReadme, readme, error)) return false;
    if (!HashAll(scratch, b.hashes, facts.files, error)) return false;
    if (report) {
        if (!b.Step("writing the report", kProvenShare, error)) return false;
        if (!report(facts, (scratch / kReport).string(), error)) return false;
        if (!PdfIsWhole((scratch / kReport).string(), kReport, error)) return false;
        if (!HashAll(scratch, b.hashes, facts.files, error)) return false;
    }
    if (!b.Step("writing the manifest", kProvenShare, error)) return false;
    if (!WriteText(scratch / kManifest, Manifest(facts, b.sources, b.first, b.last), error))
        return false;
    std::vector<PackageFacts::File> all;
    if (!HashAll(scratch, b.hashes, all, error)) return false;
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
    return true;
}

// Into place: an empty folder at the target gives way to the whole package, and the paths
// now lie in the package's own folder.
bool MoveIntoPlace(PackageBuild& b, PackageResult* result, std::string* error) {
    if (!b.scratchFolder.MoveOnto(b.target, error)) return false;
    if (b.r.fraction) b.r.fraction(1.0);
    result->folder = b.target.string();
    for (std::string& p : b.facts.originals)
        p = (b.target / kOriginals / fs::path(p).filename()).string();
    for (std::string& p : b.facts.stills) p = (b.target / fs::path(p).filename()).string();
    return true;
}

}  // namespace

bool WritePackage(const PackageRequest& r, const ReportWriter& report, PackageResult* result,
                  std::string* error) {
    PackageFacts& facts = result->facts;
    facts = PackageFacts();
    facts.request = &r;
    PackageBuild b(r, facts);
    if (!CheckRequest(b, error) || !PickTouched(b, error) || !StartScratch(b, error)) return false;
    if (!b.Step("copying the originals", 0, error)) return false;
    facts.createdUtcSec = static_cast<int64_t>(std::time(nullptr));
    if (!CopyOriginals(r, b.sources, b.first, b.last, b.scratch, b.hashes, error)) return false;
    JoinTimeline(b);
    return WriteClips(b, error) && TakeStills(b, error) && ProveOrWithdraw(b, error) &&
           WriteRecords(b, report, result, error) && MoveIntoPlace(b, result, error);
}
