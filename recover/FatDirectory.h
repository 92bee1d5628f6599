#pragma once
// Every directory entry of a FAT32 volume, deleted ones included. A delete leaves an entry's
// name (all but its first byte; the long name's pieces keep theirs), start cluster and size
// where they were, and only frees the FAT chain; so a deleted file's first cluster is known,
// and its long name too where the pieces' checksum still matches the short entry.
//
// Live folders are followed along their FAT chain, deleted ones as far as their first cluster
// (their chain is gone). Every folder is read once, so a damaged volume whose folders point
// at each other still ends.

#include <cstdint>
#include <string>
#include <vector>

#include "recover/Fat32Volume.h"

struct FatEntry {
    std::string name;    // long name where there is one; a deleted short name starts with '_'
    std::string folder;  // "" for the root, else "DRIVING" or "A/B"
    uint32_t startCluster = 0;
    uint32_t size = 0;
    bool deleted = false;  // the entry itself, or a folder above it, was deleted
    bool directory = false;
};

// Every file and folder entry of the volume, in the order the folders were read. Stops after
// maxEntries entries.
std::vector<FatEntry> ReadFatDirectories(Fat32Volume& volume, size_t maxEntries = 1 << 18);
