// The two tiers of an exported clip as a player and an insurer meet them: the lossless clip's
// tracks named and the front the default one; the composed clip one track of the composed
// size, the front camera's picture still itself where nothing covers it, the caption line
// burned in; and the no-sound and no-position options in both tiers.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFrontWidth = 640, kFrontHeight = 360;
constexpr int kRearWidth = 320, kRearHeight = 180;
// The clip runs from 1 s: it starts on the key frame at frame 30; picture 10 of the clip shows
// recorded frame 40.
constexpr int kPicture = 10;
constexpr int kRecordedFrame = 40;
// The caption line of a 360-line picture: 12-pixel text in a box at the bottom left.
constexpr int kCaptionTop = 340, kCaptionBottom = 356, kCaptionRight = 200;
// Luma differences: a caption changes its band far more than the encoders' losses do.
constexpr double kCaptionMinDifference = 20.0;
constexpr double kCodingMaxDifference = 8.0;

std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::string Streams(const std::string& mp4) {
    return Shell(
        "ffprobe -v error -show_entries "
        "stream=codec_type,width,height:stream_tags=handler_name:stream_disposition=default -of "
        "csv=p=0 " +
        mp4);
}

// Picture `picture` of a video track, the top left width x height of it, as BGR.
CPixImgBase Picture(const std::string& mp4, int track, int width, int height,
                    int picture = kPicture) {
    const std::string raw =
        Shell("ffmpeg -v error -nostdin -i " + mp4 + " -map 0:v:" + std::to_string(track) +
              " -vf 'select=eq(n\\," + std::to_string(picture) + "),crop=" + std::to_string(width) +
              ":" + std::to_string(height) + ":0:0' -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
    CPixImgBase image(width, height);
    if (raw.size() != static_cast<size_t>(width) * height * 3) return CPixImgBase();
    for (int y = 0; y < height; ++y)
        std::memcpy(image.Row(y), raw.data() + static_cast<size_t>(y) * width * 3,
                    static_cast<size_t>(width) * 3);
    return image;
}

// Mean difference of the green channel (close to luma) over rows [top, bottom) and
// columns [0, right).
double Difference(const CPixImgBase& a, const CPixImgBase& b, int top, int bottom, int right) {
    double sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < right; ++x) sum += std::abs(a.Row(y)[3 * x + 1] - b.Row(y)[3 * x + 1]);
    return sum / ((bottom - top) * right);
}

// Pixels of the caption band whose luma differs by more than a glyph's stroke against the box:
// two encodes of one caption differ in next to none, captions one digit apart in about 20.
constexpr int kStrokeDifference = 60;
constexpr int kSameCaptionMaxPixels = 5;
constexpr int kOtherCaptionMinPixels = 15;

int CaptionPixelsChanged(const CPixImgBase& a, const CPixImgBase& b) {
    int changed = 0;
    for (int y = kCaptionTop; y < kCaptionBottom; ++y)
        for (int x = 0; x < kFrontWidth; ++x)
            changed += std::abs(a.Row(y)[3 * x + 1] - b.Row(y)[3 * x + 1]) > kStrokeDifference;
    return changed;
}

class ClipTiersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::path(TARVEX_TEST_DATA_DIR) / "clip_tiers";
        fs::create_directories(s_dir);
        RecordingOptions o;
        o.durationSec = 3;
        o.frontWidth = kFrontWidth;
        o.frontHeight = kFrontHeight;
        o.rearWidth = kRearWidth;
        o.rearHeight = kRearHeight;
        s_recording = (s_dir / RecordingFileName("REC", {2026, 3, 14, 18, 25, 9}, true)).string();
        std::string error;
        if (!fs::exists(s_recording) && !WriteRecording(s_recording, o, &error)) s_error = error;
    }
    void SetUp() override { ASSERT_TRUE(s_error.empty()) << s_error; }

    // Exports 1 ... 2 s with the options into NAME.mp4; returns the tool's output.
    static ToolOutput Export(const std::string& name, const std::string& options) {
        const std::string mp4 = (s_dir / (name + ".mp4")).string();
        fs::remove(mp4);
        return RunToolCommand("export " + s_recording + " --from 1 --to 2 " + mp4 + " " + options +
                              " 2>&1");
    }
    static std::string Mp4(const std::string& name) { return (s_dir / (name + ".mp4")).string(); }

    static fs::path s_dir;
    static std::string s_recording;
    static std::string s_error;
};
fs::path ClipTiersTest::s_dir;
std::string ClipTiersTest::s_recording;
std::string ClipTiersTest::s_error;

