// tarvex-tool info, chunks and seek on byte-level recordings.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/ToolRun.h"
#include "tests/media/AviFixture.h"

using namespace avifix;

namespace {

ToolOutput RunTool(const std::string& args) {
    return RunToolCommand(args + " 2>/dev/null");
}

std::string Line(const char* format, long long a, const char* id, long long b) {
    char text[200];
    snprintf(text, sizeof text, format, a, id, b);
    return text;
}

}  // namespace

TEST(CAVIExtractorTool, InfoReportsHeaderAndIndex) {
    Layout l = DashcamLayout(2);
    const Built built = Build(l);
    const ToolOutput info = RunTool("info " + WriteBytes("tool_info.avi", built.bytes));
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "{\"accepted\": true, \"movie_size\": " + std::to_string(built.movieSize) +
                            ", \"video\": [{\"width\": 1280, \"height\": 720, \"frame_rate\": 30}, "
                            "{\"width\": 640, \"height\": 360, \"frame_rate\": 30}], "
                            "\"audio\": {\"bits\": 16, \"rate\": 8000}, \"front_frames\": 60, "
                            "\"rear_frames\": 60, \"index\": \"idx1\", \"duration_ms\": 2000, "
                            "\"cameras\": 1, \"header_frames\": 0, \"ends_early_ms\": null, "
                            "\"start_time\": null, \"clock_offset_s\": null, "
                            "\"trip\": {\"first\": \"avi_tool_info.avi\", \"index\": 0, "
                            "\"recordings\": 1}}\n");

    l.index = IndexKind::None;
    const ToolOutput rebuilt =
        RunTool("info " + WriteBytes("tool_info_noindex.avi", Build(l).bytes));
    EXPECT_EQ(rebuilt.status, 0);
    EXPECT_NE(rebuilt.out.find("\"front_frames\": 60, \"rear_frames\": 60, \"index\": \"rebuilt\""),
              std::string::npos)
        << rebuilt.out;
}

TEST(CAVIExtractorTool, ChunksListsMovieDataWithLimit) {
    Layout l;
    l.headerItems = DashcamHeader();
    l.movie = {{"00dc", Bytes(9, 1)}, {"01dc", Bytes(4, 2)}, {"02wb", Bytes(6, 3)}};
    const Built built = Build(l);
    const std::string path = WriteBytes("tool_chunks.avi", built.bytes);

    const ToolOutput all = RunTool("chunks " + path);
    EXPECT_EQ(all.status, 0);
    const char* format = "{\"pos\": %lld, \"id\": \"%s\", \"size\": %lld}\n";
    EXPECT_EQ(all.out, Line(format, built.chunkPositions[0], "00dc", 9) +
                           Line(format, built.chunkPositions[1], "01dc", 4) +
                           Line(format, built.chunkPositions[2], "02wb", 6) +
                           Line(format, built.idx1Pos, "idx1", 48));
    const ToolOutput two = RunTool("chunks " + path + " --limit 2");
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.out, Line(format, built.chunkPositions[0], "00dc", 9) +
                           Line(format, built.chunkPositions[1], "01dc", 4));
}

TEST(CAVIExtractorTool, SeekReportsWhereReadingContinues) {
    const Layout l = DashcamLayout(3);
    const Built built = Build(l);
    const std::string path = WriteBytes("tool_seek.avi", built.bytes);
    // Second 2 starts with the 00dc after the text chunk of that second.
    int64_t secondTwo = -1;
    int front = 0;
    for (size_t i = 0; i < l.movie.size() && secondTwo < 0; ++i) {
        if (l.movie[i].id == "00dc" && front++ == 60) secondTwo = built.chunkPositions[i];
    }
    const ToolOutput hit = RunTool("seek " + path + " 2");
    EXPECT_EQ(hit.status, 0);
    EXPECT_EQ(hit.out, "{\"second\": 2, \"result\": 0, \"pos\": " + std::to_string(secondTwo) +
                           ", \"id\": \"00dc\"}\n");
    const ToolOutput miss = RunTool("seek " + path + " 3");
    EXPECT_EQ(miss.status, 0);
    EXPECT_EQ(miss.out, "{\"second\": 3, \"result\": -1, \"pos\": " +
                            std::to_string(built.chunkPositions[0]) + ", \"id\": \"03tx\"}\n");
}

TEST(CAVIExtractorTool, ExitStatusTellsRejectedFromWrongUsage) {
    const std::string good = WriteBytes("tool_good.avi", Build(DashcamLayout(1)).bytes);
    const std::string bad = WriteBytes("tool_bad.avi", Bytes(64, 'x'));
    const std::string missing = TestPath("tool_missing.avi");
    struct Row {
        std::string args;
        int status;
    };
    const Row rows[] = {
        {"info " + bad, 1},
        {"info " + missing, 1},
        {"chunks " + bad, 1},
        {"seek " + bad + " 0", 1},
        {"info", 2},
        {"info " + good + " x", 2},
        {"chunks", 2},
        {"chunks " + good + " --limit", 2},
        {"chunks " + good + " --limit -1", 2},
        {"seek " + good, 2},
        {"seek " + good + " one", 2},
        {"seek " + good + " 99999999999", 2},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RunTool(row.args).status, row.status) << row.args;
    }
    const ToolOutput rejected = RunTool("info " + bad);
    EXPECT_EQ(rejected.out.rfind("{\"accepted\": false, \"movie_size\": 0,", 0), 0u)
        << rejected.out;
}
