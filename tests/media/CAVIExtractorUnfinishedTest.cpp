// Recordings a camera never finished (header sizes never written), chunks larger than the
// player's read buffer, and frame positions past 2 GiB.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"
#include "support/Trace.h"
#include "tests/GeneratedRecording.h"
#include "tests/ToolRun.h"
#include "tests/media/AviFixture.h"

using namespace avifix;

namespace {

constexpr int32_t kPlayerCapacity = 1048576;
constexpr int kFps = 30;

struct Walked {
    int64_t position;
    std::string id;
    int32_t size;
};

// Every chunk ParseMedia hands out, read as the player does: a 1 MiB buffer, grown when the
// reader says a video or sound chunk needs more.
std::vector<Walked> WalkAsPlayer(CAVIExtractor& reader, int* grown) {
    std::vector<uint8_t> buffer(kPlayerCapacity);
    std::vector<Walked> out;
    for (;;) {
        char id[4];
        int32_t size = static_cast<int32_t>(buffer.size());
        int64_t pos = reader.ParseMedia(id, buffer.data(), &size);
        if (pos == CAVIExtractor::kChunkTooLarge) {
            EXPECT_LE(size, CAVIExtractor::kMaxChunkBytes);
            ++*grown;
            buffer.resize(static_cast<size_t>(size));
            pos = reader.ParseMedia(id, buffer.data(), &size);
        }
        if (pos < 0) break;
        out.push_back({pos, std::string(id, 4), size});
    }
    return out;
}

std::vector<std::string> Ids(const std::vector<Walked>& chunks) {
    std::vector<std::string> ids;
    for (const Walked& c : chunks) ids.push_back(c.id);
    return ids;
}

int CountOf(const std::vector<MediaChunk>& movie, const char* id) {
    return static_cast<int>(std::count_if(movie.begin(), movie.end(),
                                          [id](const MediaChunk& c) { return c.id == id; }));
}

void SilenceTrace() {
    SetTraceSink([](const std::string&) {});
}

}  // namespace

// After a power cut the RIFF and movie list sizes read 0 (or whatever was reserved): the
// movie list runs to the end of the file, its index is rebuilt and ends at the zeros or the
// torn chunk, and the recording's true length is reported.
TEST(CAVIExtractorUnfinished, UnwrittenHeaderSizesReadToTheEndOfTheFile) {
    struct Row {
        const char* name;
        int64_t riffSize;  // -1: the size of a finished file
        uint32_t movieSize;
        bool tornLastChunk;  // else a tail of zeros
    };
    const Row rows[] = {
        {"both_zero", 0, 0, false},
        {"movie_zero", -1, 0, true},
        {"both_beyond_the_file", 0x7FFFFFF0u, 0x7FFFFFE0u, true},
        {"movie_beyond_riff_zero", 0, 0xFFFFFFFFu, false},
    };
    Layout l = DashcamLayout(3, kFps);
    l.index = IndexKind::None;
    const Built built = Build(l);
    CAVIExtractor reader;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes bytes = built.bytes;
        if (row.riffSize >= 0) Patch32(bytes, 4, static_cast<uint32_t>(row.riffSize));
        Patch32(bytes, static_cast<size_t>(built.moviPos - 4), row.movieSize);
        size_t whole = l.movie.size();
        if (row.tornLastChunk) {
            bytes.resize(bytes.size() - 5);
            --whole;
        } else {
            bytes.resize(bytes.size() + 4096, 0);
        }
        const std::string path = WriteBytes(std::string("unfinished_") + row.name, bytes);

        MediaInfo info;
        ASSERT_GT(reader.OpenFile(path.c_str(), &info), 0);
        EXPECT_FALSE(reader.IsMovieSizeWritten());
        EXPECT_EQ(reader.GetMovieSize(), static_cast<int64_t>(bytes.size()) - built.moviPos);
        EXPECT_EQ(reader.GetIndexSource(), AviIndexSource::Rebuilt);
        EXPECT_EQ(info.frontFrameCount, 3 * kFps);
        EXPECT_EQ(info.rearFrameCount, CountOf(l.movie, "01dc") - (row.tornLastChunk ? 1 : 0));
        int grown = 0;
        const std::vector<Walked> walked = WalkAsPlayer(reader, &grown);
        EXPECT_EQ(walked.size(), whole) << "stops at the zeros or the torn chunk";
        EXPECT_EQ(reader.SeekToSecond(2), 0);
        EXPECT_EQ(reader.Tell(), info.frontFramePositions[2 * kFps]);
    }
    const ToolOutput tool =
        RunToolCommand("info " + TestPath("unfinished_both_zero") + " 2>/dev/null");
    EXPECT_EQ(tool.status, 0);
    EXPECT_NE(tool.out.find("\"accepted\": true"), std::string::npos) << tool.out;
    EXPECT_NE(tool.out.find("\"index\": \"rebuilt\", \"duration_ms\": 3000"), std::string::npos)
        << tool.out;
}

