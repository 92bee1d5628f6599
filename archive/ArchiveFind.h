#pragma once
// Finding moments in the archive: by time (on the camera clock, or in UTC when the query
// names a zone), by place (within a radius of a point), by driving event and by bookmark,
// any of them together. What a match is follows the most specific filter given: an event,
// else a bookmark, else the moment a recording passed nearest the place, else a recording
// that overlaps the time range (at the range's start).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveCatalogue.h"

struct FindQuery {
    std::optional<int64_t> fromMs, toMs;  // camera clock, or UTC when zoned
    bool zoned = false;
    std::optional<double> latitude, longitude;
    double radiusM = 1000;
    std::optional<std::string> eventKind;
    std::optional<std::string> category;
    bool bookmarked = false;
};

struct FindMatch {
    std::string path;  // in the archive
    int64_t offsetMs = 0;
    std::optional<int64_t> cameraMs, utcMs;
    std::optional<double> latitude, longitude, speedKmh;
    std::string kind;  // "recording", "place", "event", "bookmark"
    std::string event;
    double peakG = 0;
    std::string note;
    std::optional<double> distanceM;
};

// "2026-03-14T18:25:09" (camera clock) or with "Z" / "+09:00" (an instant, in UTC), also a
// bare date or a space for the T; false for anything else.
bool ParseFindTime(const std::string& text, int64_t* ms, bool* zoned);

// The matches in time order; false with the cause in *error.
bool FindInArchive(SqlConnection& db, const FindQuery& q, std::vector<FindMatch>* out,
                   std::string* error);

// Metres between two points on the globe.
double DistanceM(double lat1, double lon1, double lat2, double lon2);
