// The player's step against a scripted reader: what is shown, when, and with which position.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <map>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>

#include "FakeMedia.h"
#include "media/CQRVMediaPlayer.h"

namespace {

std::vector<int> Range(int first, int last) {
    std::vector<int> v(static_cast<size_t>(last - first + 1));
    std::iota(v.begin(), v.end(), first);
    return v;
}

class PlayerTest : public ::testing::Test {
protected:
    void Build(const FakeRecordingPlan& plan, int declaredRate = -1) {
        parser = std::make_unique<FakeParser>(plan, declaredRate);
        player.SetParser(parser.get());
        player.SetDecoder(&decoder);
        player.SetOutput(&audio);
        player.SetNoClock(true);
        decoder.Observe(parser.get(), [this] { return player.GetFrameCounter(); });
        parser->WatchBusy(&decoder.busy);
        player.Start(nullptr, nullptr);
    }
    void TearDown() override { player.StopThreads(); }
    bool WaitForEnd() {
        return WaitFor([&] { return player.GetState() == CQRVMediaPlayer::kStateStopped; });
    }

    std::unique_ptr<FakeParser> parser;
    FakeDecoder decoder;
    FakeAudio audio;
    CQRVMediaPlayer player;
};

TEST_F(PlayerTest, PlaysEveryFrontAndRearFrameOnceInOrderThenStops) {
    Build({});
    ASSERT_TRUE(player.Open("/card/DRIVING/REC_20260314_182509_D.AVI"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(decoder.Front(), Range(0, 89));
    EXPECT_EQ(decoder.Rear(), Range(0, 89));
    EXPECT_FALSE(player.IsRunning());
    EXPECT_EQ(player.GetPositionMs(), 3000);
    EXPECT_EQ(player.GetDuration(), 3000);
}

// A decoder slower than the frame rate: the frames it falls behind on are decoded but not
// shown, and counted; nothing is lost or shown out of order, and the last frame is shown.
TEST_F(PlayerTest, LateFramesAreDecodedButNotShownAndCounted) {
    Build({.seconds = 2, .audioEvery = 0});
    player.SetNoClock(false);
    decoder.OnFrame([](const ShownFrame& f) {
        if (f.camera == 0) SleepMs(100);  // three frame periods
    });
    ASSERT_TRUE(player.Open("/card/DRIVING/REC_20260314_182509_D.AVI"));
    ASSERT_TRUE(WaitForEnd());
    const std::vector<int> front = decoder.Front();
    EXPECT_GT(player.GetLateFrames(), 0);
    EXPECT_EQ(static_cast<int64_t>(front.size()) + player.GetLateFrames(), 60);
    EXPECT_TRUE(std::is_sorted(front.begin(), front.end()));
    EXPECT_EQ(std::adjacent_find(front.begin(), front.end()), front.end());
    ASSERT_FALSE(front.empty());
    EXPECT_EQ(front.back(), 59);
}

// Above 1080p the rear picture of each moment decodes on a second thread while the front one
// decodes: every frame of both cameras still comes once and in order, at the clock and
// without it, and the late ones are counted as before.
TEST_F(PlayerTest, AboveFullHdTheRearDecodesBesideTheFrontAndNothingIsLost) {
    Build({.seconds = 2, .audioEvery = 0, .frontWidth = 3840, .frontHeight = 2160});
    std::mutex lock;
    std::set<std::thread::id> threads[2];
    decoder.OnFrame([&](const ShownFrame& f) {
        std::lock_guard<std::mutex> hold(lock);
        threads[f.camera == 0 ? 0 : 1].insert(std::this_thread::get_id());
    });
    ASSERT_TRUE(player.Open("/card/DRIVING/REC_20260314_182509_D.AVI"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(decoder.Front(), Range(0, 59));
    EXPECT_EQ(decoder.Rear(), Range(0, 59));
    {
        std::lock_guard<std::mutex> hold(lock);
        ASSERT_EQ(threads[0].size(), 1u);
        EXPECT_EQ(threads[1].count(*threads[0].begin()), 0u) << "the rear decoded on the worker";
    }

    decoder.OnFrame([](const ShownFrame& f) {
        if (f.camera == 0) SleepMs(100);
    });
    player.SetNoClock(false);
    ASSERT_TRUE(player.Open("/card/DRIVING/REC_20260314_182509_D.AVI"));
    ASSERT_TRUE(WaitForEnd());
    const int64_t late = player.GetLateFrames();
    EXPECT_GT(late, 0);
    EXPECT_EQ(static_cast<int64_t>(decoder.Front().size()) - 60 + late, 60);
}

TEST_F(PlayerTest, NothingIsShownBeforeAKeyFrameAnd700MsOfFrontVideo) {
    Build({.leadingNonKeyFrames = 3});
    ASSERT_TRUE(player.Open("x_N.AVI"));
    ASSERT_TRUE(WaitForEnd());
    const auto shown = decoder.Shown();
    ASSERT_FALSE(shown.empty());
    // The leading P frames were dropped, and the first frame came out only after the 21st
    // front frame (700 ms at 30 frames a second) had been read.
    EXPECT_EQ(shown[0].index, 0);
    EXPECT_EQ(shown[0].cursor, parser->FrontChunkAt(20) + 1);
    EXPECT_EQ(decoder.Front(), Range(0, 89));
}

TEST_F(PlayerTest, SoundStartsAfterTheFirstKeyFrameAndArrivesWhole) {
    FakeRecordingPlan plan{.leadingNonKeyFrames = 2};
    Build(plan);
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(WaitFor([&] { return audio.Packets().size() >= 11; }));
    const auto packets = audio.Packets();
    // Audio chunk k precedes front frame 8k; chunk 0 comes before frame 0 (the first key
    // frame) and is dropped, like everything read while waiting for it.
    std::vector<std::vector<uint8_t>> expected;
    for (int k = 1; k < 12; ++k) expected.push_back(AudioChunk(k).bytes);
    EXPECT_EQ(packets, expected);
}

TEST_F(PlayerTest, TextChunksCarryAZeroByteAndThePositionOfFramesShown) {
    Build({});
    struct Seen {
        std::string text;
        bool terminated;
        int32_t position;
    };
    static std::vector<Seen> seen;
    seen.clear();
    player.SetTextCallback(
        [](void* user, const uint8_t* payload, int32_t length, int32_t positionMs) {
            static_cast<std::vector<Seen>*>(user)->push_back(
                {std::string(reinterpret_cast<const char*>(payload), length), payload[length] == 0,
                 positionMs});
        },
        &seen);
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(seen.size(), 3u);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(seen[s].text, "$GPRMC,second," + std::to_string(s));
        EXPECT_TRUE(seen[s].terminated);
    }
    // The text of second s is read just before its first frame, while 21 frames (700 ms)
    // ahead of the one on screen are queued: frame 30 - 21 = 9 is on screen by then.
    EXPECT_EQ(seen[0].position, 0);
    EXPECT_EQ(seen[1].position, 300);
    EXPECT_EQ(seen[2].position, 1300);
}

TEST_F(PlayerTest, SeekForwardLandsTenSecondsOnFromTheFrameShown) {
    Build({.seconds = 12});
    int32_t counterAtFirst = -1;
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera == 0 && f.index == 0) player.SeekForward(10);
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitForEnd());
    const auto front = decoder.Front();
    ASSERT_GE(front.size(), 2u);
    EXPECT_EQ(front[0], 0);
    EXPECT_EQ(front[1], 300);
    for (const ShownFrame& f : decoder.Shown()) {
        if (f.camera == 0 && f.index == 300) counterAtFirst = f.counter;
    }
    EXPECT_EQ(counterAtFirst, 300);  // the position reads the frame on screen: 10 000 ms
    EXPECT_EQ(decoder.Front().back(), 359);
}

struct SeekRow {
    int32_t ms;
    int frame;  // the frame shown right after the seek
};
class PlayerSeekTo : public PlayerTest, public ::testing::WithParamInterface<SeekRow> {};

// While playing, from the first frame: the seek shows the frame asked for (between key frames
// too, decoded from the one before it), and playback goes on from there to the end.
TEST_P(PlayerSeekTo, AbsoluteSeekLandsOnTheFrameOrTheLastOne) {
    Build({.seconds = 5});
    // Only the seek's own picture of frame 0 is shown without decoding it again.
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera == 0 && f.index == 0) player.SeekToMs(GetParam().ms);
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitForEnd());
    const auto front = decoder.Front();
    ASSERT_GE(front.size(), 2u);
    EXPECT_EQ(front[1], GetParam().frame);
    EXPECT_EQ(std::vector<int>(front.begin() + 1, front.end()), Range(GetParam().frame, 149));
    EXPECT_EQ(player.GetPositionMs(), 5000);
}
INSTANTIATE_TEST_SUITE_P(Targets, PlayerSeekTo,
                         ::testing::Values(SeekRow{0, 0},            // the start
                                           SeekRow{INT32_MAX, 149},  // no overflow
                                           SeekRow{1000, 30}, SeekRow{2500, 75}, SeekRow{1999, 59},
                                           SeekRow{999999, 149}));  // past the end

