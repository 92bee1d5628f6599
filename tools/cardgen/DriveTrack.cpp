#include "tools/cardgen/DriveTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "support/CivilDate.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kGravity = 9.81;
constexpr double kMaxPullAwayMs2 = 3.0;
constexpr double kKnotKmh = 1.852;
constexpr double kStepSec = kGSensorIntervalMs / 1000.0;

// A small deterministic generator for the sensor's jitter.
struct Lcg {
    uint32_t state;
    int Jitter(int amplitude) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 16) % (2 * amplitude + 1)) - amplitude;
    }
};

double SmoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

// The drive's plan, scaled to the recording's length.
struct Plan {
    double standStill, pullAwayEnd, turnStart, turnEnd, bumpAt, brakeStart, brakeEnd;
    double cruiseKmh, turnKmh, startCourse, turnDeg;
    bool calm;

    Plan(double duration, uint32_t seed, bool calmDrive) : calm(calmDrive) {
        standStill = std::min(1.0, 0.1 * duration);
        pullAwayEnd = standStill + std::min(0.3 * duration, 12.0);
        turnStart = 0.45 * duration;
        turnEnd = turnStart + std::min(0.15 * duration, 6.0);
        bumpAt = 0.65 * duration;
        brakeStart = 0.8 * duration;
        brakeEnd = brakeStart + std::min(0.1 * duration, 2.5);
        cruiseKmh = std::min(50.0 + seed % 10, kMaxPullAwayMs2 * (pullAwayEnd - standStill) * 3.6);
        turnKmh = 0.55 * cruiseKmh;
        startCourse = (seed * 73u) % 360;
        turnDeg = (seed & 1) ? 90.0 : -90.0;
        if (calm) bumpAt = -1;
    }

    double Speed(double t) const {
        if (calm) return cruiseKmh;
        if (t <= standStill) return 0;
        if (t <= pullAwayEnd) return cruiseKmh * (t - standStill) / (pullAwayEnd - standStill);
        if (t >= turnStart && t <= turnEnd) {
            const double x = (t - turnStart) / (turnEnd - turnStart);
            return turnKmh + (cruiseKmh - turnKmh) * std::abs(2 * x - 1);
        }
        if (t >= brakeEnd) return 0;
        if (t >= brakeStart) return cruiseKmh * (brakeEnd - t) / (brakeEnd - brakeStart);
        return cruiseKmh;
    }

    double Course(double t) const {
        if (calm) return startCourse;
        double c = startCourse + turnDeg * SmoothStep((t - turnStart) / (turnEnd - turnStart));
        c = std::fmod(c, 360.0);
        return c < 0 ? c + 360 : c;
    }
};

int ClampAxis(double value) {
    return std::clamp(static_cast<int>(std::lround(value)), -127, 128);
}

std::string NmeaAngle(double degrees, int degreeDigits) {
    const double a = std::abs(degrees);
    int whole = static_cast<int>(a);
    double minutes = (a - whole) * 60.0;
    // Rounding to four decimals could give 60.0000 minutes.
    if (std::lround(minutes * 10000) >= 600000) {
        ++whole;
        minutes = 0;
    }
    char text[32];
    snprintf(text, sizeof text, "%0*d%07.4f", degreeDigits, whole, minutes);
    return text;
}

// Generated events: whole-sample pulses starting at the first sample at or after their time.
constexpr double kBrakingPulseG = -0.7;
constexpr double kAccelerationPulseG = 0.5;
constexpr double kTurnPulseG = 0.6;
constexpr double kImpactPulseG = 1.6;
constexpr int kBrakingSamples = 10;
constexpr int kAccelerationSamples = 10;
constexpr int kTurnSamples = 15;

void AddEventPulse(const std::vector<GeneratedGEvent>& events, int step, DriveState& s) {
    for (const GeneratedGEvent& e : events) {
        const int first = (e.timeMs + kGSensorIntervalMs - 1) / kGSensorIntervalMs;
        const int k = step - first;
        if (k < 0) continue;
        const auto units = [](double g) { return g * kGSensorUnitsPerG; };
        switch (e.kind) {
            case 'b':
                if (k < kBrakingSamples) s.axisX = ClampAxis(s.axisX + units(kBrakingPulseG));
                break;
            case 'a':
                if (k < kAccelerationSamples)
                    s.axisX = ClampAxis(s.axisX + units(kAccelerationPulseG));
                break;
            case 't':
                if (k < kTurnSamples) s.axisY = ClampAxis(s.axisY + units(kTurnPulseG));
                break;
            case 'i':
                if (k == 0) s.axisZ = ClampAxis(s.axisZ + units(kImpactPulseG));
                if (k == 1) s.axisZ = ClampAxis(s.axisZ - units(kImpactPulseG) / 2);
                break;
            default:
                break;
        }
    }
}

}  // namespace

std::string NmeaChecksum(const std::string& sentence) {
    uint8_t sum = 0;
    size_t begin = sentence.find('$');
    begin = begin == std::string::npos ? 0 : begin + 1;
    for (size_t i = begin; i < sentence.size() && sentence[i] != '*'; ++i)
        sum ^= static_cast<uint8_t>(sentence[i]);
    char text[3];
    snprintf(text, sizeof text, "%02X", sum);
    return text;
}

