// `tarvex-tool list`: one JSON row per line in list order, and the drive failure message.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ToolRun.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines;
    std::string err;
};

ToolRun RunTool(const std::string& args) {
    const std::string errPath = std::string(TARVEX_TEST_DATA_DIR) + "/list_tool.err";
    const std::string command = std::string(TARVEX_TOOL_PATH) + " list " + args + " 2>" + errPath;
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::string out;
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
    std::ifstream errFile(errPath);
    std::stringstream err;
    err << errFile.rdbuf();
    run.err = err.str();
    return run;
}

class ListToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_card = fs::path(TARVEX_TEST_DATA_DIR) / "list_tool_card";
        fs::remove_all(m_card);
        for (const char* folder : {"DRIVING", "USER"}) fs::create_directories(m_card / folder);
        Touch("DRIVING/REC_20140101_000001_D.AVI", 1048576);
        Touch("DRIVING/REC_20140101_000002_N.MP4", 10);
        Touch("USER/USER_20140101_000003_d.avi", 2048);
    }
    void Touch(const std::string& name, uintmax_t size) {
        std::ofstream(m_card / name).put('x');
        fs::resize_file(m_card / name, size);
    }
    fs::path m_card;
};

TEST_F(ListToolTest, DrivingByDefaultWithTheSixCells) {
    const ToolRun run = RunTool(m_card.string());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[1],
              "{\"FileName\": \"REC_20140101_000001_D.AVI\", \"Type\": \"REC\", \"Date\": "
              "\"2014.01.01 00:00:01\", \"Rear\": \"0\", \"Size\": \"1,024\", \"Path\": \"" +
                  (m_card / "DRIVING" / "REC_20140101_000001_D.AVI").string() + "\"}");
    EXPECT_NE(run.lines[0].find("\"REC_20140101_000002_N.MP4\""), std::string::npos);
    EXPECT_NE(run.lines[0].find("\"Rear\": \"\""), std::string::npos);
}

TEST_F(ListToolTest, AllViewPutsUserRowsOnTop) {
    const ToolRun run = RunTool(m_card.string() + "/ --category all");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_NE(run.lines[0].find("\"Type\": \"MAN\""), std::string::npos);
    EXPECT_NE(run.lines[1].find("000002"), std::string::npos);
    EXPECT_NE(run.lines[2].find("000001"), std::string::npos);
}

TEST_F(ListToolTest, FolderThatCannotBeSearchedGivesTheDriveMessage) {
    ToolRun run = RunTool(m_card.string() + " --category event");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(run.err, "Blackbox info not found.\nPlease check location of drive\n");
    fs::remove_all(m_card / "DRIVING");
    run = RunTool(m_card.string() + " --category all");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.lines.empty());
}

// Names on a card are bytes (an older PC may have written them in EUC-KR): each row is still
// one valid JSON object, with the bytes that are not UTF-8 shown as U+FFFD.
TEST_F(ListToolTest, EveryRowIsValidJsonWhateverBytesTheNamesHold) {
    Touch("DRIVING/REC_20140101_000004_\xB5\xB5\xB7\xCE.AVI", 10);          // EUC-KR
    Touch("DRIVING/REC_20140101_000005_\xEB\x8F\x84\xEB\xA1\x9C.AVI", 10);  // UTF-8
    Touch("DRIVING/REC_20140101_000006_\x01\xC0\xAF.AVI", 10);
    const std::string parse =
        "python3 -c 'import json, sys\n"
        "for line in sys.stdin: print(json.dumps(json.loads(line)[\"FileName\"]))'";
    const ToolOutput run = RunToolCommand("list " + m_card.string() + " | " + parse);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out,
              "\"REC_20140101_000006_\\u0001\\ufffd\\ufffd.AVI\"\n"
              "\"REC_20140101_000005_\\ub3c4\\ub85c.AVI\"\n"
              "\"REC_20140101_000004_\\ufffd\\ufffd\\ufffd\\ufffd.AVI\"\n"
              "\"REC_20140101_000002_N.MP4\"\n"
              "\"REC_20140101_000001_D.AVI\"\n");
}

TEST_F(ListToolTest, WrongUsageExitsWithTwo) {
    EXPECT_EQ(RunTool("").status, 2);
    EXPECT_EQ(RunTool(m_card.string() + " --category cars").status, 2);
    EXPECT_EQ(RunTool(m_card.string() + " other").status, 2);
}

}  // namespace
