#pragma once
// The removable volumes of this computer, for the drive dialog.
//
// A mounted volume counts as removable when its block device (or the disk it is a partition
// of) carries the kernel's removable flag, when it is an SD/MMC card (built-in card readers
// report the flag as 0), or when it is mounted under the desktop's removable-media folders
// /media/USER/... or /run/media/USER/.... A volume is named by its mount point.
//
// The mount table and /sys are read through paths that tests point at fixtures.

#include <string>
#include <vector>

struct MountEntry {
    std::string device;      // "/dev/sdb1"; may be a name such as "tmpfs"
    std::string mountPoint;  // escapes resolved ("\040" -> " ")
    std::string fsType;
    int major = -1;  // from mountinfo; -1 when the table does not say
    int minor = -1;
};

// Lines of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// Lines of /proc/mounts (fstab layout); malformed lines are skipped.
std::vector<MountEntry> ParseProcMounts(const std::string& text);
// Resolves the octal escapes the kernel writes for space, tab, newline and backslash.
std::string UnescapeMountField(const std::string& field);

struct RemovableDriveSources {
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::string mountsPath = "/proc/mounts";  // read when mountinfo cannot be
    std::string sysRoot = "/sys";
    std::string userName;  // empty: the user running the process
};

// True when the entry is a removable volume as described above.
bool IsRemovableVolume(const MountEntry& entry, const RemovableDriveSources& sources);
// Mount points of the mounted removable volumes, sorted, each once.
std::vector<std::string> ListRemovableDrives(const RemovableDriveSources& sources = {});
