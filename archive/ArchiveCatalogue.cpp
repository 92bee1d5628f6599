#include "archive/ArchiveCatalogue.h"

#include <algorithm>
#include <ctime>
#include <functional>

#include "archive/ArchiveSchema.h"

namespace {

constexpr int64_t kTripJoinMs = 5000;
constexpr const char* kEntryColumns =
    "id, path, name, category, state, sha256, size, claim_owner, claimed_utc, start_camera, "
    "start_utc, length_ms";

CatalogueEntry EntryOf(const SqlRow& r) {
    CatalogueEntry e;
    e.id = r.Int(0);
    e.path = r.Text(1);
    e.name = r.Text(2);
    e.category = r.Text(3);
    e.ready = r.Text(4) == "ready";
    e.sha256 = r.Text(5);
    e.size = static_cast<uint64_t>(r.Int(6));
    e.claimOwner = r.Text(7);
    e.claimedUtc = r.Int(8);
    if (!r.IsNull(9)) e.startCamera = r.Int(9);
    if (!r.IsNull(10)) e.startUtc = r.Int(10);
    e.lengthMs = r.Int(11);
    return e;
}

std::string Select(const std::string& where) {
    return std::string("SELECT ") + kEntryColumns + " FROM recordings " + where;
}

bool Entries(SqlConnection& db, const std::string& sql, const SqlParams& params,
             std::vector<CatalogueEntry>* out, std::string* error) {
    std::vector<SqlRow> rows;
    if (!db.Run(sql, params, &rows, error)) return false;
    for (const SqlRow& r : rows) out->push_back(EntryOf(r));
    return true;
}

}  // namespace

int64_t NowUtcSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

bool ArchiveCatalogue::Open(const std::string& location, std::string* error) {
    m_db = OpenSqlConnection(location, error);
    return m_db && PrepareArchiveSchema(*m_db, error);
}

std::optional<int64_t> ArchiveCatalogue::BeginImport(const std::string& card,
                                                     const std::string& host, std::string* error) {
    std::vector<SqlRow> rows;
    if (!m_db->Run("INSERT INTO imports (card, host, started_utc) VALUES (?, ?, ?) RETURNING id",
                   {card, host, NowUtcSeconds()}, &rows, error) ||
        rows.empty())
        return std::nullopt;
    return rows[0].Int(0);
}

bool ArchiveCatalogue::FinishImport(int64_t importId, const ImportTotals& t,
                                    const std::string& settingsSha256, std::string* error) {
    return m_db->Run(
        "UPDATE imports SET finished_utc = ?, copied = ?, skipped = ?, failed = ?, bytes = ?, "
        "settings_sha256 = ? WHERE id = ?",
        {NowUtcSeconds(), t.copied, t.skipped, t.failed, t.bytes,
         settingsSha256.empty() ? SqlParam() : SqlParam(settingsSha256), importId},
        nullptr, error);
}

std::optional<CatalogueEntry> ArchiveCatalogue::Lookup(const std::string& path,
                                                       std::string* error) {
    std::vector<CatalogueEntry> found;
    if (!Entries(*m_db, Select("WHERE path = ?"), {path}, &found, error) || found.empty())
        return std::nullopt;
    return found[0];
}

std::optional<int64_t> ArchiveCatalogue::Claim(const ArchivedRecording& r, const std::string& owner,
                                               std::string* error) {
    std::vector<SqlRow> rows;
    if (!m_db->Run("INSERT INTO recordings (path, name, card, category, state, claim_owner, "
                   "claimed_utc) VALUES (?, ?, ?, ?, 'claimed', ?, ?) "
                   "ON CONFLICT (path) DO NOTHING RETURNING id",
                   {r.path, r.name, r.card, r.category, owner, NowUtcSeconds()}, &rows, error) ||
        rows.empty())
        return std::nullopt;
    return rows[0].Int(0);
}

bool ArchiveCatalogue::TakeOver(const CatalogueEntry& e, const std::string& owner,
                                std::string* error) {
    std::vector<SqlRow> rows;
    return m_db->Run(
               "UPDATE recordings SET claim_owner = ?, claimed_utc = ? WHERE id = ? AND "
               "state = 'claimed' AND claim_owner = ? AND claimed_utc = ? RETURNING id",
               {owner, NowUtcSeconds(), e.id, e.claimOwner, e.claimedUtc}, &rows, error) &&
           !rows.empty();
}

