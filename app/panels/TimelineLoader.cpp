#include "app/panels/TimelineLoader.h"

#include <memory>

void TimelineLoader::Start(std::vector<std::string> paths, const EventThresholds& thresholds) {
    m_bPending = true;
    m_job.Start([this, paths = std::move(paths), thresholds](JobContext& job) {
        auto result = std::make_shared<TimelineResult>();
        if (!Walk(paths, thresholds, *result, job.CancelFlag())) return;
        // Delivered only while this walk is the latest and this object (its m_job) lives.
        job.Post([this, result] {
            m_bPending = false;
            emit loaded(*result);
        });
    });
}

void TimelineLoader::Stop() {
    m_job.Cancel();
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
