// Card format around the configuration file (with a fake formatter), and the checks that
// keep the format to removable cards that do not hold the running system.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "device/CardFormat.h"
#include "device/CardFormatFacts.h"
#include "device/VCardFormatter.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

fs::path TestDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "cardformat" / info->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Formats by emptying the folder that stands for the volume, then "mounts" it at remountAt.
class FakeFormatter : public VCardFormatter {
public:
    CardFormatResult result = CardFormatResult::Formatted;
    bool wipes = false;  // empties the card even though the result says otherwise
    std::string remountAt;
    int calls = 0;
    std::string askedFor;

    CardFormatOutcome Format(const std::string& mountPoint) override {
        ++calls;
        askedFor = mountPoint;
        CardFormatOutcome outcome;
        outcome.result = result;
        if (result != CardFormatResult::Formatted && !wipes) return outcome;
        for (const auto& entry : fs::directory_iterator(mountPoint)) fs::remove_all(entry.path());
        if (result != CardFormatResult::Formatted) return outcome;
        outcome.mountPoint = remountAt.empty() ? mountPoint : remountAt;
        std::error_code ec;
        fs::create_directories(outcome.mountPoint, ec);
        return outcome;
    }
};

const std::string kConfig =
    "; written by the device\r\n[capacity]\r\nconst=50\r\npark=15\r\n\r\n[blackbox]\r\n"
    "park_mode=2\r\nversion=1.02.03\r\n";

class CardFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestDir();
        card = dir / "CARD";
        WriteAll(card / "SETTING" / "blackbox.cfg", kConfig);
        WriteAll(card / "DRIVING" / "REC_20140307_182509_D.AVI", "old recording");
        backup = dir / "viewer" / "blackbox.cfg";
        fs::create_directories(backup.parent_path());
    }
    CardFormatReport Run(const std::string& drive) {
        return FormatCardKeepingConfig(drive, backup.string(), formatter);
    }

    fs::path dir, card, backup;
    FakeFormatter formatter;
};

