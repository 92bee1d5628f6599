#pragma once
// Stills that carry their moment: named after the picture's time on the camera's clock
// ("20180820_184842.433_front.jpg") and holding EXIF with that time, the clock's offset from
// UTC where the fixes tell it, the GPS fix of that moment (unless the user leaves the position
// out), the camera, the recording and the frame number.
//
// The JPEG is written by the picture class; the EXIF goes into it in memory and the result
// reaches the disk under a temporary name, renamed only when every still of the moment is
// whole, so the front and rear stills appear together or not at all.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/CGPSData.h"
#include "telemetry/TelemetryWalk.h"

// A fix further than this from the picture's time says nothing about where it was taken.
constexpr int64_t kStillFixToleranceMs = 1500;

struct StillMoment {
    std::string recording;  // the recording's file name (no folder)
    int64_t frameIndex = 0;
    int64_t cameraMs = 0;                   // the picture's time on the camera clock
    std::optional<int64_t> clockOffsetSec;  // camera - UTC, where known
    std::optional<CGPSData> fix;            // a valid fix of that moment; none: no position
};

// The moment of the picture at positionMs (front frame frameIndex) of the recording at path
// whose telemetry (its own, times from its start) is given. Nothing when the name carries no
// start time. withPosition false leaves the fix out (the clock offset stays).
std::optional<StillMoment> MakeStillMoment(const std::string& path, int64_t positionMs,
                                           int64_t frameIndex, const RecordingTelemetry& telemetry,
                                           bool withPosition);

// The part of a joined timeline (a trip's walk) that belongs to the recording starting at
// startMs on it and lasting durationMs, with times from that recording's start.
RecordingTelemetry RecordingPart(const RecordingTelemetry& timeline, int64_t startMs,
                                 int64_t durationMs);

// "20180820_184842.433_front.jpg" (camera 0) or "..._rear.jpg".
std::string StillFileName(int64_t cameraMs, int camera);

// Adds the moment's EXIF to a JPEG held in memory; false with the cause in *error.
bool AddStillExif(std::string& jpeg, const StillMoment& moment, int camera, std::string* error);

struct StillTarget {
    int camera = 0;
    std::string path;
};

// Writes one still per target: capture(camera, path) saves that camera's picture as a JPEG
// at a scratch path, the EXIF is added and the stills are moved onto their targets together.
// False with the cause in *error; nothing is then left under any target's name.
bool WriteStills(const std::vector<StillTarget>& targets, const StillMoment& moment,
                 const std::function<bool(int camera, const std::string& path)>& capture,
                 std::string* error);
