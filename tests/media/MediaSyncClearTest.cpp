// CMediaSync's promise about a clear: a packet the feeder has taken off the queue but not yet
// handed to the output never reaches the output once ClearPcm has returned.
//
// The window between the take and the hand-over is too short to hit by timing, so the test
// puts the clear inside it: this program is linked with pthread_mutex_lock wrapped, and the
// wrapper, on the feeder's thread, while it holds a packet the output has not had, runs
// ClearPcm before the lock is taken. Any feeder has to synchronise with a clear between
// taking a packet and writing it; that is where the clear comes.

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "media/CMediaSync.h"
#include "support/Ticks.h"

extern "C" int __real_pthread_mutex_lock(pthread_mutex_t* mutex);

namespace {

struct ClearInjection {
    std::atomic<CMediaSync*> sync{nullptr};
    std::atomic<std::thread::id> feeder{};
    std::atomic<int> writesWhenArmed{-1};  // armed while >= 0
    std::atomic<int> writes{0};
    std::atomic<bool> cleared{false};
};
ClearInjection g_clear;
thread_local bool t_inClear = false;

void ClearIfHoldingAPacket() {
    CMediaSync* sync = g_clear.sync.load();
    if (t_inClear || !sync || std::this_thread::get_id() != g_clear.feeder.load()) return;
    const int armedAt = g_clear.writesWhenArmed.load();
    if (armedAt < 0 || !sync->Feeding() || g_clear.writes.load() != armedAt) return;
    g_clear.writesWhenArmed.store(-1);
    t_inClear = true;
    sync->ClearPcm();
    t_inClear = false;
    g_clear.cleared.store(true);
}

}  // namespace

extern "C" int __wrap_pthread_mutex_lock(pthread_mutex_t* mutex) {
    ClearIfHoldingAPacket();
    return __real_pthread_mutex_lock(mutex);
}

namespace {

template <class Cond>
bool WaitFor(Cond cond, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (cond()) return true;
        SleepMs(2);
    }
    return cond();
}

class FirstByteOutput : public VAudio {
public:
    bool Open(uint16_t, int32_t) override { return true; }
    int32_t Close() override { return 1; }
    void Write(const uint8_t* data, int32_t length) override {
        g_clear.feeder.store(std::this_thread::get_id());
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_first.push_back(length > 0 ? data[0] : -1);
        }
        g_clear.writes.fetch_add(1);
    }
    std::vector<int> Written() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_first;
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_first;  // each packet's first byte
};

TEST(MediaSyncClear, APacketTakenBeforeAClearNeverReachesTheOutput) {
    g_clear.writes.store(0);
    g_clear.cleared.store(false);
    FirstByteOutput output;
    CMediaSync sync;
    sync.SetOutput(&output);
    g_clear.sync.store(&sync);
    sync.StartFeeding();
    const auto push = [&](uint8_t mark) {
        const std::vector<uint8_t> packet(64, mark);
        ASSERT_TRUE(sync.PushPcm(packet.data(), static_cast<int32_t>(packet.size())));
    };
    push(1);  // tells the output which thread feeds it
    ASSERT_TRUE(WaitFor([&] { return g_clear.writes.load() == 1; }));
    g_clear.writesWhenArmed.store(1);
    push(2);  // taken, then the clear comes
    ASSERT_TRUE(WaitFor([&] { return g_clear.cleared.load() && !sync.Feeding(); }))
        << "the feeder never held the packet where a clear could reach it";
    push(3);
    ASSERT_TRUE(WaitFor([&] { return output.Written().size() >= 2; }));
    sync.StopFeeding();
    g_clear.sync.store(nullptr);
    EXPECT_EQ(output.Written(), (std::vector<int>{1, 3}));
}

}  // namespace
