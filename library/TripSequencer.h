#pragma once
// The hand-over logic of a trip played recording after recording: which recording is on
// screen, which one to queue behind it, how far the player's count of seamless hand-overs has
// taken the trip, which one to open when the player ended one without going on (a next of
// another sound format or frame rate cannot be queued), and where the recording on screen
// starts on the trip's timeline once the lengths are known.
//
// Qt-free and without threads of its own: the owner calls it from one thread at a time (the
// window's playback controller from the GUI thread, the tool's play from the player's worker
// while it plays and from the main thread once the worker is held).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/TripTimeline.h"

class TripSequencer {
public:
    // A new trip, from its first recording; its lengths are not known yet. An empty list
    // leaves the trip.
    void SetTrip(std::vector<std::string> paths);
    void Clear() { SetTrip({}); }
    // False: each recording is opened only when the one before has ended (nothing queued).
    void SetQueueAhead(bool queueAhead) { m_queueAhead = queueAhead; }
    // The trip's lengths, once probed; a timeline of another count of recordings is ignored.
    void SetTimeline(TripTimeline timeline);

    bool InTrip() const { return !m_paths.empty(); }
    size_t Count() const { return m_paths.size(); }
    size_t Index() const { return m_index; }
    const std::vector<std::string>& Paths() const { return m_paths; }
    bool IsTimelineKnown() const { return InTrip() && m_timeline.Count() == m_paths.size(); }
    const TripTimeline& Timeline() const { return m_timeline; }

    // Recording index (clamped to the trip) is on screen; the player's count of hand-overs
    // follows from handOvers.
    void OpenedAt(size_t index, int32_t handOvers);
    // An open outside the trip's hand-overs: counting goes on from the player's handOvers.
    void NoteHandOvers(int32_t handOvers) { m_handOvers = handOvers; }
    int32_t HandOvers() const { return m_handOvers; }
    // The recording to queue behind the one on screen; null after the last one, outside a
    // trip, or when nothing is queued ahead.
    const std::string* NextToQueue() const;
    // The player has made handOvers hand-overs in all: the trip goes on that many recordings
    // (short ones may pass two at once). The steps taken; 0 for old news or outside a trip.
    int FollowHandOvers(int32_t handOvers);
    // The recording to open when the player ended the one on screen; none when it was the last.
    std::optional<size_t> NextAfterEnd() const;
    bool IsLast() const { return m_index + 1 >= m_paths.size(); }

    // Where the recording on screen starts on the timeline: 0 outside a trip or until the
    // lengths are known.
    int64_t RecordingStartMs() const;
    // The recording and offset of timelineMs; none until the lengths are known.
    std::optional<TripTimeline::Place> PlaceOf(int64_t timelineMs) const;

private:
    std::vector<std::string> m_paths;
    size_t m_index = 0;
    int32_t m_handOvers = 0;  // the player's hand-overs followed so far
    bool m_queueAhead = true;
    TripTimeline m_timeline;
};
