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
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "trips";
constexpr int kBlackboxNotFoundEnglish = 422;

bool ParseCategory(const std::string& text, CatalogueView& view) {
    static const std::pair<const char*, CatalogueView> kViews[] = {
        {"driving", CatalogueView::Driving},
        {"event", CatalogueView::Event},
        {"parking", CatalogueView::Parking},
        {"user", CatalogueView::User},
        {"all", CatalogueView::All}};
    for (const auto& [name, v] : kViews) {
        if (text == name) {
            view = v;
            return true;
        }
    }
    return false;
}

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
    std::string card;
    CatalogueView view = CatalogueView::Driving;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--category") {
            if (i + 1 >= args.size() || !ParseCategory(args[++i], view))
                return ToolUsageError(kName,
                                      "--category needs driving, event, parking, user or all");
        } else if (!args[i].empty() && args[i][0] == '-') {
            return ToolUsageError(kName, "unknown option " + args[i]);
        } else if (card.empty()) {
            card = args[i];
        } else {
            return ToolUsageError(kName, "more than one card given");
        }
    }
    if (card.empty()) return ToolUsageError(kName, "no card given");

    std::vector<Trip> trips;
    if (!ListTrips(CardRoot(card), view, trips))
        return ToolFailure(LoadResourceString(kBlackboxNotFoundEnglish));
    std::printf("%s\n", TripsJson(trips).c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(trips, "trips", "CARD [--category driving|event|parking|user|all]", RunTrips);
