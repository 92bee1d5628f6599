#pragma once
// Formats the card behind a mounted volume, as the settings dialog's format button asks.
//
// Format is called on the user-interface thread and returns when the format is over: it may
// show the desktop's own prompts (authorisation) meanwhile. The volume is mounted again
// afterwards, possibly at another mount point, which the outcome names so the caller can
// write the card's folders and configuration file there.
//
// Describe says which device a mount point belongs to, so the user can be shown what is
// about to be erased before anything is touched; it changes nothing.

#include <cstdint>
#include <string>

enum class CardFormatResult {
    Formatted,            // formatted and mounted again at outcome.mountPoint
    Failed,               // the format did not complete: an error, or cancelled by the user
    FormattedNotMounted,  // formatted, but the fresh volume could not be mounted again
    Refused,              // not a removable card, or the disk the system runs from; nothing touched
};

struct CardFormatOutcome {
    CardFormatResult result = CardFormatResult::Failed;
    std::string mountPoint;  // where the fresh volume is mounted (Formatted only)
    std::string detail;      // for the trace: why it failed or was refused
};

// Why a volume may not be formatted; None when it may.
enum class FormatRefusal {
    None,
    NotAMountPoint,   // a folder inside some volume, not the volume itself
    NotABlockDevice,  // tmpfs, network or overlay file systems
    NotRemovable,     // a fixed disk (mounting it under /media does not make it a card)
    SystemDisk,       // the disk holding /, /boot, /home, /usr or the working directory
};

// What the system knows of the volume behind a mount point; empty fields are unknown.
struct CardVolumeFacts {
    std::string vendor, model;  // of the drive (reader or stick) holding the volume
    std::string device;         // "/dev/sdb1"
    std::string label;
    std::string fileSystem;  // "vfat", "exfat", ...
    std::uint64_t sizeBytes = 0;
};

class VCardFormatter {
public:
    virtual ~VCardFormatter() = default;
    virtual CardVolumeFacts Describe(const std::string& mountPoint) {
        (void)mountPoint;
        return {};
    }
    // Whether the volume at mountPoint is a card this formatter would format.
    virtual FormatRefusal Check(const std::string& mountPoint) {
        (void)mountPoint;
        return FormatRefusal::None;
    }
    // Deleted recordings the card's folders still name and that could be brought back; -1
    // when unknown. May ask the desktop for the password to read the device.
    virtual int CountRecoverableDeleted(const std::string& mountPoint) {
        (void)mountPoint;
        return -1;
    }
    // mountPoint: the volume's mount point as the drive dialog gave it ("/media/me/CARD").
    virtual CardFormatOutcome Format(const std::string& mountPoint) = 0;
};
