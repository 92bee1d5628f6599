// H.265 recordings through the whole viewer, run as tarvex-tool: they play every frame in
// order, seek exactly, export to an MP4 that carries H.265, and a recording in a codec the
// viewer does not know is refused with its code named.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/CPixImg.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace {

constexpr int kFrameRate = 30;
constexpr int kSeconds = 2;

std::string DataPath(const std::string& name) {
    std::filesystem::create_directories(TARVEX_TEST_DATA_DIR);
    return std::string(TARVEX_TEST_DATA_DIR) + "/media_hevc_" + name;
}

std::string HevcRecording() {
    const std::string path = DataPath("2s_D.AVI");
    if (std::filesystem::exists(path)) return path;
    RecordingOptions o;
    o.durationSec = kSeconds;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 192;
    o.rearHeight = 108;
    o.codec = VideoCodec::Hevc;
    std::string error;
    const std::string temp = path + "." + std::to_string(getpid()) + ".part";
    EXPECT_TRUE(WriteRecording(temp, o, &error)) << error;
    std::filesystem::rename(temp, path);
    return path;
}

// The recording with every codec code replaced by another four characters.
std::string Recoded(const std::string& code) {
    const std::string path = DataPath(code + "_D.AVI");
    std::ifstream in(HevcRecording(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = bytes.find("HEVC"); at != std::string::npos; at = bytes.find("HEVC", at))
        bytes.replace(at, 4, code);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

ToolOutput Tool(const std::string& arguments) {
    return RunToolCommand(arguments + " 2>&1", "SDL_AUDIODRIVER=dummy");
}

TEST(HevcRecording, PlaysEveryFrameInOrder) {
    const ToolOutput run = Tool("play " + HevcRecording() + " --no-clock");
    ASSERT_EQ(run.status, 0) << run.out;
    std::string expected;
    for (int i = 0; i < kSeconds * kFrameRate; ++i)
        expected += "{\"counter\": " + std::to_string(i) + ", ";
    std::string counters;
    for (size_t at = run.out.find("{\"counter\": "); at != std::string::npos;
         at = run.out.find("{\"counter\": ", at + 1))
        counters += run.out.substr(at, run.out.find(',', at) - at + 2);
    EXPECT_EQ(counters, expected);
    EXPECT_NE(run.out.find("\"front_shown\": 60, \"rear_shown\": 60"), std::string::npos)
        << run.out;
}

TEST(HevcRecording, SeekToOneSecondShowsFrameThirty) {
    const std::string prefix = DataPath("seek");
    std::filesystem::remove(prefix + "_front.jpg");
    const ToolOutput run = Tool("play " + HevcRecording() +
                                " --seek-ms 1000 --for-ms 0 --size 160x90 --capture " + prefix);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("{\"counter\": 30, \"position_ms\": 1000}"), std::string::npos);
    CPixImage still;
    ASSERT_TRUE(still.LoadImage(prefix + "_front.jpg"));
    EXPECT_EQ(ReadFramePattern(still).frameIndex, 30);
}

TEST(HevcRecording, ExportCopiesBothCamerasAsHevc) {
    const std::string mp4 = DataPath("clip.mp4");
    std::filesystem::remove(mp4);
    const ToolOutput run = Tool("export " + HevcRecording() + " --from 0.5 --to 1.5 " + mp4);
    ASSERT_EQ(run.status, 0) << run.out;
    std::string probed;
    const std::string command =
        "ffprobe -v error -select_streams v -show_entries "
        "stream=codec_name,codec_tag_string -of csv=p=0 " +
        mp4;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[256];
        while (fgets(line, sizeof line, pipe)) probed += line;
        pclose(pipe);
    }
    EXPECT_EQ(probed, "hevc,hvc1\nhevc,hvc1\n");
}

TEST(HevcRecording, UnknownCodecIsRefusedByName) {
    const std::string path = Recoded("MJPG");
    const std::string mp4 = DataPath("refused.mp4");
    for (const std::string& command :
         {"play " + path + " --no-clock", "export " + path + " --from 0 --to 1 " + mp4}) {
        SCOPED_TRACE(command);
        const ToolOutput run = Tool(command);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("codec the viewer cannot play (MJPG)"), std::string::npos)
            << run.out;
    }
    EXPECT_FALSE(std::filesystem::exists(mp4));
}

}  // namespace
