// The masks file read back as written, and files of other recordings or of other versions
// refused with the region at fault named.

#include <gtest/gtest.h>

#include "redact/MaskFile.h"

namespace {

MaskSet TwoCameraSet() {
    MaskSet set;
    set.file = "DRIVING_20260314_182509_D.AVI";
    set.durationMs = 10000;
    set.cameras = {{0, 1280, 720, 300}, {1, 640, 360, 300}};
    MaskRegion plate{4, 0, MaskKind::Plate, {}};
    plate.boxes = {{10, 333, 100, 500, 160, 34, MaskSource::Hand},
                   {11, 367, 104, 500, 160, 34, MaskSource::Tracked}};
    MaskRegion face{7, 1, MaskKind::Face, {{299, 9967, 600, 300, 40, 60, MaskSource::Detected}}};
    set.regions = {plate, face};
    return set;
}

TEST(MaskFile, ReadsBackWhatItWrites) {
    const MaskSet set = TwoCameraSet();
    MaskSet back;
    std::string error;
    ASSERT_TRUE(ParseMaskSet(MaskSetJson(set), &back, &error)) << error;
    EXPECT_EQ(MaskSetJson(back), MaskSetJson(set));
    ASSERT_EQ(back.regions.size(), 2u);
    EXPECT_EQ(back.regions[0].BoxAt(11)->source, MaskSource::Tracked);
    EXPECT_EQ(back.regions[0].BoxAt(12), nullptr);
    EXPECT_EQ(back.regions[1].boxes[0].source, MaskSource::Detected);
}

struct BadFile {
    const char* what;
    std::string from, to;  // replaced once in the written text
    const char* message;   // expected inside the error
};

void PrintTo(const BadFile& b, std::ostream* os) {
    *os << b.what;
}

class MaskFileRefuses : public testing::TestWithParam<BadFile> {};

TEST_P(MaskFileRefuses, NamingTheCause) {
    std::string text = MaskSetJson(TwoCameraSet());
    const size_t at = text.find(GetParam().from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, GetParam().from.size(), GetParam().to);
    MaskSet set;
    std::string error;
    EXPECT_FALSE(ParseMaskSet(text, &set, &error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MaskFileRefuses,
    testing::Values(
        BadFile{"newer version", "\"version\": 1", "\"version\": 2", "newer version"},
        BadFile{"not JSON", "\"regions\": [", "\"regions\": [,", "not JSON"},
        BadFile{"box past the right edge", "[100, 500, 160, 34]", "[1200, 500, 160, 34]",
                "region 4 (plate, front camera): the box of frame 10 lies outside"},
        BadFile{"negative box", "[600, 300, 40, 60]", "[-1, 300, 40, 60]",
                "region 7 (face, rear camera)"},
        BadFile{"frame past the end", "\"frame\": 299", "\"frame\": 300",
                "region 7 (face, rear camera): the box of frame 300 lies past"},
        BadFile{"frames out of order", "\"frame\": 11", "\"frame\": 10", "region 4"},
        BadFile{"unknown kind", "\"kind\": \"face\"", "\"kind\": \"car\"", "region 7"},
        BadFile{"unknown source", "\"source\": \"tracked\"", "\"source\": \"guessed\"",
                "region 4: a box is malformed"},
        BadFile{"same number twice", "\"id\": 7", "\"id\": 4", "region 4 is given twice"}));

TEST(MaskFile, RefusesTheRegionsOfAnotherRecording) {
    const MaskSet set = TwoCameraSet();
    std::string error;
    EXPECT_TRUE(MaskSetFits(set, set.cameras, &error)) << error;
    struct {
        std::vector<MaskCamera> recording;
        const char* message;
    } cases[] = {
        {{{0, 1920, 1080, 300}, {1, 640, 360, 300}}, "region 4 (plate, front camera) was drawn"},
        {{{0, 1280, 720, 600}, {1, 640, 360, 600}}, "region 4"},
        {{{0, 1280, 720, 300}}, "region 7 (face, rear camera): this recording has no"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(MaskSetFits(set, c.recording, &error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
