#pragma once
// Long work off the GUI thread (the timeline walk, the event scan, an export) without the GUI
// thread ever waiting for it: a read may block for as long as the file it reads wants (a hung
// network share), and the window has to stay alive and end when asked all the same.
//
// Threads: Start, Cancel and the destructor are called on the owner's (GUI) thread and never
// block. Each job runs on a detached thread of its own and shares one JobState with its owner,
// through shared_ptr only. The job talks back through its JobContext: progress and results are
// posted to the owner's thread and delivered there only while that job is still the owner's
// current one. A job that was cancelled, superseded by a later Start or whose owner is gone
// runs on into a dropped result; nothing of it reaches the window, and a job that never
// returns costs its thread and nothing else.
//
// Lifecycle of a job: Start -> (progress ...) -> delivered results -> finished, or
// Start -> Cancel/Start/destructor -> dropped. A job body checks IsCancelled (or hands
// CancelFlag to the engine) often enough to end soon after a cancel.
//
// At exit, WaitForJobs gives the cancelled jobs a moment to end (an export removes its
// temporary file) before the process goes.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class BackgroundJob;

namespace background_job_detail {
struct JobState;
}

// What a job body holds of its job; a value, safe to copy into callbacks on any thread.
class JobContext {
public:
    explicit JobContext(std::shared_ptr<background_job_detail::JobState> state);

    bool IsCancelled() const;
    // For engine calls that take a cancel flag; valid as long as this context (or a copy).
    const std::atomic<bool>* CancelFlag() const;
    // Posted; emitted as BackgroundJob::progress while the job is current.
    void Progress(double fraction) const;
    // Runs deliver on the owner's thread, later, if the job is still the owner's current one.
    void Post(std::function<void()> deliver) const;

private:
    friend class BackgroundJob;
    void PostToOwner(std::function<void(BackgroundJob&)> deliver) const;

    std::shared_ptr<background_job_detail::JobState> m_state;
};

class BackgroundJob : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(JobContext&)>;

    explicit BackgroundJob(QObject* parent = nullptr);
    // Cancels the current job and drops whatever it still posts; never waits for it.
    ~BackgroundJob() override;

    // Cancels the current job (as Cancel) and starts work on a thread of its own.
    void Start(Work work);
    // Sets the current job's cancel flag; from now on nothing it posts is delivered.
    void Cancel();
    // The current job's body has not returned yet (false after Cancel).
    bool IsRunning() const;

    // Waits up to timeoutMs for every job of the process, current or dropped, to return;
    // true when none is left. For the end of main only: the window is gone by then.
    static bool WaitForJobs(int timeoutMs);

signals:
    void progress(double fraction);
    // The current job's body returned; its results were delivered before this.
    void finished();

private:
    friend class JobContext;
    void Drop();

    std::shared_ptr<background_job_detail::JobState> m_current;  // GUI thread only
};
