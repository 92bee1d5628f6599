#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "library/RemovableDrives.h"

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A small /sys with a USB stick (sdb, removable), a fixed disk (sda), an SD card in a
// built-in reader (mmcblk0, flag 0) and the dev/block links the kernel keeps.
class RemovableDrivesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(TARVEX_TEST_DATA_DIR) / "removable-drives" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        const fs::path devices = root / "sys/devices";
        AddDisk(devices / "pci0/usb1/block/sdb", "8:16", "1");
        AddPartition(devices / "pci0/usb1/block/sdb/sdb1", "8:17");
        AddDisk(devices / "pci0/ata1/block/sda", "8:0", "0");
        AddPartition(devices / "pci0/ata1/block/sda/sda2", "8:2");
        AddDisk(devices / "platform/mmc_host/mmc0/block/mmcblk0", "179:0", "0");
        AddPartition(devices / "platform/mmc_host/mmc0/block/mmcblk0/mmcblk0p1", "179:1");
        sources.sysRoot = (root / "sys").string();
        sources.userName = "driver";
        sources.mountInfoPath = (root / "mountinfo").string();
        sources.mountsPath = (root / "mounts").string();
    }

    void AddDisk(const fs::path& folder, const std::string& majorMinor, const std::string& flag) {
        WriteText(folder / "removable", flag + "\n");
        Link(folder, majorMinor);
    }
    void AddPartition(const fs::path& folder, const std::string& majorMinor) {
        WriteText(folder / "partition", "1\n");
        Link(folder, majorMinor);
    }
    void Link(const fs::path& folder, const std::string& majorMinor) {
        fs::create_directories(root / "sys/dev/block");
        fs::create_directory_symlink(folder, root / "sys/dev/block" / majorMinor);
        fs::create_directories(root / "sys/class/block");
        fs::create_directory_symlink(folder, root / "sys/class/block" / folder.filename());
    }

    fs::path root;
    RemovableDriveSources sources;
};

const char* kMountInfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "23 22 0:21 / /proc rw - proc proc rw\n"
    "30 22 8:17 / /mnt/usb\\040stick rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
    "31 22 179:1 / /mnt/sd rw - vfat /dev/mmcblk0p1 rw\n"
    "32 22 0:40 / /media/driver/NETSHARE rw - cifs //server/share rw\n"
    "33 22 0:41 / /run/media/someoneelse/X rw - tmpfs tmpfs rw\n"
    "garbage line\n"
    "34 22 8:17 / /mnt/usb\\040stick rw shared:5 - vfat /dev/sdb1 rw\n";

}  // namespace

TEST(MountTableParsing, MountInfoGivesDeviceNumbersAndUnescapedMountPoints) {
    const auto entries = ParseMountInfo(
        "30 22 8:17 / /mnt/usb\\040stick rw,nosuid shared:5 master:1 - vfat /dev/sdb1 rw\n"
        "short line\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mountPoint, "/mnt/usb stick");
    EXPECT_EQ(entries[0].device, "/dev/sdb1");
    EXPECT_EQ(entries[0].fsType, "vfat");
    EXPECT_EQ(entries[0].major, 8);
    EXPECT_EQ(entries[0].minor, 17);
}

TEST(MountTableParsing, ProcMountsLayoutHasNoDeviceNumbers) {
    const auto entries = ParseProcMounts("/dev/sdb1 /media/a\\134b vfat rw 0 0\nbad\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mountPoint, "/media/a\\b");
    EXPECT_EQ(entries[0].major, -1);
}

TEST(MountTableParsing, EscapesOnlyResolveThreeOctalDigits) {
    EXPECT_EQ(UnescapeMountField("a\\040b\\011c"), "a b\tc");
    EXPECT_EQ(UnescapeMountField("trail\\04"), "trail\\04");
    EXPECT_EQ(UnescapeMountField("x\\9zz"), "x\\9zz");
}

TEST_F(RemovableDrivesFixture, ListsRemovableSdAndDesktopMediaVolumesOnce) {
    WriteText(root / "mountinfo", kMountInfo);
    EXPECT_EQ(ListRemovableDrives(sources),
              (std::vector<std::string>{"/media/driver/NETSHARE", "/mnt/sd", "/mnt/usb stick"}));
}

TEST_F(RemovableDrivesFixture, FallsBackToProcMountsByDeviceName) {
    WriteText(root / "mounts",
              "/dev/sda2 / ext4 rw 0 0\n/dev/sdb1 /mnt/stick vfat rw 0 0\n"
              "/dev/mmcblk0p1 /mnt/card vfat rw 0 0\ntmpfs /tmp tmpfs rw 0 0\n");
    EXPECT_EQ(ListRemovableDrives(sources), (std::vector<std::string>{"/mnt/card", "/mnt/stick"}));
}

TEST_F(RemovableDrivesFixture, FixedDisksAndPseudoFilesystemsAreNotOffered) {
    struct Row {
        MountEntry entry;
        bool removable;
    } rows[] = {
        {{"/dev/sda2", "/home", "ext4", 8, 2}, false},
        {{"proc", "/proc", "proc", 0, 21}, false},
        {{"/dev/sdb1", "/mnt/x", "vfat", 8, 17}, true},
        {{"/dev/sdb", "/mnt/whole", "vfat", 8, 16}, true},
        {{"/dev/mmcblk0p1", "/mnt/sd", "vfat", -1, -1}, true},
        {{"tmpfs", "/media/driver", "tmpfs", -1, -1}, false},  // the folder itself is not a volume
        {{"tmpfs", "/run/media/driver/CARD", "tmpfs", -1, -1}, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsRemovableVolume(row.entry, sources), row.removable) << row.entry.mountPoint;
    }
}

TEST_F(RemovableDrivesFixture, NoMountTableMeansNoDrives) {
    EXPECT_TRUE(ListRemovableDrives(sources).empty());
}