void ArchiveCatalogue::Release(int64_t id, const std::string& owner) {
    std::string ignored;
    m_db->Run("DELETE FROM recordings WHERE id = ? AND state = 'claimed' AND claim_owner = ?",
              {id, owner}, nullptr, &ignored);
}

bool ArchiveCatalogue::Complete(int64_t id, const std::string& owner, int64_t importId,
                                const ArchivedRecording& r, std::string* error) {
    if (!m_db->BeginWrite(error)) return false;
    // Two imports from one card would otherwise both find no trip to join and start one each;
    // SQLite's write lock already keeps them apart.
    if (m_db->Engine() == SqlEngine::Postgres &&
        !m_db->Run("SELECT pg_advisory_xact_lock(?)",
                   {static_cast<int64_t>(std::hash<std::string>()(r.card) >> 1)}, nullptr, error)) {
        m_db->Rollback();
        return false;
    }
    std::vector<SqlRow> rows;
    bool ok = m_db->Run(
        "UPDATE recordings SET start_camera = ?, start_utc = ?, clock_offset_s = ?, "
        "length_ms = ?, size = ?, sha256 = ?, cameras = ?, codec = ?, import_id = ?, "
        "state = 'ready', claim_owner = NULL, claimed_utc = NULL "
        "WHERE id = ? AND state = 'claimed' AND claim_owner = ? RETURNING id",
        {r.startCamera, r.startUtc, r.clockOffsetS, r.lengthMs, r.size, r.sha256, r.cameras,
         r.codec, importId, id, owner},
        &rows, error);
    if (ok && rows.empty()) {
        *error = r.path + ": another import took this recording over";
        ok = false;
    }
    ok = ok && StoreFindings(id, r, error) && JoinTrip(id, r, error);
    if (ok) return m_db->Commit(error);
    m_db->Rollback();
    return false;
}

bool ArchiveCatalogue::StoreFindings(int64_t id, const ArchivedRecording& r, std::string* error) {
    for (const ArchivedWaypoint& w : r.waypoints)
        if (!m_db->Run("INSERT INTO waypoints (recording_id, offset_ms, time_camera_ms, "
                       "time_utc_ms, latitude, longitude, speed_kmh, heading) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                       {id, w.offsetMs, w.timeCameraMs, w.timeUtcMs, w.latitude, w.longitude,
                        w.speedKmh, w.heading},
                       nullptr, error))
            return false;
    for (const ArchivedEvent& e : r.events)
        if (!m_db->Run("INSERT INTO events (recording_id, kind, offset_ms, time_camera_ms, "
                       "time_utc_ms, peak_g, speed_kmh, latitude, longitude) VALUES (?, ?, ?, ?, "
                       "?, ?, ?, ?, ?)",
                       {id, e.kind, e.offsetMs, e.timeCameraMs, e.timeUtcMs, e.peakG, e.speedKmh,
                        e.latitude, e.longitude},
                       nullptr, error))
            return false;
    // Event and user recordings are the ones a driver kept on purpose.
    if (r.category == "EVENT" || r.category == "USER")
        return m_db->Run(
            "INSERT INTO locks (recording_id, reason) VALUES (?, ?) "
            "ON CONFLICT DO NOTHING",
            {id, r.category == "EVENT" ? "event" : "user"}, nullptr, error);
    return true;
}

