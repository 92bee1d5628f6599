#pragma once
// What the catalogue keeps of one archived recording, read from the archived copy itself.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ArchivedWaypoint {
    int64_t offsetMs = 0;      // from the recording's start, the player's position
    int64_t timeCameraMs = 0;  // camera clock
    std::optional<int64_t> timeUtcMs;
    double latitude = 0, longitude = 0, speedKmh = 0, heading = 0;
};

struct ArchivedEvent {
    std::string kind;  // as the events command names it: "harsh_braking" ...
    int64_t offsetMs = 0;
    std::optional<int64_t> timeCameraMs, timeUtcMs;
    double peakG = 0;
    std::optional<double> speedKmh;
    std::optional<double> latitude, longitude;  // the nearest valid fix's, however far
};

struct ArchivedRecording {
    std::string path;      // relative to the archive folder: YYYY/MM/DD/NAME
    std::string name;      // the name on the card
    std::string card;      // the card it came from
    std::string category;  // DRIVING, EVENT, PARKING, USER
    std::optional<int64_t> startCamera, startUtc, clockOffsetS;  // seconds
    int64_t lengthMs = 0;
    uint64_t size = 0;
    std::string sha256;
    int cameras = 0;
    std::string codec;
    std::vector<ArchivedWaypoint> waypoints;  // one a second
    std::vector<ArchivedEvent> events;
};

// Reads the facts of the recording at file (the archived copy) into out, keeping path, name,
// card, category, size and sha256 as they are. False when it is not a recording the reader
// accepts; the copy is archived all the same, with what its name says.
bool ReadRecordingFacts(const std::string& file, ArchivedRecording& out);
