#include "telemetry/EventMoment.h"

#include <cstdio>
#include <cstdlib>

#include "telemetry/CameraClock.h"

std::vector<EventMoment> DescribeEvents(const std::vector<DrivingEvent>& events,
                                        std::optional<int64_t> startSec,
                                        const std::vector<TimedFix>& fixes) {
    std::vector<EventMoment> moments;
    moments.reserve(events.size());
    for (const DrivingEvent& e : events) {
        EventMoment m;
        m.event = e;
        if (startSec) m.cameraMs = CameraTimeMs(*startSec, e.timeMs);
        const int64_t nearest = NearestValidFix(fixes, e.timeMs);
        if (nearest >= 0) {
            const TimedFix& f = fixes[static_cast<size_t>(nearest)];
            if (std::llabs(f.timeMs - e.timeMs) <= kEventFixToleranceMs)
                m.speedKmh = f.fix.GetSpeed();
        }
        moments.push_back(m);
    }
    return moments;
}

std::string FormatTimeOfDay(int64_t cameraMs) {
    const ClockFields c = SplitClockMs(cameraMs);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    return text;
}

std::string FormatEventSpeed(double kmh, SpeedUnit unit) {
    return std::to_string(SpeedShown(kmh, unit)) + (unit == SpeedUnit::Mph ? " mph" : " km/h");
}
