// The playback controller over the real engine on generated recordings, end to end: a trip
// as one timeline across its hand-over, what is asked while opening, and what a refused file
// reports. The controller's logic case by case is in PlaybackControllerTest, on a fake player.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <filesystem>
#include <string>
#include <vector>

#include "app/playback/PlaybackController.h"
#include "support/HeadlessVideoWindow.h"
#include "tests/GeneratedRecording.h"
#include "tests/app/AppTestSupport.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;
using apptest::WaitUntil;

namespace {

constexpr int kSeconds = 2;
constexpr int64_t kLengthMs = kSeconds * 1000;

// A small two-camera recording starting at hh:mm:ss of one day; made once per test run.
QString Recording(const char* name, int minute, int second) {
    RecordingOptions o;
    o.durationSec = kSeconds;
    o.frontWidth = o.rearWidth = 160;
    o.frontHeight = o.rearHeight = 90;
    o.minute = minute;
    o.second = second;
    return QString::fromStdString(
        GeneratedRecording(std::string(TARVEX_TEST_DATA_DIR) + "/controller/" + name, o));
}

class ControllerOnEngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(controller.Start(&front, &rear, false)); }

    // The worker has run every command given so far, and what it reported is delivered.
    void Settle() {
        controller.WaitUntilClosed();
        QCoreApplication::processEvents();
    }

    HeadlessVideoWindow front{160, 90}, rear{160, 90};
    PlaybackController controller;
    QSignalSpy positions{&controller, &PlaybackController::positionChanged};
    QSignalSpy recordings{&controller, &PlaybackController::recordingChanged};
    QSignalSpy endings{&controller, &PlaybackController::ended};
    QSignalSpy failures{&controller, &PlaybackController::failed};
};

}  // namespace

TEST_F(ControllerOnEngineTest, ATripIsOneTimelineAcrossItsHandOver) {
    const QStringList trip{Recording("T1_D.AVI", 10, 0), Recording("T2_D.AVI", 10, kSeconds)};
    ASSERT_TRUE(controller.PlayTrip(trip, 0));
    ASSERT_TRUE(WaitUntil([&] { return controller.Duration() == 2 * kLengthMs; }, 10000))
        << controller.Duration();
    ASSERT_TRUE(WaitUntil([&] { return endings.count() > 0; }, 15000));

    ASSERT_EQ(recordings.count(), 2);
    EXPECT_EQ(recordings[0][0].toString(), trip[0]);
    EXPECT_EQ(recordings[0][1].toInt(), 0);
    EXPECT_EQ(recordings[1][0].toString(), trip[1]);
    EXPECT_EQ(recordings[1][1].toInt(), 1);
    EXPECT_EQ(endings.count(), 1);
    EXPECT_EQ(endings[0][0].toString(), trip[1]);
    // The position runs on past the join and never goes back.
    qint64 last = -1, highest = 0;
    for (const QList<QVariant>& args : positions) {
        const qint64 ms = args[0].toLongLong();
        EXPECT_GE(ms, last);
        last = ms;
        highest = std::max(highest, ms);
    }
    EXPECT_GT(highest, kLengthMs + kLengthMs / 2);

    // Seeks on the trip's timeline: into the other recording, and within the one on screen;
    // the join itself is the next recording's first picture. Whole-second skips (deltaMs)
    // count frames within one recording and must still cross the join.
    const struct {
        int64_t targetMs;
        int64_t deltaMs;  // 0: a seek to targetMs; else a skip by deltaMs from targetMs
        int tripIndex;
    } rows[] = {{500, 0, 0},
                {kLengthMs + 1000, 0, 1},
                {kLengthMs + 200, 0, 1},
                {0, 0, 0},
                {kLengthMs, 0, 1},
                {kLengthMs - 1000, 1000, 1},
                {kLengthMs - 500, 1000, 1},
                {kLengthMs + 500, -1000, 0}};
    for (const auto& row : rows) {
        const int64_t landing = row.targetMs + row.deltaMs;
        ASSERT_TRUE(controller.SeekTo(row.targetMs)) << row.targetMs;
        ASSERT_TRUE(WaitUntil([&] { return controller.State() != PlaybackState::Loading; }));
        if (row.deltaMs != 0) {
            ASSERT_TRUE(controller.SeekBy(row.deltaMs)) << row.targetMs << " " << row.deltaMs;
            ASSERT_TRUE(WaitUntil([&] { return controller.State() != PlaybackState::Loading; }));
        }
        EXPECT_EQ(controller.TripIndex(), row.tripIndex) << row.targetMs << " " << row.deltaMs;
        EXPECT_EQ(controller.Position(), landing) << row.targetMs << " " << row.deltaMs;
        EXPECT_EQ(controller.State(), PlaybackState::Paused) << "a trip held at its end waits";
        Settle();
        EXPECT_EQ(controller.Position(), landing) << "and stays put";
        EXPECT_EQ(controller.Path(), trip[row.tripIndex]);
    }
}

