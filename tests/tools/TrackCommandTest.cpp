// track end to end on a recording with a generated number plate: the region follows the plate
// forward and backward from one drawn box, checked against where the plate really was; bad
// boxes and masks files of another recording are refused by region and write nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "redact/MaskFile.h"
#include "support/JsonReader.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

struct Truth {
    std::vector<MaskBox> boxes;  // frame i at index i
};

double Iou(const MaskBox& a, const MaskBox& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.width, b.x + b.width);
    const int y1 = std::min(a.y + a.height, b.y + b.height);
    const double i = std::max(0, x1 - x0) * double(std::max(0, y1 - y0));
    return i / (double(a.width) * a.height + double(b.width) * b.height - i);
}

// Most of the true box lies inside the suggested one, and the suggestion is not the picture.
bool Covers(const MaskBox& suggested, const MaskBox& truth) {
    const int x0 = std::max(suggested.x, truth.x), y0 = std::max(suggested.y, truth.y);
    const int x1 = std::min(suggested.x + suggested.width, truth.x + truth.width);
    const int y1 = std::min(suggested.y + suggested.height, truth.y + truth.height);
    const double inside = std::max(0, x1 - x0) * double(std::max(0, y1 - y0));
    return inside >= 0.8 * truth.width * truth.height &&
           suggested.width * double(suggested.height) <= 4.0 * truth.width * truth.height;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TrackCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::create_directories(Folder());
        if (fs::exists(Recording())) return;
        const std::string truth = (Folder() / "truth.json").string();
        const ToolOutput made = RunToolCommand("make-recording " + Recording() +
                                               " --duration 10 --plate --plate-truth " + truth);
        ASSERT_EQ(made.status, 0);
    }
    void SetUp() override { fs::remove(Out()); }
    static fs::path Folder() { return fs::path(TARVEX_TEST_DATA_DIR) / "track"; }
    static std::string Recording() { return (Folder() / "DRIVING_20260314_182509_D.AVI").string(); }
    static std::string Out() { return (Folder() / "masks.json").string(); }

    static Truth LoadTruth() {
        JsonValue doc;
        std::string error;
        EXPECT_TRUE(ParseJson(ReadAll(Folder() / "truth.json"), &doc, &error)) << error;
        Truth t;
        for (const JsonValue& f : doc.Find("frames")->items) {
            const auto& b = f.Find("box")->items;
            t.boxes.push_back({f.Find("frame")->integer, f.Find("time_ms")->integer,
                               int(b[0].integer), int(b[1].integer), int(b[2].integer),
                               int(b[3].integer), MaskSource::Hand});
        }
        return t;
    }
};

TEST_F(TrackCommandTest, FollowsThePlateBothWaysFromOneDrawnBox) {
    const Truth truth = LoadTruth();
    ASSERT_EQ(truth.boxes.size(), 300u);
    const MaskBox& drawn = truth.boxes[90];  // 3 s at 30 fps
    const std::string box = std::to_string(drawn.x) + "," + std::to_string(drawn.y) + "," +
                            std::to_string(drawn.width) + "," + std::to_string(drawn.height);
    const ToolOutput run =
        RunToolCommand("track " + Recording() + " --camera front --at 3 --from 1 --to 6 --box " +
                       box + " --out " + Out());
    ASSERT_EQ(run.status, 0);
    MaskSet set;
    std::string error;
    ASSERT_TRUE(LoadMaskSet(Out(), &set, &error)) << error;
    ASSERT_EQ(set.regions.size(), 1u);
    const MaskRegion& region = set.regions[0];
    EXPECT_EQ(region.kind, MaskKind::Plate);
    EXPECT_EQ(region.FirstFrame(), 30);
    EXPECT_EQ(region.LastFrame(), 180);
    ASSERT_EQ(region.boxes.size(), 151u);
    std::vector<double> iou;
    for (const MaskBox& b : region.boxes) {
        EXPECT_EQ(b.source, b.frame == 90 ? MaskSource::Hand : MaskSource::Tracked);
        EXPECT_EQ(b.timeMs, truth.boxes[b.frame].timeMs);
        iou.push_back(Iou(b, truth.boxes[b.frame]));
    }
    std::sort(iou.begin(), iou.end());
    EXPECT_GE(iou[iou.size() / 2], 0.7);
    EXPECT_GE(iou.front(), 0.3);
}

TEST_F(TrackCommandTest, RefusesBadInputAndWritesNothing) {
    // A masks file of the same cameras at another size, and one of a newer version.
    MaskSet other;
    other.durationMs = 10000;
    other.cameras = {{0, 1920, 1080, 300}, {1, 640, 360, 300}};
    other.regions = {{3, 0, MaskKind::Face, {{5, 167, 10, 10, 40, 40, MaskSource::Hand}}}};
    const std::string otherPath = (Folder() / "other.json").string();
    std::ofstream(otherPath) << MaskSetJson(other);
    std::string newer = MaskSetJson(other);
    newer.replace(newer.find("\"version\": 1"), 12, "\"version\": 9");
    const std::string newerPath = (Folder() / "newer.json").string();
    std::ofstream(newerPath) << newer;
    struct {
        std::string args;
        const char* message;
    } cases[] = {
        {"--box 1200,700,160,34", "region 1 (plate, front camera): the drawn box lies outside"},
        {"--box 10,10,40,40 --add-to " + otherPath, "region 3 (face, front camera) was drawn on"},
        {"--box 10,10,40,40 --add-to " + newerPath, "newer version"},
    };
    for (const auto& c : cases) {
        const ToolOutput run = RunToolCommand("track " + Recording() + " --camera front --at 2 " +
                                              c.args + " --out " + Out() + " 2>&1");
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(Out())) << c.args;
    }
}

// detect offers the plate in most frames of the span, as one region or two with boxes filled
// in between its looks, and no flood of boxes elsewhere; every box marked as detected.
TEST_F(TrackCommandTest, DetectSuggestsThePlate) {
    const Truth truth = LoadTruth();
    const ToolOutput run = RunToolCommand(
        "detect " + Recording() + " --from 2 --to 4 --camera front --kinds plate --out " + Out());
    ASSERT_EQ(run.status, 0);
    MaskSet set;
    std::string error;
    ASSERT_TRUE(LoadMaskSet(Out(), &set, &error)) << error;
    int onThePlate = 0, elsewhere = 0;
    for (const MaskRegion& r : set.regions) {
        EXPECT_EQ(r.kind, MaskKind::Plate);
        for (const MaskBox& b : r.boxes) {
            EXPECT_EQ(b.source, MaskSource::Detected);
            EXPECT_TRUE(b.frame >= 60 && b.frame < 120) << b.frame;
            const MaskBox& plate = truth.boxes[b.frame];
            if (Covers(b, plate)) ++onThePlate;
            if (b.x >= plate.x + plate.width || plate.x >= b.x + b.width ||
                b.y >= plate.y + plate.height || plate.y >= b.y + b.height)
                ++elsewhere;
        }
    }
    EXPECT_LE(set.regions.size(), 2u);
    EXPECT_GE(onThePlate, 40);  // of 60 frames
    EXPECT_LE(elsewhere, 6);
}

}  // namespace
