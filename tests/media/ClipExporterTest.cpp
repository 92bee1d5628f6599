// Clip export across the join of two consecutive recordings: streams and length as ffprobe
// sees them, every front frame present once and in order (read back from the frame pattern),
// the rear track on the same frames, the GPX points, the sound's beeps on the seconds where
// the recordings have them, and cancel / refusal leaving no file.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/ClipExporter.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/BeepTone.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 4;
constexpr int kRate = 30;

std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// Frame marks of every picture of one video track, in presentation order.
std::vector<FrameMark> TrackMarks(const std::string& mp4, int track, const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    Shell("ffmpeg -v error -nostdin -i " + mp4 + " -map 0:v:" + std::to_string(track) +
          " -fps_mode passthrough -q:v 2 " + (folder / "%04d.jpg").string());
    std::vector<FrameMark> marks;
    for (int i = 1;; ++i) {
        char name[16];
        snprintf(name, sizeof name, "%04d.jpg", i);
        CPixImage image;
        if (!image.LoadImage((folder / name).string())) break;
        marks.push_back(ReadFramePattern(image));
    }
    return marks;
}

// Where the beeps of a clip's sound start, in ms from the clip's start: the sound track
// decoded to 8 kHz samples, a beep counted where a loud sample follows a quiet stretch longer
// than the tone.
std::vector<int64_t> BeepStartsMs(const std::string& mp4) {
    constexpr int kRateHz = 8000;
    constexpr int kLoud = kBeepAmplitude / 4;  // the tone's quietest samples are 0.38 of it
    constexpr int64_t kQuietSamples = kRateHz * kBeepMs * 3 / 1000;
    const std::string pcm =
        Shell("ffmpeg -v error -nostdin -i " + mp4 + " -map 0:a:0 -f s16le -ac 1 -ar " +
              std::to_string(kRateHz) + " -");
    std::vector<int64_t> starts;
    int64_t lastLoud = -kQuietSamples - 1;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(pcm[i]) |
                                                 static_cast<uint8_t>(pcm[i + 1]) << 8);
        if (std::abs(sample) < kLoud) continue;
        const auto at = static_cast<int64_t>(i / 2);
        if (at - lastLoud > kQuietSamples) starts.push_back(at * 1000 / kRateHz);
        lastLoud = at;
    }
    return starts;
}

class ClipExporterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "clip_export";
        fs::create_directories(dir);
        for (int i = 0; i < 2; ++i) {
            RecordingOptions o;
            o.durationSec = kSeconds;
            o.frontWidth = 320;
            o.frontHeight = 180;
            o.rearWidth = 160;
            o.rearHeight = 96;
            o.second = 9 + i * kSeconds;  // the second follows the first
            o.seed = static_cast<uint32_t>(i + 1);
            s_paths[i] = (dir / ("REC_" + std::to_string(i) + "_D.AVI")).string();
            std::string error;
            if (!WriteRecording(s_paths[i], o, &error)) s_error = error;
        }
        s_dir = dir.string();
    }
    void SetUp() override { ASSERT_TRUE(s_error.empty()) << s_error; }

    static std::string s_paths[2];
    static std::string s_dir;
    static std::string s_error;
};
std::string ClipExporterTest::s_paths[2];
std::string ClipExporterTest::s_dir;
std::string ClipExporterTest::s_error;

