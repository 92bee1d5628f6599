// Header walk and chunk reading of the recording reader, on byte-level fixtures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"
#include "support/Trace.h"
#include "tests/media/AviFixture.h"

using namespace avifix;

namespace {

constexpr int32_t kPlayerCapacity = 1048576;

// Collects trace lines for the life of the object.
class TraceCapture {
public:
    TraceCapture() {
        SetTraceSink([this](const std::string& line) { m_text += line; });
    }
    ~TraceCapture() { SetTraceSink({}); }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

struct ReadChunk {
    int64_t position;
    std::string id;
    int32_t size;
};

ReadChunk NextChunk(CAVIExtractor& reader, int32_t capacity = kPlayerCapacity) {
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity > 0 ? capacity : 1));
    char id[4] = {};
    int32_t size = capacity;
    const int64_t pos = reader.ParseMedia(id, buffer.data(), &size);
    return {pos, pos < 0 ? std::string() : std::string(id, 4), size};
}

}  // namespace

TEST(CAVIExtractorHeader, DashcamLayoutOpensAtFirstMediaChunk) {
    Layout layout = DashcamLayout(2);
    layout.headerItems = {MainHeader(), VideoStream(1920, 1080, 30000),
                          VideoStream(640, 360, 15000), AudioStream(11025, 8), TextStream()};
    const Built built = Build(layout);
    const std::string path = WriteBytes("dashcam.avi", built.bytes);

    CAVIExtractor reader;
    EXPECT_TRUE(reader.Initialize());
    EXPECT_EQ(reader.OpenFile(path.c_str(), nullptr), static_cast<int32_t>(built.movieSize));
    EXPECT_EQ(reader.GetMovieListPosition(), built.moviPos);

    VideoSizeRec out;
    const VideoSizeRec front = reader.GetVideoSize(&out, 0);
    EXPECT_EQ(front.width, 1920);
    EXPECT_EQ(front.height, 1080);
    EXPECT_EQ(out.width, 1920);
    const VideoSizeRec rear = reader.GetVideoSize(nullptr, 1);
    EXPECT_EQ(rear.width, 640);
    EXPECT_EQ(rear.height, 360);
    EXPECT_EQ(reader.GetFrameRate(0), 30);
    EXPECT_EQ(reader.GetFrameRate(1), 15);
    int32_t bits = 0, rate = 0;
    reader.GetAudioFormat(&bits, &rate);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(rate, 11025);

    EXPECT_EQ(reader.Tell(), built.moviPos + 4);
    const ReadChunk first = NextChunk(reader);
    EXPECT_EQ(first.position, built.chunkPositions[0]);
    EXPECT_EQ(first.id, "03tx");
}

// Header lists that real writers produce besides the bare dashcam layout: each must open,
// see both video streams and the sound, and stop at the first media chunk.
struct HeaderVariant {
    const char* name;
    std::vector<Bytes> headerItems;
    std::vector<Bytes> betweenLists;
};

class CAVIExtractorHeaderVariant : public ::testing::TestWithParam<HeaderVariant> {};

TEST_P(CAVIExtractorHeaderVariant, OpensWithEveryStream) {
    Layout layout = DashcamLayout(1);
    layout.headerItems = GetParam().headerItems;
    layout.betweenLists = GetParam().betweenLists;
    const Built built = Build(layout);
    const std::string path = WriteBytes(std::string("variant_") + GetParam().name, built.bytes);

    CAVIExtractor reader;
    ASSERT_EQ(reader.OpenFile(path.c_str(), nullptr), static_cast<int32_t>(built.movieSize));
    EXPECT_EQ(reader.GetVideoSize(nullptr, 0).width, 1280);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).width, 640);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).height, 360);
    EXPECT_EQ(reader.GetFrameRate(1), 30);
    int32_t bits = 0, rate = 0;
    reader.GetAudioFormat(&bits, &rate);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(NextChunk(reader).position, built.chunkPositions[0]);
}

const Bytes kJunk = Chunk("JUNK", Bytes(100, 0));
const Bytes kOddJunk = Chunk("JUNK", Bytes(7, 0xEE));
const Bytes kStrn = Chunk("strn", Bytes{'f', 'r', 'o', 'n', 't', 0});
const Bytes kOddStrn = Chunk("strn", Bytes{'r', 'e', 'a', 'r', 0});
const Bytes kVprp = Chunk("vprp", Bytes(68, 1));