TEST_F(PlayerTest, SeekDropsTheSoundQueuedForTheOldPosition) {
    Build({.seconds = 4});
    audio.Hold(true);
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera == 0 && f.index == 0) player.SeekToMs(2000);
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitForEnd());
    audio.Hold(false);
    ASSERT_TRUE(WaitFor([&] { return player.GetQueuedAudioPackets() == 0; }));
    player.StopThreads();
    // Chunk k comes before front frame 8k. Chunks 1 and 2 were read before the seek; the
    // feeder held chunk 1, chunk 2 was still queued and must not play after the jump to
    // frame 60. From there chunks 8 to 14 follow in order.
    std::vector<std::vector<uint8_t>> after;
    for (const auto& packet : audio.Packets()) {
        if (packet != AudioChunk(1).bytes) after.push_back(packet);
    }
    std::vector<std::vector<uint8_t>> expected;
    for (int k = 8; k <= 14; ++k) expected.push_back(AudioChunk(k).bytes);
    EXPECT_TRUE(after == expected) << after.size() << " packets after the seek";
}

// Paused at front frame 5; the commands below act on the paused picture.
class PausedPlayerTest : public PlayerTest {
protected:
    void PauseAtFrame5() {
        Build({.seconds = 4});
        decoder.OnFrame([&](const ShownFrame& f) {
            if (f.camera == 0 && f.index == 5) player.Pause();
        });
        ASSERT_TRUE(player.Open("x_D.AVI"));
        ASSERT_TRUE(player.WaitUntilHeld(30000));
        decoder.OnFrame({});
        ASSERT_EQ(decoder.Front().back(), 5);
    }
    ShownFrame Last(int camera) {
        const auto shown = decoder.Shown();
        for (auto it = shown.rbegin(); it != shown.rend(); ++it)
            if (it->camera == camera) return *it;
        return {camera, -1, 0, 0};
    }
};

