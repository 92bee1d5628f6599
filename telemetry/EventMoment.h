#pragma once
// A driving event as a person reads it: its kind and peak, the time of day on the camera's
// clock and the speed the car had then ("Hard braking 0.52 g · 18:27:38 · 53 km/h").

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/EventDetector.h"
#include "telemetry/TelemetryLogic.h"
#include "telemetry/TelemetryWalk.h"

// A fix further than this from the event's time says nothing about its speed.
constexpr int64_t kEventFixToleranceMs = 1500;

struct EventMoment {
    DrivingEvent event;
    std::optional<int64_t> cameraMs;  // on the camera clock; none when the name has no time
    std::optional<double> speedKmh;   // of the nearest valid fix; none without one near
};

// The moments of events found in a recording (or a trip's joined timeline) whose first
// recording started at startSec on the camera clock (none: unknown), with the fixes of the
// same timeline.
std::vector<EventMoment> DescribeEvents(const std::vector<DrivingEvent>& events,
                                        std::optional<int64_t> startSec,
                                        const std::vector<TimedFix>& fixes);

// "18:27:38" of a camera-clock time.
std::string FormatTimeOfDay(int64_t cameraMs);
// "53 km/h" (or "33 mph"), the speed truncated toward zero as the speed box shows it.
std::string FormatEventSpeed(double kmh, SpeedUnit unit);
