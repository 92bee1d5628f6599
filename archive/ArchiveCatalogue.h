#pragma once
// The catalogue of an archive: which recordings it holds and everything found in them.
//
// An import claims a recording's place (its path in the archive) with one conditional insert
// before it copies anything, so two imports into one catalogue, on one PC or several, never
// copy the same recording twice: the unique path decides, on SQLite and PostgreSQL alike. A
// claim becomes a ready row only in the transaction that also stores the waypoints and
// events, after the file lies whole under its final name; so there is never a ready row
// without its file. A claim whose import died is taken over by the next import: on the same
// host when its process is gone, from anywhere once it is older than kStaleClaimS.
//
// Threads: one ArchiveCatalogue per thread (it owns its connection).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchivedRecording.h"
#include "archive/SqlConnection.h"

// A claim not finished for this long belongs to an import that is no more.
constexpr int64_t kStaleClaimS = 30 * 60;

struct CatalogueEntry {
    int64_t id = 0;
    std::string path;
    std::string name;
    std::string category;
    bool ready = false;  // else claimed
    std::string sha256;
    uint64_t size = 0;
    std::string claimOwner;
    int64_t claimedUtc = 0;
    std::optional<int64_t> startCamera, startUtc;
    int64_t lengthMs = 0;
};

struct ImportTotals {
    int64_t copied = 0, skipped = 0, failed = 0;
    uint64_t bytes = 0;
};

class ArchiveCatalogue {
public:
    // Opens (and creates when new) the catalogue at location (see OpenSqlConnection).
    bool Open(const std::string& location, std::string* error);
    SqlConnection& Db() { return *m_db; }

    std::optional<int64_t> BeginImport(const std::string& card, const std::string& host,
                                       std::string* error);
    bool FinishImport(int64_t importId, const ImportTotals& totals,
                      const std::string& settingsSha256, std::string* error);

    // The row at an archive path; nothing when there is none (or on failure: *error set).
    std::optional<CatalogueEntry> Lookup(const std::string& path, std::string* error);
    // Claims a free path; the claim's id, or nothing when another row holds the path.
    std::optional<int64_t> Claim(const ArchivedRecording& r, const std::string& owner,
                                 std::string* error);
    // Moves a dead import's claim to owner; false when someone else got there first.
    bool TakeOver(const CatalogueEntry& e, const std::string& owner, std::string* error);
    // Gives up a claim (the copy failed); the path is free again.
    void Release(int64_t id, const std::string& owner);
    // Turns the claim into a ready row with everything found in the recording. False when
    // the claim is no longer owner's.
    bool Complete(int64_t id, const std::string& owner, int64_t importId,
                  const ArchivedRecording& r, std::string* error);

    // Every ready row, oldest first.
    bool ReadyRecordings(std::vector<CatalogueEntry>* out, std::string* error);
    // The ready row of an archived file, by its path in the archive or its name.
    std::optional<CatalogueEntry> FindRecording(const std::string& pathOrName, std::string* error);
    bool AddBookmark(int64_t recordingId, int64_t offsetMs, const std::string& note,
                     std::string* error);
    // Keeps a recording from every prune; reason names why ("package" for one that went into
    // an evidence package). Locking twice for one reason is no error.
    bool AddLock(int64_t recordingId, const std::string& reason, std::string* error);
    // Unlocked DRIVING and PARKING recordings, oldest first.
    bool PruneCandidates(std::vector<CatalogueEntry>* out, std::string* error);
    // Removes a recording's rows unless it has become locked meanwhile; false when it has.
    bool RemoveUnlocked(int64_t id, std::string* error);

private:
    bool StoreFindings(int64_t id, const ArchivedRecording& r, std::string* error);
    bool JoinTrip(int64_t id, const ArchivedRecording& r, std::string* error);

    std::unique_ptr<SqlConnection> m_db;
};

// Seconds since 1970 in UTC, now.
int64_t NowUtcSeconds();
