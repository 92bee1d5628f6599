#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/CMediaSync.h"
#include "media/FramePacer.h"
#include "support/Ticks.h"
#include "support/Trace.h"

namespace {

template <class Cond>
bool WaitFor(Cond cond, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (cond()) return true;
        SleepMs(2);
    }
    return cond();
}

// An output that records what it is given; it can be made to hold a writer like a full
// sound card.
class RecordingOutput : public VAudio {
public:
    bool Open(uint16_t, int32_t) override { return true; }
    int32_t Close() override { return 1; }
    void Write(const uint8_t* data, int32_t length) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_writing = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_held; });
        m_written.emplace_back(data, data + length);
        m_writing = false;
    }
    void Hold(bool held) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = held;
        m_changed.notify_all();
    }
    bool Writing() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writing;
    }
    std::vector<std::vector<uint8_t>> Written() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_written;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_writing = false;
    std::vector<std::vector<uint8_t>> m_written;
};

std::vector<uint8_t> Bytes(int length, uint8_t first) {
    std::vector<uint8_t> v(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}

TEST(MediaSyncQueue, PacketsComeOutInOrderAndLongOnesAreCut) {
    CMediaSync sync;
    const auto a = Bytes(100, 1), b = Bytes(4000, 2), c = Bytes(0, 3);
    sync.PushPcm(a.data(), 100);
    sync.PushPcm(b.data(), 4000);
    sync.PushPcm(c.data(), 0);
    EXPECT_EQ(sync.QueuedPackets(), 3);
    uint8_t buffer[kPcmPacketBytes];
    int32_t length = -1;
    ASSERT_TRUE(sync.PopPcm(buffer, &length));
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + length), a);
    ASSERT_TRUE(sync.PopPcm(buffer, &length));
    ASSERT_EQ(length, kPcmPacketBytes);
    EXPECT_EQ(0, std::memcmp(buffer, b.data(), kPcmPacketBytes));
    ASSERT_TRUE(sync.PopPcm(buffer, &length));
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(sync.PopPcm(buffer, &length));
}

TEST(MediaSyncQueue, QueueRefusesPacketsPastItsBound) {
    CMediaSync sync;
    const auto a = Bytes(10, 0);
    for (int i = 0; i < CMediaSync::kMaxPackets; ++i) ASSERT_TRUE(sync.PushPcm(a.data(), 10));
    EXPECT_FALSE(sync.PushPcm(a.data(), 10));
    EXPECT_EQ(sync.QueuedPackets(), CMediaSync::kMaxPackets);
}

TEST(MediaSyncFeeding, FlushDropsThePacketTheFeederHoldsAsWellAsTheQueue) {
    RecordingOutput output;
    output.Hold(true);
    CMediaSync sync;
    sync.SetOutput(&output);
    sync.StartFeeding();
    const auto old = Bytes(64, 1);
    sync.PushPcm(old.data(), 64);
    sync.PushPcm(old.data(), 64);
    ASSERT_TRUE(WaitFor([&] { return output.Writing(); }));
    sync.FlushAll();
    EXPECT_EQ(sync.QueuedPackets(), 0);
    const auto fresh = Bytes(32, 9);
    sync.PushPcm(fresh.data(), 32);
    output.Hold(false);
    ASSERT_TRUE(WaitFor([&] { return sync.QueuedPackets() == 0 && !sync.Feeding(); }));
    sync.StopFeeding();
    // The held packet was already inside the output (it keeps it, as a device would until
    // its flush); the second old one never got there.
    const auto written = output.Written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written.back(), fresh);
}

TEST(MediaSyncQueue, ClearEmptiesAndOnePacketCountsAsDrained) {
    CMediaSync sync;
    const auto a = Bytes(10, 0);
    sync.PushPcm(a.data(), 10);
    sync.WaitDrained();  // one packet: returns without a feeder
    sync.PushPcm(a.data(), 10);
    sync.ClearPcm();
    EXPECT_EQ(sync.QueuedPackets(), 0);
    uint8_t buffer[kPcmPacketBytes];
    int32_t length;
    EXPECT_FALSE(sync.PopPcm(buffer, &length));
}

TEST(MediaSyncFeeding, FeederDeliversEverythingInOrderAndDrainWaitEnds) {
    RecordingOutput output;
    CMediaSync sync;
    sync.SetOutput(&output);
    for (int i = 0; i < 3; ++i) {
        const auto p = Bytes(50 + i, static_cast<uint8_t>(i * 10));
        sync.PushPcm(p.data(), static_cast<int32_t>(p.size()));
    }
    sync.StartFeeding();
    sync.WaitDrained();
    EXPECT_LT(sync.QueuedPackets(), 2);
    ASSERT_TRUE(WaitFor([&] { return output.Written().size() == 3; }));
    sync.StopFeeding();
    const auto written = output.Written();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(written[i], Bytes(50 + i, static_cast<uint8_t>(i * 10)));
}

