#pragma once
// One GPS fix of a recording, parsed from the NMEA RMC sentence the dashcam stores in a
// telemetry chunk ("G$GPRMC,..."). Latitude and longitude stay in the sentence's
// degrees-and-minutes form; GetLatitude / GetLongitude give decimal degrees.
//
// The hour is the sentence's UTC hour plus 9 (the dashcam's local time) and is not wrapped,
// so it runs 9 ... 32 while the date fields stay the sentence's UTC date.

#include <cstddef>
#include <cstdint>

class CGPSData {
public:
    // Bytes of the working copy a sentence is parsed from, terminating zero included.
    static constexpr size_t kWorkBufferBytes = 1024;
    static constexpr int kLocalHourOffset = 9;
    static constexpr double kKmPerKnot = 1.852;
    // Faster than any car: a fix claiming more is damage.
    static constexpr double kMaxSpeedKmh = 1000.0;

    CGPSData() = default;
    // Parses a zero-terminated payload; the result of the parse is not kept (a short
    // sentence leaves the fields it did not reach at 0).
    CGPSData(const char* payload, int32_t nTag);
    // Same, for a payload of known length (it need not be terminated).
    CGPSData(const char* payload, size_t length, int32_t nTag);

    // True when all nine fields after the sentence name were present; the timestamp is then
    // computed. Payloads longer than the working buffer are cut to its size.
    bool ParseSentence(const char* payload);
    bool ParseSentence(const char* payload, size_t length);

    // Seconds since 1970 of the six date and time fields read as local time (mktime's
    // normalising conversion, so an hour of 24 or more rolls into the next day). Stored too.
    int64_t MakeTime();

    // The one rule every output (window, stills, caption, report, GPX, clock) follows: the
    // status says 'A', both coordinates were given, they lie on the globe with minutes below
    // 60, and the speed is a car's. A damaged sentence can say 'A' over any of these.
    bool IsUsable() const;

    double GetLatitude() const { return NmeaToDegrees(latitude); }
    double GetLongitude() const { return NmeaToDegrees(longitude); }
    double GetSpeed() const { return speed; }

    // ddmm.mmmm (or dddmm.mmmm) to decimal degrees; the sign carries through.
    static double NmeaToDegrees(double v);

    int32_t year = 0;   // two digits, 0-99
    int32_t month = 0;  // 1-12 in a good sentence
    int32_t day = 0;
    int32_t hour = 0;  // UTC hour + 9, not wrapped
    int32_t minute = 0;
    int32_t second = 0;        // whole seconds
    int32_t valid = 0;         // 1 when the status field begins with 'A' (see IsUsable)
    bool noPosition = false;   // a parsed coordinate field held no number
    double latitude = 0.0;     // ddmm.mmmm, negative unless 'N'
    double longitude = 0.0;    // dddmm.mmmm, negative unless 'E'
    double speed = 0.0;        // km/h, rounded through single precision
    double course = 0.0;       // degrees, rounded through single precision
    int64_t timestamp = 0;     // 0 until MakeTime ran
    int32_t tag = 0;           // given at construction, never read
};