TEST_F(ClipTiersTest, EachTierShowsItsTracksAsPlayersListThem) {
    struct Row {
        const char* name;
        const char* options;
        const char* streams;  // type, size, default, track name
    };
    const std::vector<Row> rows = {
        {"lossless", "",
         "video,640,360,1,Front camera\nvideo,320,180,0,Rear camera\naudio,1,SoundHandler\n"},
        {"lossless_silent", "--no-sound",
         "video,640,360,1,Front camera\nvideo,320,180,0,Rear camera\n"},
        {"pip", "--compose pip", "video,640,360,1,Front and rear cameras\naudio,1,SoundHandler\n"},
        // The rear at the front's height beside it: 320x180 becomes 640x360.
        {"side", "--compose side",
         "video,1280,360,1,Front and rear cameras\naudio,1,SoundHandler\n"},
        {"pip_silent", "--compose pip --no-sound", "video,640,360,1,Front and rear cameras\n"},
    };
    for (const Row& row : rows) {
        const ToolOutput run = Export(row.name, row.options);
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.out;
        EXPECT_EQ(Streams(Mp4(row.name)), row.streams) << row.name;
    }
}

// In both layouts the front's frame pattern reads back where nothing covers it, and the
// caption band differs from the same recorded frame without a caption (the lossless front
// track), while the rest of the pattern area does not.
TEST_F(ClipTiersTest, ComposedPictureKeepsTheFrontAndCarriesTheCaption) {
    ASSERT_EQ(Export("plain", "").status, 0);
    const CPixImgBase plain = Picture(Mp4("plain"), 0, kFrontWidth, kFrontHeight);
    ASSERT_EQ(ReadFramePattern(plain).frameIndex, kRecordedFrame);
    const int patternBottom = FramePatternHeight(kFrontHeight);
    for (const char* layout : {"pip", "side"}) {
        const std::string name = std::string("composed_") + layout;
        const ToolOutput run = Export(name, std::string("--compose ") + layout);
        ASSERT_EQ(run.status, 0) << run.out;
        const CPixImgBase front = Picture(Mp4(name), 0, kFrontWidth, kFrontHeight);
        const FrameMark mark = ReadFramePattern(front);
        EXPECT_EQ(mark.frameIndex, kRecordedFrame) << layout;
        EXPECT_EQ(mark.camera, 0) << layout;
        EXPECT_GT(Difference(front, plain, kCaptionTop, kCaptionBottom, kCaptionRight),
                  kCaptionMinDifference)
            << layout;
        EXPECT_LT(Difference(front, plain, 0, patternBottom, kFrontWidth), kCodingMaxDifference)
            << layout;
    }
}

// Every picture of a region of a video track (x, y, width, height), as BGR.
std::vector<CPixImgBase> Region(const std::string& mp4, int x, int y, int width, int height) {
    const std::string raw =
        Shell("ffmpeg -v error -nostdin -i " + mp4 +
              " -map 0:v:0 -vf 'crop=" + std::to_string(width) + ":" + std::to_string(height) +
              ":" + std::to_string(x) + ":" + std::to_string(y) + "' -f rawvideo -pix_fmt bgr24 -");
    const size_t bytes = static_cast<size_t>(width) * height * 3;
    std::vector<CPixImgBase> pictures;
    for (size_t at = 0; at + bytes <= raw.size(); at += bytes) {
        CPixImgBase image(width, height);
        for (int y = 0; y < height; ++y)
            std::memcpy(image.Row(y), raw.data() + at + static_cast<size_t>(y) * width * 3,
                        static_cast<size_t>(width) * 3);
        pictures.push_back(std::move(image));
    }
    return pictures;
}