TEST_F(ClipExporterTest, SpansTwoRecordingsFromTheKeyFrameBeforeTheInPoint) {
    const std::string mp4 = s_dir + "/span.mp4";
    const std::string gpx = s_dir + "/span.gpx";
    const ToolOutput run =
        RunToolCommand("export " + s_paths[0] + " " + s_paths[1] + " --from 2.5 --to 6.5 " + mp4 +
                       " --gpx " + gpx + " 2>/dev/null");
    ASSERT_EQ(run.status, 0) << run.out;
    // Key frames every second: the clip starts at 2 s and ends before frame 195 (6.5 s).
    EXPECT_NE(run.out.find("\"start_ms\": 2000, \"end_ms\": 6500, \"front_frames\": 135, "
                           "\"rear_frames\": 135, \"audio_samples\": 36000"),
              std::string::npos)
        << run.out;

    const std::string probe = Shell(
        "ffprobe -v error -show_entries stream=codec_name,width,height:format=duration -of "
        "csv=p=0 " +
        mp4);
    EXPECT_EQ(probe, "h264,320,180\nh264,160,96\naac\n4.500000\n");

    // Every front frame once, in order, across the join: 60 ... 119 of the first recording,
    // then 0 ... 74 of the second.
    const std::vector<FrameMark> front = TrackMarks(mp4, 0, s_dir + "/span_front");
    ASSERT_EQ(front.size(), 135u);
    for (size_t i = 0; i < front.size(); ++i) {
        const int expected = i < 60 ? 60 + static_cast<int>(i) : static_cast<int>(i) - 60;
        ASSERT_EQ(front[i].frameIndex, expected) << "picture " << i;
        ASSERT_EQ(front[i].camera, 0);
    }
    const std::vector<FrameMark> rear = TrackMarks(mp4, 1, s_dir + "/span_rear");
    ASSERT_EQ(rear.size(), 135u);
    EXPECT_EQ(rear.front().frameIndex, 60);
    EXPECT_EQ(rear.front().camera, 1);
    EXPECT_EQ(rear.back().frameIndex, 74);

    // One fix a second: 2 s and 3 s of the first recording, 0 ... 2 s of the second.
    std::stringstream text;
    text << std::ifstream(gpx).rdbuf();
    size_t points = 0;
    for (size_t i = text.str().find("<trkpt "); i != std::string::npos;
         i = text.str().find("<trkpt ", i + 1))
        ++points;
    EXPECT_EQ(points, 5u);
    EXPECT_NE(run.out.find("\"gpx_points\": 5"), std::string::npos);
}

TEST_F(ClipExporterTest, CancelAndRefusalLeaveNoFile) {
    const std::string mp4 = s_dir + "/cancelled.mp4";
    fs::remove(mp4);
    ClipExporter exporter;
    std::vector<double> progress;
    exporter.SetProgress([&](double f) {
        progress.push_back(f);
        if (f >= 0.3) exporter.Cancel();
    });
    ClipRequest request{{s_paths[0], s_paths[1]}, 0, 8000, mp4, {}};
    std::string error;
    EXPECT_EQ(exporter.Export(request, nullptr, &error), ClipResult::Cancelled);
    EXPECT_FALSE(fs::exists(mp4));
    EXPECT_FALSE(fs::exists(mp4 + ".part"));
    ASSERT_FALSE(progress.empty());
    EXPECT_LT(progress.back(), 0.5);

    // The same exporter runs again after a cancel, and reports progress up to 1.
    progress.clear();
    exporter.SetProgress([&](double f) { progress.push_back(f); });
    ClipSummary summary;
    ASSERT_EQ(exporter.Export(request, &summary, &error), ClipResult::Done) << error;
    EXPECT_EQ(summary.frontFrames, 2 * kSeconds * kRate);
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);

    for (const ClipRequest& bad :
         {ClipRequest{{s_paths[0]}, 3000, 3000, s_dir + "/empty.mp4", {}},
          ClipRequest{{s_paths[0]}, 9000, 12000, s_dir + "/past.mp4", {}},
          ClipRequest{{s_dir + "/missing.avi"}, 0, 1000, s_dir + "/missing.mp4", {}}}) {
        EXPECT_EQ(exporter.Export(bad, nullptr, &error), ClipResult::Failed) << bad.outPath;
        EXPECT_FALSE(fs::exists(bad.outPath));
    }
}

