#include "library/TripCatalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "media/CAVIExtractor.h"
#include "media/MediaInfo.h"
#include "support/CivilDate.h"
#include "support/RegularFile.h"
#include "telemetry/CameraClock.h"

namespace {

std::string FolderName(const std::string& folder) {
    const size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

bool ScanTrips(const std::string& folder, std::vector<Trip>& trips,
               std::vector<std::string>* refused) {
    std::vector<CatalogueRow> rows;
    if (!ScanFolder(folder, rows)) return false;
    std::vector<TripRecording> recordings;
    recordings.reserve(rows.size());
    for (const CatalogueRow& row : rows) {
        TripRecording r;
        r.path = row.path;
        r.fileName = row.fileName;
        if (!ParseRecordingStart(row.fileName, r.startSec)) r.startSec = -1;
        std::string why;
        if (FILE* f = OpenRegularFileStream(row.path, &why)) {
            if (fseeko(f, 0, SEEK_END) == 0) r.sizeBytes = static_cast<uint64_t>(ftello(f));
            fclose(f);
            const int64_t ms = RecordingDurationMs(row.path);
            r.opens = ms >= 0;
            r.durationMs = std::max<int64_t>(ms, 0);
        } else if (errno == EINVAL && refused) {
            refused->push_back(why);
        }
        recordings.push_back(std::move(r));
    }
    std::vector<Trip> scanned = GroupTrips(FolderName(folder), std::move(recordings));
    trips.insert(trips.begin(), std::make_move_iterator(scanned.begin()),
                 std::make_move_iterator(scanned.end()));
    return true;
}

}  // namespace

int64_t Trip::LengthMs() const {
    if (recordings.empty()) return 0;
    int64_t end = recordings.front().EndMs();
    for (const TripRecording& r : recordings) end = std::max(end, r.EndMs());
    return end - StartSec() * 1000;
}

int64_t Trip::PlayMs() const {
    int64_t total = 0;
    for (const TripRecording& r : recordings) total += r.durationMs;
    return total;
}

uint64_t Trip::SizeBytes() const {
    uint64_t total = 0;
    for (const TripRecording& r : recordings) total += r.sizeBytes;
    return total;
}

bool ParseRecordingStart(std::string_view name, int64_t& startSec) {
    const std::optional<int64_t> start = RecordingStartSec(name);
    if (!start) return false;
    startSec = *start;
    return true;
}

std::string FormatTripStart(int64_t startSec) {
    if (startSec < 0) return "";
    const int64_t days = startSec / kSecondsPerDay;
    const int64_t secOfDay = startSec % kSecondsPerDay;
    const CivilDate date = CivilFromDays(days);
    char text[96];
    snprintf(text, sizeof text, "%04lld.%02lld.%02lld %02lld:%02lld:%02lld",
             static_cast<long long>(date.year), static_cast<long long>(date.month),
             static_cast<long long>(date.day), static_cast<long long>(secOfDay / 3600),
             static_cast<long long>(secOfDay / 60 % 60), static_cast<long long>(secOfDay % 60));
    return text;
}

int64_t RecordingDurationMs(const std::string& path) {
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0) return -1;
    const int32_t rate = reader.GetNativeFrameRate(0);
    reader.CloseFile();
    return rate > 0 ? static_cast<int64_t>(info.frontFrameCount) * 1000 / rate : 0;
}

std::vector<Trip> GroupTrips(const std::string& folder, std::vector<TripRecording> recordings) {
    // Oldest first; names without a time keep their order behind the dated ones.
    std::stable_sort(recordings.begin(), recordings.end(),
                     [](const TripRecording& a, const TripRecording& b) {
                         if ((a.startSec < 0) != (b.startSec < 0)) return b.startSec < 0;
                         return a.startSec < b.startSec;
                     });
    std::vector<Trip> trips;
    for (TripRecording& r : recordings) {
        const bool joins =
            !trips.empty() && r.startSec >= 0 && trips.back().recordings.back().startSec >= 0 &&
            TripTimeline::Joins(trips.back().recordings.back().EndMs(), r.startSec * 1000);
        if (!joins) trips.push_back(Trip{folder, {}});
        trips.back().recordings.push_back(std::move(r));
    }
    std::reverse(trips.begin(), trips.end());
    return trips;
}

bool TripOfRecording(const std::string& path, Trip& trip, size_t& index) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::vector<Trip> trips;
    if (folder.empty() || !ScanTrips(folder, trips, nullptr)) return false;
    for (Trip& t : trips) {
        for (size_t i = 0; i < t.recordings.size(); ++i) {
            if (t.recordings[i].fileName != name) continue;
            trip = std::move(t);
            index = i;
            return true;
        }
    }
    return false;
}

bool ListTrips(const std::string& cardRoot, CatalogueView view, std::vector<Trip>& trips,
               std::vector<std::string>* refused) {
    trips.clear();
    if (cardRoot.empty()) return false;
    switch (view) {
        case CatalogueView::Driving:
            return ScanTrips(cardRoot + kDrivingFolder, trips, refused);
        case CatalogueView::Event:
            return ScanTrips(cardRoot + kEventFolder, trips, refused);
        case CatalogueView::Parking:
            return ScanTrips(cardRoot + kParkingFolder, trips, refused);
        case CatalogueView::User:
            return ScanTrips(cardRoot + kUserFolder, trips, refused);
        case CatalogueView::All:
            break;
    }
    if (!ScanTrips(cardRoot + kDrivingFolder, trips, refused)) return false;
    for (const char* name : {kEventFolder, kParkingFolder, kUserFolder})
        ScanTrips(cardRoot + name, trips, refused);
    return true;
}
