#include "library/TripTimeline.h"

#include <algorithm>
#include <utility>

#include "library/TripCatalogue.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr int64_t kMsPerSec = 1000;

}  // namespace

TripTimeline::TripTimeline(std::vector<int64_t> lengthsMs, std::vector<int64_t> clockStartsSec)
    : m_lengthsMs(std::move(lengthsMs)), m_clockStartsSec(std::move(clockStartsSec)) {
    m_startsMs.reserve(m_lengthsMs.size() + 1);
    for (int64_t& length : m_lengthsMs) {
        length = std::max<int64_t>(length, 0);
        m_startsMs.push_back(m_startsMs.back() + length);
    }
}

TripTimeline TripTimeline::Of(const Trip& trip) {
    std::vector<int64_t> lengths, clock;
    for (const TripRecording& r : trip.recordings) {
        lengths.push_back(r.durationMs);
        clock.push_back(r.startSec);
    }
    return TripTimeline(std::move(lengths), std::move(clock));
}

TripTimeline TripTimeline::FromStarts(const std::vector<int64_t>& startsMs, int64_t totalMs,
                                      const std::vector<std::string>& paths) {
    std::vector<int64_t> lengths;
    for (size_t i = 0; i < startsMs.size(); ++i)
        lengths.push_back((i + 1 < startsMs.size() ? startsMs[i + 1] : totalMs) - startsMs[i]);
    return TripTimeline(std::move(lengths), ClockStartsFromNames(paths));
}

std::vector<int64_t> TripTimeline::ClockStartsFromNames(const std::vector<std::string>& paths) {
    std::vector<int64_t> starts;
    for (const std::string& path : paths) starts.push_back(RecordingStartSec(path).value_or(-1));
    return starts;
}

int64_t TripTimeline::LengthMs(size_t index) const {
    return index < m_lengthsMs.size() ? m_lengthsMs[index] : 0;
}

int64_t TripTimeline::StartMs(size_t index) const {
    return m_startsMs[std::min(index, m_startsMs.size() - 1)];
}

TripTimeline::Place TripTimeline::At(int64_t timelineMs) const {
    if (m_lengthsMs.empty()) return {0, timelineMs};
    // The last recording whose start is at or before the time: a join belongs to the
    // recording it starts, and recordings of no length are passed over.
    const auto first = m_startsMs.begin() + 1;
    const auto last = m_startsMs.begin() + static_cast<std::ptrdiff_t>(m_lengthsMs.size());
    const size_t index = static_cast<size_t>(std::upper_bound(first, last, timelineMs) - first);
    return {index, timelineMs - m_startsMs[index]};
}

std::optional<int64_t> TripTimeline::ClockMsAt(int64_t timelineMs) const {
    const Place place = At(timelineMs);
    if (place.index >= m_clockStartsSec.size() || m_clockStartsSec[place.index] < 0)
        return std::nullopt;
    return m_clockStartsSec[place.index] * kMsPerSec + place.offsetMs;
}
