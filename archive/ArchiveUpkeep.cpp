#include "archive/ArchiveUpkeep.h"

#include <unistd.h>

#include <filesystem>

#include "evidence/Sha256.h"
#include "support/CivilDate.h"

namespace fs = std::filesystem;

bool CheckArchive(ArchiveCatalogue& catalogue, const std::string& folder,
                  std::vector<CheckProblem>* problems, size_t* checked, std::string* error) {
    std::vector<CatalogueEntry> entries;
    if (!catalogue.ReadyRecordings(&entries, error)) return false;
    *checked = entries.size();
    for (const CatalogueEntry& e : entries) {
        const std::string file = (fs::path(folder) / e.path).string();
        std::error_code ec;
        if (!fs::exists(file, ec)) {
            problems->push_back({e.path, "missing", "not in the archive"});
            continue;
        }
        std::string hex, why;
        if (!Sha256OfFile(file, &hex, &why))
            problems->push_back({e.path, "changed", why});
        else if (hex != e.sha256)
            problems->push_back({e.path, "changed", "SHA-256 " + hex + ", catalogued " + e.sha256});
    }
    return true;
}

namespace {

bool TooOld(const CatalogueEntry& e, int64_t cutoffSec) {
    // Without a fix the camera clock is all there is; it is off by the zone at most.
    const std::optional<int64_t> start = e.startUtc ? e.startUtc : e.startCamera;
    return start && *start < cutoffSec;
}

uint64_t ArchiveBytes(ArchiveCatalogue& catalogue, std::string* error, bool* ok) {
    std::vector<CatalogueEntry> all;
    *ok = catalogue.ReadyRecordings(&all, error);
    uint64_t bytes = 0;
    for (const CatalogueEntry& e : all) bytes += e.size;
    return bytes;
}

}  // namespace

bool PruneArchive(ArchiveCatalogue& catalogue, const std::string& folder, const PruneRule& rule,
                  std::vector<CatalogueEntry>* removed, std::string* error) {
    bool ok = true;
    uint64_t bytes = rule.keepBytes ? ArchiveBytes(catalogue, error, &ok) : 0;
    std::vector<CatalogueEntry> candidates;
    if (!ok || !catalogue.PruneCandidates(&candidates, error)) return false;
    const int64_t cutoff = NowUtcSeconds() - rule.keepDays.value_or(0) * kSecondsPerDay;
    for (const CatalogueEntry& e : candidates) {
        const bool over = rule.keepBytes && bytes > *rule.keepBytes;
        if (!over && !(rule.keepDays && TooOld(e, cutoff))) {
            if (rule.keepBytes) break;  // oldest first: the rest are newer still
            continue;
        }
        if (!rule.dryRun) {
            std::string why;
            if (!catalogue.RemoveUnlocked(e.id, &why)) {
                if (!why.empty()) return *error = why, false;
                continue;  // locked since the list was made
            }
            ::unlink((fs::path(folder) / e.path).c_str());
        }
        bytes -= std::min(bytes, e.size);
        removed->push_back(e);
    }
    return true;
}