INSTANTIATE_TEST_SUITE_P(
    Layouts, CAVIExtractorHeaderVariant,
    ::testing::Values(
        HeaderVariant{"junk_in_header",
                      {MainHeader(), kJunk, VideoStream(1280, 720, 30000), kOddJunk,
                       VideoStream(640, 360, 30000), AudioStream(22050, 16), TextStream()},
                      {}},
        HeaderVariant{"junk_between_lists",
                      {MainHeader(), VideoStream(1280, 720, 30000), VideoStream(640, 360, 30000),
                       AudioStream(22050, 16), TextStream()},
                      {kOddJunk, List("INFO", {Chunk("ISFT", Bytes(9, 'x'))}), kJunk}},
        HeaderVariant{
            "strn_vprp_in_stream_list",
            {MainHeader(), VideoStream(1280, 720, 30000, {kStrn, kVprp}),
             VideoStream(640, 360, 30000, {kOddStrn}), AudioStream(22050, 16), TextStream()},
            {}},
        HeaderVariant{
            "odml_list",
            {MainHeader(), VideoStream(1280, 720, 30000), VideoStream(640, 360, 30000),
             AudioStream(22050, 16), TextStream(), List("odml", {Chunk("dmlh", Bytes(248, 0))})},
            {}}),
    [](const ::testing::TestParamInfo<HeaderVariant>& info) { return info.param.name; });

// Every header the reader cannot trust is refused with 0 and leaves nothing open.
struct RejectedHeader {
    const char* name;
    Bytes bytes;
};

std::vector<RejectedHeader> RejectedHeaders() {
    std::vector<RejectedHeader> rows;
    auto withHeader = [](std::vector<Bytes> items) {
        Layout l = DashcamLayout(1);
        l.headerItems = std::move(items);
        return Build(l).bytes;
    };
    Bytes good = Build(DashcamLayout(1)).bytes;

    Bytes notRiff = good;
    notRiff[0] = 'X';
    rows.push_back({"not_riff", notRiff});
    Bytes notAvi = good;
    notAvi[11] = 'X';
    rows.push_back({"not_avi_form", notAvi});
    rows.push_back({"no_header_list", Bytes(good.begin(), good.begin() + 14)});
    rows.push_back({"empty_file", {}});
    rows.push_back({"main_header_55", withHeader({MainHeader(55), VideoStream(1, 1, 30000)})});
    rows.push_back({"stream_header_57",
                    withHeader({MainHeader(), List("strl", {StreamHeader("vids", 30000, 57)})})});
    rows.push_back(
        {"video_format_44", withHeader({MainHeader(), VideoStream(1, 1, 30000, {}, 44)})});
    rows.push_back({"audio_format_18", withHeader({MainHeader(), AudioStream(8000, 16, 18)})});
    rows.push_back({"negative_width", withHeader({MainHeader(), VideoStream(-1280, 720, 30000)})});
    rows.push_back({"negative_height", withHeader({MainHeader(), VideoStream(1280, -720, 30000)})});
    rows.push_back({"huge_width", withHeader({MainHeader(), VideoStream(0x7FFFFFFF, 720, 30000)})});

    Bytes listTooLong = good;
    Patch32(listTooLong, 16, static_cast<uint32_t>(good.size()));
    rows.push_back({"header_list_larger_than_file", listTooLong});
    Bytes listNearMax = good;
    Patch32(listNearMax, 16, 0xFFFFFFF8u);
    rows.push_back({"header_list_size_near_4g", listNearMax});

    rows.push_back({"junk_runs_past_end",
                    withHeader({MainHeader(), ChunkSized("JUNK", 0xFFFFFFFFu, Bytes(4, 0))})});
    rows.push_back(
        {"nested_lists",
         withHeader({List("LIST", {List("LIST", {List("LIST", {List("LIST", {})})})})})});

    Layout noMovie = DashcamLayout(1);
    Bytes header = Build(noMovie).bytes;
    const size_t headerEnd = 12 + 8 + ReadLe32(header.data() + 16);
    header.resize(headerEnd);
    rows.push_back({"no_movie_list", header});
    Bytes tinyMovie = header;
    Append(tinyMovie, ChunkSized("LIST", 2, Bytes{'m', 'o'}));
    rows.push_back({"movie_list_too_small", tinyMovie});
    return rows;
}

