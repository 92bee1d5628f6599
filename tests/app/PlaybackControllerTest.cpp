// The playback controller on a player that answers at once (FakePlayer): the state it
// announces from open to the end, a trip as one timeline across its hand-overs and seeks,
// what is asked while a recording opens, and what a refused or cut file reports. Every check
// follows a sync point: the controller's posted reports are delivered before it looks.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/playback/PlaybackController.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/FakePlayer.h"

namespace {

constexpr int32_t kLengthMs = 2000;
const std::string kA = "/card/DRIVING/REC_20260314_120000_D.AVI";
const std::string kB = "/card/DRIVING/REC_20260314_120002_D.AVI";
const std::string kC = "/card/DRIVING/REC_20260314_120004_D.AVI";

QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

// A controller over a fake player that knows kA, kB and kC; *player is set to the fake.
std::unique_ptr<PlaybackController> OverFake(FakePlayer*& player) {
    auto fake = std::make_unique<FakePlayer>();
    player = fake.get();
    for (const std::string& path : {kA, kB, kC}) player->Add(path, {kLengthMs});
    return std::make_unique<PlaybackController>(std::move(fake));
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(controller->Start(nullptr, nullptr, false)); }

    // What the player reported so far reaches the controller.
    static void Deliver() { QCoreApplication::sendPostedEvents(); }
    void Play(int32_t ms) {
        player->Advance(ms);
        Deliver();
    }
    // The trip's lengths are probed on a thread of their own.
    void WaitForTimeline() {
        ASSERT_TRUE(apptest::WaitUntil([&] { return !controller->Timeline().Empty(); }));
    }
    std::vector<PlaybackState> States() const {
        std::vector<PlaybackState> seen;
        for (const QList<QVariant>& args : states) seen.push_back(args[0].value<PlaybackState>());
        return seen;
    }

    FakePlayer* player = nullptr;  // owned by the controller
    std::unique_ptr<PlaybackController> controller = OverFake(player);
    QSignalSpy states{controller.get(), &PlaybackController::stateChanged};
    QSignalSpy positions{controller.get(), &PlaybackController::positionChanged};
    QSignalSpy recordings{controller.get(), &PlaybackController::recordingChanged};
    QSignalSpy endings{controller.get(), &PlaybackController::ended};
    QSignalSpy failures{controller.get(), &PlaybackController::failed};
};

}  // namespace

TEST_F(ControllerTest, OpenPlaysPausesStaysStillAndEndsOnce) {
    ASSERT_TRUE(controller->PlayRecording(Q(kA)));
    EXPECT_EQ(controller->State(), PlaybackState::Loading) << "the open is asked, not waited for";
    Deliver();
    EXPECT_EQ(controller->Duration(), kLengthMs);
    Play(500);
    EXPECT_EQ(controller->Position(), 500);
    controller->Pause();
    const int positionsWhenPaused = positions.count();
    Play(1000);
    EXPECT_EQ(positions.count(), positionsWhenPaused) << "nothing moves while paused";
    EXPECT_EQ(controller->Position(), 500);

    controller->Play();
    Play(kLengthMs);
    const std::vector<PlaybackState> expected{PlaybackState::Loading, PlaybackState::Playing,
                                              PlaybackState::Paused, PlaybackState::Playing,
                                              PlaybackState::Ended};
    EXPECT_EQ(States(), expected);
    ASSERT_EQ(endings.count(), 1);
    EXPECT_EQ(endings[0][0].toString(), Q(kA));
    EXPECT_EQ(controller->Position(), kLengthMs) << "held on its last picture";
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(ControllerTest, ATripIsOneTimelineAcrossItsHandOvers) {
    const QStringList trip{Q(kA), Q(kB), Q(kC)};
    ASSERT_TRUE(controller->PlayTrip(trip, 0));
    WaitForTimeline();
    EXPECT_EQ(controller->Duration(), 3 * kLengthMs);
    EXPECT_EQ(controller->TripStartsMs(), (std::vector<int64_t>{0, 2000, 4000, 6000}));
    for (int i = 0; i < 8; ++i) Play(kLengthMs / 2);

    ASSERT_EQ(recordings.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recordings[i][0].toString(), trip[i]);
        EXPECT_EQ(recordings[i][1].toInt(), i);
    }
    EXPECT_EQ(player->Queued(), (std::vector<std::string>{kB, kC})) << "each queued once";
    EXPECT_EQ(player->Opens().size(), 1u) << "the hand-overs need no open";
    ASSERT_EQ(endings.count(), 1);
    EXPECT_EQ(endings[0][0].toString(), trip[2]);
    qint64 last = -1;
    for (const QList<QVariant>& args : positions) {
        EXPECT_GE(args[0].toLongLong(), last) << "the position never goes back";
        last = args[0].toLongLong();
    }
    EXPECT_EQ(last, 3 * kLengthMs);
}

