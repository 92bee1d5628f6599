// The exported clip carries its time: creation_time of its first frame, in UTC where the
// recording's fixes give the camera clock's offset, else the camera clock as local time.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

std::string CreationTimeOf(const fs::path& mp4) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, mp4.c_str(), nullptr, nullptr) < 0) return "(unreadable)";
    const AVDictionaryEntry* e = av_dict_get(format->metadata, "creation_time", nullptr, 0);
    std::string value = e ? e->value : "";
    avformat_close_input(&format);
    return value;
}

struct ClipTimeRow {
    const char* what;
    bool telemetry;
    const char* json;      // creation_time and its zone as the tool prints them
    const char* metadata;  // as the MP4 holds it; empty: only checked to be there
};

class ClipTimeCommandTest : public ::testing::TestWithParam<ClipTimeRow> {};

TEST_P(ClipTimeCommandTest, CreationTimeOfTheFirstFrame) {
    const ClipTimeRow& row = GetParam();
    const fs::path folder =
        fs::path(TARVEX_TEST_DATA_DIR) / "clip-time" / (row.telemetry ? "fixes" : "no-fixes");
    fs::remove_all(folder);
    fs::create_directories(folder);
    RecordingOptions o;
    o.durationSec = 6;
    o.keyFrameInterval = 30;
    o.clockOffsetSec = 9 * 3600 + 75;  // the camera clock runs 75 s ahead
    o.telemetry = row.telemetry;
    o.audio = false;
    const fs::path recording = folder / "REC_20260314_182509_D.AVI";
    std::string error;
    ASSERT_TRUE(WriteRecording(recording.string(), o, &error)) << error;
    const fs::path clip = folder / "clip.mp4";
    // From 2.5 s: the clip starts on the key frame at 2 s, camera 18:25:11.
    const ToolOutput run = RunToolCommand("export '" + recording.string() +
                                          "' --from 2.5 --to 4 '" + clip.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(row.json), std::string::npos) << row.what << ": " << run.out;
    const std::string stored = CreationTimeOf(clip);
    if (*row.metadata)
        EXPECT_EQ(stored, row.metadata) << row.what;
    else
        EXPECT_FALSE(stored.empty()) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClipTimeCommandTest,
    ::testing::Values(
        ClipTimeRow{"fixes: UTC", true,
                    "\"creation_time\": \"2026-03-14T09:23:56.000Z\", \"creation_time_zone\": "
                    "\"utc\"",
                    "2026-03-14T09:23:56.000000Z"},
        ClipTimeRow{"no fixes: the camera clock as local time", false,
                    "\"creation_time\": \"2026-03-14T18:25:11.000\", \"creation_time_zone\": "
                    "\"local\"",
                    ""}));

}  // namespace
