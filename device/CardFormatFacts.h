#pragma once
// What the format dialog tells the user before a card is erased: which device and volume it
// is, what it holds now, and what it will hold afterwards.
//
// No Qt; the formatter describes the device, the rest is read from the card and the mount
// table.

#include <cstdint>
#include <string>
#include <vector>

#include "device/VCardFormatter.h"

// The dashcam reads FAT32 cards only.
constexpr const char* kCardFileSystemName = "FAT32";

struct CardFormatFacts {
    CardVolumeFacts volume;  // as the formatter describes it, gaps filled from the system
    std::string mountPoint;
    int recordings = 0;  // recordings in the four category folders
    std::uint64_t recordingBytes = 0;
    // Not None: the folder is no card this dialog may format, and nothing else was gathered.
    FormatRefusal refusal = FormatRefusal::None;
    // Deleted recordings still recoverable, by a quick look at the card's folders; -1 unknown.
    int recoverableDeleted = -1;
    // The recordings the PC's archive does not hold, by category, EVENT and USER first; filled
    // by whoever knows the archive. unarchived is -1 when nobody looked, archiveError set when
    // the archive could not be read.
    struct Unarchived {
        std::string category;
        int count = 0;
        std::uint64_t bytes = 0;
    };
    int unarchived = -1;
    std::uint64_t unarchivedBytes = 0;
    std::vector<Unarchived> unarchivedByCategory;
    std::string archiveError;
};

// drivePath: the selected drive string. Asks formatter.Check first: a folder that is no
// removable card is described no further. Otherwise asks formatter.Describe, then fills what it
// left empty from the mount table (device, file system) and the file system (capacity), and counts
// the recordings, live and (through the formatter) deleted.
CardFormatFacts GatherCardFormatFacts(const std::string& drivePath, VCardFormatter& formatter,
                                      const std::string& mountInfoPath = "/proc/self/mountinfo");
