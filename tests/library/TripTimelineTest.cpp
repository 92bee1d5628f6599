// A trip's timeline: recordings end to end, where a moment lies, what the camera clock read
// then, and the join rule; the hand-over sequencer that walks a trip as the player goes on.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "library/TripCatalogue.h"
#include "library/TripSequencer.h"
#include "library/TripTimeline.h"

namespace {

// 12:00:00 on 2026-03-14, camera clock, seconds since 1970.
constexpr int64_t kNoonSec = 1773489600;

TEST(TripTimeline, JoinsWithinFiveSecondsOfTheEnd) {
    const struct {
        int64_t gapMs;
        bool joins;
    } rows[] = {{-3000, true}, {0, true}, {4999, true}, {5000, true}, {5001, false}, {6000, false}};
    for (const auto& row : rows)
        EXPECT_EQ(TripTimeline::Joins(60000, 60000 + row.gapMs), row.joins) << row.gapMs;
}

// Three recordings of 60 s, 0 s (unreadable) and 30 s; the second one's name has no time.
TEST(TripTimeline, PlacesMomentsAroundJoinsAndEnds) {
    const TripTimeline t({60000, 0, 30000}, {kNoonSec, -1, kNoonSec + 62});
    EXPECT_EQ(t.LengthMs(), 90000);
    EXPECT_EQ(t.StartsMs(), (std::vector<int64_t>{0, 60000, 60000, 90000}));
    const struct {
        int64_t timelineMs;
        size_t index;
        int64_t offsetMs;
        std::optional<int64_t> clockMs;
    } rows[] = {
        {0, 0, 0, kNoonSec * 1000},
        {59999, 0, 59999, kNoonSec * 1000 + 59999},
        // A join belongs to the recording it starts; one of no length is passed over.
        {60000, 2, 0, (kNoonSec + 62) * 1000},
        {60001, 2, 1, (kNoonSec + 62) * 1000 + 1},
        {89999, 2, 29999, (kNoonSec + 62) * 1000 + 29999},
        // Past the end and before the start: the last and the first recording.
        {90000, 2, 30000, (kNoonSec + 92) * 1000},
        {-500, 0, -500, kNoonSec * 1000 - 500},
    };
    for (const auto& row : rows) {
        const TripTimeline::Place place = t.At(row.timelineMs);
        EXPECT_EQ(place.index, row.index) << row.timelineMs;
        EXPECT_EQ(place.offsetMs, row.offsetMs) << row.timelineMs;
        EXPECT_EQ(t.TimelineMs(place.index, place.offsetMs), row.timelineMs);
        EXPECT_EQ(t.ClockMsAt(row.timelineMs), row.clockMs) << row.timelineMs;
    }
}

TEST(TripTimeline, BuiltFromATripFromStartsOrWithoutLengths) {
    Trip trip;
    for (const char* name : {"REC_20260314_120000_D.AVI", "REC_20260314_120102_D.AVI"}) {
        TripRecording r;
        r.path = std::string("/card/DRIVING/") + name;
        ParseRecordingStart(name, r.startSec);
        r.durationMs = 60000;
        trip.recordings.push_back(r);
    }
    const TripTimeline ofTrip = TripTimeline::Of(trip);
    const TripTimeline fromStarts = TripTimeline::FromStarts(
        {0, 60000}, 120000, {trip.recordings[0].path, trip.recordings[1].path});
    for (const TripTimeline* t : {&ofTrip, &fromStarts}) {
        EXPECT_EQ(t->LengthMs(), 120000);
        EXPECT_EQ(t->RecordingAt(61000), 1u);
        EXPECT_EQ(t->ClockMsAt(61000), (kNoonSec + 63) * 1000) << "the gap is not on the timeline";
    }
    // Before the lengths are known a moment counts from the first recording's start.
    const TripTimeline unknown({}, {kNoonSec});
    EXPECT_TRUE(unknown.Empty());
    EXPECT_EQ(unknown.ClockMsAt(70000), kNoonSec * 1000 + 70000);
    EXPECT_EQ(TripTimeline().ClockMsAt(0), std::nullopt);
}

// The player reports its count of seamless hand-overs; the sequencer follows it, queues the
// recording after the one on screen and names the one to open when a recording ended alone.
TEST(TripSequencer, FollowsHandOversQueuesAheadAndOpensWhatCannotJoin) {
    TripSequencer trip;
    trip.SetTrip({"a", "b", "c", "d"});
    trip.OpenedAt(0, 7);
    ASSERT_NE(trip.NextToQueue(), nullptr);
    EXPECT_EQ(*trip.NextToQueue(), "b");
    EXPECT_EQ(trip.FollowHandOvers(7), 0) << "old news";
    EXPECT_EQ(trip.FollowHandOvers(8), 1);
    EXPECT_EQ(trip.Index(), 1u);
    EXPECT_EQ(trip.FollowHandOvers(10), 2) << "short recordings pass two at once";
    EXPECT_EQ(trip.Index(), 3u);
    EXPECT_EQ(trip.NextToQueue(), nullptr);
    EXPECT_EQ(trip.NextAfterEnd(), std::nullopt);
    EXPECT_EQ(trip.FollowHandOvers(11), 0) << "nothing follows the last one";

    // A recording ended without a hand-over: the next one opens, counting from the player's.
    trip.OpenedAt(1, 11);
    EXPECT_EQ(trip.NextAfterEnd(), std::optional<size_t>(2));
    trip.SetQueueAhead(false);
    EXPECT_EQ(trip.NextToQueue(), nullptr) << "one by one: nothing is queued";

    EXPECT_EQ(trip.RecordingStartMs(), 0) << "lengths not known yet";
    EXPECT_EQ(trip.PlaceOf(100), std::nullopt);
    trip.SetTimeline(TripTimeline({1000, 2000}));
    EXPECT_FALSE(trip.IsTimelineKnown()) << "a timeline of another trip is ignored";
    trip.SetTimeline(TripTimeline({1000, 2000, 3000, 4000}));
    EXPECT_EQ(trip.RecordingStartMs(), 1000);
    EXPECT_EQ(trip.PlaceOf(3500)->index, 2u);

    trip.Clear();
    EXPECT_FALSE(trip.InTrip());
    EXPECT_EQ(trip.NextAfterEnd(), std::nullopt);
}

}  // namespace
