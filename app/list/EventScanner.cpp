#include "app/list/EventScanner.h"

#include "media/CAVIExtractor.h"
#include "telemetry/TelemetryWalk.h"

void EventScanner::Start(std::vector<std::string> paths, const EventThresholds& thresholds) {
    m_job.Start([this, paths = std::move(paths), thresholds](JobContext& job) {
        for (const std::string& path : paths) {
            if (job.IsCancelled()) return;
            RecordingTelemetry telemetry;
            if (!WalkTelemetry(path, telemetry, job.CancelFlag())) continue;
            const int count = static_cast<int>(DetectEvents(telemetry.samples, thresholds).size());
            // Delivered only while this scan is the latest and this object (its m_job) lives.
            job.Post(
                [this, file = QString::fromStdString(path), count] { emit found(file, count); });
            if (const std::optional<EarlyEnd> end = CheckEarlyEnd(path))
                job.Post([this, file = QString::fromStdString(path), ms = end->endsAtMs] {
                    emit endsEarly(file, ms);
                });
        }
    });
}

void EventScanner::Stop() {
    m_job.Cancel();
}
