#pragma once
// Both cameras' stills of one moment of a recording, decoded by the player (paused, the seek
// shows the very frame) and written with their EXIF (see telemetry/MomentStill.h).
//
// No Qt; runs a playback session of its own on the caller's thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "telemetry/MomentStill.h"
#include "telemetry/TelemetryWalk.h"

struct MomentStillsResult {
    StillMoment moment;
    int64_t positionMs = 0;  // the picture's time in the recording
    std::vector<StillTarget> stills;
};

// telemetry: the recording's own walk. False with the cause in *error (nothing written).
// retouch, when given, is called with each camera's picture as saved (a JPEG at jpegPath)
// and the front frame shown, before the EXIF is added; false fails the stills.
using StillRetouch =
    std::function<bool(int camera, int64_t frontFrame, const std::string& jpegPath)>;
bool WriteMomentStills(const std::string& path, const RecordingTelemetry& telemetry, int64_t atMs,
                       const std::string& folder, bool withPosition, MomentStillsResult* result,
                       std::string* error, const StillRetouch& retouch = {});
