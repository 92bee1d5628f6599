#pragma once
// The time of day of the picture on screen, on the camera's clock: the start the recording's
// name carries plus the playback position. Its offset from GPS time (UTC) comes from the
// fixes of the recording on screen, once the walk of the timeline has delivered them.
//
// No Qt; GUI thread only (the window owns one).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/TelemetryWalk.h"

class PictureClock {
public:
    // The recording on screen; its start is read from its name (none: no time of day).
    void SetRecording(const std::string& path);
    // The fixes of the recording on screen, times from its own start.
    void SetFixes(const std::vector<TimedFix>& fixes);
    // The fixes of a whole trip on its timeline and where each recording starts on it; the
    // recording on screen is the one at index.
    void SetTripFixes(const std::vector<TimedFix>& fixes, const std::vector<int64_t>& startsMs,
                      size_t index);

    bool Known() const { return m_startSec.has_value(); }
    std::optional<int64_t> OffsetSec() const { return m_offsetSec; }
    // "2026-03-14 18:25:14" of the picture at positionMs ("2026-03-14 18:25:14.4" with
    // tenths); empty when the name has no start.
    std::string TextAt(int64_t positionMs, bool tenths = false) const;
    // "+09:00:03": an offset from UTC to the second.
    static std::string FormatOffset(int64_t offsetSec);

private:
    std::optional<int64_t> m_startSec;
    std::optional<int64_t> m_offsetSec;
};
