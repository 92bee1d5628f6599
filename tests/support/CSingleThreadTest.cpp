#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/CSingleThread.h"
#include "support/CSync.h"

namespace {

struct Counter {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> sawOverlap{false};
};

bool SlowBody(void* arg) {
    auto* c = static_cast<Counter*>(arg);
    if (c->inside.exchange(true)) c->sawOverlap = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    c->calls++;
    c->inside = false;
    return true;
}

}  // namespace

TEST(CSingleThread, BodyRepeatsUntilStopAndNeverRunsAfterIt) {
    Counter counter;
    CSingleThread thread("MediaSync");
    ASSERT_TRUE(thread.BeginThread(&SlowBody, &counter, 0, 0));
    while (counter.calls < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    thread.StopThread();
    EXPECT_FALSE(counter.inside.load());
    int after = counter.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(counter.calls.load(), after);
    EXPECT_FALSE(counter.sawOverlap.load());
}

TEST(CSingleThread, StopIsSafeTwiceBeforeStartAndFromDestructor) {
    Counter counter;
    {
        CSingleThread never;
        never.StopThread();
        never.StopThread();
    }
    {
        CSingleThread thread;
        ASSERT_TRUE(thread.BeginThread(&SlowBody, &counter));
        EXPECT_FALSE(thread.BeginThread(&SlowBody, &counter));  // one thread per object
        thread.StopThread();
        thread.StopThread();
    }
    {
        CSingleThread thread;
        ASSERT_TRUE(thread.BeginThread(&SlowBody, &counter));
    }  // destructor stops and joins
    EXPECT_FALSE(counter.inside.load());
}

TEST(CSingleThread, CanBeStartedAgainAfterStop) {
    Counter counter;
    CSingleThread thread;
    ASSERT_TRUE(thread.BeginThread(&SlowBody, &counter));
    thread.StopThread();
    int before = counter.calls;
    ASSERT_TRUE(thread.BeginThread(&SlowBody, &counter));
    while (counter.calls == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    thread.StopThread();
}

TEST(CSingleThread, StopFromTheBodyEndsTheLoopAndTheOwnerStillJoinsIt) {
    struct Body {
        CSingleThread* thread;
        std::atomic<int> calls{0};
    } body;
    CSingleThread thread;
    body.thread = &thread;
    ASSERT_TRUE(thread.BeginThread(
        [](void* arg) {
            auto* b = static_cast<Body*>(arg);
            if (b->calls.fetch_add(1) == 2) b->thread->StopThread();
            return true;
        },
        &body));
    for (int i = 0; i < 5000 && body.calls.load() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Not detached: still joinable until the owner joins it.
    EXPECT_TRUE(thread.IsRunning());
    thread.StopThread();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(body.calls.load(), 3);
}

TEST(CSync, ExcludesOtherThreads) {
    CSync sync("none");
    int shared = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            CSyncLock lock(sync);
            shared++;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(shared, 40000);
    EXPECT_EQ(sync.Name(), "none");
}