// Recordings of different layouts cannot share one clip's tracks: each mix is refused with the
// difference and the file named, and nothing is written.
TEST(ClipExporterLayout, MixedRecordingsAreRefusedNamingTheDifference) {
    const fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "clip_layout";
    fs::create_directories(dir);
    RecordingOptions base;
    base.durationSec = 1;
    base.frontWidth = 160;
    base.frontHeight = 96;
    base.rearWidth = 128;
    base.rearHeight = 72;
    base.telemetry = false;
    struct Row {
        const char* name;
        void (*first)(RecordingOptions&);
        void (*second)(RecordingOptions&);
        std::string message;  // after the second recording's path
    };
    const auto same = [](RecordingOptions&) {};
    const std::vector<Row> rows = {
        {"front_size", same, [](RecordingOptions& o) { o.frontWidth = 320, o.frontHeight = 180; },
         " is 320x180 (front camera) where FIRST is 160x96"},
        {"rear_size", same, [](RecordingOptions& o) { o.rearWidth = 160, o.rearHeight = 96; },
         " is 160x96 (rear camera) where FIRST is 128x72"},
        {"front_rate", same, [](RecordingOptions& o) { o.frameRate = 15; },
         " runs at 15 fps (front camera) where FIRST runs at 30 fps"},
        {"rear_dropped", same, [](RecordingOptions& o) { o.rearCamera = false; },
         " has no rear camera where FIRST has one"},
        {"rear_added", [](RecordingOptions& o) { o.rearCamera = false; }, same,
         " has a rear camera where FIRST has none"},
        {"sound_rate", same, [](RecordingOptions& o) { o.audioRate = 16000; },
         " has 16-bit 16000 Hz where FIRST has 16-bit 8000 Hz"},
    };
    for (const Row& row : rows) {
        std::string paths[2], error;
        for (int i = 0; i < 2; ++i) {
            RecordingOptions o = base;
            (i == 0 ? row.first : row.second)(o);
            o.second = i;
            paths[i] = (dir / (std::string(row.name) + "_" + std::to_string(i) + ".AVI")).string();
            ASSERT_TRUE(WriteRecording(paths[i], o, &error)) << error;
        }
        const std::string mp4 = (dir / (std::string(row.name) + ".mp4")).string();
        ClipExporter exporter;
        EXPECT_EQ(exporter.Export({{paths[0], paths[1]}, 0, 2000, mp4, {}}, nullptr, &error),
                  ClipResult::Failed)
            << row.name;
        std::string expected = paths[1] + row.message;
        expected.replace(expected.find("FIRST"), 5, paths[0]);
        EXPECT_NE(error.find(expected), std::string::npos) << row.name << ": " << error;
        EXPECT_FALSE(fs::exists(mp4)) << row.name;
    }
}

// The recordings beep at the start of each of their seconds, and the trip's timeline joins
// them end to end, so the clip beeps on every whole second of the span it covers.
struct BeepRow {
    const char* name;
    int64_t fromMs, toMs;
    int64_t startMs;  // the key frame at or before fromMs
};

class ClipExporterSound : public ClipExporterTest, public ::testing::WithParamInterface<BeepRow> {};

TEST_P(ClipExporterSound, BeepsWhereTheRecordingsBeep) {
    const BeepRow& row = GetParam();
    const std::string mp4 = s_dir + "/beeps_" + row.name + ".mp4";
    ClipExporter exporter;
    ClipSummary summary;
    std::string error;
    ASSERT_EQ(
        exporter.Export({{s_paths[0], s_paths[1]}, row.fromMs, row.toMs, mp4, {}}, &summary, &error),
        ClipResult::Done)
        << error;
    ASSERT_EQ(summary.startMs, row.startMs);
    std::vector<int64_t> expected;
    for (int64_t second = (row.startMs + 999) / 1000 * 1000; second < summary.endMs; second += 1000)
        expected.push_back(second - row.startMs);
    const std::vector<int64_t> starts = BeepStartsMs(mp4);
    ASSERT_EQ(starts.size(), expected.size()) << ::testing::PrintToString(starts);
    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_NEAR(starts[i], expected[i], 5) << "beep " << i;
}

INSTANTIATE_TEST_SUITE_P(Spans, ClipExporterSound,
                         ::testing::Values(BeepRow{"InOneRecording", 1500, 3500, 1000},
                                           BeepRow{"AcrossTheJoin", 2500, 6500, 2000}),
                         [](const ::testing::TestParamInfo<BeepRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
