// trips: the trips of one category (or all four) of a card as one JSON document: each trip's
// start, length, playing time and size, and its recordings in playing order with the gap
// before each.

#include <cstdio>
#include <string>
#include <vector>

#include "library/CardRoot.h"
#include "library/TripCatalogue.h"
#include "support/JsonWriter.h"
#include "support/StringTable.h"
#include "tools/CardCategoryArgs.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "trips";

std::string TripsJson(const std::vector<Trip>& trips) {
    JsonWriter j;
    j.BeginObject().Key("trips").BeginArray();
    for (const Trip& trip : trips) {
        j.BeginObject()
            .Key("category")
            .String(trip.folder)
            .Key("start")
            .String(FormatTripStart(trip.StartSec()))
            .Key("length_ms")
            .Int(trip.LengthMs())
            .Key("play_ms")
            .Int(trip.PlayMs())
            .Key("size_bytes")
            .UInt(trip.SizeBytes())
            .Key("recordings")
            .BeginArray();
        const TripRecording* previous = nullptr;
        for (const TripRecording& r : trip.recordings) {
            j.BeginObject()
                .Key("path")
                .String(r.path)
                .Key("start")
                .String(FormatTripStart(r.startSec))
                .Key("duration_ms")
                .Int(r.durationMs)
                .Key("opens")
                .Bool(r.opens)
                .Key("size_bytes")
                .UInt(r.sizeBytes)
                .Key("gap_ms");
            if (previous)
                j.Int(r.startSec * 1000 - previous->EndMs());
            else
                j.Null();
            j.EndObject();
            previous = &r;
        }
        j.EndArray().EndObject();
    }
    j.EndArray().EndObject();
    return j.Text();
}

int RunTrips(const std::vector<std::string>& args) {
    CardCategoryArgs parsed;
    if (const int status = ParseCardCategoryArgs(kName, args, parsed); status != kToolOk)
        return status;

    std::vector<Trip> trips;
    std::vector<std::string> refused;
    if (!ListTrips(CardRoot(parsed.card), parsed.view, trips, &refused))
        return ToolFailure(RawText(texts::kNoBlackbox, /*korean=*/false));
    // The card's trips are listed all the same; a file that could not be read is named, and
    // the exit status says that part of the card was unreadable.
    std::printf("%s\n", TripsJson(trips).c_str());
    for (const std::string& message : refused) std::fprintf(stderr, "trips: %s\n", message.c_str());
    if (std::fflush(stdout) != 0) return kToolRejected;
    return refused.empty() ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(trips, "trips", kCardCategoryUsage, RunTrips);