TEST_F(CardFormatTest, SuccessLeavesTheFoldersAndTheSameConfigurationFile) {
    const CardFormatReport report = Run(card.string() + "/");
    EXPECT_EQ(report.status, CardFormatStatus::Formatted);
    EXPECT_EQ(formatter.askedFor, card.string()) << "the mount point, without the slash";
    EXPECT_EQ(report.drivePath, card.string() + "/");
    for (const char* name : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"})
        EXPECT_TRUE(fs::is_directory(card / name)) << name;
    EXPECT_FALSE(fs::exists(card / "DRIVING" / "REC_20140307_182509_D.AVI"));
    EXPECT_EQ(ReadAll(card / "SETTING" / "blackbox.cfg"), kConfig);
    EXPECT_FALSE(fs::exists(backup)) << "the copy is not needed once the file is back";
}

TEST_F(CardFormatTest, AVolumeMountedElsewhereAfterTheFormatGetsTheFolders) {
    formatter.remountAt = (dir / "CARD1").string();
    const CardFormatReport report = Run(card.string());
    EXPECT_EQ(report.status, CardFormatStatus::Formatted);
    EXPECT_EQ(report.drivePath, formatter.remountAt);
    EXPECT_EQ(ReadAll(dir / "CARD1" / "SETTING" / "blackbox.cfg"), kConfig);
    EXPECT_TRUE(fs::is_directory(dir / "CARD1" / "PARKING"));
}

TEST_F(CardFormatTest, WithoutACopyOfTheFileNothingIsFormatted) {
    const std::string otherCard = "[capacity]\r\nconst=80\r\n";
    struct Row {
        const char* what;
        std::function<void()> breakIt;
    } rows[] = {
        {"file missing", [&] { fs::remove(card / "SETTING" / "blackbox.cfg"); }},
        {"file is a folder",
         [&] {
             fs::remove(card / "SETTING" / "blackbox.cfg");
             fs::create_directory(card / "SETTING" / "blackbox.cfg");
         }},
        {"backup folder missing", [&] { fs::remove_all(backup.parent_path()); }},
    };
    for (const Row& row : rows) {
        SetUp();
        fs::remove_all(card / "SETTING");
        WriteAll(card / "SETTING" / "blackbox.cfg", kConfig);
        WriteAll(backup, otherCard);
        row.breakIt();
        formatter.calls = 0;
        const CardFormatReport report = Run(card.string());
        EXPECT_EQ(report.status, CardFormatStatus::BackupFailed) << row.what;
        EXPECT_EQ(formatter.calls, 0) << row.what;
        EXPECT_TRUE(fs::exists(card / "DRIVING" / "REC_20140307_182509_D.AVI")) << row.what;
        EXPECT_NE(ReadAll(card / "SETTING" / "blackbox.cfg"), otherCard)
            << row.what << ": another card's settings must not land here";
    }
}

TEST_F(CardFormatTest, AFailedOrRefusedFormatLeavesTheCardAsItWas) {
    for (CardFormatResult result : {CardFormatResult::Failed, CardFormatResult::Refused}) {
        formatter.result = result;
        const CardFormatReport report = Run(card.string());
        EXPECT_EQ(report.status, result == CardFormatResult::Failed ? CardFormatStatus::FormatFailed
                                                                    : CardFormatStatus::Refused);
        EXPECT_EQ(report.drivePath, card.string());
        EXPECT_EQ(ReadAll(card / "DRIVING" / "REC_20140307_182509_D.AVI"), "old recording");
        EXPECT_EQ(ReadAll(card / "SETTING" / "blackbox.cfg"), kConfig);
    }
}

TEST_F(CardFormatTest, AFreshVolumeThatCannotBeWrittenIsNotReportedAsDone) {
    WriteAll(dir / "blocker", "a file, not a folder");
    formatter.remountAt = (dir / "blocker" / "CARD").string();
    const CardFormatReport report = Run(card.string());
    EXPECT_EQ(report.status, CardFormatStatus::RestoreFailed);
    EXPECT_EQ(report.keptCopyPath, backup.string());
    EXPECT_EQ(ReadAll(backup), kConfig);
}

TEST_F(CardFormatTest, TheCopyIsKeptWheneverTheCardMayHaveLostTheFile) {
    struct Row {
        const char* what;
        CardFormatResult result;
        bool wipes;
        CardFormatStatus status;
        bool kept;
    } rows[] = {
        {"formatted, not mounted again", CardFormatResult::FormattedNotMounted, true,
         CardFormatStatus::RestoreFailed, true},
        {"failed half-way", CardFormatResult::Failed, true, CardFormatStatus::FormatFailed, true},
        {"prompt dismissed", CardFormatResult::Failed, false, CardFormatStatus::FormatFailed,
         false},
        {"refused", CardFormatResult::Refused, false, CardFormatStatus::Refused, false},
    };
    for (const Row& row : rows) {
        SetUp();
        formatter.result = row.result;
        formatter.wipes = row.wipes;
        const CardFormatReport report = Run(card.string());
        EXPECT_EQ(report.status, row.status) << row.what;
        EXPECT_EQ(report.keptCopyPath, row.kept ? backup.string() : "") << row.what;
        EXPECT_EQ(fs::exists(backup), row.kept) << row.what;
        if (row.kept) {
            EXPECT_EQ(ReadAll(backup), kConfig) << row.what;
        }
    }
}

TEST_F(CardFormatTest, TheCopyGoesToTheDataFolderUnderAFreshNameNeverTheWorkingFolder) {
    struct Row {
        std::string xdg;  // empty: unset
        fs::path expectedFolder;
    } rows[] = {
        {(dir / "xdg").string(), dir / "xdg" / "tarvex" / "card-settings"},
        {"", dir / "home" / ".local" / "share" / "tarvex" / "card-settings"},
        {"relative/data", dir / "home" / ".local" / "share" / "tarvex" / "card-settings"},
    };
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const std::string keptXdg = savedXdg ? savedXdg : "";
    const std::string keptHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const fs::path keptCwd = fs::current_path();
    fs::create_directories(dir / "cwd");
    fs::current_path(dir / "cwd");
    setenv("HOME", (dir / "home").c_str(), 1);
    for (const Row& row : rows) {
        if (!row.xdg.empty())
            setenv("XDG_DATA_HOME", row.xdg.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        const std::string first = NewFormatBackupPath();
        EXPECT_EQ(fs::path(first).parent_path(), row.expectedFolder) << first;
        EXPECT_EQ(fs::path(first).extension(), ".cfg");
        WriteAll(first, kConfig);
        const std::string second = NewFormatBackupPath();
        EXPECT_NE(second, first) << "an earlier copy is never overwritten";
        EXPECT_EQ(fs::path(second).parent_path(), row.expectedFolder);
    }
    EXPECT_TRUE(fs::is_empty(dir / "cwd"));
    unsetenv("HOME");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(NewFormatBackupPath(), "") << "no home: no copy, and so no format";
    fs::current_path(keptCwd);
    setenv("HOME", keptHome.c_str(), 1);
    if (savedXdg) setenv("XDG_DATA_HOME", keptXdg.c_str(), 1);
}

TEST_F(CardFormatTest, TheFactsCountRecordingsAndFillGapsFromTheMountTable) {
    WriteAll(card / "EVENT" / "EVT_20140307_182609_D.avi", std::string(5000, 'e'));
    WriteAll(card / "USER" / "USR_20140307_182709_D.MP4", std::string(100, 'u'));
    WriteAll(card / "DRIVING" / "index.dat", "not a recording");
    WriteAll(card / "SETTING" / "OLD_20140307_182709_D.AVI", "not in a category folder");
    WriteAll(dir / "mountinfo", "1 0 8:17 / " + card.string() + " rw - vfat /dev/sdb1 rw\n");
    const CardFormatFacts facts =
        GatherCardFormatFacts(card.string() + "/", formatter, (dir / "mountinfo").string());
    EXPECT_EQ(facts.mountPoint, card.string());
    EXPECT_EQ(facts.recordings, 3);
    EXPECT_EQ(facts.recordingBytes, 13u + 5000u + 100u);
    EXPECT_EQ(facts.volume.device, "/dev/sdb1");
    EXPECT_EQ(facts.volume.fileSystem, "vfat");
    EXPECT_GT(facts.volume.sizeBytes, 0u) << "the file system's capacity";
    EXPECT_EQ(formatter.calls, 0) << "describing formats nothing";
}

TEST_F(CardFormatTest, CardFoldersLeaveExistingOnesAlone) {
    EXPECT_TRUE(CreateCardFolders(card.string()));
    EXPECT_EQ(ReadAll(card / "DRIVING" / "REC_20140307_182509_D.AVI"), "old recording");
    EXPECT_EQ(CardFolderNames(),
              (std::vector<std::string>{"DRIVING", "EVENT", "PARKING", "USER", "SETTING"}));
    WriteAll(dir / "plainfile", "x");
    EXPECT_FALSE(CreateCardFolders((dir / "plainfile").string()));
}

// ---- the volume checks, over a made-up /sys and mount table ----

class FormatGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestDir();
        sys = dir / "sys";
        Disk("devices/pci0/usb1/host6/block/sdb", "1", {"sdb1", "sdb2"}, 8, 16);
        Disk("devices/pci0/ata1/host0/block/sda", "0", {"sda1", "sda2"}, 8, 0);
        Disk("devices/platform/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0", "0",
             {"mmcblk0p1", "mmcblk0p2"}, 179, 0);
        sources.sysRoot = sys.string();
        sources.mountInfoPath = (dir / "mountinfo").string();
        sources.workingDirectory = "/tmp/viewer";
    }
    void Disk(const std::string& folder, const std::string& removable,
              const std::vector<std::string>& parts, int major, int firstMinor) {
        const fs::path disk = sys / folder;
        WriteAll(disk / "removable", removable + "\n");
        fs::create_directories(sys / "dev" / "block");
        fs::create_directories(sys / "class" / "block");
        fs::create_directory_symlink(disk, sys / "class" / "block" / disk.filename());
        int minor = firstMinor;
        for (const std::string& part : parts) {
            WriteAll(disk / part / "partition", "1\n");
            const std::string number = std::to_string(major) + ":" + std::to_string(++minor);
            fs::create_directory_symlink(disk / part, sys / "dev" / "block" / number);
            fs::create_directory_symlink(disk / part, sys / "class" / "block" / part);
        }
    }
    void Mounts(const std::string& extra) {
        WriteAll(dir / "mountinfo",
                 "21 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                 "22 21 0:30 / /tmp rw shared:2 - tmpfs tmpfs rw\n"
                 "23 21 8:17 / /media/me/CARD rw,nosuid shared:3 - vfat /dev/sdb1 rw\n"
                 "24 21 8:1 / /media/me/DATA rw,nosuid shared:4 - ext4 /dev/sda1 rw\n"
                 "25 21 179:1 / /media/me/SD\\040CARD rw shared:5 - vfat /dev/mmcblk0p1 rw\n" +
                     extra);
    }

    fs::path dir, sys;
    FormatGuardSources sources;
};

