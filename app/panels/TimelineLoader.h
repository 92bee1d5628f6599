#pragma once
// Walks, in the background, the telemetry of what was opened (one recording, or a trip's
// recordings one after another) and finds its driving events, so that opening never waits
// for a pass over the whole file. Each Start supersedes the one before: that walk is
// cancelled, and a result it had already posted is dropped when it arrives.
//
// Threads: the walk runs as a BackgroundJob, reading only what Start gave it. The result is
// posted to this object's (the GUI) thread, where `loaded` is emitted when it still belongs
// to the latest Start. Stop and the destructor cancel the walk and never wait for it: a walk
// stuck in a read ends on its own, into a dropped result.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/jobs/BackgroundJob.h"
#include "telemetry/EventDetector.h"
#include "telemetry/TelemetryWalk.h"

struct TimelineResult {
    std::vector<std::string> paths;  // what was walked, in playing order
    RecordingTelemetry timeline;     // the recordings joined, each moved by those before it
    std::vector<int64_t> startsMs;   // each recording's start on the joined timeline
    std::vector<DrivingEvent> events;
};

class TimelineLoader : public QObject {
    Q_OBJECT
public:
    explicit TimelineLoader(QObject* parent = nullptr) : QObject(parent) {}
    ~TimelineLoader() override = default;

    void Start(std::vector<std::string> paths, const EventThresholds& thresholds);
    // Cancels the walk; nothing started before reaches `loaded` any more.
    void Stop();
    // A started walk has not delivered its result yet.
    bool IsPending() const { return m_bPending; }
    // The worker is still walking (its result may already be posted while this is false).
    bool IsWalking() const { return m_job.IsRunning(); }

    // The walk itself, as the worker runs it: a recording that cannot be read adds nothing
    // but its (empty) place. False when cancelled.
    static bool Walk(const std::vector<std::string>& paths, const EventThresholds& thresholds,
                     TimelineResult& out, const std::atomic<bool>* cancel = nullptr);

signals:
    void loaded(const TimelineResult& result);

private:
    BackgroundJob m_job;
    bool m_bPending = false;  // GUI thread only
};
