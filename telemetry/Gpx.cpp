#include "telemetry/Gpx.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "support/CivilDate.h"

namespace {

int DaysInMonth(int64_t y, int64_t m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters are not allowed in XML 1.0.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

// A comment may not contain "--".
std::string CommentText(const std::string& text) {
    std::string out = XmlEscape(text);
    for (size_t i = out.find("--"); i != std::string::npos; i = out.find("--", i)) out[i + 1] = '_';
    return out;
}

// Nine decimals (about a millimetre), with a '.' whatever the process locale says.
std::string FixedDegrees(double degrees) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, degrees, std::chars_format::fixed, 9);
    return std::string(text, result.ptr);
}

}  // namespace

bool GpsFixUtcSeconds(const CGPSData& fix, int64_t& utcSeconds) {
    const int64_t year = ((fix.year + 30) % 100 + 100) % 100 + 1970;
    if (fix.month < 1 || fix.month > 12) return false;
    if (fix.day < 1 || fix.day > DaysInMonth(year, fix.month)) return false;
    if (fix.minute < 0 || fix.minute > 59 || fix.second < 0 || fix.second > 60) return false;
    const int64_t utcHour = int64_t{fix.hour} - CGPSData::kLocalHourOffset;
    if (utcHour < 0 || utcHour > 23) return false;
    utcSeconds = DaysFromCivil(year, fix.month, fix.day) * kSecondsPerDay + utcHour * 3600 +
                 int64_t{fix.minute} * 60 + fix.second;
    return true;
}

std::string FormatUtcTime(int64_t utcSeconds) {
    int64_t days = utcSeconds / kSecondsPerDay;
    int64_t rest = utcSeconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    const CivilDate date = CivilFromDays(days);
    char text[64];
    snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
             static_cast<long long>(date.year), static_cast<long long>(date.month),
             static_cast<long long>(date.day), static_cast<long long>(rest / 3600),
             static_cast<long long>(rest % 3600 / 60), static_cast<long long>(rest % 60));
    return text;
}

std::string FormatGpx(const std::string& trackName, const std::vector<GpxSegment>& segments) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"tarvex-tool\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
        "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
        "  <trk>\n";
    if (!trackName.empty()) out += "    <name>" + XmlEscape(trackName) + "</name>\n";
    for (const GpxSegment& segment : segments) {
        if (!segment.source.empty()) out += "    <!-- " + CommentText(segment.source) + " -->\n";
        out += "    <trkseg>\n";
        for (const CGPSData& fix : segment.fixes) {
            if (!fix.IsUsable()) continue;
            const double lat = fix.GetLatitude();
            // The schema bounds longitude to [-180, 180): 180 east is the same meridian as
            // 180 west, and readers reject the whole file for one point outside it.
            const double lon = fix.GetLongitude() >= 180.0 ? -180.0 : fix.GetLongitude();
            out +=
                "      <trkpt lat=\"" + FixedDegrees(lat) + "\" lon=\"" + FixedDegrees(lon) + "\">";
            int64_t utc = 0;
            if (GpsFixUtcSeconds(fix, utc)) out += "<time>" + FormatUtcTime(utc) + "</time>";
            out += "</trkpt>\n";
        }
        out += "    </trkseg>\n";
    }
    out += "  </trk>\n</gpx>\n";
    return out;
}
