#pragma once
// The dashcam's clock. A recording's name carries the time its camera clock showed at the
// start (CATEGORY_YYYYMMDD_HHMMSS_FLAG.EXT); the picture at a playback position was taken that
// many milliseconds later. Camera times are counted like calendar times without a zone:
// milliseconds since 1970-01-01 00:00 of the camera's calendar.
//
// The camera clock is set by hand (or from GPS in local time) and drifts, so its offset from
// GPS time (UTC) is measured from the recording's own fixes: each valid fix says which UTC
// second it was when the camera clock read (start + the fix's time in the recording).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telemetry/TelemetryWalk.h"

constexpr int64_t kMsPerSecondClock = 1000;

// Camera-clock seconds of the start in a name CATEGORY_YYYYMMDD_HHMMSS_FLAG.EXT (any folder
// before it is ignored); nothing when the fields are not a date and a time.
std::optional<int64_t> RecordingStartSec(std::string_view name);

// Camera-clock milliseconds of the picture at positionMs of a recording that started at
// startSec.
constexpr int64_t CameraTimeMs(int64_t startSec, int64_t positionMs) {
    return startSec * kMsPerSecondClock + positionMs;
}

// The camera clock's offset from UTC in seconds (camera - UTC): the median over the valid
// fixes with a readable date of (camera time of the fix - its UTC time), rounded to the
// nearest second. The median lets a few fixes with a wrong time (a receiver that has not yet
// got the leap seconds, a glitch) pass unnoticed. Nothing when there is no such fix.
std::optional<int64_t> ClockOffsetSec(int64_t startSec, const std::vector<TimedFix>& fixes);

// Calendar fields of a camera-clock (or UTC) time in milliseconds.
struct ClockFields {
    int64_t year = 1970;
    int month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};
ClockFields SplitClockMs(int64_t ms);

// "2018-08-20T18:48:42" (ISO 8601 without zone) of camera-clock seconds.
std::string FormatClockIso(int64_t seconds);
// "2018-08-20T18:48:42.433" with milliseconds.
std::string FormatClockIsoMs(int64_t ms);
// "20180820_184842.433": the name stem of a still taken at that time.
std::string FormatClockStemMs(int64_t ms);
// "20180820_184842": the name stem of a clip starting at that second.
std::string FormatClockStem(int64_t seconds);
// "+09:00" of an offset in seconds (rounded to whole minutes, as EXIF keeps it).
std::string FormatZoneOffset(int64_t offsetSec);

// When the picture at positionMs of the recording at path was taken, for a file's
// creation_time: in UTC ("2018-08-20T09:48:42.433Z") when the recording's fixes give the
// clock's offset, else the camera clock read as local time (no Z). Nothing when the name
// carries no start time. Reads the recording's telemetry.
struct CreationTime {
    std::string text;
    bool utc = false;
};
std::optional<CreationTime> PictureCreationTime(const std::string& path, int64_t positionMs);
