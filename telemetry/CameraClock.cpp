#include "telemetry/CameraClock.h"

#include <algorithm>
#include <cstdio>

#include "support/CivilDate.h"
#include "telemetry/Gpx.h"

namespace {

constexpr int64_t kMsPerDay = kSecondsPerDay * kMsPerSecondClock;

bool Digits(std::string_view text, size_t at, size_t count, int64_t& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Floor division, so times before 1970 still split into a day and a time of day.
int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

std::optional<int64_t> RecordingStartSec(std::string_view name) {
    const size_t slash = name.find_last_of('/');
    if (slash != std::string_view::npos) name = name.substr(slash + 1);
    const size_t first = name.find('_');
    if (first == std::string_view::npos) return std::nullopt;
    const std::string_view rest = name.substr(first + 1);  // YYYYMMDD_HHMMSS_...
    int64_t year, month, day, hour, minute, second;
    if (rest.size() < 15 || rest[8] != '_' || !Digits(rest, 0, 4, year) ||
        !Digits(rest, 4, 2, month) || !Digits(rest, 6, 2, day) || !Digits(rest, 9, 2, hour) ||
        !Digits(rest, 11, 2, minute) || !Digits(rest, 13, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::optional<int64_t> ClockOffsetSec(int64_t startSec, const std::vector<TimedFix>& fixes) {
    std::vector<int64_t> differencesMs;
    for (const TimedFix& f : fixes) {
        int64_t utc = 0;
        if (!f.fix.IsUsable() || !GpsFixUtcSeconds(f.fix, utc)) continue;
        differencesMs.push_back(CameraTimeMs(startSec, f.timeMs) - utc * kMsPerSecondClock);
    }
    if (differencesMs.empty()) return std::nullopt;
    const size_t mid = differencesMs.size() / 2;
    std::nth_element(differencesMs.begin(), differencesMs.begin() + mid, differencesMs.end());
    int64_t median = differencesMs[mid];
    if (differencesMs.size() % 2 == 0) {
        const int64_t below = *std::max_element(differencesMs.begin(), differencesMs.begin() + mid);
        median = FloorDiv(below + median, 2);
    }
    return FloorDiv(median + kMsPerSecondClock / 2, kMsPerSecondClock);
}

ClockFields SplitClockMs(int64_t ms) {
    const int64_t days = FloorDiv(ms, kMsPerDay);
    const int64_t ofDay = ms - days * kMsPerDay;
    const CivilDate date = CivilFromDays(days);
    ClockFields f;
    f.year = date.year;
    f.month = static_cast<int>(date.month);
    f.day = static_cast<int>(date.day);
    f.hour = static_cast<int>(ofDay / 3600000);
    f.minute = static_cast<int>(ofDay / 60000 % 60);
    f.second = static_cast<int>(ofDay / 1000 % 60);
    f.millisecond = static_cast<int>(ofDay % 1000);
    return f;
}

std::string FormatClockIso(int64_t seconds) {
    const ClockFields f = SplitClockMs(seconds * kMsPerSecondClock);
    char text[48];
    snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d", static_cast<long long>(f.year),
             f.month, f.day, f.hour, f.minute, f.second);
    return text;
}

std::string FormatClockIsoMs(int64_t ms) {
    char text[16];
    snprintf(text, sizeof text, ".%03d", SplitClockMs(ms).millisecond);
    return FormatClockIso(FloorDiv(ms, kMsPerSecondClock)) + text;
}

std::string FormatClockStem(int64_t seconds) {
    const ClockFields f = SplitClockMs(seconds * kMsPerSecondClock);
    char text[48];
    snprintf(text, sizeof text, "%04lld%02d%02d_%02d%02d%02d", static_cast<long long>(f.year),
             f.month, f.day, f.hour, f.minute, f.second);
    return text;
}

std::string FormatClockStemMs(int64_t ms) {
    char text[16];
    snprintf(text, sizeof text, ".%03d", SplitClockMs(ms).millisecond);
    return FormatClockStem(FloorDiv(ms, kMsPerSecondClock)) + text;
}

std::string FormatZoneOffset(int64_t offsetSec) {
    const int64_t minutes = FloorDiv(offsetSec + 30, 60);
    const int64_t size = minutes < 0 ? -minutes : minutes;
    char text[24];
    snprintf(text, sizeof text, "%c%02lld:%02lld", minutes < 0 ? '-' : '+',
             static_cast<long long>(size / 60), static_cast<long long>(size % 60));
    return text;
}

std::optional<CreationTime> PictureCreationTime(const std::string& path, int64_t positionMs) {
    const std::optional<int64_t> start = RecordingStartSec(path);
    if (!start) return std::nullopt;
    RecordingTelemetry telemetry;
    std::optional<int64_t> offset;
    if (WalkTelemetry(path, telemetry)) offset = ClockOffsetSec(*start, telemetry.fixes);
    const int64_t cameraMs = CameraTimeMs(*start, positionMs);
    if (!offset) return CreationTime{FormatClockIsoMs(cameraMs), false};
    return CreationTime{FormatClockIsoMs(cameraMs - *offset * kMsPerSecondClock) + "Z", true};
}
