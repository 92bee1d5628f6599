#include "library/TripSequencer.h"

#include <algorithm>
#include <utility>

void TripSequencer::SetTrip(std::vector<std::string> paths) {
    m_paths = std::move(paths);
    m_index = 0;
    m_timeline = TripTimeline();
}

void TripSequencer::SetTimeline(TripTimeline timeline) {
    if (timeline.Count() == m_paths.size()) m_timeline = std::move(timeline);
}

void TripSequencer::OpenedAt(size_t index, int32_t handOvers) {
    m_index = m_paths.empty() ? 0 : std::min(index, m_paths.size() - 1);
    m_handOvers = handOvers;
}

const std::string* TripSequencer::NextToQueue() const {
    if (!m_queueAhead || IsLast()) return nullptr;
    return &m_paths[m_index + 1];
}

int TripSequencer::FollowHandOvers(int32_t handOvers) {
    if (handOvers <= m_handOvers) return 0;
    const int32_t steps = handOvers - m_handOvers;
    m_handOvers = handOvers;
    // Only a trip queues a next recording.
    if (IsLast()) return 0;
    const size_t before = m_index;
    m_index = std::min(m_index + static_cast<size_t>(steps), m_paths.size() - 1);
    return static_cast<int>(m_index - before);
}

std::optional<size_t> TripSequencer::NextAfterEnd() const {
    if (IsLast()) return std::nullopt;
    return m_index + 1;
}

int64_t TripSequencer::RecordingStartMs() const {
    return IsTimelineKnown() ? m_timeline.StartMs(m_index) : 0;
}

std::optional<TripTimeline::Place> TripSequencer::PlaceOf(int64_t timelineMs) const {
    if (!IsTimelineKnown()) return std::nullopt;
    return m_timeline.At(timelineMs);
}