struct PausedRow {
    const char* name;
    void (*command)(CQRVMediaPlayer&);
    int front;    // front frame shown afterwards
    int counter;  // the frame counter afterwards
};
class PausedCommands : public PausedPlayerTest, public ::testing::WithParamInterface<PausedRow> {};

TEST_P(PausedCommands, ShowTheirFrameOnBothCamerasAndStayPaused) {
    PauseAtFrame5();
    GetParam().command(player);
    ASSERT_TRUE(player.WaitUntilHeld(30000));
    EXPECT_FALSE(player.IsRunning());
    EXPECT_EQ(Last(0).index, GetParam().front);
    EXPECT_EQ(Last(1).index, GetParam().front);
    EXPECT_EQ(player.GetFrameCounter(), GetParam().counter);
    EXPECT_EQ(player.GetState(), CQRVMediaPlayer::kStatePlaying);
    // Play goes on from the frame shown.
    const size_t before = decoder.Front().size();
    player.Play();
    ASSERT_TRUE(WaitForEnd());
    const auto front = decoder.Front();
    ASSERT_GT(front.size(), before);
    EXPECT_EQ(front[before], GetParam().front + 1);
    EXPECT_EQ(front.back(), 119);
    EXPECT_TRUE(player.Ended());
}
INSTANTIATE_TEST_SUITE_P(
    Table, PausedCommands,
    ::testing::Values(
        // A seek lands on the frame asked for (decoded from the key frame before it), and the
        // counter is that frame's index.
        PausedRow{"SeekToMs", [](CQRVMediaPlayer& p) { p.SeekToMs(2500); }, 75, 75},
        PausedRow{"SeekForward", [](CQRVMediaPlayer& p) { p.SeekForward(3); }, 95, 95},
        PausedRow{"SeekToStart", [](CQRVMediaPlayer& p) { p.SeekToMs(0); }, 0, 0},
        PausedRow{"SeekBackPastTheStart", [](CQRVMediaPlayer& p) { p.SeekBackward(10); }, 0, 0},
        PausedRow{"StepForward", [](CQRVMediaPlayer& p) { p.StepFrame(1); }, 6, 6},
        // Backward decodes from the key frame before (frame 0) and shows frame 4.
        PausedRow{"StepBackward", [](CQRVMediaPlayer& p) { p.StepFrame(-1); }, 4, 4},
        PausedRow{"TwoStepsForwardOneBack",
                  [](CQRVMediaPlayer& p) {
                      p.StepFrame(1);
                      p.StepFrame(1);
                      p.StepFrame(-1);
                  },
                  6, 6}),
    [](const ::testing::TestParamInfo<PausedRow>& info) { return info.param.name; });

