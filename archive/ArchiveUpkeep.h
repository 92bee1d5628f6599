#pragma once
// Keeping an archive honest and within its size: re-hashing every file against the
// catalogue, and removing the oldest recordings nobody asked to keep.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveCatalogue.h"

struct CheckProblem {
    std::string path;   // in the archive
    std::string state;  // "missing" or "changed"
    std::string detail;
};

// Every ready recording's file hashed again; *checked gets how many were looked at.
bool CheckArchive(ArchiveCatalogue& catalogue, const std::string& folder,
                  std::vector<CheckProblem>* problems, size_t* checked, std::string* error);

struct PruneRule {
    std::optional<uint64_t> keepBytes;  // the archive's recordings, locked ones included
    std::optional<int64_t> keepDays;    // recordings that started longer ago go
    bool dryRun = false;
};

// Removes unlocked DRIVING and PARKING recordings, oldest first, until the rule holds; each
// one's catalogue rows go before its file, so a kill in between leaves a file the catalogue
// no longer knows, never a row without its file. *removed lists them (what would go, with
// dryRun).
bool PruneArchive(ArchiveCatalogue& catalogue, const std::string& folder, const PruneRule& rule,
                  std::vector<CatalogueEntry>* removed, std::string* error);