// Seeks on the trip's timeline, from its end: into another recording (opened there, paused as
// a trip held at its end waits), within the one on screen, onto a join (the next recording's
// first picture); whole-second skips count frames within one recording and still cross joins.
TEST_F(ControllerTest, SeeksAndSkipsLandOnTheTripsTimeline) {
    ASSERT_TRUE(controller->PlayTrip({Q(kA), Q(kB), Q(kC)}, 0));
    WaitForTimeline();
    for (int i = 0; i < 3; ++i) Play(kLengthMs);
    ASSERT_EQ(controller->State(), PlaybackState::Ended);
    const struct {
        int64_t targetMs;
        int64_t deltaMs;  // 0: a seek to targetMs; else a skip by deltaMs from targetMs
        int tripIndex;
    } rows[] = {{500, 0, 0},     {2500, 0, 1},     {2200, 0, 1},     {0, 0, 0},
                {2000, 0, 1},    {4000, 0, 2},     {500, 1000, 0},   {1000, 1000, 1},
                {1500, 1000, 1}, {2500, -1000, 0}, {5500, -2000, 1}, {3000, 2000, 2}};
    for (const auto& row : rows) {
        ASSERT_TRUE(controller->SeekTo(row.targetMs)) << row.targetMs;
        Deliver();
        if (row.deltaMs != 0) {
            ASSERT_TRUE(controller->SeekBy(row.deltaMs)) << row.targetMs << " " << row.deltaMs;
            Deliver();
        }
        const int64_t landing = row.targetMs + row.deltaMs;
        EXPECT_EQ(controller->TripIndex(), row.tripIndex) << row.targetMs << " " << row.deltaMs;
        EXPECT_EQ(controller->Position(), landing) << row.targetMs << " " << row.deltaMs;
        EXPECT_EQ(controller->State(), PlaybackState::Paused);
        EXPECT_EQ(controller->Path(), Q(std::vector<std::string>{kA, kB, kC}[row.tripIndex]));
    }
    // A frame back from a recording's first picture shows the last one of the recording before.
    ASSERT_TRUE(controller->SeekTo(2000));
    Deliver();
    controller->StepFrame(-1);
    Deliver();
    EXPECT_EQ(controller->TripIndex(), 0);
    EXPECT_EQ(controller->Position(), kLengthMs - FakePlayer::kFrameMs);
}

// A next recording the player cannot join on (another sound format or frame rate) is opened
// when the one before has ended; the trip goes on playing on its timeline.
TEST_F(ControllerTest, ANextThatCannotBeJoinedOpensAtTheEnd) {
    player->Add(kB, {kLengthMs, false});
    ASSERT_TRUE(controller->PlayTrip({Q(kA), Q(kB)}, 0));
    WaitForTimeline();
    Deliver();
    Play(kLengthMs);
    EXPECT_EQ(player->Opens(), (std::vector<std::string>{kA, kB}));
    EXPECT_EQ(controller->TripIndex(), 1);
    EXPECT_TRUE(endings.isEmpty()) << "the trip is not over";
    Deliver();
    EXPECT_EQ(controller->State(), PlaybackState::Playing);
    Play(500);
    EXPECT_EQ(controller->Position(), kLengthMs + 500);
    Play(kLengthMs);
    EXPECT_EQ(endings.count(), 1);

    // Played out, Play starts the trip again from its first recording.
    controller->Play();
    Deliver();
    EXPECT_EQ(player->Opens().back(), kA);
    EXPECT_EQ(controller->Position(), 0);
}

