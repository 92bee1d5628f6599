// `tarvex-tool config`: the model as JSON, and --set writing the card file as Save does.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "tests/ToolRun.h"

namespace fs = std::filesystem;

namespace {

ToolOutput RunTool(const std::string& args) {
    return RunToolCommand("config " + args + " 2>/dev/null");
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kCardFile =
    "; device file\r\n[capacity]\r\nconst=50\r\npark=15\r\nevent=20\r\nmanual=10\r\n\r\n"
    "[blackbox]\r\npower_off_vlt=0\r\npark_mode=1\r\nmic_in=1\r\nmic_volume=3\r\n"
    "version=1.02.07\r\nmodel=K310VZN\r\n";

class ConfigToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_card = fs::path(TARVEX_TEST_DATA_DIR) / "config_tool_card";
        fs::remove_all(m_card);
        fs::create_directories(m_card / "SETTING");
        m_file = m_card / "SETTING" / "blackbox.cfg";
        std::ofstream(m_file, std::ios::binary) << kCardFile;
    }
    fs::path m_card;
    fs::path m_file;
};

TEST_F(ConfigToolTest, PrintsTheModelReadFromTheCard) {
    const ToolOutput run = RunTool(m_card.string());
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"capacity\": {\"const\": 50, \"park\": 15, \"event\": 20, "
                           "\"manual\": 10}"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"power_off_vlt\": 0, \"mic_in\": 1, \"mic_volume\": 3"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"version\": \"1.02.07\", \"model\": \"K310VZN\""), std::string::npos);
    EXPECT_EQ(ReadAll(m_file), kCardFile);
}

TEST_F(ConfigToolTest, SetWritesLikeSaveKeepingTheRestOfTheFile) {
    const ToolOutput run =
        RunTool(m_card.string() + " --set const=20 park=25 event=25 manual=25 power_off_vlt=12200");
    ASSERT_EQ(run.status, 0);
    const std::string file = ReadAll(m_file);
    EXPECT_EQ(
        file.substr(0, file.find("[blackbox]")),
        "; device file\r\n[capacity]\r\nconst=20\r\npark=25\r\nevent=25\r\nmanual=25\r\n\r\n");
    EXPECT_NE(file.find("power_off_vlt=12200\r\npark_mode=1\r\nmic_in=1\r\nmic_volume=3\r\n"
                        "version=1.02.07\r\nmodel=K310VZN\r\nvoice_out=0\r\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("[time]\r\nset=0\r\n"), std::string::npos);
}

TEST_F(ConfigToolTest, SharesNotAddingUpTo95AreRefused) {
    EXPECT_EQ(RunTool(m_card.string() + " --set const=30").status, 1);
    EXPECT_EQ(ReadAll(m_file), kCardFile);
}

TEST_F(ConfigToolTest, BadUsageAndMissingFile) {
    EXPECT_EQ(RunTool(m_card.string() + " --set const=33").status, 2);
    EXPECT_EQ(RunTool(m_card.string() + " --set colour=1").status, 2);
    EXPECT_EQ(RunTool(m_card.string() + " --set").status, 2);
    EXPECT_EQ(ReadAll(m_file), kCardFile);
    fs::remove(m_file);
    EXPECT_EQ(RunTool(m_card.string()).status, 1);
    EXPECT_EQ(RunTool(m_card.string() + " --set const=20 park=25 event=25 manual=25").status, 1);
    EXPECT_FALSE(fs::exists(m_file));
}

}  // namespace
