#pragma once
// GPX 1.1 output of the recorded GPS fixes: one track, one segment per recording, a point for
// every valid fix with its time in UTC. Elevation is not recorded by the dashcam and omitted.

#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/CGPSData.h"

struct GpxSegment {
    std::string source;           // recording the fixes came from (named in a comment)
    std::vector<CGPSData> fixes;  // in file order; invalid fixes are skipped
};

// Seconds since 1970 in UTC of a fix: its date is the sentence's UTC date and its hour the
// UTC hour plus 9, not wrapped, so taking the 9 hours off lands on the right day across
// midnight and month ends. False when the date fields cannot be a date (month 0, day 0 ...).
bool GpsFixUtcSeconds(const CGPSData& fix, int64_t& utcSeconds);

// "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatUtcTime(int64_t utcSeconds);

// The whole GPX document. trackName may be empty.
std::string FormatGpx(const std::string& trackName, const std::vector<GpxSegment>& segments);