// What is asked while a recording opens waits for it: the last open asked for is the one that
// shows, paused if Pause came meanwhile, at the time a seek asked for meanwhile.
TEST_F(ControllerTest, WhatIsAskedWhileOpeningTakesEffectOnceOpen) {
    QSignalSpy opens{controller.get(), &PlaybackController::opened};
    ASSERT_TRUE(controller->PlayRecording(Q(kA)));
    ASSERT_TRUE(controller->PlayRecording(Q(kB), 300));
    EXPECT_EQ(controller->Position(), 300) << "the position reads the time asked for at once";
    controller->Pause();
    ASSERT_TRUE(controller->SeekTo(1500));
    EXPECT_EQ(controller->Position(), 1500);
    Deliver();
    EXPECT_EQ(controller->State(), PlaybackState::Paused);
    ASSERT_EQ(opens.count(), 1) << "the open replaced reports nothing";
    EXPECT_EQ(opens[0][0].toString(), Q(kB));
    EXPECT_EQ(controller->Position(), 1500);
    EXPECT_EQ(player->PositionMs(), 1500) << "the player was sought once open";
    EXPECT_FALSE(player->IsPlaying());
}

// A stop does not wait for the open it interrupts: the state is NoMedia at once, and the
// open's late report is dropped.
TEST_F(ControllerTest, AStopDuringAnOpenDropsItsLateReport) {
    QSignalSpy opens{controller.get(), &PlaybackController::opened};
    ASSERT_TRUE(controller->PlayRecording(Q(kA)));
    controller->Stop();
    EXPECT_EQ(controller->State(), PlaybackState::NoMedia);
    EXPECT_TRUE(controller->Path().isEmpty());
    Deliver();
    EXPECT_EQ(opens.count(), 0);
    EXPECT_EQ(controller->State(), PlaybackState::NoMedia);
    EXPECT_EQ(controller->Position(), 0);
}

TEST_F(ControllerTest, ARefusedFileFailsOnceWithItsReason) {
    EXPECT_TRUE(controller->PlayRecording("/card/DRIVING/bogus_D.AVI"));
    Deliver();
    EXPECT_EQ(controller->State(), PlaybackState::Failed);
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures[0][1].toString(), "not a recording");
    EXPECT_FALSE(controller->SeekTo(0));
    Play(500);
    EXPECT_EQ(failures.count(), 1) << "reported once";
    EXPECT_TRUE(endings.isEmpty());

    EXPECT_TRUE(controller->PlayRecording(Q(kA)));
    Deliver();
    EXPECT_EQ(controller->State(), PlaybackState::Playing);
}

TEST_F(ControllerTest, AFileCutWhilePlayingEndsWhereItsPicturesEnd) {
    player->Add(kA, {kLengthMs, true, 1000});
    QSignalSpy cuts{controller.get(), &PlaybackController::cutShort};
    ASSERT_TRUE(controller->PlayRecording(Q(kA)));
    Deliver();
    Play(kLengthMs);
    ASSERT_EQ(cuts.count(), 1);
    EXPECT_EQ(cuts[0][1].toLongLong(), 1000 - FakePlayer::kFrameMs);
    EXPECT_EQ(endings.count(), 1);
    EXPECT_EQ(controller->Position(), 1000 - FakePlayer::kFrameMs);
}

// Spans of 5 s of the player's counters: only a span with more than 1 % of its pictures
// dropped tells of dropping; counters that go back (another player) start a new span.
TEST(FrameDropMeterTest, TellsOfDroppingOncePerSpanAboveOnePercent) {
    struct Step {
        int64_t ms, played, late;
        int said;  // -1 nothing yet, 0 keeping up, 1 dropping
    };
    const Step steps[] = {
        {0, 1000, 10, -1},
        {4999, 1150, 40, -1},  // the span is not over
        {5000, 1150, 5, -1},   // late went back: a new span
        {10000, 1300, 6, 0},   // 1 of 150: under 1 %
        {15000, 1450, 8, 1},   // 2 of 150: over 1 %
        {20000, 1450, 8, 0},   // nothing played
        {25000, 1600, 10, 1},
        // Each judged span starts the next: a single late picture among a few more, sampled
        // right after, is not a span of its own.
        {25040, 1601, 11, -1},
        {29999, 1740, 11, -1},
        {30000, 1750, 11, 0},
    };
    FrameDropMeter meter;
    for (const Step& s : steps) {
        const std::optional<bool> said = meter.Sample(s.ms, s.played, s.late);
        EXPECT_EQ(said ? int(*said) : -1, s.said) << "at " << s.ms << " ms";
    }
    meter.Reset();
    EXPECT_FALSE(meter.Sample(40000, 1900, 500));
    EXPECT_EQ(meter.Sample(45000, 1900, 500), std::optional<bool>(false));
}