TEST_F(PausedPlayerTest, BackwardStepAcrossAKeyFrameDecodesTheWholeGroup) {
    PauseAtFrame5();
    player.SeekToMs(2000);  // frame 60, a key frame
    player.StepFrame(-1);   // frame 59: decoded from key frame 30
    ASSERT_TRUE(player.WaitUntilHeld(30000));
    EXPECT_EQ(Last(0).index, 59);
    EXPECT_EQ(parser->SecondsSought(), std::vector<int>{});  // positioned through the index
}

TEST_F(PausedPlayerTest, MirrorAndColourChangesShowTheCurrentPictureAgain) {
    PauseAtFrame5();
    const int before = decoder.Represented();
    player.SetMirror(1, true);
    player.SetBrightness(0, 3);
    ASSERT_TRUE(player.WaitUntilHeld(30000));
    // Each change shows both cameras' current pictures again, nothing newer.
    EXPECT_EQ(decoder.Represented(), before + 4);
    EXPECT_EQ(Last(0).index, 5);
    EXPECT_EQ(decoder.Front().back(), 5);
}

TEST_F(PausedPlayerTest, APausedWorkerDoesNotWakeUp) {
    PauseAtFrame5();
    const int64_t wakeups = player.GetWorkerWakeups();
    SleepMs(300);
    EXPECT_EQ(player.GetWorkerWakeups(), wakeups);
    player.SeekToMs(1000);
    ASSERT_TRUE(player.WaitUntilHeld(30000));
    EXPECT_EQ(player.GetWorkerWakeups(), wakeups + 1);
}

struct RateRow {
    int percent;
    int fromFrame, toFrame;  // frames timed
    int minMs, maxMs;        // wall time between them
};
class PlayerRate : public PlayerTest, public ::testing::WithParamInterface<RateRow> {};

