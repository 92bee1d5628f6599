#include "telemetry/ClipCaption.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/CivilDate.h"

namespace {

// A fix or a sample further than this from the moment is not shown for it.
constexpr int64_t kTelemetryReachMs = 2000;
constexpr double kKmPerMile = 1.609344;
constexpr int kNameDateDigits = 8;
constexpr int kNameTimeDigits = 6;

bool Digits(const std::string& s, size_t at, size_t count) {
    if (at + count > s.size()) return false;
    for (size_t i = at; i < at + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

int Number(const std::string& s, size_t at, size_t count) {
    return std::atoi(s.substr(at, count).c_str());
}

}  // namespace

std::optional<int64_t> ClipCaption::StartFromName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    // CATEGORY_YYYYMMDD_HHMMSS_FLAG.EXT: the date is the second field.
    const size_t date = name.find('_');
    if (date == std::string::npos || !Digits(name, date + 1, kNameDateDigits) ||
        name.size() <= date + 1 + kNameDateDigits || name[date + 1 + kNameDateDigits] != '_')
        return std::nullopt;
    const size_t time = date + 2 + kNameDateDigits;
    if (!Digits(name, time, kNameTimeDigits)) return std::nullopt;
    const int y = Number(name, date + 1, 4), mo = Number(name, date + 5, 2),
              d = Number(name, date + 7, 2);
    const int h = Number(name, time, 2), mi = Number(name, time + 2, 2),
              s = Number(name, time + 4, 2);
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return std::nullopt;
    return DaysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s;
}

std::string ClipCaption::Format(std::optional<int64_t> clockSeconds, const CGPSData* fix,
                                const CGSensorData* sample, const CaptionOptions& options) {
    std::string text;
    char part[96];
    if (clockSeconds) {
        const int64_t days = *clockSeconds / kSecondsPerDay - (*clockSeconds % kSecondsPerDay < 0);
        const int64_t second = *clockSeconds - days * kSecondsPerDay;
        const CivilDate date = CivilFromDays(days);
        std::snprintf(part, sizeof part, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                      static_cast<long long>(date.year), static_cast<long long>(date.month),
                      static_cast<long long>(date.day), static_cast<long long>(second / 3600),
                      static_cast<long long>(second / 60 % 60),
                      static_cast<long long>(second % 60));
        text += part;
    }
    const auto add = [&text](const char* piece) {
        if (!text.empty()) text += "  ";
        text += piece;
    };
    if (fix) {
        const double speed = options.mph ? fix->GetSpeed() / kKmPerMile : fix->GetSpeed();
        std::snprintf(part, sizeof part, "%.0f %s", speed, options.mph ? "mph" : "km/h");
        add(part);
        if (options.position) {
            const double lat = fix->GetLatitude(), lon = fix->GetLongitude();
            std::snprintf(part, sizeof part, "%.5f%c %.5f%c", std::abs(lat), lat < 0 ? 'S' : 'N',
                          std::abs(lon), lon < 0 ? 'W' : 'E');
            add(part);
        }
    }
    if (sample) {
        const double perG = options.unitsPerG > 0 ? options.unitsPerG : 64.0;
        std::snprintf(part, sizeof part, "G x%+.2f y%+.2f z%+.2f", sample->x / perG,
                      sample->y / perG, sample->z / perG);
        add(part);
    }
    return text;
}

bool ClipCaption::Load(const std::vector<std::string>& paths, const CaptionOptions& options,
                       std::string* error) {
    m_options = options;
    m_pieces.clear();
    m_telemetry = RecordingTelemetry{};
    for (const std::string& path : paths) {
        RecordingTelemetry one;
        if (!WalkTelemetry(path, one)) {
            if (error) *error = "not a readable recording: " + path;
            return false;
        }
        m_pieces.push_back({m_telemetry.durationMs, StartFromName(path)});
        for (TimedFix& f : one.fixes) {
            f.timeMs += m_telemetry.durationMs;
            m_telemetry.fixes.push_back(std::move(f));
        }
        for (TimedSample& s : one.samples) {
            s.timeMs += m_telemetry.durationMs;
            m_telemetry.samples.push_back(s);
        }
        m_telemetry.durationMs += one.durationMs;
    }
    return true;
}

std::string ClipCaption::Text(int64_t timelineMs) const {
    std::optional<int64_t> clock;
    for (const Piece& p : m_pieces)
        if (p.offsetMs <= timelineMs && p.startSeconds)
            clock = *p.startSeconds + (timelineMs - p.offsetMs) / 1000;
        else if (p.offsetMs <= timelineMs)
            clock.reset();
    const CGPSData* fix = nullptr;
    const int64_t f = NearestValidFix(m_telemetry.fixes, timelineMs);
    if (f >= 0 && std::abs(m_telemetry.fixes[static_cast<size_t>(f)].timeMs - timelineMs) <=
                      kTelemetryReachMs)
        fix = &m_telemetry.fixes[static_cast<size_t>(f)].fix;
    const auto& samples = m_telemetry.samples;
    const auto after =
        std::upper_bound(samples.begin(), samples.end(), timelineMs,
                         [](int64_t t, const TimedSample& s) { return t < s.timeMs; });
    const CGSensorData* sample = nullptr;
    if (after != samples.begin() && timelineMs - std::prev(after)->timeMs <= kTelemetryReachMs)
        sample = &std::prev(after)->sample;
    return Format(clock, fix, sample, m_options);
}
