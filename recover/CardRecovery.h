#pragma once
// Brings recordings back from a card (an image file or a block device, only ever read): what
// its FAT32 directories still name, live or deleted, and past them every cluster that starts
// with the container's RIFF header, formatted-away recordings included. Each recording is
// followed chunk by chunk (RecordingWalk) along its FAT chain while the FAT holds it, else
// across the clusters after its first, and copied as far as it fits: whole, or cut at the
// first chunk that does not fit (the player plays such a file up to the break).
//
// Recordings still live on the card are only listed unless every recording is asked for.
// Outputs are written under temporary names and appear when whole; nothing in the output
// folder is replaced. Memory stays bounded whatever the card's size: the scan reads a block
// at a time and a recording is copied a block at a time.
//
// Threads: one call runs on the caller's thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

enum class FoundSource { Live, Deleted, Carved };
enum class FoundState { Whole, Cut, Unreadable };

const char* FoundSourceName(FoundSource source);  // "live", "deleted", "carved"
const char* FoundStateName(FoundState state);     // "whole", "cut", "unreadable"

struct FoundRecording {
    std::string name;      // as written (or as it would be)
    std::string cardPath;  // folder/name on the card, "" without a directory entry
    FoundSource source = FoundSource::Carved;
    FoundState state = FoundState::Unreadable;
    uint32_t startCluster = 0;  // 0 for a recording off the file system's cluster grid
    uint64_t offset = 0;        // of its first byte on the card
    uint64_t bytes = 0;
    uint32_t frontFrames = 0;
    uint32_t rearFrames = 0;
    uint32_t fragments = 0;  // runs of clusters it was read from
    std::string sha256;      // of the bytes written (or listed); "" when unreadable
    std::string outputPath;  // "" when not written
};

struct RecoverySummary {
    bool fileSystem = false;  // a FAT32 file system was read
    bool cancelled = false;   // stopped on request; what was found so far is reported
    std::string note;         // why there was none, or how the source ended early
    uint64_t found = 0, whole = 0, cut = 0, unreadable = 0, written = 0;
};

struct RecoveryOptions {
    bool all = false;  // copy live recordings too
    // Bytes of the card scanned so far and its size.
    std::function<void(uint64_t done, uint64_t total)> progress;
    // Set from another thread to stop soon: between blocks of the scan or of a copy. A copy
    // cut off so is not kept.
    const std::atomic<bool>* cancel = nullptr;
};

class CardSource;

// False, with the reason in *error, when the source cannot be opened read-only or the output
// folder is missing or lies on the source; otherwise true, whatever was found (each
// recording is reported through onFound as it is done).
bool RecoverCard(const std::string& source, const std::string& outDir,
                 const RecoveryOptions& options,
                 const std::function<void(const FoundRecording&)>& onFound,
                 RecoverySummary* summary, std::string* error);

// The same from a source already open (a descriptor the desktop's disk service handed over).
bool RecoverCardFrom(CardSource& source, const std::string& outDir, const RecoveryOptions& options,
                     const std::function<void(const FoundRecording&)>& onFound,
                     RecoverySummary* summary, std::string* error);

// A quick look before a format: the deleted recordings the directories still name whose first
// cluster still starts with a recording of the size the entry gives. Reads the folders and
// one cluster per entry, not the whole card, so recordings only a full scan finds (a quick
// format's leftovers, a deleted folder's) are not counted. -1 without a FAT32 file system.
int CountRecoverableDeleted(CardSource& source);
