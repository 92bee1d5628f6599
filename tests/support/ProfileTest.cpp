// Private profile files: Windows reading rules, edits that keep the rest of the file byte for
// byte, and whole-file writes.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Profile.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::path(TARVEX_TEST_DATA_DIR) / "profile" / info->name();
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_path = (m_dir / "blackbox.cfg").string();
    }
    std::string Get(const char* section, const char* key, uint32_t size = 64) {
        std::string buffer(size, '#');
        uint32_t n =
            GetPrivateProfileString(section, key, "dflt", buffer.data(), size, m_path.c_str());
        EXPECT_EQ(buffer[n], '\0');
        return buffer.substr(0, n);
    }
    size_t FilesInFolder() {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }

    fs::path m_dir;
    std::string m_path;
};

const std::string kDeviceFile =
    "; dashcam settings\r\n"
    "[capacity]\r\n"
    "const=50\r\n"
    "  Park = 15 \r\n"
    "event=\"20\"\r\n"
    "\r\n"
    "[BlackBox]\r\n"
    "model=K310VZN-XYZW\r\n"
    "park_mode=2\r\n"
    ";mic_in=1\r\n"
    "\r\n"
    "[capacity]\r\n"
    "manual=99\r\n";

TEST_F(ProfileFileTest, ReadsNamesWithoutCaseAndTrimsValues) {
    WriteAll(m_path, kDeviceFile);
    EXPECT_EQ(Get("CAPACITY", "CONST"), "50");
    EXPECT_EQ(Get("capacity", "park"), "15");
    EXPECT_EQ(Get("capacity", "event"), "20");  // one pair of quotes removed
    EXPECT_EQ(Get("blackbox", "model"), "K310VZN-XYZW");
    EXPECT_EQ(Get("blackbox", "mic_in"), "dflt");  // commented out
    EXPECT_EQ(Get("capacity", "manual"), "dflt");  // only the first section of a name counts
    EXPECT_EQ(Get("time", "set"), "dflt");
}

TEST_F(ProfileFileTest, ValueIsCutToTheBuffer) {
    WriteAll(m_path, kDeviceFile);
    EXPECT_EQ(Get("blackbox", "model", 10), "K310VZN-X");
    EXPECT_EQ(Get("blackbox", "model", 1), "");
    char untouched = 'x';
    EXPECT_EQ(GetPrivateProfileString("blackbox", "model", "", &untouched, 0, m_path.c_str()), 0u);
    EXPECT_EQ(untouched, 'x');
}

TEST_F(ProfileFileTest, MissingFileReadsAsDefault) {
    EXPECT_EQ(Get("capacity", "const"), "dflt");
    EXPECT_EQ(GetProfileString("config", "volume", "50  ", 10, m_path), "50");
}

TEST_F(ProfileFileTest, RewritesKeyWhereItStandsKeepingEverythingElse) {
    WriteAll(m_path, kDeviceFile);
    ASSERT_TRUE(WritePrivateProfileString("capacity", "park", "25", m_path.c_str()));
    std::string expected = kDeviceFile;
    expected.replace(expected.find("  Park = 15 "), 12, "Park=25");
    EXPECT_EQ(ReadAll(m_path), expected);
}

