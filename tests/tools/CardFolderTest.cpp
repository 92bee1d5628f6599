// Sample cards and the make-card / make-recording commands.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"
#include "tools/cardgen/VideoEncoder.h"

namespace fs = std::filesystem;

namespace {

std::string TestFolder(const std::string& name) {
    return std::string(TARVEX_TEST_DATA_DIR) + "/card_" + std::to_string(getpid()) + "_" + name;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Card, FoldersHoldRecordingsNamedByStartTime) {
    const std::string root = TestFolder("two");
    CardOptions o;
    o.drivingCount = 2;
    o.durationSec = 1;
    std::string error;
    ASSERT_TRUE(WriteCard(root, o, &error)) << error;
    EXPECT_EQ(Names(root),
              (std::vector<std::string>{"DRIVING", "EVENT", "PARKING", "SETTING", "USER"}));
    EXPECT_EQ(Names(root + "/DRIVING"),
              (std::vector<std::string>{"REC_20260314_182509_D.AVI", "REC_20260314_182510_D.AVI"}));
    EXPECT_EQ(Names(root + "/EVENT"), (std::vector<std::string>{"EVENT_20260314_182511_D.AVI"}));
    EXPECT_EQ(Names(root + "/PARKING"),
              (std::vector<std::string>{"PARKING_20260314_182512_D.AVI"}));
    EXPECT_EQ(Names(root + "/USER"), (std::vector<std::string>{"USER_20260314_182513_D.AVI"}));
    EXPECT_EQ(Names(root + "/SETTING"), (std::vector<std::string>{"blackbox.cfg"}));
    // Each recording has a route of its own.
    EXPECT_NE(ReadAll(root + "/DRIVING/REC_20260314_182509_D.AVI"),
              ReadAll(root + "/DRIVING/REC_20260314_182510_D.AVI"));
    fs::remove_all(root);
}

TEST(Card, OneCameraCardsAreMarkedNAndTimesCarryOver) {
    const std::string root = TestFolder("one");
    CardOptions o;
    o.drivingCount = 1;
    o.eventCount = 0;
    o.parkingCount = 0;
    o.userCount = 2;
    o.durationSec = 60;
    o.oneCamera = true;
    // Only the names matter here, so check them on a short card through the name helper too.
    CivilTime t{2026, 12, 31, 23, 59, 30};
    EXPECT_EQ(RecordingFileName("USER", t, false), "USER_20261231_235930_N.AVI");
    EXPECT_EQ(RecordingFileName("REC", t, true), "REC_20261231_235930_D.AVI");
    o.durationSec = 1;
    std::string error;
    ASSERT_TRUE(WriteCard(root, o, &error)) << error;
    EXPECT_TRUE(fs::is_empty(root + "/EVENT"));
    EXPECT_EQ(Names(root + "/USER"), (std::vector<std::string>{"USER_20260314_182510_N.AVI",
                                                               "USER_20260314_182511_N.AVI"}));
    fs::remove_all(root);
}

TEST(Card, ConfigurationHoldsEveryKeyWithCrlfLines) {
    const std::string text = BlackboxConfigText(CivilTime{2026, 3, 14, 18, 25, 29});
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], '\r') << "bare LF at " << i;
        }
    }
    const std::map<std::string, std::vector<std::string>> keys = {
        {"capacity", {"const", "park", "event", "manual"}},
        {"blackbox",
         {"power_off_vlt", "mic_in", "mic_volume", "voice_out", "voice_volume", "acc_level",
          "motion_level", "brightness", "contrast", "version", "model"}},
        {"time", {"set", "year", "month", "day", "hour", "min", "sec"}},
    };
    // Read it back as an INI file.
    std::map<std::string, std::map<std::string, std::string>> ini;
    std::string section;
    int comments = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == ';') {
            ++comments;
        } else if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
        } else {
            const size_t eq = line.find('=');
            ASSERT_NE(eq, std::string::npos) << line;
            ini[section][line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    EXPECT_GE(comments, 1);
    for (const auto& [sec, names] : keys)
        for (const auto& key : names) EXPECT_TRUE(ini[sec].count(key)) << sec << "." << key;
    int capacity = 0;
    for (const auto& key : keys.at("capacity")) {
        const int share = std::atoi(ini["capacity"][key].c_str());
        EXPECT_EQ(share % 5, 0) << key;
        EXPECT_GE(share, 5);
        EXPECT_LE(share, 80);
        capacity += share;
    }
    EXPECT_EQ(capacity, 95);
    const int volts = std::atoi(ini["blackbox"]["power_off_vlt"].c_str());
    EXPECT_TRUE(volts == 0 || (volts >= 11400 && volts <= 12200 && volts % 200 == 0)) << volts;
    EXPECT_LE(ini["blackbox"]["version"].size(), 9u);
    EXPECT_LE(ini["blackbox"]["model"].size(), 9u);
    EXPECT_GT(ini["blackbox"].size(), keys.at("blackbox").size()) << "no device-only keys";
    EXPECT_EQ(ini["time"]["sec"], "29");
}

TEST(Card, RefusesBadCountsAndUnwritableFolders) {
    CardOptions o;
    o.drivingCount = -1;
    std::string error;
    EXPECT_FALSE(WriteCard(TestFolder("bad"), o, &error));
    EXPECT_FALSE(fs::exists(TestFolder("bad")));
    o = CardOptions{};
    error.clear();
    EXPECT_FALSE(WriteCard("/proc/no-card-here", o, &error));
    EXPECT_FALSE(error.empty());
}

// Access units as x264 hands them over, and what the recording must hold instead.
TEST(AccessUnit, StartsWithFourByteStartCodeAndParameterSets) {
    struct Case {
        const char* what;
        std::vector<uint8_t> in, out;
        int first;
    } cases[] = {
        {"SEI before the parameter sets, 3-byte start codes",
         {0, 0, 0, 1, 0x06, 5, 0x80, 0, 0, 1, 0x67, 1, 2, 0, 0, 1, 0x68, 3, 0, 0, 1, 0x65, 9},
         {0, 0, 0, 1, 0x67, 1, 2, 0, 0, 0, 1, 0x68, 3, 0, 0, 0, 1, 0x65, 9},
         7},
        {"delimiter first, slice",
         {0, 0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x41, 7, 8},
         {0, 0, 0, 1, 0x41, 7, 8},
         1},
        {"already right", {0, 0, 0, 1, 0x41, 1, 0, 3}, {0, 0, 0, 1, 0x41, 1, 0, 3}, 1},
        {"trailing zero bytes dropped", {0, 0, 1, 0x41, 5, 0, 0}, {0, 0, 0, 1, 0x41, 5}, 1},
        {"nothing but an SEI", {0, 0, 0, 1, 0x06, 1}, {}, -1},
        {"no start code", {1, 2, 3}, {}, -1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out;
        EXPECT_EQ(NormalizeAccessUnit(c.in.data(), c.in.size(), out), c.first) << c.what;
        EXPECT_EQ(out, c.out) << c.what;
    }
}

struct ToolRun {
    int status;
    std::string err;
};

ToolRun RunTool(const std::string& args) {
    const std::string errFile = TestFolder("stderr.txt");
    const std::string command =
        std::string(TARVEX_TOOL_PATH) + " " + args + " 2>" + errFile + " >/dev/null";
    const int raw = std::system(command.c_str());
    ToolRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(errFile)};
    fs::remove(errFile);
    return r;
}

TEST(MakeCommands, ExitStatusTellsSuccessRejectionAndUsage) {
    const std::string folder = TestFolder("tool");
    fs::create_directories(folder);
    struct Case {
        std::string args;
        int status;
    } cases[] = {
        {"make-recording " + folder + "/ok.avi --duration 1 --rear-size 160x90 --fps 15 --seed 9",
         0},
        {"make-recording " + folder + "/one.avi --duration 1 --one-camera --no-audio --no-index",
         0},
        {"make-recording " + folder + "/cold.avi --duration 2 --no-fix 1 --no-telemetry --full-hd",
         0},
        {"make-recording " + folder + "/missing/x.avi --duration 1", 1},
        {"make-recording", 2},
        {"make-recording " + folder + "/y.avi --duration", 2},
        {"make-recording " + folder + "/y.avi --duration 0", 2},
        {"make-recording " + folder + "/y.avi --rear-size 161x90", 2},
        {"make-recording " + folder + "/y.avi --fps abc", 2},
        {"make-recording " + folder + "/y.avi --colour", 2},
        {"make-card", 2},
        {"make-card " + folder + "/card --driving -1", 2},
        {"make-card /proc/no-card-here --duration 1", 1},
        {"make-card " + folder +
             "/card --driving 1 --event 0 --parking 0 --user 0 --duration 1 --one-camera",
         0},
    };
    for (const Case& c : cases) {
        const ToolRun r = RunTool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
    EXPECT_TRUE(fs::exists(folder + "/ok.avi"));
    EXPECT_TRUE(fs::exists(folder + "/card/DRIVING/REC_20260314_182509_N.AVI"));
    EXPECT_FALSE(fs::exists(folder + "/y.avi"));
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        EXPECT_NE(e.path().extension(), ".part") << "temporary file left: " << e.path();
    }
    fs::remove_all(folder);
}

TEST(MakeCommands, FrameMarkNamesTheFrameOfASavedPicture) {
    const int width = 320, height = 180;
    std::vector<uint8_t> luma(size_t(width) * height, 100);
    DrawFramePattern(luma.data(), width, nullptr, 0, nullptr, 0, width, height, 321, 1);
    CPixImage image;
    ASSERT_TRUE(image.Allocate(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) image.Row(y)[3 * x + c] = luma[size_t(y) * width + x];
    const std::string picture = TestFolder("mark.jpg");
    ASSERT_TRUE(image.SaveImage(picture));
    const std::string out = TestFolder("mark.json");
    const std::string tool = std::string(TARVEX_TOOL_PATH) + " frame-mark ";
    ASSERT_EQ(std::system((tool + picture + " >" + out).c_str()), 0);
    EXPECT_EQ(ReadAll(out), "{\"frame\": 321, \"camera\": 1}\n");
    ASSERT_EQ(std::system((tool + picture + " --mirrored >" + out).c_str()), 0);
    EXPECT_EQ(ReadAll(out), "{\"frame\": -1, \"camera\": -1}\n");
    fs::remove(picture);
    fs::remove(out);
}

}  // namespace