// Both cameras of every composed picture are one moment, from the first picture on, for
// either codec and for a camera's encoding with B-frames (whose decoder gives pictures out
// late). The clip from 1 s starts on recorded frame 30.
TEST_F(ClipTiersTest, ComposedPicturesShowFrontAndRearOfOneMoment) {
    struct Row {
        const char* name;
        VideoCodec codec;
        bool cameraLike;
        const char* layout;
        int rearX, rearY, rearWidth, rearHeight;  // where the rear lies in the picture
    };
    // Picture in picture: a quarter of the width, above the caption line at the right with
    // a margin of half a caption line (12 pixels at 360 lines).
    const std::vector<Row> rows = {
        {"h264", VideoCodec::H264, false, "pip", 474, 240, 160, 90},
        {"h264_camera", VideoCodec::H264, true, "side", 640, 0, 640, 360},
        {"hevc", VideoCodec::Hevc, true, "pip", 474, 240, 160, 90},
        {"hevc_side", VideoCodec::Hevc, true, "side", 640, 0, 640, 360},
    };
    for (const Row& row : rows) {
        RecordingOptions o;
        o.durationSec = 3;
        o.frontWidth = kFrontWidth, o.frontHeight = kFrontHeight;
        o.rearWidth = kRearWidth, o.rearHeight = kRearHeight;
        o.codec = row.codec;
        o.cameraLike = row.cameraLike;
        const fs::path dir = s_dir / (std::string("moment_") + row.name);
        fs::create_directories(dir);
        const std::string recording =
            (dir / RecordingFileName("REC", {2026, 3, 14, 18, 25, 9}, true)).string();
        std::string error;
        if (!fs::exists(recording)) {
            ASSERT_TRUE(WriteRecording(recording, o, &error)) << row.name << ": " << error;
        }
        const std::string mp4 = (dir / "composed.mp4").string();
        fs::remove(mp4);
        const ToolOutput run =
            RunToolCommand("export " + recording + " --from 1 --to 2 --compose " + row.layout +
                           " " + mp4 + " 2>&1");
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.out;
        const std::vector<CPixImgBase> fronts = Region(mp4, 0, 0, kFrontWidth, kFrontHeight);
        const std::vector<CPixImgBase> rears =
            Region(mp4, row.rearX, row.rearY, row.rearWidth, row.rearHeight);
        ASSERT_EQ(fronts.size(), 30u) << row.name;
        ASSERT_EQ(rears.size(), fronts.size()) << row.name;
        for (size_t n = 0; n < fronts.size(); ++n) {
            const FrameMark front = ReadFramePattern(fronts[n]);
            const FrameMark rear = ReadFramePattern(rears[n]);
            EXPECT_EQ(front.frameIndex, 30 + static_cast<int>(n)) << row.name << " picture " << n;
            EXPECT_EQ(rear.camera, 1) << row.name << " picture " << n;
            EXPECT_EQ(rear.frameIndex, front.frameIndex) << row.name << " picture " << n;
        }
        // The composed clip carries its moment like the lossless one.
        EXPECT_NE(run.out.find("\"creation_time\": \"2026-03-14T09:25:10.000Z\""),
                  std::string::npos)
            << run.out;
        EXPECT_NE(
            Shell("ffprobe -v error -show_entries format_tags=creation_time -of csv=p=0 " + mp4)
                .find("2026-03-14T09:25:10"),
            std::string::npos)
            << row.name;
    }
}

