// A clip fitted to a portal's budget end to end: the parts stay within the files and bytes
// allowed, and their pictures, read back by the frame numbers the generator draws, follow
// one another without a gap or a repeat across the whole stretch asked for, over the join of
// two recordings. A budget that cannot be met leaves nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/CPixImg.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 4, kRate = 30;

fs::path Root() {
    return fs::path(TARVEX_TEST_DATA_DIR) / "fitted_export";
}

std::string Recording(int index) {
    return (Root() / RecordingFileName("REC", {2026, 3, 14, 18, 25, index * kSeconds}, true))
        .string();
}

// The front frame numbers of every picture of an MP4, in order.
std::vector<int> Marks(const std::string& mp4, const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string command = "ffmpeg -v error -nostdin -i '" + mp4 +
                                "' -fps_mode passthrough -q:v 2 '" +
                                (folder / "%04d.jpg").string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::vector<int> marks;
    for (int i = 1;; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.jpg", i);
        CPixImage image;
        if (!image.LoadImage((folder / name).string())) break;
        marks.push_back(ReadFramePattern(image).frameIndex);
    }
    return marks;
}

class FittedExportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::create_directories(Root());
        for (int i = 0; i < 2; ++i) {
            RecordingOptions o;
            o.durationSec = kSeconds;
            o.frontWidth = 320, o.frontHeight = 180, o.rearWidth = 160, o.rearHeight = 90;
            o.second = i * kSeconds;
            std::string error;
            if (!fs::exists(Recording(i))) {
                ASSERT_TRUE(WriteRecording(Recording(i), o, &error)) << error;
            }
        }
    }
};

}  // namespace

TEST_F(FittedExportTest, PartsFitTheBudgetAndCoverTheStretchFrameByFrame) {
    const fs::path out = Root() / "portal" / "clip.mp4";
    fs::remove_all(out.parent_path());
    fs::create_directories(out.parent_path());
    const fs::path track = Root() / "portal.gpx";
    fs::remove(track);
    const ToolOutput run = RunToolCommand("export '" + Recording(0) + "' '" + Recording(1) +
                                          "' --from 1 --to 7 --portal kr --max-seconds 2 "
                                          "--max-mb 1 --gpx '" +
                                          track.string() + "' '" + out.string() + "' 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    std::vector<fs::path> parts;
    uintmax_t bytes = 0;
    for (const auto& e : fs::directory_iterator(out.parent_path())) {
        parts.push_back(e.path());
        bytes += fs::file_size(e.path());
    }
    std::sort(parts.begin(), parts.end());
    ASSERT_EQ(parts.size(), 3u) << run.out;
    EXPECT_EQ(parts[0].filename(), "clip_1of3.mp4");
    EXPECT_LE(bytes, 1000000u);
    EXPECT_TRUE(fs::is_regular_file(track));  // in place with the parts

    // Front frames 30 ... 119 of the first recording, then 0 ... 89 of the second (the clip
    // starts on the key frame at or before 1 s, the first picture of that second).
    std::vector<int> seen;
    for (const fs::path& part : parts) {
        const std::vector<int> marks = Marks(part.string(), Root() / "frames");
        ASSERT_FALSE(marks.empty()) << part;
        seen.insert(seen.end(), marks.begin(), marks.end());
    }
    ASSERT_EQ(seen.size(), 180u);
    ASSERT_LE(seen.front(), kRate);
    for (size_t i = 1; i < seen.size(); ++i) {
        const bool joined = seen[i - 1] == kSeconds * kRate - 1 && seen[i] == 0;
        EXPECT_TRUE(seen[i] == seen[i - 1] + 1 || joined)
            << "picture " << i << ": " << seen[i - 1] << " then " << seen[i];
    }
    EXPECT_GE(seen.back(), 3 * kRate - 1);
}

TEST_F(FittedExportTest, ABudgetThatCannotBeMetLeavesNothing) {
    const fs::path out = Root() / "refused" / "clip.mp4";
    fs::remove_all(out.parent_path());
    fs::create_directories(out.parent_path());
    const ToolOutput run = RunToolCommand("export '" + Recording(0) +
                                          "' --from 0 --to 4 --max-files 1 "
                                          "--max-seconds 2 '" +
                                          out.string() + "' 2>&1");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("more than the 1 allowed"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::is_empty(out.parent_path()));
}
