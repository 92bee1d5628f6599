#pragma once
// Browsing the archive a page at a time: the days that have recordings, newest first, each
// with its trips and bookmarks, and the routes driven on some days, thinned for a map, with
// the way back from a place on a route to the recording and the moment that passed there.
//
// A page walks the start index of the recordings one day at a time (one short lookup a day)
// and reads only the recordings of its own days, so the first page costs the same on a
// catalogue of a hundred recordings or of a hundred thousand.
//
// No Qt; any thread, one connection per thread (see SqlConnection).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/SqlConnection.h"

// A trip of a day, or a recording that belongs to none (catalogued before trips were kept,
// or filled in by hand).
struct BrowseTrip {
    std::optional<int64_t> tripId;
    int64_t startMs = 0, endMs = 0;  // camera clock
    int recordings = 0;
    std::string firstPath;  // in the archive; the trip plays from its start
};

struct BrowseBookmark {
    std::string path;
    int64_t offsetMs = 0;
    int64_t cameraMs = 0;
    std::string note;
};

// The days a page lists, and the waypoints a day's route keeps for a map: enough for the
// route to look right at the zoom a city needs, few enough for the page to draw at once.
constexpr int kBrowseDaysPerPage = 7;
constexpr size_t kRoutePointsPerDay = 2000;

struct BrowseDay {
    int64_t day = 0;                        // days since 1970-01-01 on the camera clock
    std::vector<BrowseTrip> trips;          // newest first
    std::vector<BrowseBookmark> bookmarks;  // in time order
};

struct DayPage {
    std::vector<BrowseDay> days;  // newest first
    // The page after this one lists the days before this one; none when there are no more.
    std::optional<int64_t> nextBeforeDay;
};

// Up to maxDays days with recordings before beforeDay (all days when none), newest first.
bool ListDays(SqlConnection& db, std::optional<int64_t> beforeDay, int maxDays, DayPage* out,
              std::string* error);

struct RouteWaypoint {
    double latitude = 0, longitude = 0, speedKmh = 0;
    uint32_t recording = 0;  // index into ArchiveRoutes::paths
    int64_t offsetMs = 0;
};

struct ArchiveRoutes {
    std::vector<std::string> paths;                 // the recordings the waypoints belong to
    std::vector<std::vector<RouteWaypoint>> lines;  // one a day, in time order
};

// The routes of the given days, each thinned to at most maxPointsPerDay waypoints.
bool LoadDayRoutes(SqlConnection& db, const std::vector<int64_t>& days, size_t maxPointsPerDay,
                   ArchiveRoutes* out, std::string* error);

// Keeps at most maxPoints of a line, evenly spread, and always the first and the last
// waypoint of each recording, so that a stretch between two kept waypoints never spans two
// recordings.
void ThinRoute(std::vector<RouteWaypoint>& line, size_t maxPoints);

struct RouteMoment {
    std::string path;
    int64_t offsetMs = 0;
    double distanceM = 0;  // from the place asked about to the route
};

// The moment a route passed nearest a place: on the nearest stretch between two kept
// waypoints of one recording, the offset in proportion to where along it the place lies.
// None when no route comes within withinM.
std::optional<RouteMoment> MomentNearest(const ArchiveRoutes& routes, double latitude,
                                         double longitude, double withinM);
