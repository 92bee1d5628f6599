// Repair of recordings for other players: the copy keeps every whole chunk byte for byte,
// changes only the header fields it reports, gets an index, and ffprobe counts its frames.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "evidence/Sha256.h"
#include "tests/GeneratedRecording.h"
#include "tests/ToolRun.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(TARVEX_TEST_DATA_DIR) + "/repair";

std::string Bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), {});
}

std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
}

struct Change {
    uint64_t offset;
    uint32_t before, after;
};

TEST(RecordingRepairTest, RepairedCopyKeepsChunksAndOpensEverywhere) {
    RecordingOptions o;
    o.durationSec = 4;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 160;
    o.rearHeight = 96;
    const std::string indexed = GeneratedRecording(kData + "/indexed.AVI", o);
    o.writeIndex = false;
    const std::string crashed = GeneratedRecording(kData + "/crashed.AVI", o);
    const std::string cut = kData + "/crashed_cut.AVI";
    fs::copy_file(crashed, cut, fs::copy_options::overwrite_existing);
    fs::resize_file(cut, fs::file_size(crashed) - 5000);  // into the last chunks

    struct Case {
        std::string input;
        bool sameAsIndexed;  // the writer's own header and index are what a repair rebuilds
    } cases[] = {{indexed, true}, {crashed, true}, {cut, false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.input);
        const std::string out = kData + "/repaired.avi";
        fs::remove(out);
        const ToolOutput run = RunToolCommand("repair " + k.input + " " + out);
        ASSERT_EQ(run.status, 0) << run.out;
        if (k.sameAsIndexed) {
            std::string hex, error;
            ASSERT_TRUE(Sha256OfFile(out, &hex, &error));
            std::string original;
            ASSERT_TRUE(Sha256OfFile(indexed, &original, &error));
            EXPECT_EQ(hex, original);
            continue;
        }
        // Every byte kept is the original's, but for the fields the repair names.
        std::vector<Change> changes;
        std::istringstream lines(run.out);
        std::smatch m;
        const std::regex changed("\"offset\": (\\d+), \"before\": (\\d+), \"after\": (\\d+)");
        const std::regex kept("\"kept_bytes\": (\\d+)");
        const std::regex frames("\"frames\": (\\d+)");
        uint64_t keptBytes = 0;
        int frameCount = 0;
        for (std::string line; std::getline(lines, line);) {
            if (std::regex_search(line, m, changed))
                changes.push_back({std::stoull(m[1]), static_cast<uint32_t>(std::stoul(m[2])),
                                   static_cast<uint32_t>(std::stoul(m[3]))});
            if (std::regex_search(line, m, kept)) keptBytes = std::stoull(m[1]);
            if (std::regex_search(line, m, frames)) frameCount = std::stoi(m[1]);
        }
        EXPECT_FALSE(changes.empty());
        std::string before = Bytes(k.input), after = Bytes(out);
        ASSERT_GT(after.size(), keptBytes);
        for (const Change& c : changes) std::memset(before.data() + c.offset, 0, 4);
        for (const Change& c : changes) std::memset(after.data() + c.offset, 0, 4);
        EXPECT_EQ(before.substr(0, keptBytes), after.substr(0, keptBytes));
        EXPECT_EQ(after.compare(keptBytes, 4, "idx1"), 0);

        const std::string probe = Capture(
            "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
            "stream=nb_frames,nb_read_packets -of csv=p=0 " +
            out);
        EXPECT_EQ(probe, std::to_string(frameCount) + "," + std::to_string(frameCount) + "\n");
        EXPECT_GT(frameCount, 0);
        EXPECT_LT(frameCount, 4 * 30);
    }
}

TEST(RecordingRepairTest, RefusesToReplaceARecording) {
    RecordingOptions o;
    o.durationSec = 2;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearCamera = false;
    const std::string input = GeneratedRecording(kData + "/small.AVI", o);
    const std::string link = kData + "/small_link.AVI";
    fs::remove(link);
    fs::create_hard_link(input, link);
    std::string before, error;
    ASSERT_TRUE(Sha256OfFile(input, &before, &error));
    for (const std::string& out : {input, link, kData + "/indexed.AVI", kData})
        EXPECT_EQ(RunToolCommand("repair " + input + " " + out + " 2>/dev/null").status, 1) << out;
    std::string after;
    ASSERT_TRUE(Sha256OfFile(input, &after, &error));
    EXPECT_EQ(before, after);
    EXPECT_EQ(RunToolCommand("repair " + kData + " " + kData + "/x.avi 2>/dev/null").status, 1);
}

}  // namespace