// --no-position: no GPS track is written, whatever --gpx says, and the caption changes (the
// coordinates are gone; what the line then says is ClipCaptionTest's).
TEST_F(ClipTiersTest, NoPositionWritesNoTrackAndLeavesTheCoordinatesOut) {
    const std::string gpx = (s_dir / "hidden.gpx").string();
    fs::remove(gpx);
    const ToolOutput lossless = Export("hidden", "--gpx " + gpx + " --no-position");
    ASSERT_EQ(lossless.status, 0) << lossless.out;
    EXPECT_FALSE(fs::exists(gpx));
    EXPECT_NE(lossless.out.find("\"gpx\": null"), std::string::npos) << lossless.out;

    ASSERT_EQ(Export("placed", "--compose pip").status, 0);
    ASSERT_EQ(Export("unplaced", "--compose pip --no-position --gpx " + gpx).status, 0);
    EXPECT_FALSE(fs::exists(gpx));
    const CPixImgBase placed = Picture(Mp4("placed"), 0, kFrontWidth, kFrontHeight);
    const CPixImgBase unplaced = Picture(Mp4("unplaced"), 0, kFrontWidth, kFrontHeight);
    EXPECT_GT(Difference(placed, unplaced, kCaptionTop, kCaptionBottom, kFrontWidth / 2),
              kCaptionMinDifference / 4);
}

}  // namespace

namespace {

// The caption of a picture in a clip across a trip's join says what the same picture says in a
// clip of its own recording: the clock from that recording's name, its speed and axes. Read off
// the composed pictures: 2.5 s into the second recording in both clips, against 0.5 s into it.
TEST_F(ClipTiersTest, TheCaptionAfterATripsJoinReadsTheSecondRecordingsMoment) {
    const fs::path dir = s_dir / "trip";
    fs::create_directories(dir);
    std::string recordings[2];
    for (int i = 0; i < 2; ++i) {
        RecordingOptions o;
        o.durationSec = 3 + i;
        o.frontWidth = kFrontWidth, o.frontHeight = kFrontHeight;
        o.rearWidth = kRearWidth, o.rearHeight = kRearHeight;
        o.hour = 18, o.minute = 30, o.second = 3 * i;
        o.seed = static_cast<uint32_t>(i + 1);
        recordings[i] =
            (dir / RecordingFileName("REC", {2026, 3, 14, 18, 30, 3 * i}, true)).string();
        std::string error;
        if (!fs::exists(recordings[i])) {
            ASSERT_TRUE(WriteRecording(recordings[i], o, &error)) << error;
        }
    }
    const std::string joined = (dir / "joined.mp4").string(), own = (dir / "own.mp4").string();
    // From the first recording's key frame at 2 s: picture 30 + n is the second's frame n.
    ToolOutput run = RunToolCommand("export " + recordings[0] + " " + recordings[1] +
                                    " --from 2 --to 6 --compose pip " + joined + " 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    run = RunToolCommand("export " + recordings[1] + " --from 0 --to 3 --compose pip " + own +
                         " 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    constexpr int kFrame = 75, kEarlierFrame = 15;
    const CPixImgBase acrossJoin = Picture(joined, 0, kFrontWidth, kFrontHeight, 30 + kFrame);
    const CPixImgBase alone = Picture(own, 0, kFrontWidth, kFrontHeight, kFrame);
    const CPixImgBase earlier = Picture(own, 0, kFrontWidth, kFrontHeight, kEarlierFrame);
    ASSERT_EQ(ReadFramePattern(acrossJoin).frameIndex, kFrame);
    ASSERT_EQ(ReadFramePattern(alone).frameIndex, kFrame);
    ASSERT_EQ(ReadFramePattern(earlier).frameIndex, kEarlierFrame);
    const int later = CaptionPixelsChanged(alone, earlier);
    const int joinedAgainstOwn = CaptionPixelsChanged(acrossJoin, alone);
    EXPECT_GT(later, kOtherCaptionMinPixels) << "two seconds later the caption reads otherwise";
    EXPECT_LE(joinedAgainstOwn, kSameCaptionMaxPixels)
        << "the same moment reads the same across the join; two seconds apart: " << later;
}

}  // namespace
