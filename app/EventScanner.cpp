#include "app/EventScanner.h"

#include <QPointer>

#include "telemetry/TelemetryWalk.h"

void EventScanner::Start(std::vector<std::string> paths, const EventThresholds& thresholds) {
    Stop();
    m_bStop.store(false);
    m_bRunning.store(true);
    m_worker = std::thread([this, paths = std::move(paths), thresholds] {
        for (const std::string& path : paths) {
            if (m_bStop.load()) break;
            RecordingTelemetry telemetry;
            if (!WalkTelemetry(path, telemetry, &m_bStop)) continue;
            const int count = static_cast<int>(DetectEvents(telemetry.samples, thresholds).size());
            const QString file = QString::fromStdString(path);
            QMetaObject::invokeMethod(
                this, [this, file, count] { emit found(file, count); }, Qt::QueuedConnection);
        }
        m_bRunning.store(false);
    });
}

void EventScanner::Stop() {
    m_bStop.store(true);
    if (m_worker.joinable()) m_worker.join();
    m_bRunning.store(false);
}
