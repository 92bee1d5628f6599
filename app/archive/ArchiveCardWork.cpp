#include "app/archive/ArchiveCardWork.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "archive/ArchiveCardCheck.h"
#include "archive/ArchiveImport.h"
#include "archive/ArchiveLayout.h"

void AddArchiveFacts(const std::string& card, const ArchivePlace& archive, CardFormatFacts& facts) {
    std::vector<UnarchivedRecording> missing;
    std::string error;
    if (!ListUnarchived(card, archive.catalogue, &missing, &error)) {
        facts.archiveError = error;
        return;
    }
    facts.unarchived = static_cast<int>(missing.size());
    facts.unarchivedBytes = 0;
    facts.unarchivedByCategory.clear();
    // The list comes EVENT and USER first; the groups keep that order.
    for (const UnarchivedRecording& r : missing) {
        facts.unarchivedBytes += r.size;
        auto& groups = facts.unarchivedByCategory;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&r](const auto& g) { return g.category == r.category; });
        if (group == groups.end()) group = groups.insert(groups.end(), {r.category, 0, 0});
        ++group->count;
        group->bytes += r.size;
    }
}

NewOnCard CountNewOnCard(const std::string& card, const ArchivePlace& archive) {
    std::vector<UnarchivedRecording> missing;
    NewOnCard found;
    if (!ListUnarchived(card, archive.catalogue, &missing, &found.error)) return found;
    found.count = static_cast<int>(missing.size());
    for (const UnarchivedRecording& r : missing) found.bytes += r.size;
    return found;
}

namespace {

// The catalogue's row for file: by its path when it lies in the archive, else by its name
// with the same size.
std::optional<CatalogueEntry> ArchivedEntry(ArchiveCatalogue& catalogue, const std::string& file,
                                            const ArchivePlace& archive, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path rel =
        fs::weakly_canonical(file, ec).lexically_relative(fs::weakly_canonical(archive.folder, ec));
    if (!rel.empty() && rel.begin()->string() != "..")
        return catalogue.FindRecording(rel.string(), error);
    std::optional<CatalogueEntry> e =
        catalogue.FindRecording(fs::path(file).filename().string(), error);
    if (e && e->size != fs::file_size(file, ec)) return std::nullopt;
    return e;
}

}  // namespace

BookmarkResult BookmarkRecording(const std::string& file, const ArchivePlace& archive,
                                 int64_t offsetMs, const std::string& note, std::string* error) {
    std::error_code ec;
    const std::string& location = archive.catalogue;
    if (!IsServerCatalogue(location) && !std::filesystem::exists(location, ec))
        return BookmarkResult::NotArchived;
    ArchiveCatalogue catalogue;
    if (!catalogue.Open(location, error)) return BookmarkResult::Failed;
    error->clear();
    const std::optional<CatalogueEntry> e = ArchivedEntry(catalogue, file, archive, error);
    if (!e) return error->empty() ? BookmarkResult::NotArchived : BookmarkResult::Failed;
    return catalogue.AddBookmark(e->id, offsetMs, note, error) ? BookmarkResult::Made
                                                               : BookmarkResult::Failed;
}

CardImportSummary ImportCardIntoArchive(const std::string& card, const ArchivePlace& archive,
                                        const std::atomic<bool>* cancel,
                                        const CardImportProgress& progress) {
    CardImportSummary summary;
    std::error_code ec;
    std::filesystem::create_directories(archive.folder, ec);  // the catalogue lives in it
    ArchiveCatalogue catalogue;
    if (!catalogue.Open(archive.catalogue, &summary.error)) return summary;
    ArchiveImport import(catalogue, archive.folder, card);
    import.SetCancelFlag(cancel);
    ImportReport report;
    // The import's lines after each recording begin "DONE/TOTAL ".
    const auto lines = [&progress](const std::string& line) {
        int done = 0, total = 0;
        if (progress && std::sscanf(line.c_str(), "%d/%d ", &done, &total) == 2)
            progress(done, total);
    };
    summary.started = import.Run(lines, &report, &summary.error);
    summary.cancelled = report.cancelled;
    summary.copied = report.totals.copied;
    summary.skipped = report.totals.skipped;
    summary.failed = report.totals.failed;
    return summary;
}
