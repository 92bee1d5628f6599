#pragma once
// The evidence package: one folder that hands a moment over to someone who must be able to
// trust it. It holds
//   originals/          the recordings the clip touches, byte for byte, and the card's
//                       configuration file (SETTING/blackbox.cfg) when the card has one;
//   clip.mp4            the lossless clip (both cameras as recorded);
//   clip_composed.mp4   both cameras in one picture with the caption line; with a budget
//                       (see ClipBudget.h) the parts that fit it instead, clip_composed.mp4
//                       alone or clip_composed_1of3.mp4, clip_composed_2of3.mp4, ...;
//   <moment>_front.jpg, <moment>_rear.jpg  the stills of the moment, with their EXIF;
//   track.gpx           the GPS track of the clip (left out with the position);
//   report.pdf          when a report writer is given (it needs Qt, this library does not);
//   manifest.json       what made it, the sources, every file with its SHA-256, the camera
//                       clock's statement and what was verified;
//   README.txt          what each file is and how to check the package, in the report's
//                       language and in English;
//   SHA256SUMS          every other file, as `sha256sum -c` reads it;
//   SHA256SUMS.p7s      the signature of SHA256SUMS, when the package is signed.
// With regions to blur, the composed clip and the stills are blurred at them, while the
// originals and the lossless clip stay the unedited record; the manifest says which is which.
// A share copy holds only the blurred files and the records: no originals, no lossless clip
// (so no packet comparison), the sources named without their folders; the manifest says so.
// The lossless clip is proven against the copied originals (see PacketProof.h) before the
// manifest is written.
//
// The folder is built under a temporary name beside the target (see PackageScratch.h), every
// file flushed to the device, and renamed onto the target only when whole. The target is
// checked before any work: one that exists and is not an empty folder, a symbolic link, or
// one whose folder does not exist is refused. Each source is copied as it was when it was
// walked: one that changes or goes away meanwhile fails the package, named, and the manifest
// gives the size and time of the bytes copied. Every clip and the report are read back once
// written. With a signer, SHA256SUMS is signed (SHA256SUMS.p7s, see PackageSignature.h); a
// README.txt says what each file is and how to check them. PackageVerify.h checks a package.
//
// No Qt. Runs on the caller's thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "evidence/PackageSignature.h"
#include "evidence/PacketProof.h"
#include "library/TripTimeline.h"
#include "media/ClipBudget.h"
#include "redact/MaskFile.h"
#include "telemetry/TelemetryWalk.h"

struct PackageRequest {
    std::vector<std::string> paths;  // consecutive recordings, oldest first
    int64_t fromMs = 0;              // on their joined timeline
    int64_t toMs = 0;
    int64_t atMs = -1;  // the moment of the stills; -1: the clip's middle
    std::string outDir;
    bool noSound = false;
    bool noPosition = false;
    bool mph = false;
    std::string language = "en";  // "ko" or "en": the report's language
    std::string program = "tarvex-tool";
    std::function<void(const std::string& step)> progress{};
    // The whole package's share done, 0 ... 1 (the composed clip takes the most of it).
    std::function<void(double fraction)> fraction{};
    // Set from any thread to stop: WritePackage then fails with "cancelled" and leaves nothing.
    const std::atomic<bool>* cancel = nullptr;
    // Signs SHA256SUMS when given (loaded before the package is asked for, so that a key that
    // cannot sign is refused before anything is written).
    const PackageSigner* signer = nullptr;
    // Sizes the composed clip for where it goes; none: one clip of the composer's quality.
    ClipBudget budget;
    // Regions blurred in the composed clip and the stills (one recording only; checked
    // against it by the caller). The originals and the lossless clip stay as recorded beside
    // them, and the manifest lists every region.
    const MaskSet* redact = nullptr;
    // The blurred copy for handing out (needs redact): the originals are read, not kept, and
    // no lossless clip is made. Position and sound follow noPosition and noSound as ever.
    bool shareCopy = false;
};

// What the report needs to know, gathered while the package is written.
struct PackageFacts {
    const PackageRequest* request = nullptr;
    std::vector<std::string> originals;    // copied recordings, in the package
    RecordingTelemetry timeline;           // the originals' telemetry, joined
    std::vector<int64_t> startsMs;         // each original's start on the joined timeline
    std::vector<int64_t> startsCameraMs;   // and on the camera clock (from its name)
    int64_t clipFromMs = 0, clipToMs = 0;  // the clip on that timeline
    int64_t momentMs = 0;                  // the stills' moment on that timeline
    int64_t cameraMs = 0;                  // the moment on the camera clock
    std::optional<int64_t> clockOffsetSec;
    int clockFixes = 0;  // valid fixes the offset was measured from
    std::vector<std::string> stills;
    std::vector<TrackProof> proof;
    struct File {
        std::string path;  // relative to the package
        uint64_t size = 0;
        std::string sha256;
    };
    std::vector<File> files;    // every file written before the report
    int64_t createdUtcSec = 0;  // when the package was made, seconds since 1970
    // The composed clip's parts when a budget was given, in order, on the joined timeline.
    struct Part {
        std::string path;  // relative to the package
        int64_t fromMs = 0, toMs = 0;
    };
    std::vector<Part> composedParts;
    int64_t composedBitsPerSecond = 0;
    std::string composedLowered;  // what the budget lowered, in a sentence; empty: nothing
    int composedWidth = 0, composedHeight = 0;
    int64_t redactedBoxes = 0;               // boxes blurred over all pictures that left
    std::vector<std::string> redactedFiles;  // relative to the package

    // A time on the joined timeline read on the camera clock (the recording it falls in
    // gives the clock; the seconds between two recordings are not on the timeline).
    int64_t CameraMsAt(int64_t timelineMs) const;
    // The originals end to end, from startsMs, startsCameraMs and the joined length.
    TripTimeline Originals() const;
};

using ReportWriter =
    std::function<bool(const PackageFacts& facts, const std::string& pdfPath, std::string* error)>;

struct PackageResult {
    std::string folder;
    std::string fingerprint;  // SHA-256 of SHA256SUMS
    PackageFacts facts;
};

// False, with a sentence naming the cause in *error, when nothing was written ("cancelled"
// after a cancel).
bool WritePackage(const PackageRequest& request, const ReportWriter& report, PackageResult* result,
                  std::string* error);
