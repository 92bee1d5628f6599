// The recording reader on recordings from the sample generator (real H.264, PCM, telemetry).

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

constexpr int32_t kPlayerCapacity = 1048576;

// ctest runs every test in its own process, possibly side by side: each process writes its
// own copies.
std::string DataPath(const std::string& name) {
    return std::string(TARVEX_TEST_DATA_DIR) + "/avireader_" + std::to_string(getpid()) + "_" +
           name;
}

std::string Generate(const std::string& name, const RecordingOptions& options) {
    const std::string path = DataPath(name);
    std::string error;
    EXPECT_TRUE(WriteRecording(path, options, &error)) << error;
    return path;
}

std::string CopyPrefix(const std::string& from, const std::string& name, uintmax_t length) {
    std::vector<char> bytes(length);
    FILE* in = fopen(from.c_str(), "rb");
    EXPECT_NE(in, nullptr);
    if (in == nullptr) return "";
    EXPECT_EQ(fread(bytes.data(), 1, length, in), length);
    fclose(in);
    const std::string path = DataPath(name);
    FILE* out = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, length, out);
    fclose(out);
    return path;
}

struct Chunk {
    int64_t position;
    std::string id;
    std::vector<uint8_t> payload;
};

// Everything ParseMedia hands out after the header, in order.
std::vector<Chunk> ReadAll(CAVIExtractor& reader) {
    std::vector<Chunk> chunks;
    std::vector<uint8_t> buffer(kPlayerCapacity);
    for (;;) {
        char id[4];
        int32_t size = kPlayerCapacity;
        const int64_t pos = reader.ParseMedia(id, buffer.data(), &size);
        if (pos < 0) break;
        chunks.push_back({pos, std::string(id, 4), {buffer.begin(), buffer.begin() + size}});
    }
    return chunks;
}

class CAVIExtractorRecording : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_indexed = Generate("5s.avi", Options());
        RecordingOptions options = Options();
        options.writeIndex = false;
        s_unindexed = Generate("5s_noindex.avi", options);
    }
    static void TearDownTestSuite() {
        std::filesystem::remove(s_indexed);
        std::filesystem::remove(s_unindexed);
        std::filesystem::remove(DataPath("5s_cut.avi"));
    }
    // Small pictures keep the encoding quick; the layout is the dashcam's all the same.
    static RecordingOptions Options() {
        RecordingOptions options;
        options.durationSec = 5;
        options.frontWidth = 640;
        options.frontHeight = 360;
        options.rearWidth = 320;
        options.rearHeight = 180;
        return options;
    }
    static std::string s_indexed;
    static std::string s_unindexed;
};
std::string CAVIExtractorRecording::s_indexed;
std::string CAVIExtractorRecording::s_unindexed;

}  // namespace

TEST_F(CAVIExtractorRecording, OpensWithBothCamerasSoundAndFrameCounts) {
    CAVIExtractor reader;
    MediaInfo info;
    const int32_t movieSize = reader.OpenFile(s_indexed.c_str(), &info);
    ASSERT_GT(movieSize, 0);
    EXPECT_LT(reader.GetMovieListPosition() + movieSize,
              static_cast<int64_t>(std::filesystem::file_size(s_indexed)));
    EXPECT_EQ(reader.GetVideoSize(nullptr, 0).width, 640);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 0).height, 360);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).width, 320);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).height, 180);
    EXPECT_EQ(reader.GetFrameRate(0), 30);
    EXPECT_EQ(reader.GetFrameRate(1), 30);
    int32_t bits = 0, rate = 0;
    reader.GetAudioFormat(&bits, &rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Idx1);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.rearFrameRate, 30);
    EXPECT_EQ(info.frontFrameCount, 150);
    EXPECT_EQ(info.rearFrameCount, 150);
}

