// Trips: recordings of one category join while each starts within 5 s of the previous one's
// end; `tarvex-tool trips` on a generated card with a 6 s gap that splits a drive.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/TripCatalogue.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

TripRecording At(const char* name, int64_t durationMs) {
    TripRecording r;
    r.fileName = name;
    r.path = std::string("/card/DRIVING/") + name;
    if (!ParseRecordingStart(name, r.startSec)) r.startSec = -1;
    r.durationMs = durationMs;
    r.sizeBytes = 1000;
    return r;
}

// Each case: recordings (any order) and the trips expected, newest trip first, as the number
// of recordings each holds.
struct GroupingCase {
    const char* what;
    std::vector<TripRecording> recordings;
    std::vector<size_t> tripSizes;
};

TEST(TripGrouping, JoinsWithinFiveSecondsOfTheEnd) {
    const GroupingCase cases[] = {
        {"back to back",
         {At("REC_20260314_120000_D.AVI", 60000), At("REC_20260314_120100_D.AVI", 60000)},
         {2}},
        {"5 s gap joins",
         {At("REC_20260314_120000_D.AVI", 60000), At("REC_20260314_120105_D.AVI", 60000)},
         {2}},
        {"6 s gap splits",
         {At("REC_20260314_120000_D.AVI", 60000), At("REC_20260314_120106_D.AVI", 60000)},
         {1, 1}},
        {"the length counts, not the name's minute",
         {At("REC_20260314_120000_D.AVI", 54000), At("REC_20260314_120100_D.AVI", 60000)},
         {1, 1}},
        {"overlap joins; order of the input does not matter",
         {At("REC_20260314_120159_D.AVI", 60000), At("REC_20260314_120000_D.AVI", 60000),
          At("REC_20260314_120100_D.AVI", 60000)},
         {3}},
        {"midnight",
         {At("REC_20260314_235930_D.AVI", 30000), At("REC_20260315_000000_D.AVI", 60000)},
         {2}},
        {"a name without a time stands alone",
         {At("REC_20260314_120000_D.AVI", 60000), At("clip.avi", 60000)},
         {1, 1}},
    };
    for (const GroupingCase& c : cases) {
        const std::vector<Trip> trips = GroupTrips("DRIVING", c.recordings);
        std::vector<size_t> sizes;
        for (const Trip& t : trips) sizes.push_back(t.recordings.size());
        EXPECT_EQ(sizes, c.tripSizes) << c.what;
    }
}

TEST(TripGrouping, NewestTripFirstRecordingsInPlayingOrder) {
    const std::vector<Trip> trips = GroupTrips(
        "DRIVING", {At("REC_20260314_120106_D.AVI", 60000), At("REC_20260314_120000_D.AVI", 60000),
                    At("REC_20260314_120206_D.AVI", 30000)});
    ASSERT_EQ(trips.size(), 2u);
    ASSERT_EQ(trips[0].recordings.size(), 2u);
    EXPECT_EQ(trips[0].recordings[0].fileName, "REC_20260314_120106_D.AVI");
    EXPECT_EQ(FormatTripStart(trips[0].StartSec()), "2026.03.14 12:01:06");
    EXPECT_EQ(trips[0].LengthMs(), 90000);
    EXPECT_EQ(trips[0].PlayMs(), 90000);
    EXPECT_EQ(trips[0].SizeBytes(), 2000u);
}

TEST(TripGrouping, StartTimeFromTheName) {
    int64_t s = 0;
    EXPECT_TRUE(ParseRecordingStart("rec_20140307_182509_d.avi", s));
    EXPECT_EQ(FormatTripStart(s), "2014.03.07 18:25:09");
    for (const char* bad : {"REC_20141307_182509_D.AVI", "REC_20140307_1825_D.AVI",
                            "REC_2014030_182509_D.AVI", "REC_20140307_24x509_D.AVI", "clip.avi"})
        EXPECT_FALSE(ParseRecordingStart(bad, s)) << bad;
}

TEST(TripsTool, SplitsTheDriveAtTheSixSecondGap) {
    namespace fs = std::filesystem;
    const fs::path card = fs::path(TARVEX_TEST_DATA_DIR) / "trips_tool_card";
    fs::remove_all(card);
    CardOptions o;
    o.drivingCount = 4;
    o.eventCount = 1;
    o.parkingCount = 0;
    o.userCount = 0;
    o.durationSec = 2;
    o.oneCamera = true;
    o.drivingGapsSec = {0, 6, 5};  // r0 r1 | 6 s | r2, 5 s, r3
    std::string error;
    ASSERT_TRUE(WriteCard(card.string(), o, &error)) << error;

    const ToolOutput run = RunToolCommand("trips " + card.string() + " 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    // Newest trip first: r2 + r3 (5 s apart), then r0 + r1.
    const std::string second =
        "{\"category\": \"DRIVING\", \"start\": \"2026.03.14 18:25:19\", \"length_ms\": 9000, "
        "\"play_ms\": 4000";
    const std::string first =
        "{\"category\": \"DRIVING\", \"start\": \"2026.03.14 18:25:09\", \"length_ms\": 4000, "
        "\"play_ms\": 4000";
    const size_t a = run.out.find(second), b = run.out.find(first);
    ASSERT_NE(a, std::string::npos) << run.out;
    ASSERT_NE(b, std::string::npos) << run.out;
    EXPECT_LT(a, b);
    EXPECT_NE(run.out.find("\"gap_ms\": 5000"), std::string::npos);
    EXPECT_EQ(run.out.find("EVENT"), std::string::npos);  // one category unless asked

    const ToolOutput all = RunToolCommand("trips " + card.string() + " --category all 2>/dev/null");
    ASSERT_EQ(all.status, 0);
    EXPECT_LT(all.out.find("\"category\": \"EVENT\""), all.out.find("\"category\": \"DRIVING\""));
    EXPECT_EQ(RunToolCommand("trips /nonexistent 2>/dev/null").status, 1);
    for (const std::string& wrong : {std::string(), card.string() + " --category cars",
                                     card.string() + " other", card.string() + " --speed"})
        EXPECT_EQ(RunToolCommand("trips " + wrong + " 2>/dev/null").status, 2) << wrong;
}

}  // namespace
