#include "app/EventScanner.h"

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
        }
    });
}

void EventScanner::Stop() {
    m_job.Cancel();
}