TEST_P(PlayerRate, ClockAndCounterFollowTheRate) {
    const RateRow& row = GetParam();
    Build({.seconds = 4});
    player.SetNoClock(false);
    player.SetRatePercent(row.percent);
    EXPECT_EQ(player.GetRatePercent(), row.percent);
    std::mutex mutex;
    std::map<int, std::chrono::steady_clock::time_point> at;
    std::map<int, int32_t> positionAt;
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera != 0 || (f.index != row.fromFrame && f.index != row.toFrame)) return;
        std::lock_guard<std::mutex> lock(mutex);
        at[f.index] = std::chrono::steady_clock::now();
        positionAt[f.index] = player.GetPositionMs();
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return at.count(row.toFrame) == 1;
    }));
    player.Close();
    std::lock_guard<std::mutex> lock(mutex);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(at[row.toFrame] - at[row.fromFrame])
            .count();
    EXPECT_GE(ms, row.minMs);
    EXPECT_LE(ms, row.maxMs);
    // The position counts media time, whatever the rate.
    EXPECT_EQ(positionAt[row.toFrame] - positionAt[row.fromFrame],
              (row.toFrame - row.fromFrame) * 1000 / 30);
}
INSTANTIATE_TEST_SUITE_P(Rates, PlayerRate,
                         ::testing::Values(RateRow{200, 30, 90, 850, 1400},  // 2 s of video
                                           RateRow{50, 30, 45, 850, 1500},   // 0.5 s
                                           RateRow{100, 30, 60, 850, 1400}));

TEST(PlayerRateSteps, StepRateWalksTheListAndStopsAtItsEnds) {
    CQRVMediaPlayer player;
    EXPECT_EQ(player.StepRate(1), 150);
    EXPECT_EQ(player.StepRate(1), 200);
    EXPECT_EQ(player.StepRate(1), 400);
    EXPECT_EQ(player.StepRate(1), 400);
    player.SetRatePercent(30);
    EXPECT_EQ(player.GetRatePercent(), 25);
    EXPECT_EQ(player.StepRate(-1), 25);
}

TEST_F(PlayerTest, RearStreamWhoseFirstKeyFrameComesLateShowsEverythingFromIt) {
    Build({.gop = 30, .leadingNonKeyFrames = 2, .rearFirstKey = 30});
    ASSERT_TRUE(player.Open("x_D.AVI"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(decoder.Front(), Range(0, 89));
    EXPECT_EQ(decoder.Rear(), Range(30, 89));
}

// Files of one kind of chunk only: the queues stay bounded and the player still ends.
class LopsidedFileTest : public PlayerTest {
protected:
    void BuildWith(int camera, const char kind[3], int count) {
        parser = std::make_unique<FakeParser>();
        parser->Add(VideoChunk(0, 0, true));
        for (int i = 0; i < count; ++i) {
            if (kind[0] == 'w')
                parser->Add(AudioChunk(i));
            else
                parser->Add(VideoChunk(camera, i, i == 0));
        }
        player.SetParser(parser.get());
        player.SetDecoder(&decoder);
        player.SetOutput(&audio);
        decoder.Observe(parser.get(), [this] { return player.GetFrameCounter(); });
        player.Start(nullptr, nullptr);
    }
};

TEST_F(LopsidedFileTest, OnlyRearFramesAreShownBeforeTheQueueGrowsPastItsBound) {
    BuildWith(1, "dc", 5000);
    player.SetNoClock(true);
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitForEnd());
    const auto shown = decoder.Shown();
    ASSERT_EQ(shown.size(), 5001u);
    EXPECT_LE(shown[0].cursor, CQRVMediaPlayer::kMaxQueuedPackets + 2);
    EXPECT_TRUE(player.Ended());
}

TEST_F(LopsidedFileTest, OnlySoundWaitsForTheOutputInsteadOfQueuingTheFile) {
    BuildWith(0, "wb", 200);
    audio.Hold(true);
    player.SetNoClock(false);
    ASSERT_TRUE(player.Open("x.AVI"));
    // The output holds one packet, the queue fills to its bound, and the reader waits.
    ASSERT_TRUE(WaitFor([&] { return player.GetQueuedAudioPackets() == CMediaSync::kMaxPackets; }));
    SleepMs(50);
    EXPECT_LT(parser->Cursor(), 60u);
    // A stalled output is given up on: the rest is dropped and the recording ends.
    ASSERT_TRUE(WaitForEnd());
    audio.Hold(false);
    EXPECT_TRUE(player.Ended());
}

// A sound device that is slow but alive: it takes each packet after twice its playing time,
// steadily. Unlike a stalled one it must not lose any packet.
class HalfSpeedAudio : public VAudio {
public:
    bool Open(uint16_t bits, int32_t rate) override {
        m_bytesPerSecond = int64_t{rate} * (bits / 8);
        return m_bytesPerSecond > 0;
    }
    int32_t Close() override { return 1; }
    void Write(const uint8_t* data, int32_t length) override {
        std::this_thread::sleep_for(
            std::chrono::microseconds(int64_t{length} * 2 * 1000000 / m_bytesPerSecond));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packets.emplace_back(data, data + length);
    }
    std::vector<std::vector<uint8_t>> Packets() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets;
    }

private:
    std::atomic<int64_t> m_bytesPerSecond{1};
    std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_packets;
};

