#include "app/TimelineLoader.h"

#include <memory>

void TimelineLoader::Start(std::vector<std::string> paths, const EventThresholds& thresholds) {
    Stop();
    const uint64_t generation = m_nGeneration;
    m_bPending = true;
    m_bCancel.store(false);
    m_bWalking.store(true);
    m_worker = std::thread([this, generation, paths = std::move(paths), thresholds] {
        auto result = std::make_shared<TimelineResult>();
        if (Walk(paths, thresholds, *result, &m_bCancel)) {
            // Dropped with this object if it goes first; dropped on arrival when superseded.
            QMetaObject::invokeMethod(
                this,
                [this, generation, result] {
                    if (generation != m_nGeneration) return;
                    m_bPending = false;
                    emit loaded(*result);
                },
                Qt::QueuedConnection);
        }
        m_bWalking.store(false);
    });
}

void TimelineLoader::Stop() {
    m_bCancel.store(true);
    if (m_worker.joinable()) m_worker.join();
    m_bWalking.store(false);
    ++m_nGeneration;
    m_bPending = false;
}

bool TimelineLoader::Walk(const std::vector<std::string>& paths, const EventThresholds& thresholds,
                          TimelineResult& out, const std::atomic<bool>* cancel) {
    out = TimelineResult{};
    out.paths = paths;
    RecordingTelemetry& joined = out.timeline;
    for (const std::string& path : paths) {
        RecordingTelemetry one;
        if (!WalkTelemetry(path, one, cancel) && cancel && cancel->load()) return false;
        const int64_t start = joined.durationMs;
        out.startsMs.push_back(start);
        for (TimedFix& f : one.fixes) joined.fixes.push_back({f.timeMs + start, f.fix});
        for (TimedSample& s : one.samples) joined.samples.push_back({s.timeMs + start, s.sample});
        joined.durationMs += one.durationMs;
        if (joined.frameRate == 0) joined.frameRate = one.frameRate;
    }
    out.events = DetectEvents(joined.samples, thresholds);
    return true;
}
