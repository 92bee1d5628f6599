#include "app/playback/PictureClock.h"

#include <cstdio>
#include <cstdlib>

#include "telemetry/CameraClock.h"

void PictureClock::SetRecording(const std::string& path) {
    m_startSec = RecordingStartSec(path);
    m_offsetSec.reset();
}

void PictureClock::SetFixes(const std::vector<TimedFix>& fixes) {
    m_offsetSec = m_startSec ? ClockOffsetSec(*m_startSec, fixes) : std::nullopt;
}

void PictureClock::SetTripFixes(const std::vector<TimedFix>& fixes,
                                const std::vector<int64_t>& startsMs, size_t index) {
    if (index >= startsMs.size()) return;
    const int64_t from = startsMs[index];
    const int64_t to = index + 1 < startsMs.size() ? startsMs[index + 1] : INT64_MAX;
    std::vector<TimedFix> own;
    for (const TimedFix& f : fixes) {
        if (f.timeMs < from || f.timeMs >= to) continue;
        own.push_back(f);
        own.back().timeMs -= from;
    }
    SetFixes(own);
}

std::string PictureClock::TextAt(int64_t positionMs, bool tenths) const {
    if (!m_startSec) return {};
    const ClockFields f = SplitClockMs(CameraTimeMs(*m_startSec, std::max<int64_t>(positionMs, 0)));
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d",
                  static_cast<long long>(f.year), f.month, f.day, f.hour, f.minute, f.second);
    if (!tenths) return text;
    return std::string(text) + "." + std::to_string(f.millisecond / 100);
}

std::string PictureClock::FormatOffset(int64_t offsetSec) {
    const int64_t magnitude = std::llabs(offsetSec);
    char text[32];
    std::snprintf(text, sizeof text, "%c%02lld:%02lld:%02lld", offsetSec < 0 ? '-' : '+',
                  static_cast<long long>(magnitude / 3600),
                  static_cast<long long>(magnitude / 60 % 60),
                  static_cast<long long>(magnitude % 60));
    return text;
}
