// `tarvex-tool telemetry` and `tarvex-tool gpx` on a generated recording that starts just
// before midnight UTC at the end of February, with a cold-start receiver.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

constexpr int kDurationSec = 12;
constexpr int kNoFixSeconds = 3;

ToolOutput RunTool(const std::string& args) {
    // Fix timestamps are local time: pin the zone.
    return RunToolCommand(args + " 2>/dev/null", "TZ=UTC");
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
}

class TelemetryToolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_path = std::string(TARVEX_TEST_DATA_DIR) + "/telemetry_tool_midnight.avi";
        RecordingOptions o;
        o.durationSec = kDurationSec;
        o.frontWidth = 320;
        o.frontHeight = 180;
        o.rearWidth = 160;
        o.rearHeight = 90;
        o.noFixSeconds = kNoFixSeconds;
        // Dashcam clock 2026-03-01 08:59:55 is 2026-02-28 23:59:55 UTC.
        o.year = 2026;
        o.month = 3;
        o.day = 1;
        o.hour = 8;
        o.minute = 59;
        o.second = 55;
        std::string error;
        s_written = WriteRecording(s_path, o, &error);
        if (!s_written) s_error = error;
    }
    void SetUp() override { ASSERT_TRUE(s_written) << s_error; }

    static std::string s_path;
    static bool s_written;
    static std::string s_error;
};
std::string TelemetryToolTest::s_path;
bool TelemetryToolTest::s_written = false;
std::string TelemetryToolTest::s_error;

TEST_F(TelemetryToolTest, StoresEveryFixAndOneSamplePerSecond) {
    const ToolOutput run = RunTool("telemetry " + s_path + " --no-clock");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("{\"gps\": [", 0), 0u) << run.out.substr(0, 200);
    EXPECT_EQ(Count(run.out, "\"year\""), static_cast<size_t>(kDurationSec));
    EXPECT_EQ(Count(run.out, "\"valid\": 0"), static_cast<size_t>(kNoFixSeconds));
    // The first fix: UTC 23:59:55 on 28 Feb, stored with the hour plus 9 and not wrapped.
    EXPECT_NE(run.out.find("{\"year\": 26, \"month\": 2, \"day\": 28, \"hour\": 32, \"minute\": "
                           "59, \"second\": 55, \"valid\": 0"),
              std::string::npos);
    // mktime rolls hour 32 into the next day: 2026-03-01 08:59:55.
    EXPECT_NE(run.out.find("\"timestamp\": 1772355595"), std::string::npos);
    // Five seconds later UTC is midnight of 1 March.
    EXPECT_NE(run.out.find("{\"year\": 26, \"month\": 3, \"day\": 1, \"hour\": 9, \"minute\": 0, "
                           "\"second\": 0, \"valid\": 1"),
              std::string::npos);
    // One sample per whole second of position, never more than the recording's seconds.
    const size_t gsensor = run.out.find("\"gsensor\": [");
    ASSERT_NE(gsensor, std::string::npos);
    const size_t samples = Count(run.out.substr(gsensor), "[") - 1;
    EXPECT_GE(samples, static_cast<size_t>(kDurationSec - 2));
    EXPECT_LE(samples, static_cast<size_t>(kDurationSec - 1));
}

TEST_F(TelemetryToolTest, SpeedUnitConvertsTheShownSpeedAndKeepsTheStoredOne) {
    const ToolOutput run = RunTool("telemetry " + s_path + " --speed-unit mph");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"speed_unit\": \"mph\"}"), std::string::npos);
    // Every fix: the stored km/h stays, the shown speed is in miles an hour.
    double fastest = 0;
    for (size_t at = run.out.find("\"speed\": "); at != std::string::npos;
         at = run.out.find("\"speed\": ", at + 1)) {
        const double kmh = std::stod(run.out.substr(at + 9));
        const size_t shown = run.out.find("\"speed_shown\": ", at);
        ASSERT_NE(shown, std::string::npos);
        EXPECT_NEAR(std::stod(run.out.substr(shown + 15)), kmh / 1.609344, 0.01);
        fastest = std::max(fastest, kmh);
    }
    EXPECT_GT(fastest, 10.0);
    EXPECT_EQ(RunTool("telemetry " + s_path + " --speed-unit knots").status, 2);
}

TEST_F(TelemetryToolTest, GpxTimesCrossMidnightAndTheMonthEnd) {
    const ToolOutput run = RunTool("gpx " + s_path + " " + s_path);
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.out, "<trkseg>"), 2u);
    const size_t valid = kDurationSec - kNoFixSeconds;
    EXPECT_EQ(Count(run.out, "<trkpt "), 2 * valid);
    EXPECT_EQ(Count(run.out, "<time>2026-02-28T23:59:58Z</time>"), 2u);
    EXPECT_EQ(Count(run.out, "<time>2026-02-28T23:59:59Z</time>"), 2u);
    EXPECT_EQ(Count(run.out, "<time>2026-03-01T00:00:00Z</time>"), 2u);
    EXPECT_EQ(Count(run.out, "<time>2026-03-01T00:00:06Z</time>"), 2u);
    EXPECT_EQ(Count(run.out, "<time>2026-03-01T00:00:07Z</time>"), 0u);
    EXPECT_EQ(Count(run.out, "<time>2026-03-01T09:"), 0u);  // the +9 hours are taken off
    // Decimal degrees near the start of the drive (Seoul), not degrees-and-minutes.
    EXPECT_EQ(Count(run.out, "<trkpt lat=\"37.56"), 2 * valid);
    EXPECT_EQ(Count(run.out, " lon=\"126.97"), 2 * valid);
}

TEST_F(TelemetryToolTest, UnreadableFilesAreRejected) {
    const std::string junk = std::string(TARVEX_TEST_DATA_DIR) + "/telemetry_tool_junk.avi";
    std::ofstream(junk) << "not a recording";
    EXPECT_EQ(RunTool("telemetry " + junk).status, 1);
    EXPECT_EQ(RunTool("gpx " + s_path + " " + junk).status, 1);
    EXPECT_EQ(RunTool("telemetry").status, 2);
    EXPECT_EQ(RunTool("gpx").status, 2);
    EXPECT_EQ(RunTool("telemetry " + s_path + " --fast").status, 2);
}

}  // namespace