TEST(CAVIExtractorHeader, RejectedHeadersReturnZeroAndCloseTheFile) {
    CAVIExtractor reader;
    for (const RejectedHeader& row : RejectedHeaders()) {
        SCOPED_TRACE(row.name);
        const std::string path = WriteBytes(std::string("rejected_") + row.name, row.bytes);
        EXPECT_EQ(reader.OpenFile(path.c_str(), nullptr), 0);
        EXPECT_EQ(reader.Tell(), -1) << "file left open";
        EXPECT_EQ(NextChunk(reader).position, -1);
        MediaInfo info;
        info.frontFrameRate = 77;
        EXPECT_FALSE(reader.BuildIndex(path.c_str(), &info));
        EXPECT_EQ(info.frontFrameRate, 77) << "a refused file leaves the record alone";
        EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::None);
    }
    EXPECT_EQ(reader.OpenFile(TestPath("does_not_exist.avi").c_str(), nullptr), 0);
    EXPECT_EQ(reader.OpenFile(TARVEX_TEST_DATA_DIR, nullptr), 0) << "a folder";
}

TEST(CAVIExtractorHeader, HeaderCutAtAnyByteIsRejected) {
    const Built built = Build(DashcamLayout(1));
    CAVIExtractor reader;
    for (int64_t cut = 0; cut < built.moviPos + 4; ++cut) {
        const Bytes head(built.bytes.begin(), built.bytes.begin() + cut);
        const std::string path = WriteBytes("header_cut", head);
        ASSERT_EQ(reader.OpenFile(path.c_str(), nullptr), 0) << "cut at " << cut;
    }
}

TEST(CAVIExtractorHeader, VideoTableFollowsStreamOrderAndIsResetPerFile) {
    Layout three = DashcamLayout(1);
    three.headerItems = {MainHeader(), VideoStream(1280, 720, 30000), VideoStream(640, 360, 30000),
                         VideoStream(320, 240, 10000), TextStream()};
    Layout one = DashcamLayout(1);
    one.headerItems = {MainHeader(), VideoStream(800, 600, 25000)};

    CAVIExtractor reader;
    ASSERT_GT(reader.OpenFile(WriteBytes("three_video.avi", Build(three).bytes).c_str(), nullptr),
              0);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 0).width, 1280);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).width, 320) << "third stream overwrites the rear";
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).height, 240);
    EXPECT_EQ(reader.GetFrameRate(1), 10);

    ASSERT_GT(reader.OpenFile(WriteBytes("one_video.avi", Build(one).bytes).c_str(), nullptr), 0);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 0).width, 800);
    EXPECT_EQ(reader.GetFrameRate(0), 25);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).width, 0);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 1).height, 0);
    EXPECT_EQ(reader.GetFrameRate(1), 0);
    EXPECT_EQ(reader.GetVideoSize(nullptr, 2).width, 0) << "out of range stream";
    EXPECT_EQ(reader.GetFrameRate(-1), 0);
}

TEST(CAVIExtractorHeader, FrameRateIsCappedAt30ButNativeRateIsKept) {
    struct Row {
        uint32_t dwRate;
        int32_t reported;
        int32_t native;
    };
    const Row rows[] = {{30000, 30, 30}, {60000, 30, 60}, {15000, 15, 15},
                        {29970, 29, 29}, {999, 0, 0},     {0xFFFFFFFFu, 30, 4294967}};
    CAVIExtractor reader;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dwRate);
        Layout l = DashcamLayout(1);
        l.headerItems = {MainHeader(), VideoStream(1280, 720, row.dwRate)};
        ASSERT_GT(reader.OpenFile(WriteBytes("rate.avi", Build(l).bytes).c_str(), nullptr), 0);
        EXPECT_EQ(reader.GetFrameRate(0), row.reported);
        EXPECT_EQ(reader.GetNativeFrameRate(0), row.native);
    }
}

