// GPX output: UTC times from the stored local hour, valid fixes only, one segment per file.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "telemetry/Gpx.h"

namespace {

CGPSData Fix(const std::string& sentence) {
    return CGPSData(sentence.c_str(), 0);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
}

struct UtcRow {
    const char* sentence;
    const char* utc;
};

class GpxUtcTest : public ::testing::TestWithParam<UtcRow> {};

TEST_P(GpxUtcTest, TakesTheNineHoursOffOnTheRightDay) {
    int64_t seconds = 0;
    ASSERT_TRUE(GpsFixUtcSeconds(Fix(GetParam().sentence), seconds));
    EXPECT_EQ(FormatUtcTime(seconds), GetParam().utc);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GpxUtcTest,
    ::testing::Values(UtcRow{"G$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394",
                             "1994-03-23T12:35:19Z"},
                      // Stored hours 32 and 9: the last and first second of a UTC day.
                      UtcRow{"G$GPRMC,235959,A,0,N,0,E,0,0,311299", "1999-12-31T23:59:59Z"},
                      UtcRow{"G$GPRMC,000001,A,0,N,0,E,0,0,010100", "2000-01-01T00:00:01Z"},
                      UtcRow{"G$GPRMC,150000,A,0,N,0,E,0,0,290224", "2024-02-29T15:00:00Z"},
                      UtcRow{"G$GPRMC,235500,A,0,N,0,E,0,0,300426", "2026-04-30T23:55:00Z"}));

TEST(GpxTest, FixWithoutUsableDateHasNoTime) {
    int64_t seconds = 0;
    EXPECT_FALSE(GpsFixUtcSeconds(Fix("G$GPRMC,,V,,,,,,,,,,N"), seconds));
    EXPECT_FALSE(GpsFixUtcSeconds(Fix("G$GPRMC,120000,A,0,N,0,E,0,0,310226"), seconds));  // 31 Feb
    EXPECT_FALSE(GpsFixUtcSeconds(Fix("G$GPRMC,126000,A,0,N,0,E,0,0,010126"), seconds));
}

TEST(GpxTest, TrackHoldsValidFixesOneSegmentPerRecording) {
    GpxSegment first{"DRIVING/REC_1.AVI",
                     {Fix("G$GPRMC,000001,A,3733.990,N,12658.680,E,10,0,140326"),
                      Fix("G$GPRMC,000002,V,3733.991,N,12658.681,E,10,0,140326"),
                      Fix("G$GPRMC,000003,A,3733.992,S,12658.682,W,10,0,140326")}};
    GpxSegment second{"a--b & <c>",
                      {Fix("G$GPRMC,000004,A,9999.0,N,0,E,0,0,140326"),  // beyond 90
                       Fix("G$GPRMC,000005,A,0,N,0,E,0,0,000000")}};
    const std::string gpx = FormatGpx("REC_1.AVI", {first, second});
    EXPECT_EQ(Count(gpx, "<trk>"), 1u);
    EXPECT_EQ(Count(gpx, "<trkseg>"), 2u);
    EXPECT_EQ(Count(gpx, "<trkpt "), 3u);
    EXPECT_EQ(Count(gpx, "<time>"), 2u);
    EXPECT_NE(gpx.find("<trkpt lat=\"37.566500000\" lon=\"126.978000000\">"
                       "<time>2026-03-14T00:00:01Z</time></trkpt>"),
              std::string::npos)
        << gpx;
    EXPECT_NE(gpx.find("lat=\"-37.566533333\" lon=\"-126.978033333\""), std::string::npos);
    EXPECT_EQ(gpx.find("<ele>"), std::string::npos);
    EXPECT_NE(gpx.find("xmlns=\"http://www.topografix.com/GPX/1/1\""), std::string::npos);
    EXPECT_NE(gpx.find("a-_b &amp; &lt;c&gt;"), std::string::npos);

    // Readers reject a document that is not well-formed XML.
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
    const std::string path = std::string(TARVEX_TEST_DATA_DIR) + "/gpx_test.gpx";
    std::ofstream(path) << gpx;
    EXPECT_EQ(std::system(("xmllint --noout " + path).c_str()), 0);
}

}  // namespace
