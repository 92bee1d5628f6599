#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "media/CWaveBox.h"
#include "support/Ticks.h"

namespace {

// Polls cond until it holds; the timeout is only a safety net against a hang.
template <class Cond>
bool WaitFor(Cond cond, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (cond()) return true;
        SleepMs(5);
    }
    return cond();
}

struct Tap {
    std::mutex mutex;
    std::vector<uint8_t> bytes;
    static void Collect(void* user, const uint8_t* data, int length) {
        Tap* tap = static_cast<Tap*>(user);
        std::lock_guard<std::mutex> lock(tap->mutex);
        tap->bytes.insert(tap->bytes.end(), data, data + length);
    }
    std::vector<uint8_t> Copy() {
        std::lock_guard<std::mutex> lock(mutex);
        return bytes;
    }
};

std::vector<uint8_t> Pattern(int length, int seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + seed * 31) & 0xFF);
    return bytes;
}

class WaveBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        box.SetConsumeTap(&Tap::Collect, &tap);
        ASSERT_TRUE(box.Open(16, 8000));
    }
    CWaveBox box;
    Tap tap;
};

TEST_F(WaveBoxTest, DeviceConsumesEveryWrittenByteInOrderAndLongWritesAreCut) {
    std::vector<uint8_t> expected;
    const int lengths[] = {3840, 1000, 5000, 2, 3840};
    for (int i = 0; i < 5; ++i) {
        const auto bytes = Pattern(lengths[i], i);
        box.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        expected.insert(expected.end(), bytes.begin(),
                        bytes.begin() + std::min(lengths[i], CWaveBox::kBufferBytes));
    }
    ASSERT_TRUE(
        WaitFor([&] { return box.BytesConsumed() == static_cast<int64_t>(expected.size()); }));
    EXPECT_EQ(tap.Copy(), expected);
    ASSERT_TRUE(WaitFor([&] { return box.FreeBuffers() == 2; }));
}

TEST_F(WaveBoxTest, ThirdWriteWaitsForAFinishedBufferAndCloseReleasesIt) {
    box.SetDeviceHeld(true);
    const auto bytes = Pattern(3840, 1);
    box.Write(bytes.data(), 3840);
    box.Write(bytes.data(), 3840);
    EXPECT_EQ(box.FreeBuffers(), 0);

    std::atomic<bool> returned{false};
    std::thread writer([&] {
        box.Write(bytes.data(), 3840);
        returned = true;
    });
    SleepMs(100);
    EXPECT_FALSE(returned.load()) << "a write with both buffers queued must wait";
    box.Close();
    writer.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(box.BytesConsumed(), 0);

    // Closed output: writes are dropped at once; reopening starts with both buffers free.
    box.Write(bytes.data(), 3840);
    ASSERT_TRUE(box.Open(16, 8000));
    EXPECT_EQ(box.FreeBuffers(), 2);
    box.Write(bytes.data(), 3840);
    ASSERT_TRUE(WaitFor([&] { return box.BytesConsumed() == 3840; }));
}

