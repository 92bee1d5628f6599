#pragma once
// Trips: the dashcam cuts a drive into recordings of about a minute each. Recordings of one
// category follow one another as one trip when each starts within five seconds of the end of
// the one before it (its start from the file name plus its length from the front frames).
//
// Recordings whose name carries no readable start time stand alone, as a trip of one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/RecordingCatalogue.h"
#include "library/TripTimeline.h"

struct TripRecording {
    std::string path;
    std::string fileName;
    int64_t startSec = -1;  // dashcam clock, seconds since 1970 (no zone); -1: not in the name
    int64_t durationMs = 0;
    uint64_t sizeBytes = 0;
    bool opens = false;  // its header could be read (durationMs is then its length)

    int64_t EndMs() const { return startSec * 1000 + durationMs; }
};

struct Trip {
    std::string folder;                     // category folder name, "DRIVING" ...
    std::vector<TripRecording> recordings;  // in playing order (oldest first)

    int64_t StartSec() const { return recordings.front().startSec; }
    // From the start of the first recording to the end of the last, gaps included.
    int64_t LengthMs() const;
    // The recordings' lengths added up: how long the trip plays.
    int64_t PlayMs() const;
    uint64_t SizeBytes() const;
};

// The start time in a name CATEGORY_YYYYMMDD_HHMMSS_FLAG.EXT; false when the fields are not
// a date and a time.
bool ParseRecordingStart(std::string_view name, int64_t& startSec);

// "2014.03.07 18:25:09" for a start in seconds since 1970 (no zone).
std::string FormatTripStart(int64_t startSec);

// Length of a recording from its front frames, as the player counts it; -1 when its header
// cannot be read (not a recording, damaged, unreadable).
int64_t RecordingDurationMs(const std::string& path);

// Groups the recordings of one category folder. Trips come newest first, as the list shows
// recordings; the recordings of a trip oldest first.
std::vector<Trip> GroupTrips(const std::string& folder, std::vector<TripRecording> recordings);

// The trip that the recording at path belongs to, among the recordings of its own folder, and
// its place in it. False when the folder cannot be searched or does not list the file.
bool TripOfRecording(const std::string& path, Trip& trip, size_t& index);

// The trips of one category folder under the card root (all four for the all view, each
// folder's trips grouped on their own, in the list's order: USER trips on top). False when
// the folder cannot be searched (for the all view: the DRIVING folder). An entry named like a
// recording that is not a regular file (a FIFO, a device) is never opened: it is listed with
// no length or size, and its message goes to *refused when given.
bool ListTrips(const std::string& cardRoot, CatalogueView view, std::vector<Trip>& trips,
               std::vector<std::string>* refused = nullptr);
