#include "app/jobs/BackgroundJob.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace background_job_detail {

struct JobState {
    std::atomic<bool> cancel{false};
    std::atomic<bool> running{true};
    std::mutex lock;
    // Where posts go; cleared (under lock) when the job stops being its owner's current one,
    // so a post never names an owner that is being destroyed.
    BackgroundJob* owner = nullptr;  // guarded by lock
};

}  // namespace background_job_detail

using background_job_detail::JobState;

namespace {

// Every job of the process that has not returned, for WaitForJobs.
std::mutex g_jobsLock;
std::condition_variable g_jobsDone;
int g_jobsRunning = 0;  // guarded by g_jobsLock

}  // namespace

JobContext::JobContext(std::shared_ptr<JobState> state) : m_state(std::move(state)) {}

bool JobContext::IsCancelled() const {
    return m_state->cancel.load();
}

const std::atomic<bool>* JobContext::CancelFlag() const {
    return &m_state->cancel;
}

void JobContext::Progress(double fraction) const {
    PostToOwner([fraction](BackgroundJob& owner) { emit owner.progress(fraction); });
}

void JobContext::Post(std::function<void()> deliver) const {
    PostToOwner([deliver = std::move(deliver)](BackgroundJob&) { deliver(); });
}

void JobContext::PostToOwner(std::function<void(BackgroundJob&)> deliver) const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    BackgroundJob* owner = m_state->owner;
    if (!owner || m_state->cancel.load()) return;
    // Posted events die with their receiver, so the owner's destructor drops these too.
    QMetaObject::invokeMethod(
        owner,
        [owner, state = m_state, deliver = std::move(deliver)] {
            if (owner->m_current == state && !state->cancel.load()) deliver(*owner);
        },
        Qt::QueuedConnection);
}

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob() {
    Drop();
}

void BackgroundJob::Start(Work work) {
    Drop();
    auto state = std::make_shared<JobState>();
    state->owner = this;
    m_current = state;
    {
        std::lock_guard<std::mutex> guard(g_jobsLock);
        ++g_jobsRunning;
    }
    std::thread([state, work = std::move(work)]() mutable {
        JobContext context(state);
        work(context);
        work = nullptr;  // what the body holds goes before the job counts as ended
        state->running.store(false);
        context.PostToOwner([](BackgroundJob& owner) { emit owner.finished(); });
        std::lock_guard<std::mutex> guard(g_jobsLock);
        if (--g_jobsRunning == 0) g_jobsDone.notify_all();
    }).detach();
}

void BackgroundJob::Cancel() {
    Drop();
}

bool BackgroundJob::IsRunning() const {
    return m_current && m_current->running.load();
}

void BackgroundJob::Drop() {
    if (!m_current) return;
    m_current->cancel.store(true);
    {
        std::lock_guard<std::mutex> guard(m_current->lock);
        m_current->owner = nullptr;
    }
    m_current.reset();
}

bool BackgroundJob::WaitForJobs(int timeoutMs) {
    std::unique_lock<std::mutex> guard(g_jobsLock);
    return g_jobsDone.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                               [] { return g_jobsRunning == 0; });
}
