// A rate change while the clock runs: media time stays continuous across the change, so the
// frame after it is due within one frame period at the new rate, however long the old rate
// ran. Checked on the clock itself with exact times, and on the playing player.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "FakeMedia.h"
#include "media/CQRVMediaPlayer.h"
#include "media/FramePacer.h"

namespace {

constexpr int64_t kFramePeriodUs = 1000000 / 30;

struct RateChange {
    int fromPercent, toPercent;
    int64_t playedUs;  // wall time at the first rate before the change
};

class FramePacerRateChange : public ::testing::TestWithParam<RateChange> {};

TEST_P(FramePacerRateChange, NextFrameIsDueWithinOneFramePeriod) {
    const RateChange& row = GetParam();
    FramePacer pacer;
    const int64_t startUs = 5000000;
    pacer.SetRate(row.fromPercent, startUs);
    ASSERT_EQ(pacer.DueAt(0, startUs, true), startUs);
    // Frames shown on time at the first rate, up to the change.
    int64_t mediaUs = 0;
    for (;; mediaUs += kFramePeriodUs) {
        const int64_t due = pacer.DueAt(mediaUs, startUs, false);
        if (due > startUs + row.playedUs) break;
        ASSERT_EQ(pacer.DueAt(mediaUs, due, true), due);
    }
    const int64_t changeUs = startUs + row.playedUs;
    pacer.SetRate(row.toPercent, changeUs);
    const int64_t wait = pacer.DueAt(mediaUs, changeUs, true) - changeUs;
    EXPECT_GE(wait, 0);
    EXPECT_LE(wait, kFramePeriodUs * FramePacer::kNormalRatePercent / row.toPercent);
    // And the frames after it follow at the new rate.
    const int64_t next = pacer.DueAt(mediaUs + kFramePeriodUs, changeUs, true) - changeUs;
    EXPECT_NEAR(next - wait, kFramePeriodUs * FramePacer::kNormalRatePercent / row.toPercent, 1);
}

INSTANTIATE_TEST_SUITE_P(Rates, FramePacerRateChange,
                         ::testing::Values(RateChange{200, 100, 10000000},
                                           RateChange{100, 50, 10000000},
                                           RateChange{200, 50, 10000000}));

// The same on the player: it plays at one rate, the rate changes, and the next front frame
// comes about one frame period later (before the change it would have come seconds later).
class PlayerRateChange : public ::testing::TestWithParam<RateChange> {};

TEST_P(PlayerRateChange, NextFrameFollowsAtOnce) {
    const RateChange& row = GetParam();
    FakeParser parser({.seconds = 8});
    FakeDecoder decoder;
    FakeAudio audio;
    CQRVMediaPlayer player;
    player.SetParser(&parser);
    player.SetDecoder(&decoder);
    player.SetOutput(&audio);
    player.SetNoClock(false);
    player.Start(nullptr, nullptr);
    player.SetRatePercent(row.fromPercent);
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    Clock::time_point firstShown, lastShown;
    int shown = 0;
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera != 0) return;
        std::lock_guard<std::mutex> lock(mutex);
        lastShown = Clock::now();
        if (shown++ == 0) firstShown = lastShown;
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return shown > 0 && Clock::now() - firstShown >= std::chrono::microseconds(row.playedUs);
    }));
    int before;
    {
        std::lock_guard<std::mutex> lock(mutex);
        before = shown;
    }
    const Clock::time_point change = Clock::now();
    player.SetRatePercent(row.toPercent);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return shown > before + 1;
    }));
    player.StopThreads();
    std::lock_guard<std::mutex> lock(mutex);
    // One frame period, with room for a loaded machine; far from the seconds a clock that
    // kept the old rate's reference would wait.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(lastShown - change).count(),
              500);
}

INSTANTIATE_TEST_SUITE_P(Rates, PlayerRateChange,
                         ::testing::Values(RateChange{200, 100, 1500000},
                                           RateChange{100, 50, 2000000}));

}  // namespace
