#pragma once
// Formatting the dashcam's card while keeping its configuration file, and the checks that
// keep the format away from any disk but a removable card.
//
// FormatCardKeepingConfig runs the whole sequence: copy SETTING/blackbox.cfg aside (memory
// and a backup file), format through a VCardFormatter, create the card folders again on the
// fresh volume (DRIVING, EVENT, PARKING, USER, SETTING, in this order) and put the file back.
// When the copy cannot be made the card is not formatted at all: restoring an older backup
// would hand this card the settings of another one.
//
// No Qt; the UDisks2 formatter and the settings dialog sit on top of this.

#include <string>
#include <vector>

#include "device/VCardFormatter.h"

// The folders a card needs, in the order they are created.
const std::vector<std::string>& CardFolderNames();

// Creates the card folders under cardRoot (a folder that exists is left alone). True when
// all of them exist afterwards.
bool CreateCardFolders(const std::string& cardRoot);

enum class CardFormatStatus {
    Formatted,      // formatted, folders made, configuration file restored
    BackupFailed,   // the configuration file could not be copied aside; nothing formatted
    Refused,        // the formatter refused the volume; nothing formatted
    FormatFailed,   // the format failed or was cancelled
    RestoreFailed,  // formatted, but the folders or the file could not be written back
                    // (or the volume was not mounted again); the copy is kept
};

struct CardFormatReport {
    CardFormatStatus status = CardFormatStatus::FormatFailed;
    // The drive string to use from now on: the new mount point after a remount elsewhere,
    // otherwise the one passed in.
    std::string drivePath;
    // RestoreFailed and FormatFailed: the copy of the configuration file, left for the user.
    std::string keptCopyPath;
};

// drivePath: the selected drive string (the card's mount point); backupPath: where the copy
// of the configuration file is kept during the format, in a folder that exists. The copy is
// removed once the file is back on the card and kept otherwise.
CardFormatReport FormatCardKeepingConfig(const std::string& drivePath,
                                         const std::string& backupPath, VCardFormatter& formatter);

// A fresh name for the copy in the viewer's own data folder,
// $XDG_DATA_HOME/tarvex/card-settings/blackbox-YYYYMMDD-HHMMSS.cfg (~/.local/share when the
// variable is unset or relative); the folder is created. A copy kept from an earlier format
// is never overwritten. Empty when there is no home folder to put it in.
std::string NewFormatBackupPath();

// ---- Which volumes may be formatted ----

struct FormatGuardSources {
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::string sysRoot = "/sys";
    // Paths whose disk must never be formatted, besides the working directory.
    std::vector<std::string> systemPaths = {"/", "/boot", "/home", "/usr"};
    std::string workingDirectory;  // empty: the process's current directory
};

struct FormatTarget {
    std::string mountPoint;
    std::string device;  // "/dev/sdb1" as the mount table names it
    int major = -1;
    int minor = -1;
};

// Checks the volume mounted at mountPoint; fills target (when given) with its block device.
FormatRefusal CheckFormatTarget(const std::string& mountPoint, FormatTarget* target,
                                const FormatGuardSources& sources = {});
const char* FormatRefusalName(FormatRefusal refusal);
