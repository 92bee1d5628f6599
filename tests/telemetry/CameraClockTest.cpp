// The camera clock: start times from names, times of day across day, month and year ends, and
// the clock's offset from GPS time measured from the fixes.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "telemetry/CameraClock.h"

namespace {

struct TimeOfDayRow {
    const char* name;
    int64_t positionMs;
    const char* iso;  // expected camera time, with milliseconds
    const char* stem;
};

class CameraTimeOfDayTest : public ::testing::TestWithParam<TimeOfDayRow> {};

TEST_P(CameraTimeOfDayTest, StartPlusPositionRollsOverDaysAndMonths) {
    const TimeOfDayRow& row = GetParam();
    const std::optional<int64_t> start = RecordingStartSec(row.name);
    ASSERT_TRUE(start.has_value()) << row.name;
    const int64_t ms = CameraTimeMs(*start, row.positionMs);
    EXPECT_EQ(FormatClockIsoMs(ms), row.iso);
    EXPECT_EQ(FormatClockStemMs(ms), row.stem);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CameraTimeOfDayTest,
    ::testing::Values(TimeOfDayRow{"REC_20180820_184842_D.AVI", 433, "2018-08-20T18:48:42.433",
                                   "20180820_184842.433"},
                      TimeOfDayRow{"/card/DRIVING/EVT_20180820_235959_N.AVI", 1500,
                                   "2018-08-21T00:00:00.500", "20180821_000000.500"},
                      TimeOfDayRow{"REC_20240228_235930_D.AVI", 45000, "2024-02-29T00:00:15.000",
                                   "20240229_000015.000"},
                      TimeOfDayRow{"REC_20230228_235930_D.AVI", 45000, "2023-03-01T00:00:15.000",
                                   "20230301_000015.000"},
                      TimeOfDayRow{"REC_20261231_235959_D.AVI", 1001, "2027-01-01T00:00:00.001",
                                   "20270101_000000.001"},
                      TimeOfDayRow{"MAN_20180430_120000_D.MP4", 3600000 * 12,
                                   "2018-05-01T00:00:00.000", "20180501_000000.000"}));

TEST(CameraClockNameTest, NamesWithoutADateAndTimeHaveNoStart) {
    for (const char* name : {"REC.AVI", "REC_2018082_184842_D.AVI", "REC_20181320_184842_D.AVI",
                             "REC_20180820-184842_D.AVI", "REC_20180820_246000_D.AVI", ""}) {
        EXPECT_FALSE(RecordingStartSec(name).has_value()) << name;
    }
}

// A fix whose UTC time is given; hour fields carry UTC + 9 as the dashcam stores them.
TimedFix FixAt(int64_t timeMs, int64_t utcSec, bool valid = true) {
    const ClockFields utc = SplitClockMs(utcSec * 1000);
    TimedFix f;
    f.timeMs = timeMs;
    f.fix.year = static_cast<int32_t>(utc.year % 100);
    f.fix.month = utc.month;
    f.fix.day = utc.day;
    f.fix.hour = utc.hour + 9;  // runs 9 ... 32 on the UTC date
    f.fix.minute = utc.minute;
    f.fix.second = utc.second;
    f.fix.valid = valid ? 1 : 0;
    return f;
}

struct OffsetRow {
    const char* what;
    const char* name;
    std::vector<std::pair<int64_t, int64_t>> fixes;  // (time in recording ms, camera - UTC ms)
    std::vector<bool> valid;                         // empty: all valid
    std::optional<int64_t> offset;
};

class ClockOffsetTest : public ::testing::TestWithParam<OffsetRow> {};

TEST_P(ClockOffsetTest, MedianOfCameraMinusUtcRoundedToTheSecond) {
    const OffsetRow& row = GetParam();
    const int64_t start = *RecordingStartSec(row.name);
    std::vector<TimedFix> fixes;
    for (size_t i = 0; i < row.fixes.size(); ++i) {
        const auto [timeMs, differenceMs] = row.fixes[i];
        // UTC second of a fix: camera time minus the difference, to whole seconds.
        const int64_t utcMs = CameraTimeMs(start, timeMs) - differenceMs;
        ASSERT_EQ(utcMs % 1000, 0) << row.what;
        fixes.push_back(FixAt(timeMs, utcMs / 1000, row.valid.empty() || row.valid[i]));
    }
    EXPECT_EQ(ClockOffsetSec(start, fixes), row.offset) << row.what;
}

constexpr int64_t kNine = 9 * 3600 * 1000;

INSTANTIATE_TEST_SUITE_P(
    Rows, ClockOffsetTest,
    ::testing::Values(
        OffsetRow{"clock on Korean time",
                  "REC_20180820_184842_D.AVI",
                  {{0, kNine}, {1000, kNine}, {2000, kNine}},
                  {},
                  9 * 3600},
        OffsetRow{"fixes written 300 ms after their second",
                  "REC_20180820_184842_D.AVI",
                  {{300, kNine + 300}, {1300, kNine + 300}},
                  {},
                  9 * 3600},
        OffsetRow{"clock 75 s fast, across UTC midnight",
                  "REC_20180821_085950_D.AVI",
                  {{0, kNine + 75000}, {5000, kNine + 75000}, {15000, kNine + 75000}},
                  {},
                  9 * 3600 + 75},
        OffsetRow{"clock behind UTC",
                  "REC_20180820_010000_D.AVI",
                  {{0, -42000}, {1000, -42000}},
                  {},
                  -42},
        OffsetRow{
            "two outliers among five",
            "REC_20180820_184842_D.AVI",
            {{0, kNine}, {1000, kNine + 3600000}, {2000, kNine}, {3000, -5000}, {4000, kNine}},
            {},
            9 * 3600},
        OffsetRow{"even count: mean of the middle two",
                  "REC_20180820_184842_D.AVI",
                  {{0, 1000}, {1000, 2000}, {2000, 3000}, {3000, 90000}},
                  {},
                  3},
        OffsetRow{"invalid fixes do not count",
                  "REC_20180820_184842_D.AVI",
                  {{0, 5000}, {1000, kNine}, {2000, 5000}},
                  {false, true, false},
                  9 * 3600},
        OffsetRow{"no valid fix",
                  "REC_20180820_184842_D.AVI",
                  {{0, kNine}, {1000, kNine}},
                  {false, false},
                  std::nullopt},
        OffsetRow{"no fix at all", "REC_20180820_184842_D.AVI", {}, {}, std::nullopt}));

TEST(ClockOffsetTest, UnreadableFixDatesDoNotCount) {
    std::vector<TimedFix> fixes{FixAt(0, 0)};
    fixes[0].fix.month = 0;  // a receiver that has no date yet
    EXPECT_FALSE(ClockOffsetSec(0, fixes).has_value());
}

TEST(ClockFormatTest, ZoneOffsetsAndStems) {
    EXPECT_EQ(FormatZoneOffset(9 * 3600), "+09:00");
    EXPECT_EQ(FormatZoneOffset(9 * 3600 + 75), "+09:01");
    EXPECT_EQ(FormatZoneOffset(-(3 * 3600 + 30 * 60)), "-03:30");
    EXPECT_EQ(FormatZoneOffset(0), "+00:00");
    EXPECT_EQ(FormatClockStem(*RecordingStartSec("REC_20180820_184842_D.AVI")), "20180820_184842");
    EXPECT_EQ(FormatClockIso(*RecordingStartSec("REC_20180820_184842_D.AVI")),
              "2018-08-20T18:48:42");
}

}  // namespace
