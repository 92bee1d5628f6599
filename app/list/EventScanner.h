#pragma once
// Finds, in the background, which recordings of the list hold driving events: each file's
// telemetry is walked and its events counted, and the count is reported per file as it is
// known. A recording cut short by a power loss (its data ends before its header says) is
// reported with where it ends. A new Start abandons the previous scan.
//
// Threads: the scan runs as a BackgroundJob; results are posted to this object's (the GUI)
// thread, where `found` is emitted. Stop and the destructor cancel the scan and never wait for
// it: a scan stuck in a read ends on its own, and what it finds then is dropped.

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "app/jobs/BackgroundJob.h"
#include "telemetry/EventDetector.h"

class EventScanner : public QObject {
    Q_OBJECT
public:
    explicit EventScanner(QObject* parent = nullptr) : QObject(parent) {}
    ~EventScanner() override = default;

    void Start(std::vector<std::string> paths, const EventThresholds& thresholds);
    void Stop();
    bool IsRunning() const { return m_job.IsRunning(); }

signals:
    void found(const QString& path, int eventCount);
    void endsEarly(const QString& path, qint64 endsAtMs);

private:
    BackgroundJob m_job;
};