TEST(CAVIExtractorHeader, AudioFormatIsKeptAcrossFilesWithoutSound) {
    Layout withSound = DashcamLayout(1);
    withSound.headerItems = {MainHeader(), VideoStream(1280, 720, 30000), AudioStream(44100, 8)};
    Layout silent = DashcamLayout(1);
    silent.headerItems = {MainHeader(), VideoStream(1280, 720, 30000), TextStream()};
    const std::string soundPath = WriteBytes("with_sound.avi", Build(withSound).bytes);
    const std::string silentPath = WriteBytes("silent.avi", Build(silent).bytes);

    CAVIExtractor reader;
    int32_t bits = 0, rate = 0;
    ASSERT_GT(reader.OpenFile(silentPath.c_str(), nullptr), 0);
    reader.GetAudioFormat(&bits, &rate);
    EXPECT_EQ(bits, 16) << "before any sound: the player's starting output format";
    EXPECT_EQ(rate, 8000);

    ASSERT_GT(reader.OpenFile(soundPath.c_str(), nullptr), 0);
    ASSERT_GT(reader.OpenFile(silentPath.c_str(), nullptr), 0);
    reader.GetAudioFormat(&bits, &rate);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(rate, 44100);
}

TEST(CAVIExtractorChunks, ReadsEveryChunkInFileOrderThenTheIndexThenStops) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = {{"00dc", VideoPayload(0, true, 41)},
               {"01dc", VideoPayload(0, true, 20)},
               {"02wb", Bytes(7, 0x55)},
               {"03tx", Bytes{'$', 'G', 'P', 'R', 'M', 'C'}},
               {"JUNK", Bytes(3, 0)}};
    const Built built = Build(l);
    CAVIExtractor reader;
    ASSERT_GT(reader.OpenFile(WriteBytes("order.avi", built.bytes).c_str(), nullptr), 0);

    std::vector<uint8_t> buffer(kPlayerCapacity);
    for (size_t i = 0; i < l.movie.size(); ++i) {
        SCOPED_TRACE(i);
        char id[4];
        int32_t size = kPlayerCapacity;
        EXPECT_EQ(reader.ParseMedia(id, buffer.data(), &size), built.chunkPositions[i]);
        EXPECT_EQ(std::string(id, 4), l.movie[i].id);
        ASSERT_EQ(size, static_cast<int32_t>(l.movie[i].payload.size()));
        EXPECT_TRUE(
            std::equal(l.movie[i].payload.begin(), l.movie[i].payload.end(), buffer.begin()));
    }
    const ReadChunk index = NextChunk(reader);
    EXPECT_EQ(index.position, built.idx1Pos);
    EXPECT_EQ(index.id, "idx1");
    EXPECT_EQ(NextChunk(reader).position, -1);
    EXPECT_EQ(NextChunk(reader).position, -1);
}

TEST(CAVIExtractorChunks, OddChunkNeedsRoomForItsPadByte) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = {{"02wb", Bytes{1, 2, 3, 4, 5}}, {"00dc", VideoPayload(0, true, 10)}};
    const Built built = Build(l);
    const std::string path = WriteBytes("odd.avi", built.bytes);

    CAVIExtractor reader;
    ASSERT_EQ(reader.OpenFile(path.c_str(), nullptr), static_cast<int32_t>(built.movieSize));
    {
        TraceCapture trace;
        uint8_t buffer[6] = {};
        char id[4];
        int32_t size = 5;
        EXPECT_EQ(reader.ParseMedia(id, buffer, &size), CAVIExtractor::kChunkTooLarge);
        EXPECT_EQ(size, 6) << "the capacity it needs";
        EXPECT_EQ(trace.Text(), "Wrong Size 5 < 5\n");
        EXPECT_EQ(reader.Tell(), built.chunkPositions[0]) << "left at its header";
    }
    uint8_t buffer[6] = {};
    char id[4];
    int32_t size = 6;
    EXPECT_EQ(reader.ParseMedia(id, buffer, &size), built.chunkPositions[0]);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(buffer[4], 5);
    EXPECT_EQ(NextChunk(reader).position, built.chunkPositions[1]) << "pad byte consumed";
}

