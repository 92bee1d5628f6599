#pragma once
// The caption line burned into a composed clip: the camera clock's date and time, the speed,
// the position and the G-sensor axes of a moment on a trip's timeline, e.g.
//   2026-03-14 18:25:11  52 km/h  37.56612N 126.97801E  G x+0.05 y-0.03 z+1.00
//
// The camera clock is the recording's start time from its name (CATEGORY_YYYYMMDD_HHMMSS_...)
// plus the time into it; a name that does not follow that grammar gives no date. Speed and
// position come from the valid GPS fix nearest the moment and the axes from the latest sample
// before it, each only within a couple of seconds of it: an old fix is not shown as current.
// The axes are in g: the sensor's readings over its units per g (see EventThresholds).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/TelemetryWalk.h"

struct CaptionOptions {
    bool mph = false;      // speed in mph instead of km/h
    bool position = true;  // false: no coordinates
    double unitsPerG = 64.0;  // the G-sensor's reading for 1 g
};

class ClipCaption {
public:
    // Reads the telemetry of the recordings, played one after another. False with the cause in
    // *error when one is not a readable recording.
    bool Load(const std::vector<std::string>& paths, const CaptionOptions& options,
              std::string* error);
    // The caption of the moment timelineMs on the joined timeline.
    std::string Text(int64_t timelineMs) const;

    // Seconds since 1970-01-01 of the camera clock a recording's name starts at.
    static std::optional<int64_t> StartFromName(const std::string& path);
    // One caption from its parts; a null part is left out (speed and position with the fix).
    static std::string Format(std::optional<int64_t> clockSeconds, const CGPSData* fix,
                              const CGSensorData* sample, const CaptionOptions& options);

private:
    struct Piece {
        int64_t offsetMs = 0;  // where the recording starts on the timeline
        std::optional<int64_t> startSeconds;
    };
    CaptionOptions m_options;
    std::vector<Piece> m_pieces;
    RecordingTelemetry m_telemetry;  // joined
};
