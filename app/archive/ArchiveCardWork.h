#pragma once
// The window's work with the PC's archive and a card: which of the card's recordings the
// archive lacks (for the offer to import them, and for the format dialog), and the import.
//
// No Qt; any thread (each call opens its own catalogue). ArchiveAccess runs these off the
// GUI thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "archive/ArchiveLayout.h"
#include "device/CardFormatFacts.h"

// An archive folder and its catalogue: the SQLite file in the folder unless another is named
// (a file elsewhere or a server).
struct ArchivePlace {
    std::string folder, catalogue;
    ArchivePlace(std::string archiveFolder)  // NOLINT: a folder alone is its own place
        : folder(std::move(archiveFolder)), catalogue(DefaultCatalogue(folder)) {}
    ArchivePlace(std::string archiveFolder, std::string location)
        : folder(std::move(archiveFolder)), catalogue(std::move(location)) {}
};

// Fills facts.unarchived* from the archive's catalogue, or facts.archiveError.
void AddArchiveFacts(const std::string& card, const ArchivePlace& archive, CardFormatFacts& facts);

struct NewOnCard {
    int count = -1;  // -1: not known (error says why)
    std::uint64_t bytes = 0;
    std::string error;
};

// The card's recordings the archive lacks, counted.
NewOnCard CountNewOnCard(const std::string& card, const ArchivePlace& archive);

enum class BookmarkResult { Made, NotArchived, Failed };

// Bookmarks offsetMs of a recording with note: the archived copy itself (a file in
// the archive folder) or, for a recording elsewhere (on the card), the archived recording of its
// name and size. The bookmark also keeps the recording from every prune.
BookmarkResult BookmarkRecording(const std::string& file, const ArchivePlace& archive,
                                 int64_t offsetMs, const std::string& note, std::string* error);

struct CardImportSummary {
    bool started = false;  // else error says why nothing was imported
    bool cancelled = false;
    long long copied = 0, skipped = 0, failed = 0;
    std::string error;
};

// Called after each recording: how many are done of how many.
using CardImportProgress = std::function<void(int done, int total)>;

// Imports every recording of card not archived yet (see ArchiveImport); stops between two
// recordings once *cancel is set.
CardImportSummary ImportCardIntoArchive(const std::string& card, const ArchivePlace& archive,
                                        const std::atomic<bool>* cancel = nullptr,
                                        const CardImportProgress& progress = {});
