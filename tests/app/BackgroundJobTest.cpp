// A job stuck in its work (as in a read from a hung share) never holds up the GUI thread:
// cancelling it, starting the next one over it or destroying its owner returns at once, and
// what the stuck job posts once it comes free is dropped.

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/jobs/BackgroundJob.h"
#include "tests/app/AppTestSupport.h"

namespace {

// A gate the job body waits at until the test opens it.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false;  // guarded by lock
    bool open = false;     // guarded by lock
    bool forced = false;   // guarded by lock; the watchdog had to open it

    void Pass() {
        std::unique_lock<std::mutex> guard(lock);
        entered = true;
        changed.notify_all();
        changed.wait(guard, [this] { return open; });
    }
    bool WaitEntered() {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(20), [this] { return entered; });
    }
    void Open() {
        std::lock_guard<std::mutex> guard(lock);
        open = true;
        changed.notify_all();
    }
    // Only for an owner that waits for the job: the test then fails instead of hanging.
    void OpenAfterAWhile() {
        std::unique_lock<std::mutex> guard(lock);
        if (changed.wait_for(guard, std::chrono::seconds(20), [this] { return open; })) return;
        forced = open = true;
        changed.notify_all();
    }
};

}  // namespace

TEST(BackgroundJob, AStuckJobIsLeftBehindAndWhatItPostsLaterIsDropped) {
    enum class Leave { Cancel, StartAnother, DestroyOwner };
    for (Leave leave : {Leave::Cancel, Leave::StartAnother, Leave::DestroyOwner}) {
        Gate gate;
        int stuckDelivered = 0, nextDelivered = 0, finished = 0;
        auto owner = std::make_unique<BackgroundJob>();
        QObject::connect(owner.get(), &BackgroundJob::finished, [&] { ++finished; });
        owner->Start([&](JobContext& job) {
            gate.Pass();
            job.Progress(0.5);
            job.Post([&] { ++stuckDelivered; });
        });
        ASSERT_TRUE(gate.WaitEntered());
        std::thread watchdog([&gate] { gate.OpenAfterAWhile(); });
        switch (leave) {
            case Leave::Cancel:
                owner->Cancel();
                break;
            case Leave::StartAnother:
                owner->Start([&](JobContext& job) { job.Post([&] { ++nextDelivered; }); });
                break;
            case Leave::DestroyOwner:
                owner.reset();
                break;
        }
        gate.Open();
        watchdog.join();
        EXPECT_FALSE(gate.forced) << "the owner waited for its stuck job";
        ASSERT_TRUE(BackgroundJob::WaitForJobs(20000));
        apptest::Pump(100);
        EXPECT_EQ(stuckDelivered, 0) << static_cast<int>(leave);
        EXPECT_EQ(nextDelivered, leave == Leave::StartAnother ? 1 : 0) << static_cast<int>(leave);
        EXPECT_EQ(finished, leave == Leave::StartAnother ? 1 : 0) << static_cast<int>(leave);
        if (owner) {
            EXPECT_FALSE(owner->IsRunning());
        }
    }
}
