#include "archive/ArchiveFind.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

#include "support/CivilDate.h"

namespace {

constexpr double kEarthRadiusM = 6371008.8;
// No recording runs longer; a dashcam cuts its recordings into minutes.
constexpr int64_t kLongestRecordingMs = 24 * 3600 * 1000LL;
constexpr double kMetresPerDegree = kEarthRadiusM * std::numbers::pi / 180.0;

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// The filters every kind of match shares, on the match's own time column.
struct Filter {
    std::string sql;
    SqlParams params;
};

Filter CommonFilter(const FindQuery& q, const std::string& cameraColumn,
                    const std::string& utcColumn) {
    Filter f{" AND r.state = 'ready'", {}};
    const std::string column = q.zoned ? utcColumn : cameraColumn;
    if (q.fromMs) f.sql += " AND " + column + " >= ?", f.params.push_back(*q.fromMs);
    if (q.toMs) f.sql += " AND " + column + " <= ?", f.params.push_back(*q.toMs);
    if (q.category) f.sql += " AND r.category = ?", f.params.push_back(*q.category);
    return f;
}

// Wraps a select of (rid, path, offset_ms, cam, utc, x1, x2) with its recording's waypoints
// just before and just after the offset (the nearer one is the match's position), in the
// same statement: one round trip for all matches, each found by the index on
// (recording_id, offset_ms).
std::string WithNearestWaypoints(const std::string& inner) {
    const auto side = [](const char* op, const char* order) {
        return std::string(
                   "(SELECT n.id FROM waypoints n WHERE n.recording_id = i.rid AND "
                   "n.offset_ms ") +
               op + " i.offset_ms ORDER BY n.offset_ms " + order + " LIMIT 1)";
    };
    return "SELECT m.rid, m.path, m.offset_ms, m.cam, m.utc, m.x1, m.x2, b.offset_ms, "
           "b.latitude, b.longitude, b.speed_kmh, a.offset_ms, a.latitude, a.longitude, "
           "a.speed_kmh FROM (SELECT i.*, " +
           side("<=", "DESC") + " AS before_id, " + side(">", "ASC") + " AS after_id FROM (" +
           inner +
           ") i) m "
           "LEFT JOIN waypoints b ON b.id = m.before_id LEFT JOIN waypoints a ON a.id = "
           "m.after_id ORDER BY m.cam, m.rid";
}

// Position and speed of the nearer of the two waypoints (columns 7-10 and 11-14).
void PlaceMatch(const SqlRow& r, FindMatch& m) {
    const bool before = !r.IsNull(7), after = !r.IsNull(11);
    if (!before && !after) return;
    const bool useAfter = after && (!before || r.Int(11) - m.offsetMs < m.offsetMs - r.Int(7));
    const size_t at = useAfter ? 11 : 7;
    m.latitude = r.Double(at + 1);
    m.longitude = r.Double(at + 2);
    m.speedKmh = r.Double(at + 3);
}

std::optional<int64_t> Optional(const SqlRow& r, size_t i) {
    if (r.IsNull(i)) return std::nullopt;
    return r.Int(i);
}

// With a place asked for: a match without a position, or farther than the radius, is left out;
// the distance is noted on the others.
bool WithinRadius(const FindQuery& q, FindMatch& m) {
    if (!q.latitude) return true;
    if (!m.latitude) return false;
    m.distanceM = DistanceM(*q.latitude, *q.longitude, *m.latitude, *m.longitude);
    return *m.distanceM <= q.radiusM;
}

// Runs a select of WithNearestWaypoints' shape and keeps the matches that lie within the
// place asked for (all of them when none was); fill sets what x1 and x2 mean.
template <typename Fill>
bool CollectMatches(SqlConnection& db, const FindQuery& q, const std::string& inner,
                    const SqlParams& params, const char* kind, Fill fill,
                    std::vector<FindMatch>* out, std::string* error) {
    std::vector<SqlRow> rows;
    if (!db.Run(WithNearestWaypoints(inner), params, &rows, error)) return false;
    for (const SqlRow& r : rows) {
        FindMatch m;
        m.path = r.Text(1);
        m.offsetMs = r.Int(2);
        m.cameraMs = Optional(r, 3);
        m.utcMs = Optional(r, 4);
        m.kind = kind;
        fill(r, m);
        PlaceMatch(r, m);
        if (!WithinRadius(q, m)) continue;
        out->push_back(std::move(m));
    }
    return true;
}

// The recording's path when it is ready and in the category asked for, else null: a scalar
// subquery by the primary key, so a find over thousands of rows never joins (or scans) the
// whole list of recordings.
Filter RecordingPath(const FindQuery& q, const std::string& idColumn) {
    Filter f{"(SELECT r.path FROM recordings r WHERE r.id = " + idColumn + " AND r.state = 'ready'",
             {}};
    if (q.category) f.sql += " AND r.category = ?", f.params.push_back(*q.category);
    f.sql += ")";
    return f;
}

Filter TimeFilter(const FindQuery& q, const std::string& cameraColumn,
                  const std::string& utcColumn) {
    Filter f;
    const std::string column = q.zoned ? utcColumn : cameraColumn;
    if (q.fromMs) f.sql += " AND " + column + " >= ?", f.params.push_back(*q.fromMs);
    if (q.toMs) f.sql += " AND " + column + " <= ?", f.params.push_back(*q.toMs);
    return f;
}

SqlParams Joined(SqlParams a, const SqlParams& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Events carry their own position (the nearest fix's, stored at import), so they need no
// waypoint here.
bool FindEvents(SqlConnection& db, const FindQuery& q, std::vector<FindMatch>* out,
                std::string* error) {
    const Filter path = RecordingPath(q, "e.recording_id");
    const Filter time = TimeFilter(q, "e.time_camera_ms", "e.time_utc_ms");
    std::string sql = "SELECT e.recording_id, " + path.sql +
                      ", e.offset_ms, e.time_camera_ms, e.time_utc_ms, e.kind, e.peak_g, "
                      "e.latitude, e.longitude, e.speed_kmh FROM events e WHERE e.kind = ?" +
                      time.sql;
    if (q.bookmarked)
        sql += " AND EXISTS (SELECT 1 FROM bookmarks b WHERE b.recording_id = e.recording_id)";
    std::vector<SqlRow> rows;
    if (!db.Run(sql + " ORDER BY e.time_camera_ms, e.recording_id",
                Joined(Joined(path.params, {*q.eventKind}), time.params), &rows, error))
        return false;
    for (const SqlRow& r : rows) {
        if (r.IsNull(1)) continue;
        FindMatch m;
        m.path = r.Text(1);
        m.offsetMs = r.Int(2);
        m.cameraMs = Optional(r, 3);
        m.utcMs = Optional(r, 4);
        m.kind = "event";
        m.event = r.Text(5);
        m.peakG = r.Double(6);
        if (!r.IsNull(7)) m.latitude = r.Double(7), m.longitude = r.Double(8);
        if (!r.IsNull(9)) m.speedKmh = r.Double(9);
        if (!WithinRadius(q, m)) continue;
        out->push_back(std::move(m));
    }
    return true;
}

bool FindBookmarks(SqlConnection& db, const FindQuery& q, std::vector<FindMatch>* out,
                   std::string* error) {
    const std::string camera = "(r.start_camera * 1000 + b.offset_ms)";
    const std::string utc = "(r.start_utc * 1000 + b.offset_ms)";
    const Filter f = CommonFilter(q, camera, utc);
    return CollectMatches(
        db, q,
        "SELECT r.id AS rid, r.path AS path, b.offset_ms AS offset_ms, " + camera + " AS cam, " +
            utc +
            " AS utc, b.note AS x1, b.id AS x2 FROM bookmarks b JOIN recordings r ON "
            "r.id = b.recording_id WHERE 1 = 1" +
            f.sql,
        f.params, "bookmark", [](const SqlRow& r, FindMatch& m) { m.note = r.Text(5); }, out,
        error);
}

}  // namespace

namespace {

// The waypoints inside the box around the circle, through each engine's own place index.
Filter PlaceBox(SqlEngine engine, const FindQuery& q) {
    const double dLat = q.radiusM / kMetresPerDegree;
    const double cosLat = std::max(0.01, std::cos(Radians(*q.latitude)));
    const double dLon = std::min(180.0, dLat / cosLat);
    const double s = *q.latitude - dLat, n = *q.latitude + dLat;
    const double w = *q.longitude - dLon, e = *q.longitude + dLon;
    if (engine == SqlEngine::Sqlite)
        // CROSS JOIN fixes SQLite's join order: the R*Tree first, however few recordings
        // its statistics count (else it may walk every waypoint of every recording).
        return {
            "FROM waypoint_places p CROSS JOIN waypoints w WHERE w.id = p.id AND "
            "p.min_lat <= ? AND p.max_lat >= ? AND p.min_lon <= ? AND p.max_lon >= ?",
            {n, s, e, w}};
    return {
        "FROM waypoints w WHERE box(point(w.longitude, w.latitude), "
        "point(w.longitude, w.latitude)) && box(point(?, ?), point(?, ?))",
        {w, s, e, n}};
}

bool FindPlaces(SqlConnection& db, const FindQuery& q, std::vector<FindMatch>* out,
                std::string* error) {
    const Filter path = RecordingPath(q, "w.recording_id");
    const Filter box = PlaceBox(db.Engine(), q);
    const Filter time = TimeFilter(q, "w.time_camera_ms", "w.time_utc_ms");
    std::vector<SqlRow> rows;
    if (!db.Run("SELECT w.recording_id, " + path.sql +
                    ", w.offset_ms, w.time_camera_ms, w.time_utc_ms, w.latitude, w.longitude, "
                    "w.speed_kmh " +
                    box.sql + time.sql,
                Joined(Joined(path.params, box.params), time.params), &rows, error))
        return false;
    std::map<int64_t, FindMatch> nearest;
    for (const SqlRow& r : rows) {
        if (r.IsNull(1)) continue;
        const double d = DistanceM(*q.latitude, *q.longitude, r.Double(5), r.Double(6));
        auto it = nearest.find(r.Int(0));
        if (d > q.radiusM || (it != nearest.end() && *it->second.distanceM <= d)) continue;
        FindMatch m;
        m.path = r.Text(1);
        m.offsetMs = r.Int(2);
        m.cameraMs = Optional(r, 3);
        m.utcMs = Optional(r, 4);
        m.kind = "place";
        m.latitude = r.Double(5);
        m.longitude = r.Double(6);
        m.speedKmh = r.Double(7);
        m.distanceM = d;
        nearest[r.Int(0)] = std::move(m);
    }
    for (auto& [id, m] : nearest) out->push_back(std::move(m));
    return true;
}

// Recordings that overlap the range, each at the range's start (or its own).
bool FindRecordings(SqlConnection& db, const FindQuery& q, std::vector<FindMatch>* out,
                    std::string* error) {
    const std::string start = q.zoned ? "r.start_utc * 1000" : "r.start_camera * 1000";
    std::string offset = "0";
    SqlParams params;
    if (q.fromMs) {
        offset = "(CASE WHEN " + start + " < ? THEN ? - " + start + " ELSE 0 END)";
        // Once for each of the three columns below that use it.
        params = SqlParams(6, SqlParam(*q.fromMs));
    }
    std::string sql = "SELECT r.id AS rid, r.path AS path, " + offset +
                      " AS offset_ms, "
                      "r.start_camera * 1000 + " +
                      offset + " AS cam, r.start_utc * 1000 + " + offset +
                      " AS utc, NULL AS x1, NULL AS x2 FROM recordings r "
                      "WHERE r.state = 'ready'";
    // The plain column bounds let the index on the start narrow the search; the exact test
    // follows them.
    const std::string column = q.zoned ? "r.start_utc" : "r.start_camera";
    if (q.fromMs) {
        sql += " AND " + column + " >= ? AND " + start + " + r.length_ms >= ?";
        params.push_back((*q.fromMs - kLongestRecordingMs) / 1000);
        params.push_back(*q.fromMs);
    }
    if (q.toMs) sql += " AND " + column + " <= ?", params.push_back(*q.toMs / 1000);
    if (q.category) sql += " AND r.category = ?", params.push_back(*q.category);
    return CollectMatches(
        db, q, sql, params, "recording", [](const SqlRow&, FindMatch&) {}, out, error);
}

}  // namespace

double DistanceM(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = Radians(lat2 - lat1), dLon = Radians(lon2 - lon1);
    const double a =
        std::sin(dLat / 2) * std::sin(dLat / 2) +
        std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusM * std::asin(std::min(1.0, std::sqrt(a)));
}

bool FindInArchive(SqlConnection& db, const FindQuery& q, std::vector<FindMatch>* out,
                   std::string* error) {
    bool ok;
    if (q.eventKind)
        ok = FindEvents(db, q, out, error);
    else if (q.bookmarked)
        ok = FindBookmarks(db, q, out, error);
    else if (q.latitude)
        ok = FindPlaces(db, q, out, error);
    else
        ok = FindRecordings(db, q, out, error);
    if (!ok) return false;
    std::stable_sort(out->begin(), out->end(), [](const FindMatch& a, const FindMatch& b) {
        return a.cameraMs.value_or(0) < b.cameraMs.value_or(0);
    });
    return true;
}

bool ParseFindTime(const std::string& text, int64_t* ms, bool* zoned) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3) return false;
    std::string rest = text.substr(used);
    if (!rest.empty() && (rest[0] == 'T' || rest[0] == ' ')) {
        int more = 0;
        if (std::sscanf(rest.c_str() + 1, "%2d:%2d%n", &h, &mi, &more) != 2) return false;
        rest = rest.substr(1 + more);
        if (rest.size() >= 3 && rest[0] == ':' &&
            std::sscanf(rest.c_str(), ":%2d%n", &s, &more) == 1)
            rest = rest.substr(more);
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
    int64_t zoneS = 0;
    *zoned = !rest.empty();
    if (rest == "Z") {
        zoneS = 0;
    } else if (!rest.empty()) {
        int zh = 0, zm = 0;
        char sign = 0, tail = 0;
        if (std::sscanf(rest.c_str(), "%c%2d:%2d%c", &sign, &zh, &zm, &tail) != 3 ||
            (sign != '+' && sign != '-') || zh > 23 || zm > 59)
            return false;
        zoneS = (sign == '-' ? -1 : 1) * (zh * 3600 + zm * 60);
    }
    const int64_t seconds = DaysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s;
    *ms = (seconds - zoneS) * 1000;
    return true;
}