TEST_F(FormatGuardTest, OnlyARemovableCardAwayFromTheSystemIsFormatted) {
    struct Row {
        const char* mountPoint;
        const char* extraMounts;
        const char* workingDirectory;
        FormatRefusal expected;
    } rows[] = {
        {"/media/me/CARD", "", "/tmp/viewer", FormatRefusal::None},
        {"/media/me/CARD/", "", "/tmp/viewer", FormatRefusal::None},
        {"/media/me/SD CARD", "", "/tmp/viewer", FormatRefusal::None},  // card reader, flag 0
        {"/media/me/DATA", "", "/tmp/viewer", FormatRefusal::NotRemovable},
        {"/", "", "/tmp/viewer", FormatRefusal::NotRemovable},
        {"/media/me/CARD/DRIVING", "", "/tmp/viewer", FormatRefusal::NotAMountPoint},
        {"/media/me", "", "/tmp/viewer", FormatRefusal::NotAMountPoint},
        {"", "", "/tmp/viewer", FormatRefusal::NotAMountPoint},
        {"/tmp", "", "/tmp/viewer", FormatRefusal::NotABlockDevice},
        // The viewer runs from the card itself.
        {"/media/me/CARD", "", "/media/me/CARD/viewer", FormatRefusal::SystemDisk},
        // /home on another partition of the same stick, named only by its source (btrfs).
        {"/media/me/CARD", "26 21 0:45 / /home rw - btrfs /dev/sdb2 rw\n", "/tmp/viewer",
         FormatRefusal::SystemDisk},
        // A board booted from its SD card: the card's first partition is its /boot.
        {"/media/me/SD CARD", "26 21 179:2 / /boot rw - ext4 /dev/mmcblk0p2 rw\n", "/tmp/viewer",
         FormatRefusal::SystemDisk},
        // A later mount over the card's place hides it; the top one is what would be formatted.
        {"/media/me/CARD", "27 23 8:1 / /media/me/CARD rw - ext4 /dev/sda1 rw\n", "/tmp/viewer",
         FormatRefusal::NotRemovable},
    };
    for (const Row& row : rows) {
        Mounts(row.extraMounts);
        sources.workingDirectory = row.workingDirectory;
        FormatTarget target;
        EXPECT_EQ(CheckFormatTarget(row.mountPoint, &target, sources), row.expected)
            << "'" << row.mountPoint << "' from " << row.workingDirectory << " with "
            << row.extraMounts;
    }
}

TEST_F(FormatGuardTest, TheTargetNamesTheCardsBlockDevice) {
    Mounts("");
    FormatTarget target;
    ASSERT_EQ(CheckFormatTarget("/media/me/SD CARD", &target, sources), FormatRefusal::None);
    EXPECT_EQ(target.mountPoint, "/media/me/SD CARD");
    EXPECT_EQ(target.device, "/dev/mmcblk0p1");
    EXPECT_EQ(target.major, 179);
    EXPECT_EQ(target.minor, 1);
}

TEST_F(FormatGuardTest, AnUnreadableMountTableRefusesEverything) {
    sources.mountInfoPath = (dir / "missing").string();
    EXPECT_EQ(CheckFormatTarget("/media/me/CARD", nullptr, sources), FormatRefusal::NotAMountPoint);
}

}  // namespace
