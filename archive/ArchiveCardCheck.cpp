#include "archive/ArchiveCardCheck.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "archive/ArchiveCatalogue.h"
#include "archive/ArchiveLayout.h"
#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"

namespace fs = std::filesystem;

namespace {

int Rank(const std::string& category) {
    return category == kEventFolder || category == kUserFolder ? 0 : 1;
}

bool ListCard(const std::string& card, std::vector<UnarchivedRecording>* out, std::string* error) {
    return ForEachCardRecording(
        card,
        [out](const fs::directory_entry& e, const char* category) {
            std::error_code ec;
            const uint64_t size = e.file_size(ec);
            out->push_back({e.path().filename().string(), category, ec ? 0 : size});
        },
        error);
}

// A catalogue named by a plain path that is not there: nothing is archived yet.
bool CatalogueMissing(const std::string& location) {
    if (location.rfind("postgres", 0) == 0) return false;
    std::error_code ec;
    return !fs::exists(location, ec);
}

}  // namespace

bool ListUnarchived(const std::string& card, const std::string& catalogue,
                    std::vector<UnarchivedRecording>* out, std::string* error) {
    std::vector<UnarchivedRecording> onCard;
    if (!ListCard(card, &onCard, error)) return false;
    if (!CatalogueMissing(catalogue)) {
        ArchiveCatalogue db;
        if (!db.Open(catalogue, error)) return false;
        std::vector<CatalogueEntry> ready;
        if (!db.ReadyRecordings(&ready, error)) return false;
        std::set<std::pair<std::string, uint64_t>> archived;
        for (const CatalogueEntry& e : ready) archived.emplace(e.name, e.size);
        std::erase_if(onCard, [&archived](const UnarchivedRecording& r) {
            return archived.count({r.name, r.size}) > 0;
        });
    }
    std::sort(onCard.begin(), onCard.end(),
              [](const UnarchivedRecording& a, const UnarchivedRecording& b) {
                  if (Rank(a.category) != Rank(b.category))
                      return Rank(a.category) < Rank(b.category);
                  return a.name < b.name;
              });
    *out = std::move(onCard);
    return true;
}