TEST_F(ControllerOnEngineTest, ARefusedFileFailsWithItsReasonAndPlaysNothing) {
    const std::string dir = std::string(TARVEX_TEST_DATA_DIR) + "/controller";
    fs::create_directories(dir);
    const std::string bogus = dir + "/bogus_D.AVI";
    {
        std::FILE* f = std::fopen(bogus.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("RIFF\x10\0\0\0AVI not really", f);
        std::fclose(f);
    }
    const QString path = QString::fromStdString(bogus);
    EXPECT_TRUE(controller.PlayRecording(path));
    ASSERT_TRUE(WaitUntil([&] { return controller.State() == PlaybackState::Failed; }));
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures[0][0].toString(), path);
    EXPECT_FALSE(failures[0][1].toString().isEmpty()) << "a failure always says why";
    EXPECT_FALSE(controller.SeekTo(0));
    Settle();
    EXPECT_EQ(failures.count(), 1) << "reported once";
    EXPECT_TRUE(endings.isEmpty());

    // A good file after it plays as usual.
    EXPECT_TRUE(controller.PlayRecording(Recording("A_D.AVI", 0, 0)));
    ASSERT_TRUE(WaitUntil([&] { return controller.State() == PlaybackState::Playing; }));
}

// What is asked while a recording opens waits for it: the last open asked for is the one that
// shows, paused if Pause came meanwhile, at the time a seek asked for meanwhile.
TEST_F(ControllerOnEngineTest, WhatIsAskedWhileOpeningTakesEffectOnceOpen) {
    const QString first = Recording("A_D.AVI", 0, 0);
    const QString second = Recording("B_D.AVI", 0, kSeconds);
    QSignalSpy opens{&controller, &PlaybackController::opened};
    ASSERT_TRUE(controller.PlayRecording(first));
    ASSERT_TRUE(controller.PlayRecording(second, 300));
    EXPECT_EQ(controller.Position(), 300) << "the position reads the time asked for at once";
    controller.Pause();
    ASSERT_TRUE(controller.SeekTo(1500));
    EXPECT_EQ(controller.Position(), 1500);
    ASSERT_TRUE(WaitUntil([&] { return controller.State() != PlaybackState::Loading; }));
    Settle();
    EXPECT_EQ(controller.State(), PlaybackState::Paused);
    ASSERT_EQ(opens.count(), 1) << "the open replaced reports nothing";
    EXPECT_EQ(opens[0][0].toString(), second);
    EXPECT_EQ(controller.Path(), second);
    EXPECT_EQ(controller.Position(), 1500);
    EXPECT_EQ(controller.Session().Player().GetFrameCounter(), 45) << "the picture is the time";
    EXPECT_TRUE(failures.isEmpty());
}

// A stop does not wait for the open it interrupts: the state is NoMedia at once, and what the
// worker still reports of that open (it is done by the time the worker has closed) is dropped.
TEST_F(ControllerOnEngineTest, AStopDuringAnOpenReturnsAtOnceAndDropsItsLateReport) {
    const QString first = Recording("A_D.AVI", 0, 0);
    QSignalSpy opens{&controller, &PlaybackController::opened};
    ASSERT_TRUE(controller.PlayRecording(first));
    controller.Stop();
    EXPECT_EQ(controller.State(), PlaybackState::NoMedia);
    EXPECT_TRUE(controller.Path().isEmpty());
    controller.WaitUntilClosed();
    QCoreApplication::processEvents();  // the worker's reports up to its close
    EXPECT_EQ(opens.count(), 0);
    EXPECT_EQ(controller.State(), PlaybackState::NoMedia);
    EXPECT_EQ(controller.Position(), 0);
    EXPECT_FALSE(controller.Session().Player().IsRunning());
    EXPECT_TRUE(failures.isEmpty());
}
