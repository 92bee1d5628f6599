#include "telemetry/TelemetryLogic.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {
constexpr char kRmcName[] = "GPRMC";
constexpr size_t kRmcNameOffset = 2;        // "G$GPRMC": byte 1 is the '$', never examined
constexpr size_t kGSensorPayloadBytes = 4;  // 'M' and the three axis bytes
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
    return fix.valid != 0;
}

std::string FormatSpeedLabel(const CGPSData& fix) {
    double kmh = std::trunc(fix.GetSpeed());
    int value = 0;
    if (kmh >= std::numeric_limits<int>::max())
        value = std::numeric_limits<int>::max();
    else if (kmh <= std::numeric_limits<int>::min())
        value = std::numeric_limits<int>::min();
    else if (std::isfinite(kmh))
        value = static_cast<int>(kmh);
    char text[32];
    snprintf(text, sizeof text, "%d km/h", value);
    return text;
}