TEST_F(LopsidedFileTest, AHalfSpeedOutputGetsEveryPacketInOrder) {
    // Full packets as the recorder writes them; at 48 kHz each plays 40 ms and is taken in 80.
    constexpr int kPackets = CMediaSync::kMaxPackets + 8;  // more than the queue holds
    parser = std::make_unique<FakeParser>();
    parser->SetAudioRate(48000);
    parser->Add(VideoChunk(0, 0, true));
    std::vector<std::vector<uint8_t>> sent;
    for (int i = 0; i < kPackets; ++i) {
        parser->Add(AudioChunk(i, kPcmPacketBytes));
        sent.push_back(parser->Chunks().back().bytes);
    }
    HalfSpeedAudio slow;
    player.SetParser(parser.get());
    player.SetDecoder(&decoder);
    player.SetOutput(&slow);
    player.SetNoClock(false);
    player.Start(nullptr, nullptr);
    ASSERT_TRUE(player.Open("x.AVI"));
    const bool ended = WaitForEnd();
    player.StopThreads();  // before the output goes
    ASSERT_TRUE(ended);
    const auto got = slow.Packets();
    ASSERT_EQ(got.size(), sent.size()) << "packets lost";
    for (size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(got[i] == sent[i]) << "packet " << i;
}

TEST_F(PlayerTest, FastRecordingPlaysAndSeeksAtItsRealRate) {
    Build({.seconds = 4, .rate = 60, .gop = 60});
    EXPECT_EQ(player.GetFrontFrameRate(), 0);
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera == 0 && f.index == 0) player.SeekToMs(2000);
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    EXPECT_EQ(player.GetDuration(), 4000);
    ASSERT_TRUE(WaitForEnd());
    const auto shown = decoder.Shown();
    const auto front = decoder.Front();
    ASSERT_GE(front.size(), 2u);
    EXPECT_EQ(front[1], 120);                 // second 2 at 60 frames a second
    EXPECT_EQ(player.GetPositionMs(), 4000);  // played out: the whole length
    // 700 ms of 60-frame video is 42 frames before the first picture.
    EXPECT_EQ(shown[0].cursor, parser->FrontChunkAt(41) + 1);
}

