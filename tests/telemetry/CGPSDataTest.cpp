// Parsing of the RMC sentences stored in telemetry chunks, and the G-sensor byte conversion.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "telemetry/CGPSData.h"
#include "telemetry/CGSensorData.h"

namespace {

// Timestamps are local time; pin the zone so the expected values hold on any machine.
class CGPSDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_savedTz = tz ? tz : "";
        m_hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (m_hadTz)
            setenv("TZ", m_savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_savedTz;
    bool m_hadTz = false;
};

constexpr char kSample[] = "G$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

TEST_F(CGPSDataTest, SampleSentenceFillsEveryField) {
    CGPSData fix(kSample, 0);
    EXPECT_EQ(fix.hour, 21);
    EXPECT_EQ(fix.minute, 35);
    EXPECT_EQ(fix.second, 19);
    EXPECT_EQ(fix.valid, 1);
    EXPECT_DOUBLE_EQ(fix.latitude, 4807.038);
    EXPECT_DOUBLE_EQ(fix.longitude, 1131.0);
    EXPECT_EQ(fix.speed, static_cast<double>(static_cast<float>(22.4 * 1.852)));
    EXPECT_NE(fix.speed, 22.4 * 1.852);  // really went through single precision
    EXPECT_EQ(fix.course, static_cast<double>(84.4f));
    EXPECT_EQ(fix.day, 23);
    EXPECT_EQ(fix.month, 3);
    EXPECT_EQ(fix.year, 94);
    EXPECT_EQ(fix.tag, 0);
    // 1994-03-23 21:35:19 read as local time (UTC here).
    EXPECT_EQ(fix.timestamp, 764458519);
    EXPECT_NEAR(fix.GetLatitude(), 48.1173, 1e-12);
    EXPECT_NEAR(fix.GetLongitude(), 11.5166666666666667, 1e-12);
    EXPECT_NEAR(fix.GetSpeed(), 41.4848, 1e-5);
}

TEST_F(CGPSDataTest, SouthernAndWesternFixesAreNegative) {
    CGPSData fix("G$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W*6A", 0);
    EXPECT_DOUBLE_EQ(fix.latitude, -4807.038);
    EXPECT_DOUBLE_EQ(fix.longitude, -1131.0);
    EXPECT_NEAR(fix.GetLatitude(), -48.1173, 1e-12);
    EXPECT_NEAR(fix.GetLongitude(), -11.5166666666666667, 1e-12);
}

TEST_F(CGPSDataTest, HemisphereOtherThanNorthOrEastNegates) {
    // Only a leading 'N' / 'E' keeps the sign; an empty or lower-case field negates.
    CGPSData fix("G$GPRMC,000000,A,1000.0,,2000.0,e,0,0,010100", 0);
    EXPECT_DOUBLE_EQ(fix.latitude, -1000.0);
    EXPECT_DOUBLE_EQ(fix.longitude, -2000.0);
}

TEST_F(CGPSDataTest, AllEmptySentenceGivesInvalidRecordAtHourNine) {
    CGPSData fix;
    EXPECT_TRUE(fix.ParseSentence("G$GPRMC,,V,,,,,,,,,,N"));
    EXPECT_EQ(fix.valid, 0);
    EXPECT_EQ(fix.hour, 9);
    EXPECT_EQ(fix.minute, 0);
    EXPECT_EQ(fix.second, 0);
    EXPECT_EQ(fix.day, 0);
    EXPECT_EQ(fix.month, 0);
    EXPECT_EQ(fix.year, 0);
    EXPECT_EQ(fix.latitude, 0.0);
    EXPECT_EQ(fix.longitude, 0.0);
    EXPECT_EQ(fix.speed, 0.0);
    EXPECT_EQ(fix.course, 0.0);
}

TEST_F(CGPSDataTest, EmptyFieldDoesNotShiftTheFollowingOnes) {
    // Empty speed: the course and the date must still land in their own fields.
    CGPSData fix("G$GPRMC,010203,A,3733.990,N,12658.680,E,,123.5,140326", 0);
    EXPECT_EQ(fix.speed, 0.0);
    EXPECT_EQ(fix.course, static_cast<double>(123.5f));
    EXPECT_EQ(fix.day, 14);
    EXPECT_EQ(fix.month, 3);
    EXPECT_EQ(fix.year, 26);
}

TEST_F(CGPSDataTest, ShortSentenceKeepsWhatItReachedWithoutTimestamp) {
    CGPSData fix;
    EXPECT_FALSE(fix.ParseSentence("G$GPRMC,123519,A,4807.038,N"));
    EXPECT_EQ(fix.hour, 21);
    EXPECT_EQ(fix.valid, 1);
    EXPECT_DOUBLE_EQ(fix.latitude, 4807.038);
    EXPECT_EQ(fix.longitude, 0.0);
    EXPECT_EQ(fix.timestamp, 0);
    // The constructor ignores the result but keeps the fields.
    CGPSData constructed("G$GPRMC,123519", 7);
    EXPECT_EQ(constructed.hour, 21);
    EXPECT_EQ(constructed.tag, 7);
    EXPECT_EQ(constructed.timestamp, 0);
}

TEST_F(CGPSDataTest, FieldsAreReadAsTheirLeadingNumber) {
    // Fractional seconds dropped, short groups read as far as they go, junk after digits ignored.
    CGPSData fix("G$GPRMC,2359,A,12.5xyz,N,abc,E,1e1,-5,7", 0);
    EXPECT_EQ(fix.hour, 32);
    EXPECT_EQ(fix.minute, 59);
    EXPECT_EQ(fix.second, 0);
    EXPECT_DOUBLE_EQ(fix.latitude, 12.5);
    EXPECT_EQ(fix.longitude, 0.0);
    EXPECT_EQ(fix.speed, static_cast<double>(static_cast<float>(10 * 1.852)));
    EXPECT_EQ(fix.course, -5.0);
    EXPECT_EQ(fix.day, 7);
    EXPECT_EQ(fix.month, 0);
}

TEST_F(CGPSDataTest, NonFiniteNumbersReadAsZero) {
    CGPSData fix("G$GPRMC,000000,A,inf,N,nan,E,1e999,0x10,010100", 0);
    EXPECT_EQ(fix.latitude, 0.0);
    EXPECT_EQ(fix.longitude, 0.0);
    EXPECT_EQ(fix.speed, 0.0);
    EXPECT_EQ(fix.course, 0.0);
}

struct TimeRow {
    const char* sentence;
    int64_t timestamp;
};

class MakeTimeTest : public CGPSDataTest, public ::testing::WithParamInterface<TimeRow> {};

TEST_P(MakeTimeTest, NormalisesLikeMktime) {
    CGPSData fix(GetParam().sentence, 0);
    EXPECT_EQ(fix.timestamp, GetParam().timestamp) << GetParam().sentence;
}

INSTANTIATE_TEST_SUITE_P(Rows, MakeTimeTest,
                         ::testing::Values(
                             // UTC 20:00 plus 9 is hour 29: rolls into 2000-01-01 05:00.
                             TimeRow{"G$GPRMC,200000,A,0,N,0,E,0,0,311299", 946702800},
                             // Years 00-69 are 2000-2069, 70-99 are 1970-1999.
                             TimeRow{"G$GPRMC,000000,A,0,N,0,E,0,0,010169", 3124256400},
                             TimeRow{"G$GPRMC,000000,A,0,N,0,E,0,0,020170", 118800}));

TEST_F(CGPSDataTest, NmeaToDegreesKeepsTheSign) {
    EXPECT_NEAR(CGPSData::NmeaToDegrees(4807.038), 48.1173, 1e-12);
    EXPECT_NEAR(CGPSData::NmeaToDegrees(-4807.038), -48.1173, 1e-12);
    EXPECT_NEAR(CGPSData::NmeaToDegrees(12658.68), 126.978, 1e-12);
    EXPECT_EQ(CGPSData::NmeaToDegrees(0.0), 0.0);
}

TEST_F(CGPSDataTest, OverlongPayloadIsCutToTheWorkingBuffer) {
    // Nine fields, then far more than the 1024-byte buffer of padding: parsed, not overrun.
    std::string longTail = std::string(kSample) + std::string(5000, 'x');
    CGPSData fix(longTail.c_str(), 0);
    EXPECT_EQ(fix.hour, 21);
    EXPECT_EQ(fix.year, 94);
    EXPECT_NE(fix.timestamp, 0);

    // A field that itself runs past the buffer leaves the sentence short.
    std::string longField = "G$GPRMC,123519,A," + std::string(3000, '1') + ",N,1,E,1,1,010100";
    CGPSData cut;
    EXPECT_FALSE(cut.ParseSentence(longField.data(), longField.size()));
    EXPECT_EQ(cut.valid, 1);
    EXPECT_EQ(cut.timestamp, 0);
}

TEST_F(CGPSDataTest, LengthBoundsTheParseOfAnUnterminatedPayload) {
    // The bytes after the given length belong to something else and must not be read.
    const std::string buffer = std::string(kSample) + ",999999";
    CGPSData fix;
    EXPECT_TRUE(fix.ParseSentence(buffer.data(), sizeof kSample - 1));
    EXPECT_EQ(fix.year, 94);
    CGPSData shorter;
    EXPECT_FALSE(shorter.ParseSentence(buffer.data(), 20));
}

TEST(CGSensorDataTest, AxisIs128MinusTheRawByte) {
    CGSensorData sample(0x80, 0x70, 0x90, 0);
    EXPECT_EQ(sample.x, 0);
    EXPECT_EQ(sample.y, 16);
    EXPECT_EQ(sample.z, -16);
    EXPECT_EQ(sample.reserved, 0);
    EXPECT_EQ(CGSensorData::AxisFromByte(0), 128);
    EXPECT_EQ(CGSensorData::AxisFromByte(255), -127);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(CGSensorData::AxisFromByte(b), 128 - b);
}

struct UsableRow {
    const char* sentence;
    bool usable;
};
class FixUsable : public ::testing::TestWithParam<UsableRow> {};

// A damaged sentence may still say 'A'; what every output shows follows this one answer.
TEST_P(FixUsable, StatusAndPossibleValuesDecide) {
    EXPECT_EQ(CGPSData(GetParam().sentence, 0).IsUsable(), GetParam().usable)
        << GetParam().sentence;
}
INSTANTIATE_TEST_SUITE_P(
    Rows, FixUsable,
    ::testing::Values(UsableRow{kSample, true},
                      UsableRow{"G$GPRMC,1,A,3733.99,S,07001.00,W,10,0,010126", true},
                      UsableRow{"G$GPRMC,1,A,8959.99,N,17959.99,W,0,0,010126", true},
                      UsableRow{"G$GPRMC,1,V,3733.99,N,12658.68,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,9959.99,N,12658.68,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,3733.99,N,18059.40,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,3775.00,N,12658.68,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,3733.99,N,12658.68,E,1e308,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,3733.99,N,12658.68,E,-50,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,3733.99,N,12658.68,E,900,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,nan,N,12658.68,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,3733.99,N,inf,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,1,A,,N,,E,10,0,010126", false},
                      UsableRow{"G$GPRMC,123519,A,4807.038,N", false},
                      UsableRow{"G$GPRMC,1,A,1e999,N,12658.68,E,10,0,010126", false}));

}  // namespace
