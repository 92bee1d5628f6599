#include "telemetry/CGPSData.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string_view>

#include "support/Trace.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The leading decimal number of a field, 0 when there is none. Independent of the process
// locale (the window sets one whose decimal point may be a comma) and never yields an
// infinity or NaN: only plain and exponent notation are accepted, an overflow reads as 0.
// *read says whether a number was there to read (finite, in range).
double LeadingDouble(std::string_view s, bool* read = nullptr) {
    if (read) *read = false;
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || !(IsDigit(s[i]) || s[i] == '.')) return 0.0;
    double value = 0.0;
    auto result =
        std::from_chars(s.data() + i, s.data() + s.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
    if (read) *read = true;
    return negative ? -value : value;
}

// Whether ddmm.mmmm lies within maxDegrees and its minutes below 60.
bool PossibleCoordinate(double nmea, double maxDegrees) {
    if (!std::isfinite(nmea)) return false;
    const double m = std::fabs(nmea) * 0.01;
    const double minutes = (m - std::trunc(m)) * 100.0;
    return minutes < 60.0 && std::fabs(CGPSData::NmeaToDegrees(nmea)) <= maxDegrees;
}

// atoi of a field: optional sign, then leading digits.
int32_t LeadingInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t value = 0;
    for (; i < s.size() && IsDigit(s[i]) && value < 1000000000; ++i)
        value = value * 10 + (s[i] - '0');
    return static_cast<int32_t>(negative ? -value : value);
}

// The two characters of a field starting at offset (fewer when the field is shorter), read
// as an integer; an empty group reads as 0.
int32_t TwoDigitGroup(std::string_view field, size_t offset) {
    if (offset >= field.size()) return 0;
    return LeadingInt(field.substr(offset, 2));
}

// Splits at every comma; two adjacent commas give an empty piece.
class CommaSplitter {
public:
    explicit CommaSplitter(std::string_view text) : m_text(text) {}
    bool Next(std::string_view& piece) {
        if (m_done) return false;
        size_t comma = m_text.find(',', m_pos);
        if (comma == std::string_view::npos) {
            piece = m_text.substr(m_pos);
            m_done = true;
        } else {
            piece = m_text.substr(m_pos, comma - m_pos);
            m_pos = comma + 1;
        }
        return true;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    bool m_done = false;
};

}  // namespace

CGPSData::CGPSData(const char* payload, int32_t nTag) : tag(nTag) {
    ParseSentence(payload);
}

CGPSData::CGPSData(const char* payload, size_t length, int32_t nTag) : tag(nTag) {
    ParseSentence(payload, length);
}

bool CGPSData::ParseSentence(const char* payload) {
    if (!payload) return false;
    // Looking one byte past the buffer is enough to know the payload must be cut.
    return ParseSentence(payload, strnlen(payload, kWorkBufferBytes));
}

bool CGPSData::ParseSentence(const char* payload, size_t length) {
    if (!payload) return false;
    length = strnlen(payload, length);
    if (length > kWorkBufferBytes - 1) {
        // A sentence is far shorter than the buffer; a longer payload is damage, so keep
        // what fits rather than write past the end.
        Trace("GPS payload of %zu bytes cut to %zu\n", length, kWorkBufferBytes - 1);
        length = kWorkBufferBytes - 1;
    }
    char work[kWorkBufferBytes];
    std::memcpy(work, payload, length);
    work[length] = '\0';

    noPosition = true;  // until both coordinates are read
    CommaSplitter splitter(std::string_view(work, length));
    std::string_view piece;
    if (!splitter.Next(piece)) return false;  // "G$GPRMC"

    if (!splitter.Next(piece)) return false;
    hour = TwoDigitGroup(piece, 0) + kLocalHourOffset;
    minute = TwoDigitGroup(piece, 2);
    second = TwoDigitGroup(piece, 4);

    if (!splitter.Next(piece)) return false;
    valid = (!piece.empty() && piece[0] == 'A') ? 1 : 0;

    if (!splitter.Next(piece)) return false;
    bool hasLatitude = false, hasLongitude = false;
    latitude = LeadingDouble(piece, &hasLatitude);
    if (!splitter.Next(piece)) return false;
    if (piece.empty() || piece[0] != 'N') latitude = -latitude;

    if (!splitter.Next(piece)) return false;
    longitude = LeadingDouble(piece, &hasLongitude);
    noPosition = !(hasLatitude && hasLongitude);
    if (!splitter.Next(piece)) return false;
    if (piece.empty() || piece[0] != 'E') longitude = -longitude;

    if (!splitter.Next(piece)) return false;
    speed = static_cast<float>(LeadingDouble(piece) * kKmPerKnot);

    if (!splitter.Next(piece)) return false;
    course = static_cast<float>(LeadingDouble(piece));

    if (!splitter.Next(piece)) return false;
    day = TwoDigitGroup(piece, 0);
    month = TwoDigitGroup(piece, 2);
    year = TwoDigitGroup(piece, 4);

    MakeTime();
    return true;
}

bool CGPSData::IsUsable() const {
    constexpr double kMaxLatitude = 90.0, kMaxLongitude = 180.0;
    return valid != 0 && !noPosition && PossibleCoordinate(latitude, kMaxLatitude) &&
           PossibleCoordinate(longitude, kMaxLongitude) && std::isfinite(speed) && speed >= 0.0 &&
           speed <= kMaxSpeedKmh;
}

int64_t CGPSData::MakeTime() {
    std::tm t{};
    t.tm_sec = second;
    t.tm_min = minute;
    t.tm_hour = hour;
    t.tm_mday = day;
    t.tm_mon = month - 1;
    // Two-digit years: 00-69 are 2000-2069, 70-99 are 1970-1999.
    t.tm_year = ((year + 30) % 100) + 70;
    t.tm_isdst = -1;  // let the C library decide daylight saving time
    timestamp = static_cast<int64_t>(std::mktime(&t));
    return timestamp;
}

double CGPSData::NmeaToDegrees(double v) {
    double m = v * 0.01;
    double d = std::trunc(m);
    return d + (m - d) * 100.0 / 60.0;
}
