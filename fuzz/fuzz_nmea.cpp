// Telemetry chunks as the player delivers them: the first two bytes choose the position, the
// rest is the payload. Every record made from it is also formatted as the window and the
// tool would (speed label, decimal degrees, GPX time).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "telemetry/Gpx.h"
#include "telemetry/TelemetryLogic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int32_t positionMs = (data[0] | data[1] << 8) * 10;
    data += 2;
    size -= 2;
    // The player's read buffer: the payload followed by a zero byte.
    std::vector<uint8_t> buffer(data, data + size);
    buffer.push_back(0);

    CTextData textData;
    OnTextChunk(textData, buffer.data(), static_cast<int32_t>(size), positionMs);
    // Also the sentence parser on the raw bytes, unterminated and as a whole.
    CGPSData direct;
    direct.ParseSentence(reinterpret_cast<const char*>(data), size);
    CGPSData terminated(reinterpret_cast<const char*>(buffer.data()), 0);

    CGPSData fix;
    if (ChooseDisplayFix(textData, 1, 2, fix)) (void)FormatSpeedLabel(fix);
    std::vector<GpxSegment> segments(1);
    segments[0].fixes = textData.SnapshotGps();
    segments[0].fixes.push_back(direct);
    segments[0].fixes.push_back(terminated);
    for (CGPSData& f : segments[0].fixes) {
        f.valid = 1;
        (void)FormatSpeedLabel(f);
        int64_t utc = 0;
        if (GpsFixUtcSeconds(f, utc)) (void)FormatUtcTime(utc);
    }
    (void)FormatGpx("fuzz", segments);
    return 0;
}
