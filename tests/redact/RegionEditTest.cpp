// Editing the regions of a recording: a moved or resized box becomes hand-drawn and stays in
// the picture, a cut splits a region at the frame, suggestions are kept apart until accepted,
// and what is saved reads back as the same masks file (and only on the same recording).

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "redact/RegionEdit.h"

namespace {

const std::vector<MaskCamera> kCameras = {{0, 640, 360, 300}, {1, 320, 180, 300}};

// A tracked plate on frames 10 ... 14 of the front camera, drawn by hand on frame 10.
MaskRegion TrackedPlate() {
    MaskRegion r{0, 0, MaskKind::Plate, {}};
    for (int64_t f = 10; f < 15; ++f)
        r.boxes.push_back({f, f * 100 / 3, 100 + int(f), 200, 80, 20,
                           f == 10 ? MaskSource::Hand : MaskSource::Tracked});
    return r;
}

class RegionEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        edit.Reset("DRIVING_20260314_182509_D.AVI", 10000, kCameras);
        plate = edit.Add(TrackedPlate());
        ASSERT_GT(plate, 0);
    }
    RegionEdit edit;
    int plate = 0;
};

TEST_F(RegionEditTest, MovedBoxIsHandDrawnAndKeptInsideThePicture) {
    ASSERT_TRUE(edit.SetBox(plate, 12, 600, -10, 100, 50));
    const MaskBox* moved = edit.Region(plate)->BoxAt(12);
    EXPECT_EQ(moved->source, MaskSource::Hand);
    EXPECT_EQ((std::array{moved->x, moved->y, moved->width, moved->height}),
              (std::array{600, 0, 40, 40}));
    // Its neighbours stay as the tracker left them.
    EXPECT_EQ(edit.Region(plate)->BoxAt(13)->source, MaskSource::Tracked);
    EXPECT_EQ(edit.Region(plate)->BoxAt(11)->x, 111);

    EXPECT_FALSE(edit.SetBox(plate, 20, 10, 10, 10, 10)) << "a frame the region does not cover";
    EXPECT_FALSE(edit.SetBox(plate, 13, 700, 10, 10, 10)) << "nothing of it inside the picture";
    EXPECT_FALSE(edit.SetBox(plate + 1, 13, 10, 10, 10, 10)) << "no such region";
    EXPECT_EQ(edit.Region(plate)->BoxAt(13)->x, 113);
}

TEST_F(RegionEditTest, CutSplitsTheRegionAtTheFrame) {
    const int tail = edit.Cut(plate, 12);
    ASSERT_GT(tail, 0);
    ASSERT_NE(tail, plate);
    EXPECT_EQ(edit.Region(plate)->FirstFrame(), 10);
    EXPECT_EQ(edit.Region(plate)->LastFrame(), 11);
    const MaskRegion* second = edit.Region(tail);
    EXPECT_EQ(second->FirstFrame(), 12);
    EXPECT_EQ(second->LastFrame(), 14);
    EXPECT_EQ(second->kind, MaskKind::Plate);
    EXPECT_EQ(second->camera, 0);
    // Cutting at a region's first frame or past its end leaves it whole.
    for (int64_t frame : {12, 15, 9}) EXPECT_EQ(edit.Cut(tail, frame), 0) << frame;
    EXPECT_EQ(edit.Regions().size(), 2u);
}

TEST_F(RegionEditTest, SuggestionsStayApartUntilAcceptedAndDeletedRegionsGo) {
    MaskRegion face{1, 1, MaskKind::Face, {{5, 166, 10, 10, 30, 30, MaskSource::Detected}}};
    MaskRegion other{2, 1, MaskKind::Plate, {{6, 200, 40, 40, 30, 10, MaskSource::Detected}}};
    edit.SetSuggestions({face, other});
    EXPECT_EQ(edit.At(1, 5).size(), 0u);
    EXPECT_EQ(edit.SuggestionsAt(1, 5).size(), 1u);

    EXPECT_TRUE(edit.Dismiss(1));
    const int accepted = edit.Accept(0);
    ASSERT_GT(accepted, 0);
    EXPECT_NE(accepted, plate) << "an accepted suggestion gets an id of its own";
    EXPECT_EQ(edit.Region(accepted)->BoxAt(5)->source, MaskSource::Detected);
    EXPECT_TRUE(edit.Suggestions().empty());
    EXPECT_EQ(edit.At(1, 5).size(), 1u);

    EXPECT_TRUE(edit.Remove(plate));
    EXPECT_FALSE(edit.Remove(plate));
    EXPECT_EQ(edit.Regions().size(), 1u);
}

TEST_F(RegionEditTest, SavedRegionsReadBackOnlyOnTheSameRecording) {
    edit.SetBox(plate, 11, 50, 60, 70, 20);
    edit.SetSuggestions(
        {MaskRegion{9, 0, MaskKind::Face, {{3, 100, 1, 1, 9, 9, MaskSource::Detected}}}});
    const std::filesystem::path folder =
        std::filesystem::path(TARVEX_TEST_DATA_DIR) / ("region-edit-" + std::to_string(getpid()));
    const std::string path = RegionEdit::PathFor(folder.string(), "/card/DRIVING_1_D.AVI");
    EXPECT_EQ(path, (folder / "tarvex/masks/DRIVING_1_D.AVI.masks.json").string());
    std::string error;
    ASSERT_TRUE(edit.Save(path, &error)) << error;

    RegionEdit back;
    back.Reset("DRIVING_20260314_182509_D.AVI", 10000, kCameras);
    ASSERT_TRUE(back.Load(path, &error)) << error;
    EXPECT_TRUE(back.Suggestions().empty()) << "suggestions are never saved";
    EXPECT_EQ(MaskSetJson(back.Set()), MaskSetJson(edit.Set()));
    EXPECT_EQ(back.Region(plate)->BoxAt(11)->source, MaskSource::Hand);

    RegionEdit other;
    other.Reset("OTHER.AVI", 10000, {{0, 1280, 720, 300}});
    EXPECT_FALSE(other.Load(path, &error));
    EXPECT_NE(error.find("region"), std::string::npos) << error;
    EXPECT_TRUE(other.Regions().empty());
    std::filesystem::remove_all(folder);
}

}  // namespace
