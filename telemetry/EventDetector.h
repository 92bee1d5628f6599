#pragma once
// Driving events found in a recording's G-sensor samples: harsh braking, hard acceleration,
// sharp turns and impacts.
//
// The sensor's axes are x forward (braking reads negative), y sideways and z vertical, each
// 0 at rest, in the device's own units. The dashcam's sensor spans about +-2 g in its 8-bit
// range, so one g is 64 units. Default thresholds, in g:
//
//   harsh braking      x <= -0.45    (fleet telematics flag 0.4 - 0.5 g)
//   hard acceleration  x >= +0.35    (a brisk start from rest stays below 0.3 g)
//   sharp turn        |y| >= 0.45    (cornering that unsettles passengers)
//   impact        |x,y,z| >= 1.0     (a bump or pothole the car feels as a jolt, a collision)
//
// Each can be changed in the viewer's settings file, section "config" (keys below). Samples
// over a threshold less than a second apart make one event; an event's time is its first
// sample over the threshold and its peak the largest reading in g. Braking, acceleration and
// turns that overlap an impact belong to the impact and are not reported on their own.

#include <cstdint>
#include <string>
#include <vector>

#include "res/TextIds.h"
#include "telemetry/TelemetryWalk.h"

enum class DrivingEventKind { HarshBraking, HardAcceleration, SharpTurn, Impact };

struct EventThresholds {
    double unitsPerG = 64.0;
    double brakingG = 0.45;
    double accelerationG = 0.35;
    double turnG = 0.45;
    double impactG = 1.0;
};

// Keys in the viewer's settings file, section "config".
constexpr const char* kEventSection = "config";
constexpr const char* kUnitsPerGKey = "gsensor_units_per_g";
constexpr const char* kBrakingKey = "event_braking_g";
constexpr const char* kAccelerationKey = "event_acceleration_g";
constexpr const char* kTurnKey = "event_turn_g";
constexpr const char* kImpactKey = "event_impact_g";

// Samples over a threshold closer together than this belong to one event.
constexpr int64_t kEventMergeGapMs = 1000;

struct DrivingEvent {
    DrivingEventKind kind = DrivingEventKind::Impact;
    int64_t timeMs = 0;  // first sample over the threshold
    int64_t endMs = 0;   // last sample over the threshold
    double peakG = 0.0;  // largest reading of the event, in g (magnitude, always positive)
};

// "harsh_braking", "hard_acceleration", "sharp_turn", "impact".
const char* DrivingEventName(DrivingEventKind kind);
// The kind's name in the string table ("급제동", "Hard braking"). The window and the evidence
// report both name events by it.
TextId DrivingEventText(DrivingEventKind kind);

// The thresholds in the settings file at profilePath, the defaults for keys that are missing
// or do not hold a positive number.
EventThresholds ReadEventThresholds(const std::string& profilePath);

// Events in time order. samples must be in time order (as the walk gives them).
std::vector<DrivingEvent> DetectEvents(const std::vector<TimedSample>& samples,
                                       const EventThresholds& thresholds = {});
