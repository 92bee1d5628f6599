// info's time fields: the start on the camera clock from the name, the clock's offset from
// UTC measured from the fixes (null without a valid fix), and the trip the recording belongs
// to among the recordings of its folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

class InfoTimeCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::remove_all(Root());
        CardOptions o;
        o.drivingCount = 3;
        o.eventCount = o.parkingCount = o.userCount = 0;
        o.durationSec = 2;
        std::string error;
        ASSERT_TRUE(WriteCard(Root().string(), o, &error)) << error;
    }
    static fs::path Root() { return fs::path(TARVEX_TEST_DATA_DIR) / "info-time-card"; }
    static std::vector<std::string> Driving() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Root() / "DRIVING"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());  // oldest first: the names hold the time
        return names;
    }
};

std::string IsoOfName(const std::string& name) {
    // REC_YYYYMMDD_HHMMSS_D.AVI -> YYYY-MM-DDTHH:MM:SS
    const std::string d = name.substr(name.find('_') + 1);
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "T" + d.substr(9, 2) +
           ":" + d.substr(11, 2) + ":" + d.substr(13, 2);
}

TEST_F(InfoTimeCommandTest, StartOffsetAndPlaceInTheTrip) {
    const std::vector<std::string> names = Driving();
    ASSERT_EQ(names.size(), 3u);
    const ToolOutput run =
        RunToolCommand("info '" + (Root() / "DRIVING" / names[1]).string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"start_time\": \"" + IsoOfName(names[1]) + "\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"clock_offset_s\": 32400"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"trip\": {\"first\": \"" + names[0] +
                           "\", \"index\": 1, \"recordings\": 3}"),
              std::string::npos)
        << run.out;
}

TEST_F(InfoTimeCommandTest, NoFixNoOffsetAndANameWithoutTimeNoStart) {
    const fs::path folder = fs::path(TARVEX_TEST_DATA_DIR) / "info-time-nofix";
    fs::remove_all(folder);
    fs::create_directories(folder);
    RecordingOptions o;
    o.durationSec = 2;
    o.telemetry = false;
    std::string error;
    ASSERT_TRUE(WriteRecording((folder / "REC_20260314_182509_D.AVI").string(), o, &error));
    ASSERT_TRUE(WriteRecording((folder / "clip.AVI").string(), o, &error));
    ToolOutput run =
        RunToolCommand("info '" + (folder / "REC_20260314_182509_D.AVI").string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"start_time\": \"2026-03-14T18:25:09\""), std::string::npos);
    EXPECT_NE(run.out.find("\"clock_offset_s\": null"), std::string::npos) << run.out;
    run = RunToolCommand("info '" + (folder / "clip.AVI").string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"start_time\": null, \"clock_offset_s\": null"), std::string::npos)
        << run.out;
}

}  // namespace