TEST_F(PlayerTest, RecordingWithoutFrameRateStillPlaysSeeksAndTimesText) {
    Build({.seconds = 3}, /*declaredRate=*/0);
    std::vector<int32_t> positions;
    player.SetTextCallback(
        [](void* user, const uint8_t*, int32_t, int32_t positionMs) {
            static_cast<std::vector<int32_t>*>(user)->push_back(positionMs);
        },
        &positions);
    decoder.OnFrame([&](const ShownFrame& f) {
        if (f.camera == 0 && f.index == 0) player.SeekToMs(2000);
    });
    ASSERT_TRUE(player.Open("x.AVI"));
    EXPECT_EQ(player.GetDuration(), 3000);  // counted at 30 frames a second
    ASSERT_TRUE(WaitForEnd());
    const auto front = decoder.Front();
    ASSERT_GE(front.size(), 2u);
    EXPECT_EQ(front[1], 60);
    EXPECT_GE(parser->RawSeeks(), 1);  // positioned through the index
    EXPECT_FALSE(positions.empty());
}

TEST_F(PlayerTest, CloseWaitsForTheRunningStep) {
    Build({.seconds = 2});
    decoder.Hold(true);
    ASSERT_TRUE(player.Open("x.AVI"));
    ASSERT_TRUE(WaitFor([&] { return decoder.busy.load(); }));
    std::atomic<bool> closed{false};
    std::thread closer([&] {
        player.Close();
        closed = true;
    });
    SleepMs(50);
    EXPECT_FALSE(closed.load());
    decoder.Hold(false);
    closer.join();
    EXPECT_FALSE(parser->ClosedDuringStep());
    EXPECT_EQ(player.GetState(), CQRVMediaPlayer::kStateStopped);
    // Nothing more is shown after the close.
    const size_t shown = decoder.Shown().size();
    SleepMs(30);
    EXPECT_EQ(decoder.Shown().size(), shown);
}

// A sound output that stops taking packets: the first picture waits for a drain that never
// comes, with the player lock held. Closing or stopping must not depend on that drain.
class StalledOutputTest : public PlayerTest {
protected:
    void StallInFirstDrainWait() {
        Build({.seconds = 3});
        player.SetNoClock(false);
        audio.Hold(true);
        ASSERT_TRUE(player.Open("x.AVI"));
        // Chunks 1 and 2 (before front frames 8 and 16) wait behind chunk 0, which the
        // output holds; once front frame 20 is read the prebuffer is full and the step goes
        // on to show frame 0, which waits for them.
        ASSERT_TRUE(WaitFor([&] {
            return player.GetQueuedAudioPackets() == 2 &&
                   parser->Cursor() > parser->FrontChunkAt(20);
        }));
    }
    // Runs call on another thread. The timeout is only a safety net: a call that depends on
    // the drain would not return until the output is released, which happens afterwards.
    bool ReturnsWhileStalled(const std::function<void()>& call) {
        std::atomic<bool> returned{false};
        std::thread caller([&] {
            call();
            returned = true;
        });
        const bool returnedWhileStalled = WaitFor([&] { return returned.load(); });
        audio.Hold(false);
        caller.join();
        return returnedWhileStalled;
    }
};

TEST_F(StalledOutputTest, CloseDoesNotWaitForTheSoundToDrain) {
    StallInFirstDrainWait();
    EXPECT_TRUE(ReturnsWhileStalled([&] { player.Close(); }));
    EXPECT_EQ(player.GetState(), CQRVMediaPlayer::kStateStopped);
}

TEST_F(StalledOutputTest, StopThreadsDoesNotWaitForTheSoundToDrain) {
    StallInFirstDrainWait();
    EXPECT_TRUE(ReturnsWhileStalled([&] { player.StopThreads(); }));
}

TEST_F(PlayerTest, RejectedFileLeavesThePlayerStopped) {
    Build({});
    parser->SetReject(true);
    EXPECT_FALSE(player.Open("broken.AVI"));
    EXPECT_TRUE(player.IsRunning() || player.GetState() == CQRVMediaPlayer::kStateStopped);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(decoder.Shown().empty());
    EXPECT_FALSE(player.Capture(0, "/nonexistent/x_front.jpg"));
}

