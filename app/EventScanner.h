#pragma once
// Finds, in the background, which recordings of the list hold driving events: each file's
// telemetry is walked and its events counted, and the count is reported per file as it is
// known. A new Start abandons the previous scan.
//
// Threads: the scan runs on m_worker; results are posted to this object's (the GUI) thread,
// where `found` is emitted. Stop (also run by the destructor) cancels and joins the worker.

#include <QObject>
#include <QString>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "telemetry/EventDetector.h"

class EventScanner : public QObject {
    Q_OBJECT
public:
    explicit EventScanner(QObject* parent = nullptr) : QObject(parent) {}
    ~EventScanner() override { Stop(); }

    void Start(std::vector<std::string> paths, const EventThresholds& thresholds);
    void Stop();
    bool IsRunning() const { return m_bRunning.load(); }

signals:
    void found(const QString& path, int eventCount);

private:
    std::thread m_worker;
    std::atomic<bool> m_bStop{false};     // set by Stop, read by the worker
    std::atomic<bool> m_bRunning{false};  // the worker has files left
};
