#include "telemetry/EventDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "support/Profile.h"

namespace {

// How far past its threshold a sample is, in g; 0 or less when it is not.
using Reading = std::function<double(const CGSensorData&)>;

struct Rule {
    DrivingEventKind kind;
    double threshold;
    Reading reading;  // the sample's value for this kind, in g, positive in the event's sense
};

std::vector<DrivingEvent> Runs(const std::vector<TimedSample>& samples, const Rule& rule) {
    std::vector<DrivingEvent> events;
    for (const TimedSample& s : samples) {
        const double g = rule.reading(s.sample);
        if (g < rule.threshold) continue;
        if (!events.empty() && s.timeMs - events.back().endMs < kEventMergeGapMs) {
            DrivingEvent& e = events.back();
            e.endMs = s.timeMs;
            e.peakG = std::max(e.peakG, g);
        } else {
            events.push_back({rule.kind, s.timeMs, s.timeMs, g});
        }
    }
    return events;
}

bool Overlaps(const DrivingEvent& e, const DrivingEvent& impact) {
    return e.timeMs < impact.endMs + kEventMergeGapMs && impact.timeMs < e.endMs + kEventMergeGapMs;
}

double ReadPositive(const ProfileDocument& doc, const char* key, double fallback) {
    std::string text;
    if (!doc.Find(kEventSection, key, text) || text.empty()) return fallback;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    return (end && *end == '\0' && std::isfinite(v) && v > 0) ? v : fallback;
}

}  // namespace

const char* DrivingEventName(DrivingEventKind kind) {
    switch (kind) {
        case DrivingEventKind::HarshBraking:
            return "harsh_braking";
        case DrivingEventKind::HardAcceleration:
            return "hard_acceleration";
        case DrivingEventKind::SharpTurn:
            return "sharp_turn";
        case DrivingEventKind::Impact:
            return "impact";
    }
    return "impact";
}

TextId DrivingEventText(DrivingEventKind kind) {
    switch (kind) {
        case DrivingEventKind::HarshBraking:
            return texts::kHarshBraking;
        case DrivingEventKind::HardAcceleration:
            return texts::kHardAcceleration;
        case DrivingEventKind::SharpTurn:
            return texts::kSharpTurn;
        case DrivingEventKind::Impact:
            return texts::kImpact;
    }
    return texts::kImpact;
}

EventThresholds ReadEventThresholds(const std::string& profilePath) {
    EventThresholds t;
    ProfileDocument doc;
    if (!LoadProfileDocument(profilePath, doc)) return t;
    t.unitsPerG = ReadPositive(doc, kUnitsPerGKey, t.unitsPerG);
    t.brakingG = ReadPositive(doc, kBrakingKey, t.brakingG);
    t.accelerationG = ReadPositive(doc, kAccelerationKey, t.accelerationG);
    t.turnG = ReadPositive(doc, kTurnKey, t.turnG);
    t.impactG = ReadPositive(doc, kImpactKey, t.impactG);
    return t;
}

std::vector<DrivingEvent> DetectEvents(const std::vector<TimedSample>& samples,
                                       const EventThresholds& t) {
    const double perG = t.unitsPerG > 0 ? t.unitsPerG : EventThresholds{}.unitsPerG;
    const Rule impactRule{
        DrivingEventKind::Impact, t.impactG, [perG](const CGSensorData& s) {
            return std::sqrt(double(s.x) * s.x + double(s.y) * s.y + double(s.z) * s.z) / perG;
        }};
    const Rule others[] = {
        {DrivingEventKind::HarshBraking, t.brakingG,
         [perG](const CGSensorData& s) { return -s.x / perG; }},
        {DrivingEventKind::HardAcceleration, t.accelerationG,
         [perG](const CGSensorData& s) { return s.x / perG; }},
        {DrivingEventKind::SharpTurn, t.turnG,
         [perG](const CGSensorData& s) { return std::abs(s.y) / perG; }},
    };

    const std::vector<DrivingEvent> impacts = Runs(samples, impactRule);
    std::vector<DrivingEvent> events = impacts;
    for (const Rule& rule : others) {
        for (const DrivingEvent& e : Runs(samples, rule)) {
            const bool partOfImpact =
                std::any_of(impacts.begin(), impacts.end(),
                            [&](const DrivingEvent& i) { return Overlaps(e, i); });
            if (!partOfImpact) events.push_back(e);
        }
    }
    std::stable_sort(
        events.begin(), events.end(),
        [](const DrivingEvent& a, const DrivingEvent& b) { return a.timeMs < b.timeMs; });
    return events;
}
