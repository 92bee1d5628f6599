// The front-frame index (from idx1 or rebuilt from the movie data) and seeking by second.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/CAVIExtractor.h"
#include "tests/media/AviFixture.h"

using namespace avifix;

namespace {

// Positions of the "00dc" chunks of a built file, as the index must list them: those whose
// header lies before the cut and whose stated payload fits in the file.
std::vector<int64_t> FrontPositions(const Layout& layout, const Built& built, int64_t cut,
                                    int64_t fileSize) {
    std::vector<int64_t> out;
    for (size_t i = 0; i < layout.movie.size(); ++i) {
        const int64_t pos = built.chunkPositions[i];
        const int64_t end = pos + 8 + static_cast<int64_t>(layout.movie[i].payload.size());
        if (pos + 8 > cut || end > fileSize) break;
        if (layout.movie[i].id == "00dc") out.push_back(pos);
    }
    return out;
}

std::vector<int64_t> FrontPositions(const Layout& layout, const Built& built) {
    const int64_t size = static_cast<int64_t>(built.bytes.size());
    return FrontPositions(layout, built, size, size);
}

std::string ChunkIdAt(CAVIExtractor& reader) {
    const int64_t pos = reader.Tell();
    char id[4];
    if (reader.Read(id, 4) != 4) return "";
    reader.Seek(pos, 0);
    return std::string(id, 4);
}

}  // namespace

TEST(CAVIExtractorIndex, Idx1CountsFrontAndRearFramesOnly) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = {{"00dc", Bytes(10, 0)},
               {"01dc", Bytes(10, 0)},
               {"02dc", Bytes(10, 0)},
               {"01wb", Bytes(10, 0)},
               {"02tx", Bytes(10, 0)}};
    const Built built = Build(l);
    const std::string path = WriteBytes("index_counts.avi", built.bytes);

    CAVIExtractor reader;
    MediaInfo info;
    info.byteArrays.resize(3);
    ASSERT_TRUE(reader.BuildIndex(path.c_str(), &info));
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Idx1);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.rearFrameRate, 30);
    EXPECT_EQ(info.frontFrameCount, 1);
    EXPECT_EQ(info.rearFrameCount, 2);
    EXPECT_TRUE(info.byteArrays.empty());
    EXPECT_EQ(info.frontFramePositions, std::vector<int64_t>{built.chunkPositions[0]});
    EXPECT_EQ(reader.Tell(), -1) << "the index builder ends closed";
}

TEST(CAVIExtractorIndex, OpenFileWithInfoBuildsTheIndexAndStaysOpen) {
    const Layout l = DashcamLayout(3);
    const Built built = Build(l);
    const std::string path = WriteBytes("open_with_info.avi", built.bytes);

    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_EQ(reader.OpenFile(path.c_str(), &info), static_cast<int32_t>(built.movieSize));
    EXPECT_EQ(info.frontFrameCount, 90);
    EXPECT_EQ(info.rearFrameCount, 90);
    EXPECT_EQ(info.frontFramePositions, FrontPositions(l, built));
    EXPECT_EQ(reader.Tell(), built.moviPos + 4);
}

TEST(CAVIExtractorIndex, IndexLargerThan512000BytesIsRead) {
    Layout l;
    l.headerItems = DashcamHeader();
    for (int i = 0; i < 40000; ++i) {
        l.movie.push_back({i % 2 == 0 ? "00dc" : "02wb", Bytes(2, static_cast<uint8_t>(i))});
    }
    const Built built = Build(l);
    ASSERT_GT(built.bytes.size() - static_cast<size_t>(built.idx1Pos), 512000u);

    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(WriteBytes("big_index.avi", built.bytes).c_str(), &info), 0);
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Idx1);
    EXPECT_EQ(info.frontFrameCount, 20000);
    EXPECT_EQ(reader.SeekToSecond(600), 0);
    EXPECT_EQ(reader.Tell(), built.chunkPositions[2 * 600 * 30]);
}

TEST(CAVIExtractorIndex, IndexAfterOtherChunksFollowingTheMovieListIsFound) {
    Layout l = DashcamLayout(2);
    l.afterMovie = {Chunk("JUNK", Bytes(33, 0)), List("INFO", {})};
    const Built built = Build(l);
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_TRUE(reader.BuildIndex(WriteBytes("junk_before_idx1.avi", built.bytes).c_str(), &info));
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Idx1);
    EXPECT_EQ(info.frontFrameCount, 60);
}

TEST(CAVIExtractorIndex, RecordingWithoutIndexGetsTheSameIndexRebuilt) {
    Layout l = DashcamLayout(4);
    const Built withIndex = Build(l);
    l.index = IndexKind::None;
    const Built withoutIndex = Build(l);

    CAVIExtractor reader;
    MediaInfo expected, rebuilt;
    ASSERT_TRUE(reader.BuildIndex(WriteBytes("indexed.avi", withIndex.bytes).c_str(), &expected));
    ASSERT_EQ(reader.GetIndexSource(), AviIndexSource::Idx1);
    ASSERT_TRUE(
        reader.BuildIndex(WriteBytes("unindexed.avi", withoutIndex.bytes).c_str(), &rebuilt));
    EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Rebuilt);
    EXPECT_EQ(rebuilt.frontFrameCount, expected.frontFrameCount);
    EXPECT_EQ(rebuilt.rearFrameCount, expected.rearFrameCount);
    EXPECT_EQ(rebuilt.frontFramePositions, expected.frontFramePositions);
}