DriveTrack::DriveTrack(const RecordingOptions& o, int noFixSeconds) : m_noFixSeconds(noFixSeconds) {
    m_startUtc =
        SecondsFromCivil({o.year, o.month, o.day, o.hour, o.minute, o.second}) - o.clockOffsetSec;
    const double duration = std::max(1, o.durationSec);
    const Plan plan(duration, o.seed, o.calmDrive);
    Lcg noise{o.seed * 2654435761u + 12345u};
    const int steps = static_cast<int>(duration * 1000 / kGSensorIntervalMs);
    m_states.reserve(steps + 1);
    DriveState s;
    s.latitude = o.startLatitude;
    s.longitude = o.startLongitude;
    s.courseDeg = plan.Course(0);
    for (int i = 0; i <= steps; ++i) {
        const double t = i * kStepSec;
        s.timeSec = t;
        const double speed = plan.Speed(t);
        if (i > 0) {
            // Move along the mean speed and course of the last step.
            const double metres = (speed + s.speedKmh) / 2 / 3.6 * kStepSec;
            const double course = plan.Course(t - kStepSec / 2) * M_PI / 180;
            s.latitude += metres * std::cos(course) / kMetresPerDegree;
            s.longitude +=
                metres * std::sin(course) / (kMetresPerDegree * std::cos(s.latitude * M_PI / 180));
        }
        const double forward =
            (plan.Speed(t + kStepSec / 2) - plan.Speed(t - kStepSec / 2)) / 3.6 / kStepSec;
        const double turnRate = (plan.Course(t + kStepSec / 2) - plan.Course(t - kStepSec / 2));
        const double wrapped = std::remainder(turnRate, 360.0) * M_PI / 180 / kStepSec;
        const double sideways = speed / 3.6 * wrapped;
        const bool moving = speed > 0.5;
        // The road shakes the car a little while it moves; a bump kicks it up and down.
        double vertical = noise.Jitter(moving ? 3 : 1);
        const int bumpStep = static_cast<int>(std::lround(plan.bumpAt / kStepSec));
        if (i == bumpStep) vertical += 70;
        if (i == bumpStep + 1) vertical -= 45;
        if (i == bumpStep + 2) vertical += 15;
        s.speedKmh = speed;
        s.courseDeg = plan.Course(t);
        s.axisX = ClampAxis(forward / kGravity * kGSensorUnitsPerG + noise.Jitter(moving ? 2 : 1));
        s.axisY = ClampAxis(sideways / kGravity * kGSensorUnitsPerG + noise.Jitter(moving ? 2 : 1));
        s.axisZ = ClampAxis(vertical);
        AddEventPulse(o.gEvents, i, s);
        m_states.push_back(s);
    }
}

int64_t SecondsFromCivil(const CivilTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 +
           t.second;
}

CivilTime CivilFromSeconds(int64_t seconds) {
    const int64_t days =
        seconds >= 0 ? seconds / kSecondsPerDay : (seconds - (kSecondsPerDay - 1)) / kSecondsPerDay;
    const int64_t secOfDay = seconds - days * kSecondsPerDay;
    const CivilDate date = CivilFromDays(days);
    CivilTime t;
    t.year = static_cast<int>(date.year);
    t.month = static_cast<int>(date.month);
    t.day = static_cast<int>(date.day);
    t.hour = static_cast<int>(secOfDay / 3600);
    t.minute = static_cast<int>(secOfDay / 60 % 60);
    t.second = static_cast<int>(secOfDay % 60);
    return t;
}

void DriveTrack::UtcFields(int second, std::string* time, std::string* date) const {
    const CivilTime t = CivilFromSeconds(m_startUtc + second);
    char text[32];
    snprintf(text, sizeof text, "%02d%02d%02d.000", t.hour, t.minute, t.second);
    if (time) *time = text;
    snprintf(text, sizeof text, "%02d%02d%02d", t.day, t.month, ((t.year % 100) + 100) % 100);
    if (date) *date = text;
}

std::string DriveTrack::GpsPayload(int second) const {
    std::string time, date;
    UtcFields(second, &time, &date);
    std::string sentence;
    if (second < m_noFixSeconds) {
        sentence = "$GPRMC," + time + ",V,,,,,,," + date + ",,,N";
    } else {
        const size_t step = std::min(m_states.size() - 1, static_cast<size_t>(second) * 10);
        const DriveState& s = m_states[step];
        char numbers[64];
        snprintf(numbers, sizeof numbers, "%.2f,%.2f", s.speedKmh / kKnotKmh, s.courseDeg);
        sentence = "$GPRMC," + time + ",A," + NmeaAngle(s.latitude, 2) + "," +
                   (s.latitude >= 0 ? "N" : "S") + "," + NmeaAngle(s.longitude, 3) + "," +
                   (s.longitude >= 0 ? "E" : "W") + "," + numbers + "," + date + ",,,A";
    }
    return "G" + sentence + "*" + NmeaChecksum(sentence);
}

std::string DriveTrack::GSensorPayload(const DriveState& state) {
    std::string payload = "M";
    for (int value : {state.axisX, state.axisY, state.axisZ})
        payload.push_back(static_cast<char>(static_cast<uint8_t>(128 - value)));
    return payload;
}

std::vector<TelemetryPayload> DriveTrack::Payloads() const {
    std::vector<TelemetryPayload> out;
    const int durationMs = static_cast<int>(std::lround(m_states.back().timeSec * 1000));
    for (size_t i = 0; i < m_states.size(); ++i) {
        const int timeMs = static_cast<int>(i) * kGSensorIntervalMs;
        if (timeMs >= durationMs) break;
        if (timeMs % kGpsIntervalMs == 0) out.push_back({timeMs, GpsPayload(timeMs / 1000)});
        out.push_back({timeMs, GSensorPayload(m_states[i])});
    }
    return out;
}