TEST(MediaSyncFeeding, PushDoesNotWaitForABlockedOutput) {
    RecordingOutput output;
    output.Hold(true);
    CMediaSync sync;
    sync.SetOutput(&output);
    sync.StartFeeding();
    const auto p = Bytes(64, 0);
    sync.PushPcm(p.data(), 64);
    ASSERT_TRUE(WaitFor([&] { return output.Writing(); }));
    // The feeder sits in Write; the queue lock must be free for the player's pushes.
    for (int i = 0; i < 5; ++i) sync.PushPcm(p.data(), 64);
    EXPECT_EQ(sync.QueuedPackets(), 5);
    output.Hold(false);
    ASSERT_TRUE(WaitFor([&] { return sync.QueuedPackets() == 0; }));
    sync.StopFeeding();
    ASSERT_TRUE(WaitFor([&] { return output.Written().size() == 6; }));
}

TEST(MediaSyncFeeding, WithoutAnOutputPacketsAreDropped) {
    CMediaSync sync;
    const auto p = Bytes(64, 0);
    for (int i = 0; i < 4; ++i) sync.PushPcm(p.data(), 64);
    sync.StartFeeding();
    sync.WaitDrained();
    ASSERT_TRUE(WaitFor([&] { return sync.QueuedPackets() == 0; }));
    sync.StopFeeding();
}

// Without a feeder nothing drains the queue; only a clear or abandoning the wait ends it.
struct DrainEndRow {
    const char* name;
    void (*end)(CMediaSync&);
};
class MediaSyncDrainEnd : public ::testing::TestWithParam<DrainEndRow> {};

TEST_P(MediaSyncDrainEnd, EndsAWaitingDrain) {
    CMediaSync sync;
    const auto p = Bytes(64, 0);
    for (int i = 0; i < 3; ++i) sync.PushPcm(p.data(), 64);
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        sync.WaitDrained();
        returned = true;
    });
    GetParam().end(sync);
    // Only a safety net; a missed wake-up would leave the waiter asleep for good.
    const bool woke = WaitFor([&] { return returned.load(); });
    if (!woke) sync.ClearPcm();
    sync.AbandonDrainWaits();
    waiter.join();
    EXPECT_TRUE(woke);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, MediaSyncDrainEnd,
    ::testing::Values(DrainEndRow{"Clear", [](CMediaSync& s) { s.ClearPcm(); }},
                      DrainEndRow{"Abandon", [](CMediaSync& s) { s.AbandonDrainWaits(); }}),
    [](const ::testing::TestParamInfo<DrainEndRow>& info) { return info.param.name; });

struct PaceRow {
    int rate;
    int history;  // value of every earlier measurement (none when negative)
    int dif;
    int wait;
    bool sleeps;
    const char* line;
};

class FramePacerRows : public ::testing::TestWithParam<PaceRow> {};

TEST_P(FramePacerRows, WaitFollowsTheAverageLoopTime) {
    const PaceRow& row = GetParam();
    FramePacer pacer;
    std::vector<std::string> lines;
    if (row.history >= 0) {
        for (int i = 0; i < FramePacer::kHistoryLength; ++i) pacer.Update(0, row.history, row.rate);
    }
    SetTraceSink([&](const std::string& line) { lines.push_back(line); });
    const int wait = pacer.Update(0, row.dif, row.rate);
    SetTraceSink({});
    EXPECT_EQ(wait, row.wait);
    EXPECT_EQ(FramePacer::ShouldSleep(wait), row.sleeps);
    ASSERT_EQ(lines.size(), 1u);
    if (row.line) {
        EXPECT_EQ(lines[0], row.line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FramePacerRows,
    ::testing::Values(PaceRow{30, 10, 10, 21, true, "[00] dif 10, mean 10 : 21 msec\n"},
                      PaceRow{30, 31, 31, 0, false, nullptr},
                      PaceRow{30, 40, 40, -9, false, nullptr},
                      PaceRow{25, -1, 0, 38, true, "[00] dif  0, mean  0 : 38 msec\n"},
                      PaceRow{24, -1, 0, 39, true, nullptr}, PaceRow{20, -1, 0, 48, false, nullptr},
                      // A long pause is recorded as 60 ms.
                      PaceRow{30, -1, 500, -29, false, "[00] dif 60, mean 60 : -29 msec\n"},
                      // No declared rate paces as 30 frames a second instead of dividing by zero.
                      PaceRow{0, -1, 0, 31, true, nullptr}));

TEST(FramePacerHistory, OnlyTheLast24LoopTimesCount) {
    FramePacer pacer;
    SetTraceSink([](const std::string&) {});
    for (int i = 0; i < 10; ++i) pacer.Update(0, 60, 30);
    int wait = 0;
    for (int i = 0; i < FramePacer::kHistoryLength; ++i) wait = pacer.Update(0, 0, 30);
    SetTraceSink({});
    EXPECT_EQ(wait, 31);  // the 60s have left the window
}

}  // namespace
