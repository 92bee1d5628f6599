#pragma once
// Copies a card's recordings into the archive and catalogues them.
//
// Every recording not yet archived is claimed in the catalogue, copied to a hidden temporary
// beside its final place (hashed on the way and flushed to the device), read back and hashed
// again, and renamed to its final name only when both hashes agree; its row becomes ready
// after that. A kill or a pulled card at any point leaves a claim and perhaps a temporary,
// never a half file under a final name nor a ready row without its file; the next import
// takes the claim over and finishes the job. A recording whose name is archived with the same
// SHA-256 is skipped; one whose name is taken by other content is kept as NAME_2 (_3 ...).
// A recording another running import has claimed is left to it, and looked at again at the
// end: once that import is done, or has died, this one copies what is still missing. A
// catalogued recording whose file was removed from the archive is put back from the card.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveCatalogue.h"

struct ImportFailure {
    std::string file;  // on the card
    std::string reason;
};

struct ImportReport {
    ImportTotals totals;
    std::vector<ImportFailure> failures;
    double seconds = 0;
    bool cancelled = false;  // stopped between two recordings at the owner's request
};

// One line of progress for a person watching (stderr).
using ImportProgress = std::function<void(const std::string& line)>;

class ArchiveImport {
public:
    ArchiveImport(ArchiveCatalogue& catalogue, std::string archiveFolder, std::string card);
    // False with the cause in *error when the import could not start (no card, an archive
    // that cannot be written); failures of single recordings are in the report instead.
    bool Run(const ImportProgress& progress, ImportReport* report, std::string* error);
    // Once *cancel is set, the import stops before its next recording (the one being copied
    // is finished first); what is archived stays archived.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

private:
    enum class Outcome { Copied, Skipped, Deferred, Failed };
    struct Source {
        std::string file, name, category;
    };

    bool ListCard(std::vector<Source>* sources, std::string* error) const;
    Outcome ImportOne(const Source& s, ImportReport* report);
    Outcome CopyClaimed(const Source& s, ArchivedRecording& r, int64_t claimId,
                        ImportReport* report);
    Outcome Restore(const Source& s, const CatalogueEntry& e, ImportReport* report);
    bool Place(int64_t claimId, ArchivedRecording& r, const std::string& temp, std::string* error);
    bool SameContent(const Source& s, const CatalogueEntry& e, std::string* error);
    bool IsStale(const CatalogueEntry& e) const;
    std::string ArchiveSettings();
    void ImportAll(const std::vector<Source>& sources, const ImportProgress& progress,
                   ImportReport* report);

    ArchiveCatalogue& m_catalogue;
    std::string m_folder;
    std::string m_card;   // the card's folder
    std::string m_label;  // its name in the catalogue (the folder's own name)
    std::string m_host;
    std::string m_owner;  // host:pid, written into this run's claims
    int64_t m_importId = 0;
    std::string m_sourceSha;  // the current recording's, once computed
    ImportProgress m_progress;
    const std::atomic<bool>* m_cancel = nullptr;
};
