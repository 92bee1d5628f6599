#pragma once
// A short drive for the recording's telemetry: it pulls away, cruises at 50-60 km/h, slows
// for a right or left turn, drives over a bump and brakes hard to a stop. Positions follow
// from the speed and the course, so successive GPS fixes agree with the speed they report.
//
// GPS fixes are NMEA RMC sentences behind a 'G' (one a second); G-sensor samples are 'M'
// and three axis bytes (byte = 128 - value, 0 at rest) ten times a second. The dashcam's
// clock runs 9 hours ahead of the UTC time the receiver reports.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cardgen/CardGenerator.h"

struct DriveState {
    double timeSec = 0;
    double latitude = 0;   // decimal degrees, north positive
    double longitude = 0;  // decimal degrees, east positive
    double speedKmh = 0;
    double courseDeg = 0;
    int axisX = 0;  // forward (braking is negative), device units, -127..128
    int axisY = 0;  // sideways
    int axisZ = 0;  // vertical
};

struct TelemetryPayload {
    int timeMs = 0;
    std::string bytes;
};

constexpr int kGpsIntervalMs = 1000;
constexpr int kGSensorIntervalMs = 100;
// Device units of the G-sensor for one g.
constexpr double kGSensorUnitsPerG = 64.0;

class DriveTrack {
public:
    // noFixSeconds: the first fixes say "V" (no fix yet), as after a cold start.
    explicit DriveTrack(const RecordingOptions& options, int noFixSeconds = 0);

    // The state every 100 ms from 0 to the end of the recording.
    const std::vector<DriveState>& States() const { return m_states; }
    // Every telemetry payload in time order (GPS before G-sensor at the same time).
    std::vector<TelemetryPayload> Payloads() const;

    // The time of the whole second s as the receiver reports it ("hhmmss.sss" and "ddmmyy").
    void UtcFields(int s, std::string* time, std::string* date) const;

private:
    std::string GpsPayload(int second) const;
    static std::string GSensorPayload(const DriveState& state);

    std::vector<DriveState> m_states;
    int64_t m_startUtc = 0;  // seconds since 1970, UTC
    int m_noFixSeconds = 0;
};

// XOR of the characters between '$' and '*' as two upper-case hex digits.
std::string NmeaChecksum(const std::string& sentence);

// Seconds since 1970-01-01 00:00 of a calendar time (no time zone involved) and back.
int64_t SecondsFromCivil(const CivilTime& t);
CivilTime CivilFromSeconds(int64_t seconds);
