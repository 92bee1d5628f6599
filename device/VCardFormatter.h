#pragma once
// Formats the card behind a mounted volume, as the settings dialog's format button asks.
//
// Format is called on the user-interface thread and returns when the format is over: it may
// show the desktop's own prompts (authorisation) meanwhile. The volume is mounted again
// afterwards, possibly at another mount point, which the outcome names so the caller can
// write the card's folders and configuration file there.

#include <string>

enum class CardFormatResult {
    Formatted,  // formatted and mounted again at outcome.mountPoint
    Failed,     // error, cancelled by the user, or formatted but not mounted again
    Refused,    // not a removable card, or the disk the system runs from; nothing touched
};

struct CardFormatOutcome {
    CardFormatResult result = CardFormatResult::Failed;
    std::string mountPoint;  // where the fresh volume is mounted (Formatted only)
    std::string detail;      // for the trace: why it failed or was refused
};

class VCardFormatter {
public:
    virtual ~VCardFormatter() = default;
    // mountPoint: the volume's mount point as the drive dialog gave it ("/media/me/CARD").
    virtual CardFormatOutcome Format(const std::string& mountPoint) = 0;
};
