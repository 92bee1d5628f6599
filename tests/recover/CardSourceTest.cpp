// A card read through a descriptor handed over by someone else (as the desktop's disk service
// does), a cancelled recovery, and which output folders lie on the card being read, over a
// made-up /sys.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>

#include "recover/CardRecovery.h"
#include "recover/CardSource.h"
#include "tests/GeneratedRecording.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(TARVEX_TEST_DATA_DIR) + "/cardsource";

void Shell(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

void WriteAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class CardSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = kData + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_dir);
        fs::create_directories(m_dir + "/out");
        m_image = m_dir + "/card.img";
        Shell("mkfs.vfat -F 32 -C " + m_image + " 65536");
        Shell("mmd -i " + m_image + " ::/DRIVING");
        RecordingOptions o;
        o.durationSec = 2;
        o.frontWidth = 320;
        o.frontHeight = 180;
        o.rearWidth = 160;
        o.rearHeight = 96;
        m_recording = GeneratedRecording(kData + "/src.AVI", o);
        for (const char* name : {"REC_20260314_182509_D.AVI", "REC_20260314_182609_D.AVI",
                                 "REC_20260314_182709_D.AVI"})
            Shell("mcopy -i " + m_image + " " + m_recording + " ::/DRIVING/" + name);
        Shell("mdel -i " + m_image + " ::/DRIVING/REC_20260314_182509_D.AVI");
        Shell("mdel -i " + m_image + " ::/DRIVING/REC_20260314_182709_D.AVI");
    }
    std::string m_dir, m_image, m_recording;
};

TEST_F(CardSourceTest, AHandedOverDescriptorRecoversAsThePathDoesAndStopsWhenAsked) {
    std::atomic<bool> cancel{true};
    RecoveryOptions options;
    options.cancel = &cancel;
    for (bool cancelled : {true, false}) {
        cancel = cancelled;
        CardSource source;
        std::string error;
        ASSERT_TRUE(source.Adopt(open(m_image.c_str(), O_RDONLY | O_CLOEXEC), "card", &error));
        RecoverySummary summary;
        std::map<FoundSource, std::vector<FoundRecording>> found;
        ASSERT_TRUE(RecoverCardFrom(
            source, m_dir + "/out", options,
            [&](const FoundRecording& f) { found[f.source].push_back(f); }, &summary, &error))
            << error;
        EXPECT_EQ(summary.cancelled, cancelled);
        if (cancelled) {
            EXPECT_TRUE(found.empty());
            EXPECT_TRUE(fs::is_empty(m_dir + "/out")) << "nothing half-written is left";
            continue;
        }
        // The live copy is listed with the original's hash; the deleted ones come back whole.
        ASSERT_EQ(found[FoundSource::Live].size(), 1u);
        ASSERT_EQ(found[FoundSource::Deleted].size(), 2u);
        for (const FoundRecording& f : found[FoundSource::Deleted]) {
            EXPECT_EQ(f.state, FoundState::Whole) << f.name;
            EXPECT_EQ(f.sha256, found[FoundSource::Live][0].sha256) << f.name;
            EXPECT_EQ(fs::file_size(f.outputPath), fs::file_size(m_recording)) << f.name;
        }
    }

    // Only a read-only descriptor is taken: the card is never opened for writing.
    CardSource writable, none;
    std::string error;
    EXPECT_FALSE(writable.Adopt(open(m_image.c_str(), O_RDWR | O_CLOEXEC), "card", &error));
    EXPECT_NE(error.find("writing"), std::string::npos) << error;
    EXPECT_FALSE(none.Adopt(-1, "card", &error));
}

// sdb is the card reader (sdb1 its card), sda the system disk; loop0 holds an image.
TEST(FolderOnSourceTest, AFolderOnTheCardOrOnItsMountedImageIsOnTheSource) {
    const fs::path sys = kData + "/sys";
    fs::remove_all(sys);
    const fs::path image = kData + "/sys-card.img";
    std::ofstream(image).put('\0');
    struct stat st {};
    ASSERT_EQ(stat(image.c_str(), &st), 0);
    auto disk = [&](const std::string& name, int maj, int parts) {
        const fs::path folder = sys / "devices" / name;
        WriteAll(folder / "dev", std::to_string(maj) + ":0\n");
        fs::create_directories(sys / "dev" / "block");
        fs::create_directory_symlink(folder, sys / "dev" / "block" / (std::to_string(maj) + ":0"));
        for (int p = 1; p <= parts; ++p) {
            const fs::path part = folder / (name + std::to_string(p));
            WriteAll(part / "partition", std::to_string(p) + "\n");
            fs::create_directory_symlink(
                part, sys / "dev" / "block" / (std::to_string(maj) + ":" + std::to_string(p)));
        }
    };
    disk("sda", 8, 2);
    disk("sdb", 9, 2);
    WriteAll(sys / "block" / "loop0" / "loop" / "backing_file", image.string() + "\n");
    WriteAll(sys / "block" / "loop0" / "dev", "7:0\n");
    const uint64_t sda1 = makedev(8, 1), sdb = makedev(9, 0), sdb1 = makedev(9, 1),
                   sdb2 = makedev(9, 2), loop0 = makedev(7, 0);
    struct Row {
        const char* what;
        uint64_t folder;
        bool block;
        uint64_t source, inode;
        bool expected;
    } rows[] = {
        {"the card's own file system", sdb1, true, sdb1, 0, true},
        {"the card read whole, the folder on its partition", sdb1, true, sdb, 0, true},
        {"another partition of the card", sdb2, true, sdb1, 0, true},
        {"the system disk", sda1, true, sdb1, 0, false},
        {"the image's file system mounted", loop0, false, st.st_dev, st.st_ino, true},
        {"another image, not attached", loop0, false, st.st_dev, st.st_ino + 1, false},
        {"beside the image", st.st_dev, false, st.st_dev, st.st_ino, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DeviceIsOnSource(row.folder, row.block, row.source, row.inode, sys.string()),
                  row.expected)
            << row.what;
}

}  // namespace
