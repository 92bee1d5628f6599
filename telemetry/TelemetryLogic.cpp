#include "telemetry/TelemetryLogic.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {
constexpr char kRmcName[] = "GPRMC";
constexpr size_t kRmcNameOffset = 2;        // "G$GPRMC": byte 1 is the '$', never examined
constexpr size_t kGSensorPayloadBytes = 4;  // 'M' and the three axis bytes
constexpr double kConversionSlack = 1e-9;
}  // namespace

void OnTextChunk(CTextData& textData, const uint8_t* payload, int32_t length, int32_t positionMs) {
    if (!payload || length <= 0) return;
    const size_t size = static_cast<size_t>(length);
    if (payload[0] == 'G') {
        if (size >= kRmcNameOffset + 5 && std::memcmp(payload + kRmcNameOffset, kRmcName, 5) == 0) {
            textData.AddGps(CGPSData(reinterpret_cast<const char*>(payload), size, 0));
        }
        return;
    }
    if (payload[0] == 'M') {
        // A chunk too short to hold three axis bytes carries no sample; reading on would take
        // bytes of an earlier chunk.
        if (size < kGSensorPayloadBytes) return;
        int64_t wholeSeconds = positionMs / kMsPerSecond;
        if (wholeSeconds <= 0) return;
        textData.AddGSensorBelow(CGSensorData(payload[1], payload[2], payload[3], 0),
                                 static_cast<size_t>(wholeSeconds));
    }
}

int64_t ChooseDisplayGpsIndex(size_t gpsCount, int64_t positionSec, int64_t sliderSec) {
    if (gpsCount == 0) return -1;
    const int64_t last = static_cast<int64_t>(gpsCount) - 1;
    if (sliderSec <= positionSec) return last;
    double scaled = static_cast<double>(positionSec) / static_cast<double>(sliderSec) *
                    static_cast<double>(gpsCount);
    if (!(scaled >= 0.0)) return 0;  // a negative position; the tick does not ask for one
    if (scaled >= static_cast<double>(last)) return last;
    return static_cast<int64_t>(scaled);
}

bool ChooseDisplayFix(const CTextData& textData, int64_t positionSec, int64_t sliderSec,
                      CGPSData& fix) {
    int64_t index = ChooseDisplayGpsIndex(textData.GetGpsCount(), positionSec, sliderSec);
    // The worker may only have appended since the count was read, so the index stays valid
    // unless the window itself emptied the arrays in between, which it does not do here.
    if (index < 0 || !textData.GetGps(static_cast<size_t>(index), fix)) return false;
    return fix.IsUsable();
}

SpeedUnit ParseSpeedUnit(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "mph" ? SpeedUnit::Mph : SpeedUnit::Kmh;
}

const char* SpeedUnitName(SpeedUnit unit) {
    return unit == SpeedUnit::Mph ? "mph" : "kmh";
}

double SpeedInUnit(double kmh, SpeedUnit unit) {
    return unit == SpeedUnit::Mph ? kmh / kKmPerMile : kmh;
}

int SpeedShown(double kmh, SpeedUnit unit) {
    // A conversion lands a hair below a whole number (100 mph is 99.99999...); that must
    // not lose a unit to the truncation.
    const double shown = SpeedInUnit(kmh, unit);
    double whole = std::trunc(shown + (shown >= 0 ? kConversionSlack : -kConversionSlack));
    int value = 0;
    if (whole >= std::numeric_limits<int>::max())
        value = std::numeric_limits<int>::max();
    else if (whole <= std::numeric_limits<int>::min())
        value = std::numeric_limits<int>::min();
    else if (std::isfinite(whole))
        value = static_cast<int>(whole);
    return value;
}

std::string FormatSpeedLabel(const CGPSData& fix, SpeedUnit unit) {
    char text[32];
    snprintf(text, sizeof text, unit == SpeedUnit::Mph ? "%d mph" : "%d km/h",
             SpeedShown(fix.GetSpeed(), unit));
    return text;
}
