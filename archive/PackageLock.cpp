#include "archive/PackageLock.h"

#include <filesystem>
#include <optional>

#include "archive/ArchiveCatalogue.h"
#include "archive/ArchiveLayout.h"

namespace fs = std::filesystem;

namespace {

// file's path inside folder; nothing when it lies elsewhere.
std::optional<std::string> InsideFolder(const std::string& folder, const std::string& file) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder, ec);
    if (ec) return std::nullopt;
    const fs::path full = fs::weakly_canonical(file, ec);
    if (ec) return std::nullopt;
    const fs::path rel = full.lexically_relative(base);
    if (rel.empty() || rel.begin()->string() == "..") return std::nullopt;
    return rel.string();
}

}  // namespace

int LockPackagedRecordings(const std::vector<std::string>& files,
                           const std::string& archiveFolder) {
    std::vector<std::string> inside;
    for (const std::string& file : files)
        if (auto rel = InsideFolder(archiveFolder, file)) inside.push_back(*rel);
    std::error_code ec;
    const std::string location = DefaultCatalogue(archiveFolder);
    if (inside.empty() || !fs::exists(location, ec)) return 0;
    ArchiveCatalogue catalogue;
    std::string error;
    if (!catalogue.Open(location, &error)) return -1;
    int locked = 0;
    for (const std::string& rel : inside) {
        const std::optional<CatalogueEntry> e = catalogue.FindRecording(rel, &error);
        if (!e) {
            if (!error.empty()) return -1;
            continue;
        }
        if (!catalogue.AddLock(e->id, "package", &error)) return -1;
        ++locked;
    }
    return locked;
}
