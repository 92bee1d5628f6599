#pragma once
// What the main window does with telemetry: storing each text chunk the player delivers, and
// choosing the GPS fix a display tick shows. Plain functions over CTextData so the window,
// the command-line tool and the tests run the same code.

#include <cstddef>
#include <cstdint>
#include <string>

#include "telemetry/CTextData.h"

constexpr int32_t kMsPerSecond = 1000;

// One text chunk of the recording, read at the player's position positionMs (front frames
// shown so far). A "G?GPRMC" payload becomes a GPS fix, whatever its content; an 'M' payload
// becomes a G-sensor sample only while fewer samples are stored than whole seconds played, so
// at most one sample is kept per second. Anything else is dropped. Runs on the player's
// worker; length bounds every read (the player also terminates the payload with a zero byte).
void OnTextChunk(CTextData& textData, const uint8_t* payload, int32_t length, int32_t positionMs);
inline void OnTextChunk(CTextData& textData, const char* payload, int32_t length,
                        int32_t positionMs) {
    OnTextChunk(textData, reinterpret_cast<const uint8_t*>(payload), length, positionMs);
}

// Index of the GPS record a display tick shows, or -1 when there are none. positionSec is
// the playback position in whole seconds, sliderSec the position slider's value before this
// tick moved it: normally the newest fix; right after a seek backwards (slider ahead of the
// position) the fix at the same fraction of the array as the position is of the slider.
int64_t ChooseDisplayGpsIndex(size_t gpsCount, int64_t positionSec, int64_t sliderSec);

// The fix to show on this tick, or false when nothing changes (no records, or the chosen
// record has no valid fix).
bool ChooseDisplayFix(const CTextData& textData, int64_t positionSec, int64_t sliderSec,
                      CGPSData& fix);

// The unit speeds are shown in (settings key speed_unit: "kmh" or "mph"). Stored and exported
// speeds stay in km/h (GPX: metres per second).
enum class SpeedUnit { Kmh, Mph };
constexpr const char* kSpeedUnitKey = "speed_unit";
constexpr double kKmPerMile = 1.609344;

// "kmh" or "mph" in any case; anything else (an empty or broken value) is km/h.
SpeedUnit ParseSpeedUnit(const std::string& text);
const char* SpeedUnitName(SpeedUnit unit);  // "kmh", "mph"
// A speed in km/h in the unit.
double SpeedInUnit(double kmh, SpeedUnit unit);

// The whole number a speed shows as in the unit, truncated toward zero.
int SpeedShown(double kmh, SpeedUnit unit);
// The speed label's text, "%d km/h" (or "%d mph") of the speed truncated toward zero.
std::string FormatSpeedLabel(const CGPSData& fix, SpeedUnit unit = SpeedUnit::Kmh);