TEST(CAVIExtractorChunks, ChunkSizeNear4GiBIsRefusedWithoutReading) {
    Layout l;
    l.headerItems = DashcamHeader();
    const Built built = Build(l);
    Bytes bytes = built.bytes;
    bytes.resize(static_cast<size_t>(built.moviPos + 4));
    Append(bytes, ChunkSized("00dc", 0xFFFFFFFFu, Bytes(16, 0)));
    CAVIExtractor reader;
    ASSERT_GT(reader.OpenFile(WriteBytes("huge_chunk.avi", bytes).c_str(), nullptr), 0);
    TraceCapture trace;
    EXPECT_EQ(NextChunk(reader).position, -1);
    EXPECT_EQ(trace.Text(), "Wrong Size 1048576 < -1\n");
}

TEST(CAVIExtractorChunks, ChunkCutShortByEndOfFileIsTheEndOfTheData) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.index = IndexKind::None;
    l.movie = {{"00dc", VideoPayload(0, true, 30)}, {"01dc", VideoPayload(0, true, 31)}};
    const Built built = Build(l);

    // The second chunk loses its last 10 payload bytes.
    Bytes cut = built.bytes;
    cut.resize(cut.size() - 11);
    CAVIExtractor reader;
    ASSERT_GT(reader.OpenFile(WriteBytes("cut_chunk.avi", cut).c_str(), nullptr), 0);
    EXPECT_EQ(NextChunk(reader).position, built.chunkPositions[0]);
    EXPECT_EQ(NextChunk(reader).position, -1);
    EXPECT_EQ(NextChunk(reader).position, -1);

    // Only the pad byte after a complete odd payload is missing: the chunk is whole.
    Bytes noPad = built.bytes;
    noPad.resize(noPad.size() - 1);
    ASSERT_GT(reader.OpenFile(WriteBytes("no_pad.avi", noPad).c_str(), nullptr), 0);
    EXPECT_EQ(NextChunk(reader).position, built.chunkPositions[0]);
    const ReadChunk last = NextChunk(reader);
    EXPECT_EQ(last.position, built.chunkPositions[1]);
    EXPECT_EQ(last.size, 31);
    EXPECT_EQ(NextChunk(reader).position, -1);
}

TEST(CAVIExtractorChunks, ReadPacketClassifiesByIdentifier) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = {{"00dc", Bytes(8, 0)}, {"01dc", Bytes(8, 0)}, {"02dc", Bytes(8, 0)},
               {"02wb", Bytes(8, 0)}, {"05wb", Bytes(8, 0)}, {"03tx", Bytes(8, 0)},
               {"JUNK", Bytes(8, 0)}, {"ixdc", Bytes(8, 0)}, {"00db", Bytes(8, 0)}};
    const int32_t expected[] = {0, 1, 1, 2, 2, 3, 5, 5, 5, /* idx1 */ 5};
    CAVIExtractor reader;
    ASSERT_GT(reader.OpenFile(WriteBytes("kinds.avi", Build(l).bytes).c_str(), nullptr), 0);
    std::vector<uint8_t> buffer(kPlayerCapacity);
    TraceCapture trace;
    for (int32_t kind : expected) {
        int32_t size = kPlayerCapacity;
        EXPECT_EQ(reader.ReadPacket(buffer.data(), &size), kind);
    }
    EXPECT_EQ(trace.Text(), "");
    int32_t size = kPlayerCapacity;
    EXPECT_EQ(reader.ReadPacket(buffer.data(), &size), 5);
    EXPECT_EQ(trace.Text(), "m_aviExtractor.ParseMedia failed\n");
}

TEST(CAVIExtractorChunks, PlainFileOperationsWithoutAFileFail) {
    CAVIExtractor reader;
    uint8_t byte = 0;
    EXPECT_EQ(reader.Read(&byte, 1), 0u);
    EXPECT_NE(reader.Seek(0, 0), 0);
    EXPECT_EQ(reader.Tell(), -1);
    EXPECT_EQ(reader.SeekToSecond(0), -1);
    EXPECT_EQ(NextChunk(reader).position, -1);
    reader.CloseFile();
    reader.Shutdown();
}