TEST_F(WaveBoxTest, HeldWriterProceedsWhenTheDeviceResumes) {
    box.SetDeviceHeld(true);
    std::vector<uint8_t> all;
    std::thread writer([&] {
        for (int i = 0; i < 4; ++i) {
            const auto bytes = Pattern(1920, i);
            box.Write(bytes.data(), 1920);
        }
    });
    ASSERT_TRUE(WaitFor([&] { return box.FreeBuffers() == 0; }));
    box.SetDeviceHeld(false);
    writer.join();
    ASSERT_TRUE(WaitFor([&] { return box.BytesConsumed() == 4 * 1920; }));
    for (int i = 0; i < 4; ++i) {
        const auto bytes = Pattern(1920, i);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(tap.Copy(), all);
}

TEST_F(WaveBoxTest, FlushDropsQueuedSoundAndTheNextWritePlaysFirst) {
    box.SetDeviceHeld(true);
    const auto old = Pattern(3840, 1), fresh = Pattern(1000, 2);
    // One buffer queued, so the next write goes to the other one: the device must follow.
    box.Write(old.data(), 3840);
    EXPECT_EQ(box.FreeBuffers(), 1);
    box.Flush();
    EXPECT_EQ(box.FreeBuffers(), 2);
    box.Write(fresh.data(), 1000);
    box.SetDeviceHeld(false);
    ASSERT_TRUE(WaitFor([&] { return box.BytesConsumed() == 1000; }));
    EXPECT_EQ(tap.Copy(), fresh);
}

TEST_F(WaveBoxTest, FlushReleasesAWriterWaitingForRoom) {
    box.SetDeviceHeld(true);
    const auto bytes = Pattern(3840, 1);
    box.Write(bytes.data(), 3840);
    box.Write(bytes.data(), 3840);
    std::atomic<bool> returned{false};
    std::thread writer([&] {
        box.Write(bytes.data(), 3840);
        returned = true;
    });
    SleepMs(50);  // lets the writer start waiting; it passes without, but tests less
    box.Flush();
    // Only a safety net: a writer the flush fails to wake sleeps until the close below.
    const bool released = WaitFor([&] { return returned.load(); });
    box.Close();
    writer.join();
    EXPECT_TRUE(released);
}

TEST_F(WaveBoxTest, AWriteWaitingForRoomWhenTheFlushComesIsDropped) {
    box.SetDeviceHeld(true);
    const auto old = Pattern(3840, 1);
    box.Write(old.data(), 3840);
    box.Write(old.data(), 3840);
    std::thread writer([&] { box.Write(old.data(), 3840); });
    SleepMs(50);
    box.Flush();
    writer.join();
    // The waiting packet belonged to the position left behind: both buffers stay free.
    EXPECT_EQ(box.FreeBuffers(), 2);
    EXPECT_TRUE(box.Idle());
    int64_t bytes = -1, at = 0;
    ASSERT_TRUE(box.PlayedPosition(&bytes, &at));
    EXPECT_EQ(bytes, 0);
}

TEST_F(WaveBoxTest, EmptyWriteEndsWithoutQueuing) {
    box.Write(nullptr, 0);
    EXPECT_EQ(box.FreeBuffers(), 2);
    EXPECT_EQ(box.BytesConsumed(), 0);
}

TEST(WaveBoxOpen, RefusedFormatLeavesTheOutputClosedAndWritesReturn) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    CWaveBox box;
    EXPECT_FALSE(box.Open(12, 8000));
    EXPECT_FALSE(box.Open(16, 0));
    EXPECT_FALSE(box.IsOpen());
    const auto bytes = Pattern(3840, 0);
    for (int i = 0; i < 5; ++i) box.Write(bytes.data(), 3840);  // must not wait
    EXPECT_EQ(box.BytesConsumed(), 0);
    EXPECT_EQ(box.Close(), 1);
}

struct GainRow {
    uint32_t volume;
    int16_t in;
    int16_t out;
};
class WaveBoxGain : public ::testing::TestWithParam<GainRow> {};
TEST_P(WaveBoxGain, LeftVolumeWordScalesSixteenBitSamples) {
    int16_t sample = GetParam().in;
    CWaveBox::ApplyGain(reinterpret_cast<uint8_t*>(&sample), 2, 16, GetParam().volume);
    EXPECT_EQ(sample, GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Volumes, WaveBoxGain,
                         ::testing::Values(GainRow{0xFFFFFFFFu, 20000, 20000},
                                           GainRow{0x0000FFFFu, -20000, -20000},
                                           GainRow{0xFFFF0000u, 20000, 0},
                                           GainRow{0x80008000u, 20000, 10000},
                                           GainRow{0x00000000u, -32768, 0}));

TEST(WaveBoxGain8, EightBitSamplesScaleAroundTheirMidpoint) {
    uint8_t samples[] = {0, 128, 255};
    CWaveBox::ApplyGain(samples, 3, 8, 0x80008000u);
    EXPECT_EQ(samples[0], 64);
    EXPECT_EQ(samples[1], 128);
    EXPECT_EQ(samples[2], 191);
}

}  // namespace
