// tarvex-tool play, run as a program: its JSON lines, early stop, captures and exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/CPixImg.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace {

std::string DataPath(const std::string& name) {
    std::filesystem::create_directories(TARVEX_TEST_DATA_DIR);
    return std::string(TARVEX_TEST_DATA_DIR) + "/media_play_" + name;
}

std::string Recording() {
    const std::string path = DataPath("3s_D.AVI");
    if (std::filesystem::exists(path)) return path;
    RecordingOptions o;
    o.durationSec = 3;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 192;
    o.rearHeight = 108;
    std::string error;
    const std::string temp = path + "." + std::to_string(getpid()) + ".part";
    EXPECT_TRUE(WriteRecording(temp, o, &error)) << error;
    std::filesystem::rename(temp, path);
    return path;
}

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines;
};

ToolRun Play(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string("SDL_AUDIODRIVER=dummy ") + TARVEX_TOOL_PATH +
                                " play " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char line[4096];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        run.lines.push_back(text);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

int CountWith(const ToolRun& run, const std::string& part) {
    int n = 0;
    for (const std::string& line : run.lines) n += line.find(part) != std::string::npos;
    return n;
}

TEST(PlayCommand, NoClockPlaysTheWholeFileAndSummarises) {
    const ToolRun run = Play(Recording() + " --no-clock");
    ASSERT_EQ(run.status, 0);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(CountWith(run, "\"counter\""), 90);
    EXPECT_GT(CountWith(run, "\"kind\": \"gps\""), 0);
    EXPECT_GT(CountWith(run, "\"kind\": \"gsensor\""), 0);
    EXPECT_EQ(
        run.lines.back().rfind("{\"front_shown\": 90, \"rear_shown\": 90, \"audio_bytes\": ", 0),
        0u)
        << run.lines.back();
    EXPECT_NE(run.lines.back().find("\"state\": 2, \"duration_ms\": 3000}"), std::string::npos);
}

TEST(PlayCommand, ForMsStopsInsideThePresentationAndCapturesWhatWasShown) {
    const std::string prefix = DataPath("stop");
    std::filesystem::remove(prefix + "_front.jpg");
    std::filesystem::remove(prefix + "_rear.jpg");
    const ToolRun run =
        Play(Recording() + " --no-clock --seek-ms 1000 --for-ms 500 --capture " + prefix);
    ASSERT_EQ(run.status, 0);
    // Frames 30 (second 1) to 45 (500 ms later) are shown, each with its own time.
    EXPECT_EQ(CountWith(run, "\"counter\""), 16);
    EXPECT_NE(
        std::find(run.lines.begin(), run.lines.end(), "{\"counter\": 45, \"position_ms\": 1500}"),
        run.lines.end());
    EXPECT_NE(run.lines.back().find("\"state\": 0"), std::string::npos) << run.lines.back();
    CPixImage still;
    ASSERT_TRUE(still.LoadImage(prefix + "_front.jpg"));
    EXPECT_EQ(ReadFramePattern(still).frameIndex, 30 + 15);
    ASSERT_TRUE(still.LoadImage(prefix + "_rear.jpg"));
    EXPECT_EQ(ReadFramePattern(still).camera, 1);
}

// A seek lands on the frame asked for, also between key frames and at the start: the first
// picture shown is that frame, and the position reads its time.
TEST(PlayCommand, SeekShowsTheFrameAskedForWithItsPosition) {
    for (const int ms : {0, 1000, 1500, 2233}) {
        SCOPED_TRACE(ms);
        const std::string prefix = DataPath("seek" + std::to_string(ms));
        std::filesystem::remove(prefix + "_front.jpg");
        const ToolRun run = Play(Recording() + " --seek-ms " + std::to_string(ms) +
                                 " --for-ms 0 --size 160x90 --capture " + prefix);
        ASSERT_EQ(run.status, 0);
        const int frame = ms * 30 / 1000;
        const std::string first = "{\"counter\": " + std::to_string(frame) +
                                  ", \"position_ms\": " + std::to_string(frame * 1000 / 30) + "}";
        EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), first), run.lines.end());
        EXPECT_EQ(CountWith(run, "\"counter\""), 1);
        CPixImage still;
        ASSERT_TRUE(still.LoadImage(prefix + "_front.jpg"));
        EXPECT_EQ(ReadFramePattern(still).frameIndex, frame);
    }
}

// The value of a number field in a JSON line (-1 when absent).
double Field(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stod(line.substr(at + key.size() + 4));
}

TEST(PlayCommand, SeveralFilesPlayAsOneTripAndReportTheirJoins) {
    const std::string junk = DataPath("trip_junk.AVI");
    FILE* f = fopen(junk.c_str(), "wb");
    ASSERT_TRUE(f);
    fputs("RIFX not a recording", f);
    fclose(f);
    // On the clock: the second recording is handed over by the player. Without it, a file
    // that cannot be played is stepped over and the one after it opened anew.
    // Every frame is shown, also late, so a loaded machine cannot make frames go missing.
    const ToolRun trip = Play(Recording() + " " + Recording() + " --size 160x90 --every-frame");
    const ToolRun stepped = Play(Recording() + " " + junk + " " + Recording() + " --no-clock");
    for (const ToolRun* run : {&trip, &stepped}) {
        ASSERT_EQ(run->status, 0);
        ASSERT_FALSE(run->lines.empty());
        EXPECT_EQ(CountWith(*run, "\"counter\""), 180);
        EXPECT_EQ(CountWith(*run, "\"join\""), 1);
        EXPECT_EQ(Field(run->lines.back(), "front_shown"), 180) << run->lines.back();
        EXPECT_EQ(Field(run->lines.back(), "joins"), 1);
    }
    EXPECT_EQ(Field(trip.lines.back(), "seamless"), 1);
    EXPECT_LE(Field(trip.lines.back(), "largest_gap_frames"), 2.0) << trip.lines.back();
    EXPECT_EQ(Field(stepped.lines.back(), "seamless"), 0);
}

TEST(PlayCommand, RejectedFileAndBadUsage) {
    const std::string junk = DataPath("junk.AVI");
    FILE* f = fopen(junk.c_str(), "wb");
    ASSERT_TRUE(f);
    fputs("RIFX not a recording", f);
    fclose(f);
    EXPECT_EQ(Play(junk).status, 1);
    EXPECT_EQ(Play(DataPath("missing.AVI")).status, 1);
    EXPECT_EQ(Play("").status, 2);
    EXPECT_EQ(Play(Recording() + " --size 0x").status, 2);
    EXPECT_EQ(Play(Recording() + " --for-ms").status, 2);
}

}  // namespace
