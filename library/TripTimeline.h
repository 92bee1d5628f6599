#pragma once
// The timeline of a trip: its recordings played end to end, each starting where the one before
// it ends (the seconds between two recordings of a trip were never recorded). It answers where
// a moment of the timeline lies (which recording, how far into it), where a recording starts
// on the timeline, and what the camera clock read at a moment, from each recording's start
// on that clock (its name).
//
// A plain value: no Qt, no files. Built from a Trip, from recordings' lengths, or from the
// starts a telemetry walk gives. A recording that could not be read takes no time: a moment at
// its start belongs to the next recording that does.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Trip;

// A recording that starts this long after the end of the one before it, or sooner, continues
// its trip.
constexpr int64_t kTripJoinGapMs = 5000;

class TripTimeline {
public:
    struct Place {
        size_t index = 0;      // the recording
        int64_t offsetMs = 0;  // time since its start
    };

    TripTimeline() = default;
    // clockStartsSec: each recording's start on the camera clock in seconds since 1970 (no
    // zone), -1 where unknown; may be shorter than lengthsMs.
    explicit TripTimeline(std::vector<int64_t> lengthsMs, std::vector<int64_t> clockStartsSec = {});
    static TripTimeline Of(const Trip& trip);
    // From each recording's start on the timeline and the timeline's whole length; the camera
    // clock starts from the recordings' names.
    static TripTimeline FromStarts(const std::vector<int64_t>& startsMs, int64_t totalMs,
                                   const std::vector<std::string>& paths = {});
    // The camera clock starts of recordings read from their names, -1 where a name has none.
    static std::vector<int64_t> ClockStartsFromNames(const std::vector<std::string>& paths);

    // A recording starting at nextStartMs (camera clock) continues a trip whose last recording
    // ended at previousEndMs.
    static bool Joins(int64_t previousEndMs, int64_t nextStartMs) {
        return nextStartMs - previousEndMs <= kTripJoinGapMs;
    }

    bool Empty() const { return m_lengthsMs.empty(); }
    size_t Count() const { return m_lengthsMs.size(); }
    int64_t LengthMs() const { return m_startsMs.back(); }
    int64_t LengthMs(size_t index) const;
    // Where recording index starts on the timeline (the whole length past the last one).
    int64_t StartMs(size_t index) const;
    // Each recording's start on the timeline, followed by the timeline's end.
    const std::vector<int64_t>& StartsMs() const { return m_startsMs; }
    // The recording holding timelineMs (a join belongs to the recording it starts) and the
    // offset in it; a time past the end lies in the last recording, past its length.
    Place At(int64_t timelineMs) const;
    size_t RecordingAt(int64_t timelineMs) const { return At(timelineMs).index; }
    int64_t TimelineMs(size_t index, int64_t offsetMs) const { return StartMs(index) + offsetMs; }
    // The camera clock (ms since 1970, no zone) at timelineMs; none when the recording holding
    // it has no known start.
    std::optional<int64_t> ClockMsAt(int64_t timelineMs) const;

private:
    std::vector<int64_t> m_lengthsMs;
    std::vector<int64_t> m_startsMs{0};  // one per recording, plus the end
    std::vector<int64_t> m_clockStartsSec;
};
