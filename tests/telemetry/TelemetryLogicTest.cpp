// Storing the player's text chunks and choosing the fix a display tick shows.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "telemetry/TelemetryLogic.h"
#include "telemetry/TelemetryWalk.h"

namespace {

const std::string kFix = "G$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string kNoFix = "G$GPRMC,,V,,,,,,,,,,N";

void Deliver(CTextData& data, const std::string& payload, int32_t positionMs) {
    // The player hands over its read buffer with a zero byte after the payload.
    std::string buffer = payload + '\0';
    OnTextChunk(data, buffer.data(), static_cast<int32_t>(payload.size()), positionMs);
}

std::string GSensorPayload(uint8_t x, uint8_t y, uint8_t z) {
    return std::string{'M', static_cast<char>(x), static_cast<char>(y), static_cast<char>(z)};
}

TEST(OnTextChunkTest, KeepsOneGSensorSamplePerSecondOfPosition) {
    CTextData data;
    Deliver(data, GSensorPayload(0x10, 0x10, 0x10), 500);   // before the first second: dropped
    Deliver(data, GSensorPayload(0x80, 0x70, 0x90), 1000);  // sample 0
    Deliver(data, GSensorPayload(0x20, 0x20, 0x20), 1400);  // same second: dropped
    Deliver(data, GSensorPayload(0x81, 0x81, 0x81), 2100);  // sample 1
    const auto samples = data.SnapshotGSensor();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].x, 0);
    EXPECT_EQ(samples[0].y, 16);
    EXPECT_EQ(samples[0].z, -16);
    EXPECT_EQ(samples[1].x, -1);
}

TEST(OnTextChunkTest, MissedSecondsAreCaughtUpOnePayloadAtATime) {
    CTextData data;
    Deliver(data, GSensorPayload(0x80, 0x80, 0x80), 1000);
    for (int i = 0; i < 6; ++i) Deliver(data, GSensorPayload(0x80, 0x80, 0x80), 4000 + i);
    // Four whole seconds allow four samples; the fifth and sixth payloads are dropped.
    EXPECT_EQ(data.GetGSensorCount(), 4u);
}

TEST(OnTextChunkTest, SeekBackwardsAddsFixesAgainButNotSamples) {
    CTextData data;
    for (int sec = 1; sec <= 10; ++sec) {
        Deliver(data, kFix, sec * 1000);
        Deliver(data, GSensorPayload(0x80, 0x80, 0x80), sec * 1000);
    }
    ASSERT_EQ(data.GetGSensorCount(), 10u);
    // Back to second 4: fixes read again are appended, samples wait for second 11.
    for (int sec = 4; sec <= 11; ++sec) {
        Deliver(data, kFix, sec * 1000);
        Deliver(data, GSensorPayload(0x80, 0x80, 0x80), sec * 1000);
    }
    EXPECT_EQ(data.GetGpsCount(), 18u);
    EXPECT_EQ(data.GetGSensorCount(), 11u);
}

TEST(OnTextChunkTest, EveryRmcPayloadIsStoredAndOthersAreIgnored) {
    CTextData data;
    Deliver(data, kFix, 0);
    Deliver(data, kNoFix, 0);                     // no fix: still stored
    Deliver(data, "G$GPRMC,123519,A", 0);         // short: still stored
    Deliver(data, "GXGPRMC,010000,A,,,,,,,", 0);  // the byte after 'G' is not examined
    Deliver(data, "G$GPGGA,123519,4807.038,N", 0);
    Deliver(data, "X$GPRMC,123519,A", 5000);
    Deliver(data, "G$GPRM", 0);  // too short to name the sentence
    Deliver(data, "", 5000);
    Deliver(data, "M\x80", 5000);  // no room for three axis bytes
    EXPECT_EQ(data.GetGpsCount(), 4u);
    EXPECT_EQ(data.GetGSensorCount(), 0u);
    CGPSData fix;
    ASSERT_TRUE(data.GetGps(3, fix));
    EXPECT_EQ(fix.hour, 10);
}

TEST(OnTextChunkTest, NullOrNegativeLengthIsIgnored) {
    CTextData data;
    OnTextChunk(data, static_cast<const uint8_t*>(nullptr), 10, 5000);
    OnTextChunk(data, kFix.c_str(), -1, 5000);
    EXPECT_EQ(data.GetGpsCount(), 0u);
}

struct ChoiceRow {
    size_t count;
    int64_t positionSec;
    int64_t sliderSec;
    int64_t index;
};