TEST_F(PlayerTest, AnOpenBuildsTheIndexOnceAlsoAfterTheWindowsBuildIndex) {
    Build({.seconds = 2});
    MediaInfo info;
    ASSERT_TRUE(player.BuildIndex("x_D.AVI", &info));
    EXPECT_EQ(info.frontFrameCount, 60);
    ASSERT_TRUE(player.Open("x_D.AVI"));
    EXPECT_EQ(parser->IndexBuilds(), 1);
    EXPECT_EQ(player.GetDuration(), 2000);
    ASSERT_TRUE(player.Open("x_D.AVI"));  // no BuildIndex before: the open builds it
    EXPECT_EQ(parser->IndexBuilds(), 2);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(decoder.Front().back(), 59);
}

TEST_F(PlayerTest, LongPathIsKeptWhole) {
    Build({.seconds = 1});
    const std::string path =
        "/media/user/CARD/" + std::string(300, 'a') + "/REC_20260314_182509_d.AVI";
    ASSERT_TRUE(player.Open(path.c_str()));
    EXPECT_EQ(parser->OpenedPath(), path);
    EXPECT_EQ(player.GetCameraCount(), 2);
}

struct CameraRow {
    const char* path;
    int rearRate;
    int cameras;
};
class PlayerCameraCount : public ::testing::TestWithParam<CameraRow> {};
TEST_P(PlayerCameraCount, FollowsTheFileNameFlag) {
    EXPECT_EQ(CQRVMediaPlayer::CameraCountFor(GetParam().path, GetParam().rearRate),
              GetParam().cameras);
}
INSTANTIATE_TEST_SUITE_P(Names, PlayerCameraCount,
                         ::testing::Values(CameraRow{"REC_20260314_182509_D.AVI", 0, 2},
                                           CameraRow{"rec_20260314_182509_d.avi", 0, 2},
                                           CameraRow{"REC_20260314_182509_N.AVI", 30, 1},
                                           CameraRow{"", 30, 2}, CameraRow{"", 0, 1},
                                           CameraRow{"D.A", 30, 1}));

struct KeyRow {
    std::vector<uint8_t> bytes;
    bool key;
};
class PlayerKeyFrames : public ::testing::TestWithParam<KeyRow> {};
TEST_P(PlayerKeyFrames, OnlyNonIdrSlicesAreNotKeyFrames) {
    const auto& b = GetParam().bytes;
    EXPECT_EQ(CQRVMediaPlayer::IsKeyFrame(b.data(), static_cast<int32_t>(b.size())),
              GetParam().key);
}
INSTANTIATE_TEST_SUITE_P(Headers, PlayerKeyFrames,
                         ::testing::Values(KeyRow{{0, 0, 0, 1, 0x67, 0x42}, true},
                                           KeyRow{{0, 0, 0, 1, 0x65, 0x88}, true},
                                           KeyRow{{0, 0, 0, 1, 0x41, 0x9A}, false},
                                           KeyRow{{0, 0, 1, 0x41, 0x9A, 0x02}, false},
                                           KeyRow{{0, 0, 1, 0x65, 0x41, 0x02}, true},
                                           KeyRow{{0, 0, 0, 1}, false}));

struct DurationRow {
    int32_t frames;
    int32_t rate;
    int32_t ms;
};
class PlayerDuration : public ::testing::TestWithParam<DurationRow> {};
TEST_P(PlayerDuration, FrameCountOverRate) {
    EXPECT_EQ(CQRVMediaPlayer::DurationMsFor(GetParam().frames, GetParam().rate), GetParam().ms);
}
INSTANTIATE_TEST_SUITE_P(Rows, PlayerDuration,
                         ::testing::Values(DurationRow{1800, 30, 60000}, DurationRow{100, 30, 3333},
                                           DurationRow{120, 60, 2000}, DurationRow{90, 0, 3000},
                                           DurationRow{0, 30, 0},
                                           DurationRow{INT32_MAX, 1, INT32_MAX}));

}  // namespace