// A recording joins the trip of its card and category that ends within kTripJoinMs of its
// start or starts within as much of its end; one that bridges two trips merges them.
bool ArchiveCatalogue::JoinTrip(int64_t id, const ArchivedRecording& r, std::string* error) {
    if (!r.startCamera) return true;
    int64_t startMs = *r.startCamera * 1000, endMs = startMs + r.lengthMs;
    std::vector<SqlRow> trips;
    if (!m_db->Run("SELECT id, start_camera, end_camera_ms FROM trips WHERE card = ? AND "
                   "category = ? AND end_camera_ms >= ? AND start_camera * 1000 <= ? ORDER BY id",
                   {r.card, r.category, startMs - kTripJoinMs, endMs + kTripJoinMs}, &trips, error))
        return false;
    std::optional<int64_t> trip;
    for (const SqlRow& t : trips) {
        startMs = std::min(startMs, t.Int(1) * 1000);
        endMs = std::max(endMs, t.Int(2));
        if (!trip) {
            trip = t.Int(0);
            continue;
        }
        if (!m_db->Run("UPDATE recordings SET trip_id = ? WHERE trip_id = ?", {*trip, t.Int(0)},
                       nullptr, error) ||
            !m_db->Run("DELETE FROM trips WHERE id = ?", {t.Int(0)}, nullptr, error))
            return false;
    }
    std::vector<SqlRow> rows;
    if (!trip) {
        if (!m_db->Run("INSERT INTO trips (card, category, start_camera, end_camera_ms) "
                       "VALUES (?, ?, ?, ?) RETURNING id",
                       {r.card, r.category, startMs / 1000, endMs}, &rows, error))
            return false;
        trip = rows.at(0).Int(0);
    } else if (!m_db->Run("UPDATE trips SET start_camera = ?, end_camera_ms = ? WHERE id = ?",
                          {startMs / 1000, endMs, *trip}, nullptr, error)) {
        return false;
    }
    return m_db->Run("UPDATE recordings SET trip_id = ? WHERE id = ?", {*trip, id}, nullptr, error);
}

bool ArchiveCatalogue::ReadyRecordings(std::vector<CatalogueEntry>* out, std::string* error) {
    return Entries(*m_db, Select("WHERE state = 'ready' ORDER BY start_camera, id"), {}, out,
                   error);
}

std::optional<CatalogueEntry> ArchiveCatalogue::FindRecording(const std::string& pathOrName,
                                                              std::string* error) {
    std::vector<CatalogueEntry> found;
    if (!Entries(*m_db, Select("WHERE state = 'ready' AND (path = ? OR name = ?) ORDER BY id"),
                 {pathOrName, pathOrName}, &found, error) ||
        found.empty())
        return std::nullopt;
    return found[0];
}

bool ArchiveCatalogue::AddBookmark(int64_t recordingId, int64_t offsetMs, const std::string& note,
                                   std::string* error) {
    if (!m_db->BeginWrite(error)) return false;
    const bool ok = m_db->Run(
                        "INSERT INTO bookmarks (recording_id, offset_ms, note, created_utc) "
                        "VALUES (?, ?, ?, ?)",
                        {recordingId, offsetMs, note, NowUtcSeconds()}, nullptr, error) &&
                    AddLock(recordingId, "bookmark", error);
    if (ok) return m_db->Commit(error);
    m_db->Rollback();
    return false;
}

bool ArchiveCatalogue::AddLock(int64_t recordingId, const std::string& reason, std::string* error) {
    return m_db->Run(
        "INSERT INTO locks (recording_id, reason) VALUES (?, ?) ON CONFLICT DO NOTHING",
        {recordingId, reason}, nullptr, error);
}

bool ArchiveCatalogue::PruneCandidates(std::vector<CatalogueEntry>* out, std::string* error) {
    return Entries(*m_db,
                   Select("WHERE state = 'ready' AND category IN ('DRIVING', 'PARKING') AND NOT "
                          "EXISTS (SELECT 1 FROM locks WHERE locks.recording_id = recordings.id) "
                          "ORDER BY start_camera, id"),
                   {}, out, error);
}

bool ArchiveCatalogue::RemoveUnlocked(int64_t id, std::string* error) {
    std::vector<SqlRow> rows;
    if (!m_db->Run("DELETE FROM recordings WHERE id = ? AND NOT EXISTS (SELECT 1 FROM locks "
                   "WHERE locks.recording_id = ?) RETURNING trip_id",
                   {id, id}, &rows, error) ||
        rows.empty())
        return false;
    // A trip whose last recording went goes with it.
    return rows[0].IsNull(0) ||
           m_db->Run(
               "DELETE FROM trips WHERE id = ? AND NOT EXISTS (SELECT 1 FROM recordings "
               "WHERE recordings.trip_id = ?)",
               {rows[0].Int(0), rows[0].Int(0)}, nullptr, error);
}