// A chunk over the player's 1 MiB never ends the walk: a whole video or sound chunk within
// the ceiling is handed out after the caller grows its buffer, anything else is stepped over;
// either way every chunk after it is read and indexed.
TEST(CAVIExtractorUnfinished, ChunkOverTheReadBufferDoesNotEndTheWalk) {
    struct Row {
        const char* id;
        uint32_t size;
        bool readWhole;
    };
    const Row rows[] = {
        {"00dc", 1100000, true},   // a high-bit-rate key frame
        {"02wb", 1100001, true},   // odd: needs its pad byte too
        {"03tx", 2000000, false},  // no telemetry payload is that large
        {"JUNK", 2000000, false},
        {"01dc", static_cast<uint32_t>(CAVIExtractor::kMaxChunkBytes) + 2, false},
    };
    SilenceTrace();
    CAVIExtractor reader;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        Layout l = DashcamLayout(3, kFps);
        // Before the key frame that starts second 1.
        const auto at = std::find_if(l.movie.begin(), l.movie.end(), [](const MediaChunk& c) {
            return c.id == "00dc" && c.payload.size() > 5 && c.payload[5] == kFps;
        });
        Bytes big = row.id[2] == 'd' ? VideoPayload(kFps, true, row.size) : Bytes(row.size, 'x');
        l.movie.insert(at, {row.id, std::move(big)});
        const Built built = Build(l);
        const std::string path = WriteBytes("oversized.avi", built.bytes);

        MediaInfo info;
        ASSERT_GT(reader.OpenFile(path.c_str(), &info), 0);
        int grown = 0;
        const std::vector<Walked> walked = WalkAsPlayer(reader, &grown);
        std::vector<std::string> expected;
        for (const MediaChunk& c : l.movie) {
            if (row.readWhole || c.payload.size() != row.size) expected.push_back(c.id);
        }
        expected.push_back("idx1");
        EXPECT_EQ(Ids(walked), expected);
        EXPECT_EQ(grown, row.readWhole ? 1 : 0);

        // The index rebuilt from the chunk headers steps over it by its size as well.
        l.index = IndexKind::None;
        MediaInfo rebuilt;
        ASSERT_TRUE(
            reader.BuildIndex(WriteBytes("oversized_noidx.avi", Build(l).bytes).c_str(), &rebuilt));
        EXPECT_EQ(rebuilt.frontFrameCount, CountOf(l.movie, "00dc"));
        EXPECT_EQ(rebuilt.frontFramePositions, info.frontFramePositions);
    }
    SetTraceSink({});
}

// The telemetry walk runs the real player: fixes after a 1.1 MB key frame are still stored.
TEST(CAVIExtractorUnfinished, TelemetryGoesOnPastALargeKeyFrame) {
    constexpr int kSeconds = 5;
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = DashcamMovie(kSeconds, kFps);
    int second = 0;
    for (MediaChunk& c : l.movie) {
        if (c.id != "03tx") continue;
        const std::string fix = "G$GPRMC,0000" + std::to_string(10 + second) +
                                ",A,3733.990,N,12658.680,E,010.0,90.0,140326,,,A";
        c.payload.assign(fix.begin(), fix.end());
        ++second;
    }
    for (MediaChunk& c : l.movie) {
        if (c.id == "00dc" && c.payload[5] == 2 * kFps)
            c.payload = VideoPayload(2 * kFps, true, 1100000);
    }
    const std::string path = WriteBytes("telemetry_big_key.avi", Build(l).bytes);
    const ToolOutput run =
        RunToolCommand("telemetry " + path + " --no-clock 2>/dev/null", "TZ=UTC");
    ASSERT_EQ(run.status, 0);
    size_t fixes = 0;
    for (size_t i = run.out.find("\"year\""); i != std::string::npos;
         i = run.out.find("\"year\"", i + 1)) {
        ++fixes;
    }
    EXPECT_EQ(fixes, static_cast<size_t>(kSeconds)) << run.out.substr(0, 300);
    EXPECT_NE(run.out.find("\"second\": 14"), std::string::npos) << "the last second's fix";
}

