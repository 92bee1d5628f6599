// find on a large archive catalogue: 100,000 one-minute recordings (90 a day, about three
// years of driving) with a waypoint a second (6 million) spread over a 1 x 1 degree region,
// and an event every tenth recording. The catalogue is filled directly with SQL (the same
// statements on both engines), then each query is timed through FindInArchive, as the tool
// runs it: one day's recordings, 1 km around a point, every event of one kind. Goal: each
// under 100 ms, on SQLite and on PostgreSQL. Beside them, the window's Archive view: its first
// page (goal under 300 ms) and the routes of that page's days.
//
//   bench_archive_find --catalogue FILE.sqlite|postgresql://... [--scale F] [--runs N]
//
// --scale shrinks (or grows) the numbers of recordings and waypoints; an existing catalogue
// filled at the same scale is reused.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/ArchiveBrowse.h"
#include "archive/ArchiveCatalogue.h"
#include "archive/ArchiveFind.h"

namespace {

constexpr int64_t kFullRecordings = 100000;
constexpr int kWaypointsPerRecording = 60;
constexpr int kRecordingsPerDay = 90;
constexpr int64_t kFirstDaySec = 1672531200;  // 2023-01-01, camera clock
constexpr int64_t kClockOffsetSec = 9 * 3600;
constexpr int64_t kMsPerSecond = 1000;

using Clock = std::chrono::steady_clock;

bool Run(SqlConnection& db, const std::string& sql, const SqlParams& params = {}) {
    std::string error;
    if (db.Run(sql, params, nullptr, &error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

// WITH RECURSIVE works on both engines, unlike generate_series.
std::string Sequence(const char* name, int64_t count) {
    return "WITH RECURSIVE " + std::string(name) + "(i) AS (SELECT CAST(0 AS BIGINT) UNION ALL " +
           "SELECT i + 1 FROM " + name + " WHERE i < " + std::to_string(count - 1) + ") ";
}

// Latitude and longitude of a recording's waypoint at a second: each recording drives about
// 900 m north-east from its own start in the region.
std::string Position(const std::string& id, const std::string& second) {
    return "37.0 + CAST((" + id + " * 7919) % 10000 AS DOUBLE PRECISION) / 10000 + " + second +
           " * 0.00012, 126.5 + CAST((" + id +
           " * 104729) % 10000 AS DOUBLE PRECISION) / 10000 + " + second + " * 0.00009";
}

bool Fill(SqlConnection& db, int64_t recordings) {
    const std::string day = std::to_string(kRecordingsPerDay);
    const std::string start = "(" + std::to_string(kFirstDaySec) + " + (i / " + day +
                              ") * 86400 + 8 * 3600 + (i % " + day + ") * 60)";
    if (!Run(db,
             Sequence("seq", recordings) +
                 "INSERT INTO recordings (path, name, card, category, start_camera, "
                 "start_utc, clock_offset_s, length_ms, size, sha256, cameras, codec, state) "
                 "SELECT 'bench/' || i || '.AVI', 'REC_' || i || '.AVI', 'bench', "
                 "'DRIVING', " +
                 start + ", " + start +
                 " - ?, ?, 60000, 75000000, '', 2, "
                 "'H.264', 'ready' FROM seq",
             {kClockOffsetSec, kClockOffsetSec}))
        return false;
    if (!Run(db, Sequence("s", kWaypointsPerRecording) +
                     "INSERT INTO waypoints (recording_id, offset_ms, time_camera_ms, "
                     "time_utc_ms, latitude, longitude, speed_kmh, heading) "
                     "SELECT r.id, s.i * 1000, r.start_camera * 1000 + s.i * 1000, "
                     "r.start_utc * 1000 + s.i * 1000, " +
                     Position("r.id", "s.i") +
                     ", "
                     "54.0, 37.0 FROM recordings r CROSS JOIN s"))
        return false;
    return Run(db,
               "INSERT INTO events (recording_id, kind, offset_ms, time_camera_ms, "
               "time_utc_ms, peak_g, speed_kmh, latitude, longitude) SELECT id, CASE (id / 10) % 4 "
               "WHEN 0 THEN 'harsh_braking' WHEN 1 THEN 'hard_acceleration' "
               "WHEN 2 THEN 'sharp_turn' ELSE 'impact' END, 30000, start_camera * 1000 + "
               "30000, start_utc * 1000 + 30000, 0.6, 54.0, " +
                   Position("id", "30") + " FROM recordings WHERE id % 10 = 0") &&
           Run(db, "ANALYZE");
}

double MedianMs(SqlConnection& db, const FindQuery& q, int runs, size_t* matches) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        std::vector<FindMatch> out;
        std::string error;
        const auto t0 = Clock::now();
        if (!FindInArchive(db, q, &out, &error)) std::fprintf(stderr, "%s\n", error.c_str());
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        *matches = out.size();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void RunQueries(SqlConnection& db, const char* engine, int64_t recordings, int runs) {
    const int64_t midDay = kFirstDaySec + (recordings / kRecordingsPerDay / 2) * 86400;
    FindQuery byDate;
    byDate.fromMs = midDay * kMsPerSecond;
    byDate.toMs = (midDay + 86400) * kMsPerSecond;
    FindQuery byPlace;
    byPlace.latitude = 37.5;
    byPlace.longitude = 127.0;
    byPlace.radiusM = 1000;
    FindQuery byEvent;
    byEvent.eventKind = "impact";
    const struct {
        const char* name;
        const FindQuery& query;
    } queries[] = {{"date range (one day)", byDate},
                   {"place (1 km radius)", byPlace},
                   {"event kind (impact, whole archive)", byEvent}};
    for (const auto& q : queries) {
        size_t matches = 0;
        const double ms = MedianMs(db, q.query, runs, &matches);
        std::printf("%s: find by %s: %.1f ms median of %d, %zu matches (goal < 100 ms)\n", engine,
                    q.name, ms, runs, matches);
    }
}

// The Archive view's first page as the window reads it: the catalogue opened afresh (the view
// reads on a connection of its own), the newest days with their trips and bookmarks, then
// those days' routes for the map, which follow the list.
void RunFirstPage(const std::string& location, const char* engine, int runs) {
    std::vector<double> pageMs, routeMs;
    size_t rows = 0, points = 0;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        ArchiveCatalogue catalogue;
        std::string error;
        DayPage page;
        if (!catalogue.Open(location, &error) ||
            !ListDays(catalogue.Db(), std::nullopt, kBrowseDaysPerPage, &page, &error))
            std::fprintf(stderr, "%s\n", error.c_str());
        const auto t1 = Clock::now();
        std::vector<int64_t> days;
        rows = 0;
        for (const BrowseDay& d : page.days) days.push_back(d.day), rows += d.trips.size();
        ArchiveRoutes routes;
        if (!LoadDayRoutes(catalogue.Db(), days, kRoutePointsPerDay, &routes, &error))
            std::fprintf(stderr, "%s\n", error.c_str());
        points = 0;
        for (const auto& line : routes.lines) points += line.size();
        pageMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        routeMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t1).count());
    }
    std::sort(pageMs.begin(), pageMs.end());
    std::sort(routeMs.begin(), routeMs.end());
    std::printf(
        "%s: archive view first page (%d days, %zu rows): %.1f ms median of %d "
        "(goal < 300 ms); its routes (%zu points): %.1f ms\n",
        engine, kBrowseDaysPerPage, rows, pageMs[pageMs.size() / 2], runs, points,
        routeMs[routeMs.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    std::string location;
    double scale = 1.0;
    int runs = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--catalogue") location = argv[i + 1];
        if (a == "--scale") scale = std::atof(argv[i + 1]);
        if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (location.empty() || scale <= 0) {
        std::fprintf(stderr,
                     "usage: bench_archive_find --catalogue LOCATION [--scale F] [--runs N]\n");
        return 2;
    }
    const int64_t recordings = static_cast<int64_t>(kFullRecordings * scale);
    ArchiveCatalogue catalogue;
    std::string error;
    if (!catalogue.Open(location, &error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    SqlConnection& db = catalogue.Db();
    std::vector<SqlRow> rows;
    db.Run("SELECT count(*) FROM recordings", {}, &rows, &error);
    const auto t0 = Clock::now();
    if (rows.empty() || rows[0].Int(0) != recordings) {
        if (rows.empty() || rows[0].Int(0) != 0) {
            std::fprintf(stderr, "%s holds another catalogue; give an empty one\n",
                         location.c_str());
            return 1;
        }
        if (!Fill(db, recordings)) return 1;
    }
    const double fillS = std::chrono::duration<double>(Clock::now() - t0).count();
    const char* engine = db.Engine() == SqlEngine::Sqlite ? "sqlite" : "postgresql";
    std::printf("%s: %lld recordings, %lld waypoints, filled in %.1f s\n", engine,
                static_cast<long long>(recordings),
                static_cast<long long>(recordings * kWaypointsPerRecording), fillS);

    RunQueries(db, engine, recordings, runs);
    RunFirstPage(location, engine, runs);
    return 0;
}
