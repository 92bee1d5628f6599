#pragma once
// The whole telemetry of a recording, read in one pass over its movie data before (or
// without) playing it: every GPS fix and every G-sensor sample with the time it belongs to.
//
// Chunks carry no times. A telemetry chunk is written just before the first front frame whose
// time has reached it, so its time is the time of the front frames before it: count x 1000 /
// frame rate. That is the player's own position arithmetic, so a walked time and a playback
// position compare directly. Unlike the window's live store (one sample a second, as the
// graph shows it), the walk keeps every sample.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/CGPSData.h"
#include "telemetry/CGSensorData.h"

struct TimedFix {
    int64_t timeMs = 0;
    CGPSData fix;
};

struct TimedSample {
    int64_t timeMs = 0;
    CGSensorData sample;
};

struct RecordingTelemetry {
    int64_t durationMs = 0;            // front frames x 1000 / frame rate
    int32_t frameRate = 0;             // front camera, as recorded (not capped)
    std::vector<TimedFix> fixes;       // every 'G' RMC payload, valid or not, in file order
    std::vector<TimedSample> samples;  // every 'M' payload, in file order
};

// False when the file is not a recording the reader accepts, or when cancel (read between
// chunks, from any thread) became true; out is then empty.
bool WalkTelemetry(const std::string& path, RecordingTelemetry& out,
                   const std::atomic<bool>* cancel = nullptr);

// The fixes of several recordings played one after another (a trip): each recording's times
// are moved by the lengths of the recordings before it. False when any file is rejected.
bool WalkTelemetry(const std::vector<std::string>& paths, RecordingTelemetry& out);

// Index of the valid fix nearest in time to timeMs, or -1 when there is none; of two as near,
// the earlier. fixes are in time order, as a walk gives them (a trip may hold tens of
// thousands, and the window asks for each event).
int64_t NearestValidFix(const std::vector<TimedFix>& fixes, int64_t timeMs);

// Index of the valid fix nearest to a place (decimal degrees), or -1 when there is none.
// Distances are measured on the local flat map, which is exact enough within a drive.
int64_t NearestValidFixTo(const std::vector<TimedFix>& fixes, double latitude, double longitude);