TEST_F(ProfileFileTest, MissingKeyGoesAfterTheLastLineOfItsSection) {
    WriteAll(m_path, kDeviceFile);
    ASSERT_TRUE(WritePrivateProfileString("capacity", "manual", "10", m_path.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("blackbox", "mic_in", "1", m_path.c_str()));
    std::string expected = kDeviceFile;
    expected.insert(expected.find("\r\n\r\n[BlackBox]") + 2, "manual=10\r\n");
    expected.insert(expected.find(";mic_in=1\r\n") + 11, "mic_in=1\r\n");
    EXPECT_EQ(ReadAll(m_path), expected);
}

TEST_F(ProfileFileTest, MissingSectionGoesToTheEndInTheFilesLineEnding) {
    WriteAll(m_path, "[a]\nx=1");  // LF, no final line break
    ASSERT_TRUE(WritePrivateProfileString("time", "set", "0", m_path.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("a", "y", "2", m_path.c_str()));
    EXPECT_EQ(ReadAll(m_path), "[a]\nx=1\ny=2\n[time]\nset=0\n");
}

TEST_F(ProfileFileTest, NewFileIsCreatedWithCrLf) {
    ASSERT_TRUE(WritePrivateProfileString("config", "brightness", "0", m_path.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("config", "volume", "50", m_path.c_str()));
    EXPECT_EQ(ReadAll(m_path), "[config]\r\nbrightness=0\r\nvolume=50\r\n");
    EXPECT_EQ(FilesInFolder(), 1u);  // no temporary left behind
}

TEST_F(ProfileFileTest, RemovingFromAMissingFileCreatesNothing) {
    EXPECT_TRUE(WritePrivateProfileString("config", "volume", nullptr, m_path.c_str()));
    EXPECT_TRUE(WritePrivateProfileString("config", nullptr, nullptr, m_path.c_str()));
    EXPECT_FALSE(fs::exists(m_path));
}

TEST_F(ProfileFileTest, NullValueRemovesKeyNullKeyRemovesSection) {
    WriteAll(m_path, kDeviceFile);
    ASSERT_TRUE(WritePrivateProfileString("blackbox", "park_mode", nullptr, m_path.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("Capacity", nullptr, nullptr, m_path.c_str()));
    EXPECT_EQ(ReadAll(m_path),
              "; dashcam settings\r\n"
              "[BlackBox]\r\n"
              "model=K310VZN-XYZW\r\n"
              ";mic_in=1\r\n"
              "\r\n"
              "[capacity]\r\n"
              "manual=99\r\n");
}

TEST_F(ProfileFileTest, LineBreaksInNamesOrValuesAreRefused) {
    WriteAll(m_path, kDeviceFile);
    EXPECT_FALSE(WritePrivateProfileString("capacity", "const", "5\r\n[evil]", m_path.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("cap\nacity", "const", "5", m_path.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("capacity", "a=b", "5", m_path.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("[x]", "a", "5", m_path.c_str()));
    EXPECT_EQ(ReadAll(m_path), kDeviceFile);
}

TEST_F(ProfileFileTest, WriteKeepsPermissionsAndFailsCleanlyInAMissingFolder) {
    WriteAll(m_path, kDeviceFile);
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WritePrivateProfileString("capacity", "const", "5", m_path.c_str()));
    EXPECT_EQ(fs::status(m_path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string elsewhere = (m_dir / "gone" / "x.cfg").string();
    EXPECT_FALSE(WritePrivateProfileString("a", "b", "c", elsewhere.c_str()));
    EXPECT_FALSE(fs::exists(m_dir / "gone"));
}

TEST(ProfileDocumentTest, ByteOrderMarkDoesNotHideTheFirstSection) {
    ProfileDocument doc("\xEF\xBB\xBF[config]\nvolume=40\n");
    std::string value;
    EXPECT_TRUE(doc.Find("config", "volume", value));
    EXPECT_EQ(value, "40");
    EXPECT_TRUE(doc.Set("config", "volume", "50"));
    EXPECT_EQ(doc.Text(), "\xEF\xBB\xBF[config]\nvolume=50\n");
}

TEST(ProfileDocumentTest, EditsInMemoryFollowTheSameRules) {
    ProfileDocument doc("[s]\r\nk=1\r\n\r\n[t]\r\n");
    EXPECT_TRUE(doc.Set("T", "n", "2"));
    EXPECT_TRUE(doc.Set("s", "K", "3"));
    EXPECT_EQ(doc.Text(), "[s]\r\nk=3\r\n\r\n[t]\r\nn=2\r\n");
    std::string value;
    EXPECT_TRUE(doc.Find(" s ", "k", value));
    EXPECT_EQ(value, "3");
    EXPECT_FALSE(doc.Set(nullptr, "k", "1"));
    EXPECT_FALSE(doc.Set("  ", "k", "1"));
}

}  // namespace
