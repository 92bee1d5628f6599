// The caption line of a composed clip: the camera clock from the recording's name, the speed in
// the unit asked for, the position only when allowed, and parts without data left out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CivilDate.h"
#include "telemetry/ClipCaption.h"

namespace {

TEST(ClipCaption, StartTimeComesFromTheRecordingsName) {
    const int64_t start = DaysFromCivil(2014, 3, 7) * kSecondsPerDay + 18 * 3600 + 25 * 60 + 9;
    struct Row {
        const char* path;
        std::optional<int64_t> start;
    };
    const std::vector<Row> rows = {
        {"/card/DRIVING/REC_20140307_182509_D.AVI", start},
        {"EVT_20140307_182509_N.mp4", start},
        {"REC_20141307_182509_D.AVI", std::nullopt},  // month 13
        {"REC_20140307_246009_D.AVI", std::nullopt},
        {"REC_2014037_182509_D.AVI", std::nullopt},
        {"clip.avi", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ClipCaption::StartFromName(row.path), row.start) << row.path;
}

TEST(ClipCaption, LineHoldsWhatIsKnownInTheUnitAsked) {
    const int64_t clock = DaysFromCivil(2026, 12, 31) * kSecondsPerDay + 23 * 3600 + 59 * 60 + 58;
    CGPSData north;
    north.valid = 1;
    north.latitude = 3730.0;    // 37.5 N
    north.longitude = 12700.6;  // 127.01 E
    north.speed = 100.0;
    CGPSData south = north;
    south.latitude = -3330.0;
    south.longitude = -5830.0;
    CGSensorData g;
    g.x = 1, g.y = -2, g.z = 64;
    struct Row {
        const CGPSData* fix;
        const CGSensorData* sample;
        CaptionOptions options;
        std::optional<int64_t> clock;
        const char* text;
    };
    const std::vector<Row> rows = {
        {&north,
         &g,
         {},
         clock,
         "2026-12-31 23:59:58  100 km/h  37.50000N 127.01000E  G x+0.02 y-0.03 z+1.00"},
        {&north,
         &g,
         {true, true},
         clock,
         "2026-12-31 23:59:58  62 mph  37.50000N 127.01000E  G x+0.02 y-0.03 z+1.00"},
        {&north, &g, {false, false}, clock, "2026-12-31 23:59:58  100 km/h  G x+0.02 y-0.03 z+1.00"},
        {&south, nullptr, {}, clock, "2026-12-31 23:59:58  100 km/h  33.50000S 58.50000W"},
        {nullptr, &g, {}, clock, "2026-12-31 23:59:58  G x+0.02 y-0.03 z+1.00"},
        {nullptr, &g, {false, true, 32.0}, clock, "2026-12-31 23:59:58  G x+0.03 y-0.06 z+2.00"},
        {&north, nullptr, {}, std::nullopt, "100 km/h  37.50000N 127.01000E"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ClipCaption::Format(row.clock, row.fix, row.sample, row.options), row.text);
}

}  // namespace
