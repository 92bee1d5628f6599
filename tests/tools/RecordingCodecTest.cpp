// make-recording and make-card: the size, codec and bit-rate options reach the encoder, and
// asking for any of them gives a stream encoded as a camera encodes (high profile H.264, or
// H.265) instead of the quick one the tests use.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/ToolRun.h"

namespace {

namespace fs = std::filesystem;

std::string DataPath(const std::string& name) {
    fs::create_directories(TARVEX_TEST_DATA_DIR);
    return std::string(TARVEX_TEST_DATA_DIR) + "/tools_codec_" + name;
}

// codec_name,profile,width,height of the file's first video stream, as ffprobe says.
std::string Probe(const std::string& path) {
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,profile,width,height -of csv=p=0 '" +
        path + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[256];
        while (fgets(line, sizeof line, pipe)) out += line;
        pclose(pipe);
    }
    return out;
}

TEST(RecordingCodec, OptionsReachTheEncoder) {
    struct Row {
        const char* options;
        const char* probed;
    };
    const Row rows[] = {
        {"", "h264,Constrained Baseline,1280,720\n"},
        {"--front-size 320x180", "h264,High,320,180\n"},
        {"--bit-rate 2000", "h264,High,1280,720\n"},
        {"--codec h264 --front-size 256x144", "h264,High,256,144\n"},
        {"--codec hevc --front-size 320x180", "hevc,Main,320,180\n"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        const std::string path = DataPath(std::to_string(n++) + "_D.AVI");
        fs::remove(path);
        const ToolOutput run = RunToolCommand("make-recording " + path +
                                              " --duration 1 --rear-size 160x90 " + row.options);
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(Probe(path), row.probed);
    }
}

TEST(RecordingCodec, MakeCardPassesTheOptionsOn) {
    const std::string card = DataPath("card");
    fs::remove_all(card);
    const ToolOutput run =
        RunToolCommand("make-card " + card +
                       " --driving 1 --event 0 --parking 0 --user 0 --duration 1 --codec hevc "
                       "--front-size 320x180 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    int recordings = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(card) / "DRIVING")) {
        EXPECT_EQ(Probe(entry.path().string()), "hevc,Main,320,180\n");
        ++recordings;
    }
    EXPECT_EQ(recordings, 1);
}

TEST(RecordingCodec, BadValuesAreUsageErrors) {
    for (const char* options :
         {"--codec vp9", "--codec", "--front-size 320", "--front-size 5000x100"}) {
        SCOPED_TRACE(options);
        EXPECT_EQ(
            RunToolCommand("make-recording " + DataPath("bad.AVI") + " " + options + " 2>/dev/null")
                .status,
            2);
    }
}

}  // namespace