// A recording cut off by power loss: the rebuilt index lists exactly the complete front
// chunks before the cut, whatever the cut hits (a payload, a header, the index, or a tail of
// zeros the card left behind).
TEST(CAVIExtractorIndex, CutOffRecordingIndexEndsAtLastCompleteChunk) {
    const Layout l = DashcamLayout(3);
    const Built built = Build(l);
    const int64_t full = static_cast<int64_t>(built.bytes.size());
    const std::vector<int64_t> cuts = {
        built.chunkPositions[40] + 3,   // inside a chunk header
        built.chunkPositions[41] + 12,  // inside a payload
        built.chunkPositions[100],      // on a chunk boundary
        built.idx1Pos,                  // right after the movie data
        built.idx1Pos + 8 + 100,        // inside the index
        full - 1,                       // last index byte missing
    };
    CAVIExtractor reader;
    for (int64_t cut : cuts) {
        SCOPED_TRACE(cut);
        for (bool zeroTail : {false, true}) {
            Bytes bytes(built.bytes.begin(), built.bytes.begin() + cut);
            if (zeroTail) bytes.resize(bytes.size() + 5000, 0);
            const std::string path = WriteBytes("cut.avi", bytes);
            MediaInfo info;
            ASSERT_GT(reader.OpenFile(path.c_str(), &info), 0);
            // Zeros after the cut can make a torn chunk or index look whole by its size.
            if (!zeroTail) {
                EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Rebuilt);
            }
            const std::vector<int64_t> expected =
                FrontPositions(l, built, cut, static_cast<int64_t>(bytes.size()));
            EXPECT_EQ(info.frontFramePositions, expected);
            EXPECT_EQ(info.frontFrameCount, static_cast<int32_t>(expected.size()));
            EXPECT_EQ(reader.FramePositions(), expected);
        }
    }
}

TEST(CAVIExtractorIndex, IndexPointingOutsideTheMovieDataIsRebuilt) {
    const Layout l = DashcamLayout(2);
    const Built built = Build(l);
    struct Row {
        const char* name;
        uint32_t offset;
    };
    // Entry 1 is the first front frame (entry 0 is a text chunk).
    const Row rows[] = {{"past_end_of_file", 0xFFFFFF00u},
                        {"onto_movi_type", 0},
                        {"absolute_offset", static_cast<uint32_t>(built.idx1Pos)}};
    CAVIExtractor reader;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes bytes = built.bytes;
        Patch32(bytes, static_cast<size_t>(built.idx1Pos + 8 + 16 + 8), row.offset);
        MediaInfo info;
        ASSERT_GT(reader.OpenFile(WriteBytes("bad_entry.avi", bytes).c_str(), &info), 0);
        EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Rebuilt);
        EXPECT_EQ(reader.FramePositions(), FrontPositions(l, built));
    }
}

TEST(CAVIExtractorSeek, SecondLandsOnTheFrontFrameThatStartsIt) {
    const Layout l = DashcamLayout(5);
    const Built built = Build(l);
    const std::vector<int64_t> front = FrontPositions(l, built);
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(WriteBytes("seek.avi", built.bytes).c_str(), &info), 0);

    for (int second : {0, 1, 4}) {
        SCOPED_TRACE(second);
        EXPECT_EQ(reader.SeekToSecond(second), 0);
        EXPECT_EQ(reader.Tell(), front[static_cast<size_t>(second) * 30]);
        std::vector<uint8_t> buffer(1 << 20);
        char id[4];
        int32_t size = static_cast<int32_t>(buffer.size());
        EXPECT_EQ(reader.ParseMedia(id, buffer.data(), &size), front[second * 30]);
        EXPECT_EQ(std::string(id, 4), "00dc");
        EXPECT_NE(buffer[4], 0x41) << "a second starts on a key frame";
    }
    const int64_t before = reader.Tell();
    EXPECT_EQ(reader.SeekToSecond(5), -1) << "past the end";
    EXPECT_EQ(reader.SeekToSecond(-1), -1);
    EXPECT_EQ(reader.SeekToSecond(INT32_MAX), -1);
    EXPECT_EQ(reader.Tell(), before) << "a refused seek leaves the position alone";
}

TEST(CAVIExtractorSeek, HighFrameRateSeeksByItsRealRate) {
    const Layout l = DashcamLayout(3, 60);
    const Built built = Build(l);
    const std::vector<int64_t> front = FrontPositions(l, built);
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(WriteBytes("seek60.avi", built.bytes).c_str(), &info), 0);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.frontFrameCount, 180);
    EXPECT_EQ(reader.SeekToSecond(2), 0);
    EXPECT_EQ(reader.Tell(), front[120]);
    EXPECT_EQ(ChunkIdAt(reader), "00dc");
    EXPECT_EQ(reader.SeekToSecond(3), -1);
}

TEST(CAVIExtractorSeek, RecordingWithoutFramesCannotSeek) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = {{"02wb", Bytes(100, 0)}, {"03tx", Bytes(5, 'x')}};
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_GT(reader.OpenFile(WriteBytes("no_frames.avi", Build(l).bytes).c_str(), &info), 0);
    EXPECT_EQ(info.frontFrameCount, 0);
    EXPECT_EQ(reader.SeekToSecond(0), -1);
}

TEST(CAVIExtractorSeek, RefusedFileForgetsThePreviousIndex) {
    const Built good = Build(DashcamLayout(2));
    CAVIExtractor reader;
    MediaInfo info;
    ASSERT_TRUE(reader.BuildIndex(WriteBytes("good.avi", good.bytes).c_str(), &info));
    ASSERT_FALSE(reader.BuildIndex(WriteBytes("bad.avi", Bytes(40, 'x')).c_str(), &info));
    EXPECT_TRUE(reader.FramePositions().empty());
    EXPECT_EQ(reader.SeekToSecond(0), -1);
}