class DisplayChoiceTest : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(DisplayChoiceTest, PicksTheExpectedRecord) {
    const ChoiceRow& row = GetParam();
    EXPECT_EQ(ChooseDisplayGpsIndex(row.count, row.positionSec, row.sliderSec), row.index);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DisplayChoiceTest,
    ::testing::Values(ChoiceRow{0, 5, 5, -1},     // nothing recorded yet
                      ChoiceRow{30, 10, 20, 15},  // right after a seek backwards
                      ChoiceRow{30, 19, 20, 28},  // 28.5 truncated
                      ChoiceRow{30, 20, 20, 29},  // steady play: the newest
                      ChoiceRow{30, 21, 20, 29}, ChoiceRow{30, 0, 20, 0}, ChoiceRow{1, 3, 4, 0}));

TEST(DisplayChoiceTest, InvalidRecordChangesNothingAndValidShowsSpeed) {
    CTextData data;
    CGPSData fix;
    EXPECT_FALSE(ChooseDisplayFix(data, 1, 1, fix));
    Deliver(data, kFix, 1000);
    Deliver(data, kNoFix, 2000);
    EXPECT_FALSE(ChooseDisplayFix(data, 2, 2, fix));  // newest has no fix
    ASSERT_TRUE(ChooseDisplayFix(data, 1, 4, fix));   // 1/4 of 2 records: index 0
    EXPECT_EQ(FormatSpeedLabel(fix), "41 km/h");
    EXPECT_EQ(FormatSpeedLabel(fix, SpeedUnit::Mph), "25 mph");  // 41.5 km/h is 25.8 mph
    EXPECT_FLOAT_EQ(static_cast<float>(fix.GetLatitude()), 48.1173f);
}

TEST(SpeedUnitTest, SettingValuesAndConversion) {
    EXPECT_EQ(ParseSpeedUnit("mph"), SpeedUnit::Mph);
    EXPECT_EQ(ParseSpeedUnit("MPH"), SpeedUnit::Mph);
    for (const char* other : {"kmh", "", "miles", "mph "})
        EXPECT_EQ(ParseSpeedUnit(other), SpeedUnit::Kmh);
    EXPECT_NEAR(SpeedInUnit(100.0, SpeedUnit::Mph), 62.137, 0.001);
    CGPSData fix;
    fix.speed = 160.9344;  // exactly 100 mph; truncation must not drop it to 99
    EXPECT_EQ(FormatSpeedLabel(fix, SpeedUnit::Mph), "100 mph");
}

TEST(CTextDataTest, ReadsStayWholeWhileTheWorkerAppends) {
    CTextData data;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) {
            CGPSData fix;
            fix.minute = i;
            fix.second = i;  // a torn copy would show two different numbers
            data.AddGps(fix);
            data.AddGSensor(CGSensorData(static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                         static_cast<uint8_t>(i), 0));
            if (i == 10000) data.RemoveAll();
        }
        done = true;
    });
    size_t checks = 0;
    while (!done || checks == 0) {
        size_t n = data.GetGpsCount();
        CGPSData fix;
        if (n > 0 && data.GetGps(n - 1, fix)) {
            EXPECT_EQ(fix.minute, fix.second);
            ++checks;
        }
        for (const CGSensorData& s : data.SnapshotGSensor()) ASSERT_TRUE(s.x == s.y && s.y == s.z);
    }
    worker.join();
    EXPECT_EQ(data.GetGpsCount(), 9999u);
    CGPSData out;
    EXPECT_FALSE(data.GetGps(9999, out));
}

// The nearest usable fix, searched from where the time falls, is the one a look at every fix
// finds: the nearest, the earlier of two as near, none without a usable one. Fixes in time
// order with repeated times and runs of unusable ones, as a damaged trip gives them.
TEST(NearestValidFixTest, AgreesWithALookAtEveryFix) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<TimedFix> fixes(random() % 12);
        int64_t t = 0;
        for (TimedFix& f : fixes) {
            t += random() % 3 * 500;
            f.timeMs = t;
            f.fix.valid = random() % 3 != 0 ? 1 : 0;
        }
        for (int64_t ask = -700; ask <= t + 700; ask += 250) {
            int64_t expected = -1;
            for (size_t i = 0; i < fixes.size(); ++i)
                if (fixes[i].fix.IsUsable() &&
                    (expected < 0 ||
                     std::llabs(fixes[i].timeMs - ask) <
                         std::llabs(fixes[static_cast<size_t>(expected)].timeMs - ask)))
                    expected = static_cast<int64_t>(i);
            ASSERT_EQ(NearestValidFix(fixes, ask), expected) << "round " << round << " at " << ask;
        }
    }
}

}  // namespace
