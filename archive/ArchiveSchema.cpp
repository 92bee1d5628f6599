#include "archive/ArchiveSchema.h"

#include <algorithm>
#include <vector>

namespace {

// Any number will do, as long as it stays the same: it names the lock that serialises the
// creation of the tables on a server.
constexpr int64_t kSchemaLockKey = 0x7a72c4e1;

constexpr const char* kTables = R"SQL(
CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE imports (id @ID@, card TEXT NOT NULL, host TEXT NOT NULL,
  started_utc BIGINT NOT NULL, finished_utc BIGINT, copied BIGINT NOT NULL DEFAULT 0,
  skipped BIGINT NOT NULL DEFAULT 0, failed BIGINT NOT NULL DEFAULT 0,
  bytes BIGINT NOT NULL DEFAULT 0, settings_sha256 TEXT);
CREATE TABLE trips (id @ID@, card TEXT NOT NULL, category TEXT NOT NULL,
  start_camera BIGINT NOT NULL, end_camera_ms BIGINT NOT NULL);
CREATE TABLE recordings (id @ID@, path TEXT NOT NULL UNIQUE, name TEXT NOT NULL,
  card TEXT NOT NULL, category TEXT NOT NULL, start_camera BIGINT, start_utc BIGINT,
  clock_offset_s BIGINT, length_ms BIGINT NOT NULL DEFAULT 0, size BIGINT NOT NULL DEFAULT 0,
  sha256 TEXT, cameras INTEGER NOT NULL DEFAULT 0, codec TEXT,
  trip_id BIGINT REFERENCES trips(id) ON DELETE SET NULL,
  import_id BIGINT REFERENCES imports(id) ON DELETE SET NULL,
  state TEXT NOT NULL, claim_owner TEXT, claimed_utc BIGINT);
CREATE INDEX recordings_name ON recordings(name);
CREATE INDEX recordings_start ON recordings(start_camera);
CREATE INDEX recordings_start_utc ON recordings(start_utc);
CREATE TABLE waypoints (id @ID@,
  recording_id BIGINT NOT NULL REFERENCES recordings(id) ON DELETE CASCADE,
  offset_ms BIGINT NOT NULL, time_camera_ms BIGINT NOT NULL, time_utc_ms BIGINT,
  latitude DOUBLE PRECISION NOT NULL, longitude DOUBLE PRECISION NOT NULL,
  speed_kmh DOUBLE PRECISION NOT NULL, heading DOUBLE PRECISION NOT NULL);
CREATE INDEX waypoints_recording ON waypoints(recording_id, offset_ms);
CREATE TABLE events (id @ID@,
  recording_id BIGINT NOT NULL REFERENCES recordings(id) ON DELETE CASCADE,
  kind TEXT NOT NULL, offset_ms BIGINT NOT NULL, time_camera_ms BIGINT, time_utc_ms BIGINT,
  peak_g DOUBLE PRECISION NOT NULL, speed_kmh DOUBLE PRECISION,
  latitude DOUBLE PRECISION, longitude DOUBLE PRECISION);
CREATE INDEX events_kind ON events(kind, time_camera_ms);
CREATE TABLE bookmarks (id @ID@,
  recording_id BIGINT NOT NULL REFERENCES recordings(id) ON DELETE CASCADE,
  offset_ms BIGINT NOT NULL, note TEXT NOT NULL, created_utc BIGINT NOT NULL);
CREATE TABLE locks (recording_id BIGINT NOT NULL REFERENCES recordings(id) ON DELETE CASCADE,
  reason TEXT NOT NULL, PRIMARY KEY (recording_id, reason));
)SQL";

// SQLite's R*Tree, kept in step with the waypoints by triggers so that every writer inserts
// waypoints the same way on both engines. Its boxes are rounded outward to 32-bit floats;
// the exact distance is measured afterwards.
constexpr const char* kSqlitePlaces = R"SQL(
CREATE VIRTUAL TABLE waypoint_places USING rtree(id, min_lat, max_lat, min_lon, max_lon);
CREATE TRIGGER waypoints_placed AFTER INSERT ON waypoints BEGIN
  INSERT INTO waypoint_places VALUES (new.id, new.latitude, new.latitude, new.longitude,
                                      new.longitude);
END;
CREATE TRIGGER waypoints_unplaced AFTER DELETE ON waypoints BEGIN
  DELETE FROM waypoint_places WHERE id = old.id;
END;
)SQL";

constexpr const char* kPostgresPlaces = R"SQL(
CREATE INDEX waypoints_place ON waypoints
  USING gist (box(point(longitude, latitude), point(longitude, latitude)));
)SQL";

std::string TablesFor(SqlEngine engine) {
    std::string sql = kTables;
    const std::string id =
        engine == SqlEngine::Sqlite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY";
    for (size_t at; (at = sql.find("@ID@")) != std::string::npos;) sql.replace(at, 4, id);
    return sql + (engine == SqlEngine::Sqlite ? kSqlitePlaces : kPostgresPlaces);
}

bool ExistingTables(SqlConnection& db, std::vector<std::string>* names, std::string* error) {
    const char* sql = db.Engine() == SqlEngine::Sqlite
                          ? "SELECT name FROM sqlite_master WHERE type = 'table'"
                          : "SELECT table_name FROM information_schema.tables "
                            "WHERE table_schema = current_schema()";
    std::vector<SqlRow> rows;
    if (!db.Run(sql, {}, &rows, error)) return false;
    for (const SqlRow& r : rows) names->push_back(r.Text(0));
    return true;
}

bool CreateTables(SqlConnection& db, std::string* error) {
    if (!db.RunScript(TablesFor(db.Engine()), error)) return false;
    return db.Run("INSERT INTO meta (key, value) VALUES ('application', ?), ('schema_version', ?)",
                  {kArchiveApplication, std::to_string(kArchiveSchemaVersion)}, nullptr, error);
}

bool CheckOurs(SqlConnection& db, const std::vector<std::string>& tables, std::string* error) {
    const std::string notOurs = "catalogue " + db.Describe() + " is not a Tarvex archive catalogue";
    if (std::find(tables.begin(), tables.end(), "meta") == tables.end()) {
        *error = notOurs;
        return false;
    }
    std::vector<SqlRow> rows;
    if (!db.Run("SELECT key, value FROM meta WHERE key IN ('application', 'schema_version')", {},
                &rows, error))
        return false;
    std::string application;
    int64_t version = -1;
    for (const SqlRow& r : rows) {
        if (r.Text(0) == "application") application = r.Text(1);
        if (r.Text(0) == "schema_version") version = r.Int(1);
    }
    if (application != kArchiveApplication || version < 1) {
        *error = notOurs;
        return false;
    }
    if (version > kArchiveSchemaVersion) {
        *error = "catalogue " + db.Describe() + " was made by a newer Tarvex (catalogue version " +
                 std::to_string(version) + ", this program reads up to " +
                 std::to_string(kArchiveSchemaVersion) + "); nothing was changed";
        return false;
    }
    return true;
}

}  // namespace

bool PrepareArchiveSchema(SqlConnection& db, std::string* error) {
    if (!db.BeginWrite(error)) return false;
    if (db.Engine() == SqlEngine::Postgres &&
        !db.Run("SELECT pg_advisory_xact_lock(?)", {kSchemaLockKey}, nullptr, error)) {
        db.Rollback();
        return false;
    }
    std::vector<std::string> tables;
    bool ok = ExistingTables(db, &tables, error);
    if (ok) ok = tables.empty() ? CreateTables(db, error) : CheckOurs(db, tables, error);
    if (ok) return db.Commit(error);
    db.Rollback();
    return false;
}
