// The byte layout of generated recordings, walked independently of the writer.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/tools/AviWalk.h"
#include "tools/cardgen/AviWriter.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;
using avi_walk::AviFile;
using avi_walk::U16;
using avi_walk::U32;

namespace {

std::string TestPath(const std::string& name) {
    return std::string(TARVEX_TEST_DATA_DIR) + "/layout_" + std::to_string(getpid()) + "_" + name;
}

RecordingOptions SmallOptions() {
    RecordingOptions o;
    o.durationSec = 4;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 160;
    o.rearHeight = 90;
    o.seed = 3;
    return o;
}

AviFile Generate(const std::string& name, const RecordingOptions& o) {
    const std::string path = TestPath(name);
    std::string error;
    EXPECT_TRUE(WriteRecording(path, o, &error)) << error;
    AviFile f = avi_walk::Walk(path);
    fs::remove(path);
    return f;
}

std::vector<std::string> Ids(const AviFile& f) {
    std::vector<std::string> ids;
    for (const auto& c : f.chunks)
        if (std::find(ids.begin(), ids.end(), c.id) == ids.end()) ids.push_back(c.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

class TwoCameraRecording : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_file = new AviFile(Generate("two.avi", SmallOptions())); }
    static void TearDownTestSuite() {
        delete s_file;
        s_file = nullptr;
    }
    const AviFile& file() const { return *s_file; }
    static AviFile* s_file;
};
AviFile* TwoCameraRecording::s_file = nullptr;

TEST_F(TwoCameraRecording, HeaderListDescribesEveryStream) {
    const AviFile& f = file();
    ASSERT_EQ(f.problem, "");
    EXPECT_EQ(f.riffSize, f.bytes.size() - 8);
    ASSERT_EQ(f.mainHeaderSize, 56u);
    EXPECT_EQ(U32(f.mainHeader, 16), 120u);  // dwTotalFrames
    EXPECT_EQ(U32(f.mainHeader, 24), 4u);    // dwStreams
    EXPECT_EQ(U32(f.mainHeader, 32), 320u);
    EXPECT_EQ(U32(f.mainHeader, 36), 180u);
    ASSERT_EQ(f.streams.size(), 4u);
    const char* types[] = {"vids", "vids", "auds", "txts"};
    const int sizes[][2] = {{320, 180}, {160, 90}};
    for (size_t i = 0; i < 4; ++i) {
        const auto& s = f.streams[i];
        EXPECT_EQ(s.type, types[i]);
        EXPECT_EQ(s.streamHeaderSize, 56u);
        EXPECT_FALSE(s.extraChunks) << "stream " << i << " has chunks after strf";
        if (i < 2) {
            EXPECT_EQ(U32(s.streamHeader, 20), 1000u);   // dwScale
            EXPECT_EQ(U32(s.streamHeader, 24), 30000u);  // dwRate
            EXPECT_EQ(U32(s.streamHeader, 32), 120u);    // dwLength
            ASSERT_EQ(s.format.size(), 40u);
            EXPECT_EQ(U32(s.format, 0), 40u);
            EXPECT_EQ(U32(s.format, 4), uint32_t(sizes[i][0]));
            EXPECT_EQ(U32(s.format, 8), uint32_t(sizes[i][1]));
            EXPECT_EQ(avi_walk::FourCC(s.format, 16), "H264");
        }
    }
    const auto& wave = f.streams[2].format;
    ASSERT_EQ(wave.size(), 16u);
    EXPECT_EQ(U16(wave, 0), 1);       // PCM
    EXPECT_EQ(U16(wave, 2), 1);       // mono
    EXPECT_EQ(U32(wave, 4), 8000u);   // nSamplesPerSec
    EXPECT_EQ(U32(wave, 8), 16000u);  // nAvgBytesPerSec
    EXPECT_EQ(U16(wave, 12), 2);      // nBlockAlign
    EXPECT_EQ(U16(wave, 14), 16);     // wBitsPerSample
}

TEST_F(TwoCameraRecording, ChunksComeInTimeOrder) {
    const AviFile& f = file();
    ASSERT_EQ(f.problem, "");
    EXPECT_EQ(Ids(f), (std::vector<std::string>{"00dc", "01dc", "02wb", "03tx"}));
    // A sound or telemetry chunk is written just before the first frame whose time has
    // reached its start; the rear frame follows its front frame.
    int64_t front = 0, audioSamples = 0, gps = 0, gsensor = 0;
    for (size_t i = 0; i < f.chunks.size(); ++i) {
        const auto& c = f.chunks[i];
        int64_t startMs = -1;
        if (c.id == "00dc") {
            ++front;
            ASSERT_LT(i + 1, f.chunks.size());
            EXPECT_EQ(f.chunks[i + 1].id, "01dc") << "front frame " << front - 1 << " alone";
        } else if (c.id == "01dc") {
            EXPECT_EQ(f.chunks[i - 1].id, "00dc");
        } else if (c.id == "02wb") {
            EXPECT_EQ(c.size, 3840u);
            startMs = audioSamples * 1000 / 8000;
            audioSamples += c.size / 2;
        } else if (c.id == "03tx") {
            if (c.payload[0] == 'G')
                startMs = 1000 * gps++;
            else
                startMs = 100 * gsensor++;
        }
        if (startMs >= 0) {
            // front frames written so far: the next frame is `front`, due at front*1000/30 ms.
            EXPECT_LE(startMs * 30, front * 1000) << c.id << " written too early at chunk " << i;
            if (front > 0) {
                EXPECT_GT(startMs * 30, (front - 1) * 1000) << c.id << " late at chunk " << i;
            }
        }
    }
    EXPECT_EQ(front, 120);
    EXPECT_EQ(gps, 4);
    EXPECT_EQ(gsensor, 40);
    // Sound covers the pictures: chunks start up to the last frame's time (3.967 s).
    EXPECT_EQ(audioSamples / 1920, 17);
}

TEST_F(TwoCameraRecording, IndexPointsAtEveryChunk) {
    const AviFile& f = file();
    ASSERT_EQ(f.problem, "");
    ASSERT_TRUE(f.hasIndex);
    ASSERT_EQ(f.index.size(), f.chunks.size());
    for (size_t i = 0; i < f.index.size(); ++i) {
        const auto& e = f.index[i];
        const auto& c = f.chunks[i];
        EXPECT_EQ(e.id, c.id) << i;
        EXPECT_EQ(e.offset + f.moviFourcc, c.header) << i;
        EXPECT_EQ(e.size, c.size) << i;
        if (c.id.ends_with("dc")) {
            const bool key = c.payload[4] == 0x67;
            EXPECT_EQ(e.flags, key ? 0x10u : 0u) << i;
        }
    }
}

// Every access unit starts with a 4-byte start code; key frames with the SPS, the others with
// the slice, and no SEI or delimiter is left anywhere. A key frame every 30 frames.
void ExpectRecorderAccessUnits(const AviFile& f, int keyInterval) {
    std::map<std::string, int> frameNumber;
    for (const auto& c : f.chunks) {
        if (!c.id.ends_with("dc")) continue;
        const int n = frameNumber[c.id]++;
        ASSERT_GE(c.size, 5u);
        EXPECT_EQ(std::vector<uint8_t>(c.payload, c.payload + 4),
                  (std::vector<uint8_t>{0, 0, 0, 1}))
            << c.id << " frame " << n;
        EXPECT_EQ(c.payload[4], n % keyInterval == 0 ? 0x67 : 0x41) << c.id << " frame " << n;
        for (uint32_t i = 0; i + 3 < c.size; ++i) {
            if (c.payload[i] == 0 && c.payload[i + 1] == 0 && c.payload[i + 2] == 1) {
                const int type = c.payload[i + 3] & 0x1F;
                EXPECT_NE(type, 6) << c.id << " frame " << n << " carries an SEI";
                EXPECT_NE(type, 9) << c.id << " frame " << n << " carries a delimiter";
            }
        }
    }
}

TEST_F(TwoCameraRecording, KeyFramesOpenWithSpsAndOthersWithSlice) {
    ASSERT_EQ(file().problem, "");
    ExpectRecorderAccessUnits(file(), 30);
}

TEST(RecordingLayout, SameOptionsGiveSameBytesAndSeedsDiffer) {
    RecordingOptions o = SmallOptions();
    o.durationSec = 2;
    const AviFile a = Generate("det_a.avi", o);
    const AviFile b = Generate("det_b.avi", o);
    ASSERT_FALSE(a.bytes.empty());
    EXPECT_TRUE(a.bytes == b.bytes);
    o.seed = 4;
    const AviFile c = Generate("det_c.avi", o);
    EXPECT_FALSE(a.bytes == c.bytes);
}

struct VariantCase {
    const char* name;
    bool rear, audio, telemetry, index;
    int frameRate;
    std::vector<std::string> ids;
};

void PrintTo(const VariantCase& v, std::ostream* os) {
    *os << v.name;
}

class RecordingVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(RecordingVariant, StreamsAreNumberedInHeaderOrder) {
    const VariantCase& v = GetParam();
    RecordingOptions o = SmallOptions();
    o.durationSec = 2;
    o.rearCamera = v.rear;
    o.audio = v.audio;
    o.telemetry = v.telemetry;
    o.writeIndex = v.index;
    o.frameRate = v.frameRate;
    const AviFile f = Generate(std::string(v.name) + ".avi", o);
    ASSERT_EQ(f.problem, "");
    EXPECT_EQ(Ids(f), v.ids);
    EXPECT_EQ(f.streams.size(), v.ids.size());
    EXPECT_EQ(f.riffSize, f.bytes.size() - 8);
    EXPECT_EQ(f.hasIndex, v.index);
    if (!v.index) {
        EXPECT_EQ(f.endOfMovi, f.bytes.size());
    }
    for (const auto& s : f.streams) {
        if (s.type == "vids") {
            EXPECT_EQ(U32(s.streamHeader, 24), uint32_t(v.frameRate * 1000));
        }
    }
    int front = 0;
    for (const auto& c : f.chunks) front += c.id == "00dc";
    EXPECT_EQ(front, 2 * v.frameRate);
    ExpectRecorderAccessUnits(f, 30);
}

INSTANTIATE_TEST_SUITE_P(
    Options, RecordingVariant,
    ::testing::Values(
        VariantCase{"one_camera", false, true, true, true, 30, {"00dc", "01wb", "02tx"}},
        VariantCase{"no_index", true, true, true, false, 30, {"00dc", "01dc", "02wb", "03tx"}},
        VariantCase{"no_audio", true, false, true, true, 30, {"00dc", "01dc", "02tx"}},
        VariantCase{"video_only", false, false, false, true, 30, {"00dc"}},
        VariantCase{"sixty_fps", true, true, true, true, 60, {"00dc", "01dc", "02wb", "03tx"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AviWriter, OddPayloadsGetAZeroPadByte) {
    const std::string path = TestPath("odd.avi");
    AviWriter w;
    AviLayout layout;
    layout.video.push_back({32, 32, 30});
    std::string error;
    ASSERT_TRUE(w.Open(path, layout, &error)) << error;
    const uint8_t odd[5] = {'G', 'a', 'b', 'c', 'd'};
    const uint8_t key[6] = {0, 0, 0, 1, 0x67, 0x42};
    ASSERT_TRUE(w.WriteVideo(0, key, sizeof key, true));
    ASSERT_TRUE(w.WriteText(odd, sizeof odd));
    ASSERT_TRUE(w.WriteAudio(key, 3));
    ASSERT_TRUE(w.WriteVideo(0, key, sizeof key, false));
    ASSERT_TRUE(w.Finish(true, &error)) << error;
    const AviFile f = avi_walk::Walk(path);
    fs::remove(path);
    ASSERT_EQ(f.problem, "");
    ASSERT_EQ(f.chunks.size(), 4u);
    EXPECT_EQ(f.chunks[1].id, "02tx");
    EXPECT_EQ(f.chunks[1].size, 5u);
    EXPECT_EQ(f.chunks[2].id, "01wb");
    EXPECT_EQ(f.chunks[2].header, f.chunks[1].header + 8 + 6);
    EXPECT_EQ(f.padBytes, (std::vector<uint8_t>{0, 0}));
    ASSERT_EQ(f.index.size(), 4u);
    EXPECT_EQ(f.index[3].flags, 0u);
    EXPECT_EQ(f.index[0].flags, 0x10u);
}

TEST(RecordingLayout, RejectedOptionsLeaveNoFile) {
    const std::string folder = TestPath("rejected");
    fs::create_directories(folder);
    struct Case {
        const char* what;
        void (*change)(RecordingOptions&);
        std::string path;
    } cases[] = {
        {"odd width", [](RecordingOptions& o) { o.frontWidth = 321; }, folder + "/a.avi"},
        {"no duration", [](RecordingOptions& o) { o.durationSec = 0; }, folder + "/b.avi"},
        {"no frame rate", [](RecordingOptions& o) { o.frameRate = 0; }, folder + "/c.avi"},
        {"missing folder", [](RecordingOptions&) {}, folder + "/missing/d.avi"},
    };
    for (const Case& c : cases) {
        RecordingOptions o = SmallOptions();
        o.durationSec = 1;
        c.change(o);
        std::string error;
        EXPECT_FALSE(WriteRecording(c.path, o, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    EXPECT_TRUE(fs::is_empty(folder)) << "a rejected recording left a file behind";
    fs::remove_all(folder);
}

}  // namespace