TEST_F(CAVIExtractorRecording, ChunksReadInOrderMatchTheIndex) {
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(s_indexed.c_str(), &info), 0);
    const std::vector<Chunk> chunks = ReadAll(reader);
    std::vector<int64_t> front;
    int rear = 0, audio = 0, text = 0;
    for (const Chunk& c : chunks) {
        switch (ClassifyChunk(c.id.c_str())) {
            case AviChunkKind::FrontVideo:
                front.push_back(c.position);
                break;
            case AviChunkKind::RearVideo:
                ++rear;
                break;
            case AviChunkKind::Audio:
                ++audio;
                break;
            case AviChunkKind::Text:
                ++text;
                break;
            case AviChunkKind::Other:
                break;
        }
    }
    EXPECT_EQ(front, reader.FramePositions());
    EXPECT_EQ(rear, 150);
    EXPECT_GT(audio, 0);
    EXPECT_GT(text, 0);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.back().id, "idx1");
    EXPECT_EQ(chunks.back().position + 8 + static_cast<int64_t>(chunks.back().payload.size()),
              static_cast<int64_t>(std::filesystem::file_size(s_indexed)));
}

TEST_F(CAVIExtractorRecording, EverySecondStartsOnAFrontKeyFrame) {
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(s_indexed.c_str(), &info), 0);
    std::vector<uint8_t> buffer(kPlayerCapacity);
    for (int second = 0; second < 5; ++second) {
        SCOPED_TRACE(second);
        ASSERT_EQ(reader.SeekToSecond(second), 0);
        char id[4];
        int32_t size = kPlayerCapacity;
        EXPECT_EQ(reader.ParseMedia(id, buffer.data(), &size),
                  reader.FramePositions()[static_cast<size_t>(second) * 30]);
        EXPECT_EQ(std::string(id, 4), "00dc");
        ASSERT_GT(size, 5);
        EXPECT_NE(buffer[4], 0x41) << "first NAL of a second is not a plain slice";
    }
    EXPECT_EQ(reader.SeekToSecond(5), -1);
}

TEST_F(CAVIExtractorRecording, RecordingWithoutIndexGetsTheSameIndexRebuilt) {
    CAVIExtractor reader;
    MediaInfo expected, rebuilt;
    ASSERT_TRUE(reader.BuildIndex(s_indexed.c_str(), &expected));
    ASSERT_TRUE(reader.BuildIndex(s_unindexed.c_str(), &rebuilt));
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Rebuilt);
    EXPECT_EQ(rebuilt.frontFrameCount, 150);
    EXPECT_EQ(rebuilt.rearFrameCount, 150);
    EXPECT_EQ(rebuilt.frontFramePositions, expected.frontFramePositions);
}

TEST_F(CAVIExtractorRecording, CutOffCopyKeepsTheFramesBeforeTheCut) {
    CAVIExtractor reader;
    MediaInfo full;
    ASSERT_TRUE(reader.BuildIndex(s_indexed.c_str(), &full));
    const std::vector<int64_t> all = reader.FramePositions();
    ASSERT_EQ(all.size(), 150u);

    // Cut 7 bytes into front frame 100's payload: frames 0..99 remain whole.
    const std::string cut =
        CopyPrefix(s_indexed, "5s_cut.avi", static_cast<uintmax_t>(all[100] + 15));
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(cut.c_str(), &info), 0);
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Rebuilt);
    EXPECT_EQ(info.frontFrameCount, 100);
    EXPECT_EQ(reader.FramePositions(), std::vector<int64_t>(all.begin(), all.begin() + 100));
    EXPECT_EQ(reader.SeekToSecond(3), 0);
    EXPECT_EQ(reader.Tell(), all[90]);
    EXPECT_EQ(reader.SeekToSecond(4), -1);

    // Reading plays to the cut and stops there instead of handing out a torn chunk.
    ASSERT_GT(reader.OpenFile(cut.c_str(), nullptr), 0);
    const std::vector<Chunk> chunks = ReadAll(reader);
    ASSERT_FALSE(chunks.empty());
    EXPECT_LT(chunks.back().position, all[100]);
}
