#include "archive/ArchiveBrowse.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "archive/ArchiveFind.h"
#include "support/CivilDate.h"

namespace {

int64_t DayOf(int64_t seconds) {
    const int64_t day = seconds / kSecondsPerDay;
    return seconds % kSecondsPerDay < 0 ? day - 1 : day;
}

// The newest day with a ready recording that starts before the day given (any when none):
// one descending step on the index of the starts.
bool NewestDayBefore(SqlConnection& db, std::optional<int64_t> beforeDay,
                     std::optional<int64_t>* day, std::string* error) {
    std::string sql = "SELECT MAX(start_camera) FROM recordings WHERE state = 'ready'";
    SqlParams params;
    if (beforeDay) sql += " AND start_camera < ?", params.push_back(*beforeDay * kSecondsPerDay);
    std::vector<SqlRow> rows;
    if (!db.Run(sql, params, &rows, error)) return false;
    day->reset();
    if (!rows.empty() && !rows[0].IsNull(0)) *day = DayOf(rows[0].Int(0));
    return true;
}

// The recordings starting in [firstDay, endDay), grouped into their trips and by day.
bool FillTrips(SqlConnection& db, int64_t firstDay, int64_t endDay, DayPage* page,
               std::string* error) {
    std::vector<SqlRow> rows;
    if (!db.Run("SELECT trip_id, start_camera, length_ms, path FROM recordings WHERE "
                "state = 'ready' AND start_camera >= ? AND start_camera < ? "
                "ORDER BY start_camera, id",
                {firstDay * kSecondsPerDay, endDay * kSecondsPerDay}, &rows, error))
        return false;
    std::map<int64_t, BrowseDay*> days;
    for (BrowseDay& d : page->days) days[d.day] = &d;
    std::map<std::pair<int64_t, int64_t>, size_t> tripAt;  // (day, trip id) -> index in day
    for (const SqlRow& r : rows) {
        const int64_t startMs = r.Int(1) * 1000, endMs = startMs + r.Int(2);
        BrowseDay* day = days[DayOf(r.Int(1))];
        if (!day) continue;
        std::optional<size_t> at;
        if (!r.IsNull(0)) {
            auto known = tripAt.find({day->day, r.Int(0)});
            if (known != tripAt.end()) at = known->second;
        }
        if (!at) {
            at = day->trips.size();
            BrowseTrip trip;
            trip.startMs = startMs;
            trip.firstPath = r.Text(3);
            if (!r.IsNull(0)) trip.tripId = r.Int(0), tripAt[{day->day, r.Int(0)}] = *at;
            day->trips.push_back(std::move(trip));
        }
        BrowseTrip& trip = day->trips[*at];
        trip.endMs = std::max(trip.endMs, endMs);
        ++trip.recordings;
    }
    for (BrowseDay& d : page->days) std::reverse(d.trips.begin(), d.trips.end());  // newest first
    return true;
}

bool FillBookmarks(SqlConnection& db, int64_t firstDay, int64_t endDay, DayPage* page,
                   std::string* error) {
    std::vector<SqlRow> rows;
    if (!db.Run("SELECT r.path, b.offset_ms, r.start_camera, b.note FROM recordings r "
                "JOIN bookmarks b ON b.recording_id = r.id WHERE r.state = 'ready' AND "
                "r.start_camera >= ? AND r.start_camera < ? "
                "ORDER BY r.start_camera * 1000 + b.offset_ms, b.id",
                {firstDay * kSecondsPerDay, endDay * kSecondsPerDay}, &rows, error))
        return false;
    for (const SqlRow& r : rows) {
        auto day = std::find_if(page->days.begin(), page->days.end(),
                                [&](const BrowseDay& d) { return d.day == DayOf(r.Int(2)); });
        if (day == page->days.end()) continue;
        day->bookmarks.push_back({r.Text(0), r.Int(1), r.Int(2) * 1000 + r.Int(1), r.Text(3)});
    }
    return true;
}

}  // namespace

bool ListDays(SqlConnection& db, std::optional<int64_t> beforeDay, int maxDays, DayPage* out,
              std::string* error) {
    *out = {};
    std::optional<int64_t> day = beforeDay;
    for (int i = 0; i < maxDays; ++i) {
        std::optional<int64_t> found;
        if (!NewestDayBefore(db, day, &found, error)) return false;
        if (!found) break;
        out->days.push_back({*found, {}, {}});
        day = *found;
    }
    if (out->days.empty()) return true;
    const int64_t first = out->days.back().day, end = out->days.front().day + 1;
    if (!FillTrips(db, first, end, out, error) || !FillBookmarks(db, first, end, out, error))
        return false;
    std::optional<int64_t> more;
    if (!NewestDayBefore(db, first, &more, error)) return false;
    if (more) out->nextBeforeDay = first;
    return true;
}