// A recording of about 2.5 GiB (sparse: only its chunks take disk space) whose seconds 1 and
// 2 lie past 2 GiB, behind a JUNK chunk: positions, seeks and reads are 64-bit, through idx1
// and through the rebuilt index.
TEST(CAVIExtractorUnfinished, SeekPastTwoGiBLandsOnTheRightFrame) {
    constexpr int64_t kFarStart = int64_t{5} << 29;  // 2.5 GiB
    Layout first;
    first.headerItems = DashcamHeader();
    first.index = IndexKind::None;
    first.movie = DashcamMovie(1, kFps);
    const Built head = Build(first);
    const int64_t junkAt = static_cast<int64_t>(head.bytes.size());

    // Seconds 1 and 2, laid out from kFarStart on.
    const std::vector<MediaChunk> all = DashcamMovie(3, kFps);
    std::vector<MediaChunk> far(all.begin() + static_cast<int64_t>(first.movie.size()), all.end());
    Bytes tail;
    std::vector<int64_t> farPositions;
    for (const MediaChunk& c : far) {
        farPositions.push_back(kFarStart + static_cast<int64_t>(tail.size()));
        Append(tail, Chunk(c.id.c_str(), c.payload));
    }
    const int64_t movieEnd = kFarStart + static_cast<int64_t>(tail.size());

    for (bool withIdx1 : {true, false}) {
        SCOPED_TRACE(withIdx1 ? "idx1" : "rebuilt");
        Bytes start = head.bytes;
        PutFourCC(start, "JUNK");
        Put32(start, static_cast<uint32_t>(kFarStart - junkAt - 8));
        Bytes end = tail;
        if (withIdx1) {
            Bytes entries;
            std::vector<int64_t> positions = head.chunkPositions;
            positions.insert(positions.end(), farPositions.begin(), farPositions.end());
            for (size_t i = 0; i < all.size(); ++i) {
                PutFourCC(entries, all[i].id.c_str());
                Put32(entries, 0x10);
                Put32(entries, static_cast<uint32_t>(positions[i] - head.moviPos));
                Put32(entries, static_cast<uint32_t>(all[i].payload.size()));
            }
            Append(end, Chunk("idx1", entries));
        }
        const int64_t fileSize = kFarStart + static_cast<int64_t>(end.size());
        Patch32(start, 4, static_cast<uint32_t>(fileSize - 8));
        Patch32(start, static_cast<size_t>(head.moviPos - 4),
                static_cast<uint32_t>(movieEnd - head.moviPos));
        const std::string path =
            WriteSparse("sparse_2_5g.avi", {{0, start}, {kFarStart, end}}, fileSize);

        CAVIExtractor reader;
        MediaInfo info;
        ASSERT_GT(reader.OpenFile(path.c_str(), &info), 0);
        EXPECT_EQ(reader.GetIndexSource(),
                  withIdx1 ? AviIndexSource::Idx1 : AviIndexSource::Rebuilt);
        ASSERT_EQ(info.frontFrameCount, 3 * kFps);
        const int64_t secondTwo =
            farPositions[static_cast<size_t>(std::find_if(far.begin(), far.end(),
                                                          [](const MediaChunk& c) {
                                                              return c.id == "00dc" &&
                                                                     c.payload[5] == 2 * kFps;
                                                          }) -
                                             far.begin())];
        EXPECT_EQ(info.frontFramePositions[2 * kFps], secondTwo);
        MediaInfo kept;
        ASSERT_TRUE(reader.GetMediaInfo(&kept));
        EXPECT_EQ(kept.frontFramePositions, info.frontFramePositions);

        ASSERT_EQ(reader.SeekToSecond(2), 0);
        std::vector<uint8_t> buffer(kPlayerCapacity);
        char id[4];
        int32_t size = kPlayerCapacity;
        ASSERT_EQ(reader.ParseMedia(id, buffer.data(), &size), secondTwo);
        EXPECT_EQ(std::string(id, 4), "00dc");
        EXPECT_EQ(buffer[5], 2 * kFps) << "frame 60";

        // Read from the start, the JUNK over the gap is stepped over in one move.
        SilenceTrace();
        ASSERT_GT(reader.OpenFile(path.c_str(), nullptr), 0);
        int grown = 0;
        const std::vector<Walked> walked = WalkAsPlayer(reader, &grown);
        SetTraceSink({});
        EXPECT_EQ(walked.size(), all.size() + (withIdx1 ? 1 : 0));
        reader.CloseFile();
        std::remove(path.c_str());
    }
}

// A power loss cuts a recording whose header was written for its whole length: it ends
// early where its frames run out; a finished recording does not. The tool's info says the
// same.
TEST(CAVIExtractorUnfinished, ARecordingCutShortEndsBeforeItsHeaderSays) {
    RecordingOptions o;
    o.durationSec = 4;
    o.frontWidth = 160, o.frontHeight = 96, o.rearCamera = false;
    const std::string whole =
        GeneratedRecording(std::string(TARVEX_TEST_DATA_DIR) + "/early-end/REC_whole.AVI", o);
    ASSERT_FALSE(whole.empty());
    const std::string cut = std::string(TARVEX_TEST_DATA_DIR) + "/early-end/REC_cut.AVI";
    std::filesystem::copy_file(whole, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(whole) / 2);

    EXPECT_FALSE(CheckEarlyEnd(whole));
    const std::optional<EarlyEnd> end = CheckEarlyEnd(cut);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->headerMs, 4000);
    EXPECT_GT(end->endsAtMs, 1000);
    EXPECT_LT(end->endsAtMs, 3000);
    EXPECT_FALSE(CheckEarlyEnd(cut + ".missing"));
    const ToolOutput info = RunToolCommand("info '" + cut + "' 2>/dev/null");
    EXPECT_NE(info.out.find("\"ends_early_ms\": " + std::to_string(end->endsAtMs)),
              std::string::npos)
        << info.out;
    EXPECT_NE(RunToolCommand("info '" + whole + "'").out.find("\"ends_early_ms\": null"),
              std::string::npos);
}
