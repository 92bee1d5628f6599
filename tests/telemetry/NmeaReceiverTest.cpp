// Sentences written by real GPS receivers, stored by the dashcam as "G" + sentence.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "telemetry/CGPSData.h"
#include "telemetry/TelemetryLogic.h"

namespace {

// Test data: $GPRMC lines from the receiver regression logs of the GPS daemon gpsd
// (BSD-2-Clause, repository ntpsec/gpsd, test/daemon/): a Garmin Geko 201 in demo mode
// (Madrid, 2005) and an MTK-3301 receiver at power-up (Enschede, 2008).
constexpr const char* kGarminGeko201[] = {
    "$GPRMC,214350,V,4023.8600,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*21",
    "$GPRMC,214352,V,4023.8660,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*25",
    "$GPRMC,214354,V,4023.8720,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*26",
    "$GPRMC,214356,V,4023.8780,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*2E",
    "$GPRMC,214358,V,4023.8840,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*23",
    "$GPRMC,214400,V,4023.8900,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*2C",
    "$GPRMC,214402,V,4023.8960,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*28",
    "$GPRMC,214404,V,4023.9021,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*23",
    "$GPRMC,214406,V,4023.9081,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*2B",
    "$GPRMC,214408,V,4023.9141,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*28",
    "$GPRMC,214410,V,4023.9201,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*26",
    "$GPRMC,214412,V,4023.9261,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*22",
    "$GPRMC,214414,V,4023.9321,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*21",
    "$GPRMC,214416,V,4023.9381,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*29",
    "$GPRMC,214418,V,4023.9441,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*2C",
    "$GPRMC,214420,V,4023.9501,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*22",
    "$GPRMC,214422,V,4023.9561,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*26",
    "$GPRMC,214424,V,4023.9621,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*27",
};
constexpr const char* kMtk3301[] = {
    "$GPRMC,235946.005,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*47",
    "$GPRMC,235947.004,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*47",
    "$GPRMC,235948.004,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*48",
    "$GPRMC,235949.004,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*49",
    "$GPRMC,235950.004,V,8960.000000,N,00000.000000,E,0.000,0.00,050180,,,N*41",
    "$GPRMC,081433.591,V,8960.000000,N,00000.000000,E,0.000,0.00,120180,,,N*4B",
    "$GPRMC,081434.590,V,5212.978993,N,00653.097906,E,0.052,0.00,230808,,,N*46",
    "$GPRMC,081436.000,A,5212.982135,N,00653.101394,E,0.039,0.00,230808,,,A*53",
    "$GPRMC,081437.000,A,5212.981473,N,00653.102458,E,0.039,0.00,230808,,,A*52",
    "$GPRMC,081438.000,A,5212.982641,N,00653.105897,E,0.042,0.00,230808,,,A*59",
    "$GPRMC,081439.000,A,5212.981832,N,00653.104686,E,0.205,0.00,230808,,,A*5F",
};

struct ReceiverRow {
    const char* sentence;
    int hour, minute, second, valid;
    double latitude, longitude, knots, course;
    int day, month, year;
    double latitudeDeg, longitudeDeg;
};

class ReceiverSentenceTest : public ::testing::TestWithParam<ReceiverRow> {};

TEST_P(ReceiverSentenceTest, EveryFieldIsParsed) {
    const ReceiverRow& row = GetParam();
    const std::string payload = std::string("G") + row.sentence;
    CGPSData fix;
    ASSERT_TRUE(fix.ParseSentence(payload.c_str()));
    EXPECT_EQ(fix.hour, row.hour);
    EXPECT_EQ(fix.minute, row.minute);
    EXPECT_EQ(fix.second, row.second);
    EXPECT_EQ(fix.valid, row.valid);
    EXPECT_DOUBLE_EQ(fix.latitude, row.latitude);
    EXPECT_DOUBLE_EQ(fix.longitude, row.longitude);
    EXPECT_EQ(fix.speed, static_cast<double>(static_cast<float>(row.knots * 1.852)));
    EXPECT_EQ(fix.course, static_cast<double>(static_cast<float>(row.course)));
    EXPECT_EQ(fix.day, row.day);
    EXPECT_EQ(fix.month, row.month);
    EXPECT_EQ(fix.year, row.year);
    EXPECT_NEAR(fix.GetLatitude(), row.latitudeDeg, 1e-9);
    EXPECT_NEAR(fix.GetLongitude(), row.longitudeDeg, 1e-9);
    EXPECT_NE(fix.timestamp, 0);
}

INSTANTIATE_TEST_SUITE_P(
    RealReceivers, ReceiverSentenceTest,
    ::testing::Values(
        // Western longitude, status V with a position, magnetic variation filled in.
        ReceiverRow{kGarminGeko201[0], 30, 43, 50, 0, 4023.86, -339.163, 10.8, 0.0, 14, 6, 5,
                    40.397666666666666, -3.6527166666666666},
        ReceiverRow{kGarminGeko201[17], 30, 44, 24, 0, 4023.9621, -339.163, 10.8, 0.0, 14, 6, 5,
                    40 + 23.9621 / 60, -(3 + 39.163 / 60)},
        // Power-up placeholder: fractional seconds, 8960 "degrees-minutes", a 1980 date.
        ReceiverRow{kMtk3301[0], 32, 59, 46, 0, 8960.0, 0.0, 0.0, 0.0, 5, 1, 80, 89 + 60.0 / 60,
                    0.0},
        ReceiverRow{kMtk3301[6], 17, 14, 34, 0, 5212.978993, 653.097906, 0.052, 0.0, 23, 8, 8,
                    52 + 12.978993 / 60, 6 + 53.097906 / 60},
        // First valid fixes.
        ReceiverRow{kMtk3301[7], 17, 14, 36, 1, 5212.982135, 653.101394, 0.039, 0.0, 23, 8, 8,
                    52.21636891666667, 6.885023233333333},
        ReceiverRow{kMtk3301[10], 17, 14, 39, 1, 5212.981832, 653.104686, 0.205, 0.0, 23, 8, 8,
                    52 + 12.981832 / 60, 6 + 53.104686 / 60}));

TEST(ReceiverLogTest, WholeLogsBecomeOneRecordPerSentenceInOrder) {
    CTextData data;
    int position = 0;
    for (const char* line : kGarminGeko201) {
        std::string payload = std::string("G") + line;
        OnTextChunk(data, payload.c_str(), static_cast<int32_t>(payload.size()), position += 1000);
    }
    for (const char* line : kMtk3301) {
        std::string payload = std::string("G") + line;
        OnTextChunk(data, payload.c_str(), static_cast<int32_t>(payload.size()), position += 1000);
    }
    const auto fixes = data.SnapshotGps();
    const size_t garmin = std::size(kGarminGeko201);
    ASSERT_EQ(fixes.size(), garmin + std::size(kMtk3301));
    // The demo receiver moves north two seconds at a time, at a constant 10.8 knots.
    for (size_t i = 1; i < garmin; ++i) {
        EXPECT_GT(fixes[i].latitude, fixes[i - 1].latitude);
        EXPECT_EQ(fixes[i].speed, fixes[0].speed);
        EXPECT_EQ(fixes[i].valid, 0);
    }
    // The MTK log ends with four valid fixes.
    int validCount = 0;
    for (size_t i = garmin; i < fixes.size(); ++i) validCount += fixes[i].valid;
    EXPECT_EQ(validCount, 4);
}

}  // namespace