bool LoadDayRoutes(SqlConnection& db, const std::vector<int64_t>& days, size_t maxPointsPerDay,
                   ArchiveRoutes* out, std::string* error) {
    *out = {};
    std::map<std::string, uint32_t> indexOf;
    for (const int64_t day : days) {
        std::vector<SqlRow> rows;
        if (!db.Run("SELECT r.path, w.offset_ms, w.latitude, w.longitude, w.speed_kmh FROM "
                    "recordings r JOIN waypoints w ON w.recording_id = r.id WHERE "
                    "r.state = 'ready' AND r.start_camera >= ? AND r.start_camera < ? "
                    "ORDER BY r.start_camera, r.id, w.offset_ms",
                    {day * kSecondsPerDay, (day + 1) * kSecondsPerDay}, &rows, error))
            return false;
        std::vector<RouteWaypoint> line;
        line.reserve(rows.size());
        for (const SqlRow& r : rows) {
            auto [at, added] = indexOf.try_emplace(r.Text(0), uint32_t(out->paths.size()));
            if (added) out->paths.push_back(r.Text(0));
            line.push_back({r.Double(2), r.Double(3), r.Double(4), at->second, r.Int(1)});
        }
        ThinRoute(line, maxPointsPerDay);
        if (!line.empty()) out->lines.push_back(std::move(line));
    }
    return true;
}

void ThinRoute(std::vector<RouteWaypoint>& line, size_t maxPoints) {
    if (line.size() <= maxPoints || maxPoints < 2) return;
    // Recording boundaries are kept whatever the step; the step leaves room for them.
    size_t boundaries = 1;
    for (size_t i = 1; i < line.size(); ++i)
        boundaries += line[i].recording != line[i - 1].recording;
    const size_t room = maxPoints > 2 * boundaries ? maxPoints - 2 * boundaries : 1;
    const size_t step = std::max<size_t>(1, (line.size() + room - 1) / room);
    std::vector<RouteWaypoint> kept;
    kept.reserve(maxPoints);
    for (size_t i = 0; i < line.size(); ++i) {
        const bool first = i == 0 || line[i].recording != line[i - 1].recording;
        const bool last = i + 1 == line.size() || line[i].recording != line[i + 1].recording;
        if (first || last || i % step == 0) kept.push_back(line[i]);
    }
    line = std::move(kept);
}

namespace {

struct Metres {
    double x = 0, y = 0;
};

// A small neighbourhood of the place flattened to metres east and north of it.
Metres Flatten(double latitude, double longitude, double originLat, double originLon) {
    constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;
    const double cosLat = std::cos(originLat * std::numbers::pi / 180.0);
    double dLon = longitude - originLon;
    if (dLon > 180) dLon -= 360;
    if (dLon < -180) dLon += 360;
    return {dLon * cosLat * kMetresPerDegree, (latitude - originLat) * kMetresPerDegree};
}

// Where along a->b (0..1) the origin lies nearest.
double Along(Metres a, Metres b) {
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    if (length2 <= 0) return 0;
    return std::clamp((-a.x * dx - a.y * dy) / length2, 0.0, 1.0);
}

}  // namespace

std::optional<RouteMoment> MomentNearest(const ArchiveRoutes& routes, double latitude,
                                         double longitude, double withinM) {
    std::optional<RouteMoment> best;
    const auto consider = [&](const RouteWaypoint& a, const RouteWaypoint& b) {
        const Metres pa = Flatten(a.latitude, a.longitude, latitude, longitude);
        const Metres pb = Flatten(b.latitude, b.longitude, latitude, longitude);
        const double t = Along(pa, pb);
        const double d = std::hypot(pa.x + t * (pb.x - pa.x), pa.y + t * (pb.y - pa.y));
        if (d > withinM || (best && best->distanceM <= d)) return;
        const int64_t offset = a.offsetMs + std::llround(t * double(b.offsetMs - a.offsetMs));
        best = RouteMoment{routes.paths.at(a.recording), offset, d};
    };
    for (const auto& line : routes.lines) {
        for (size_t i = 0; i < line.size(); ++i) {
            const bool joined = i + 1 < line.size() && line[i + 1].recording == line[i].recording;
            consider(line[i], joined ? line[i + 1] : line[i]);
        }
    }
    return best;
}
