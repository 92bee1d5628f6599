// The worker's events: what an owner sees of playback without asking the player.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeMedia.h"
#include "media/CPlaybackSession.h"
#include "support/CPixImg.h"
#include "support/HeadlessVideoWindow.h"
#include "tests/GeneratedRecording.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

using Kind = PlayerEvent::Kind;

std::string Recording(const char* name, int seconds, int second) {
    RecordingOptions o;
    o.durationSec = seconds;
    o.frontWidth = o.rearWidth = 160;
    o.frontHeight = o.rearHeight = 90;
    o.second = second;
    return GeneratedRecording(std::string(TARVEX_TEST_DATA_DIR) + "/media_events_" + name, o);
}

struct Seen {
    Kind kind;
    uint32_t serial;
    int32_t handOvers;
    int32_t positionMs;
    std::string reason;
};

// A session without sound whose events are recorded as they come.
class EventLog {
public:
    EventLog() {
        m_session.Player().SetEventCallback(&EventLog::Thunk, this);
        m_session.Start(&m_front, &m_rear, false);
    }
    ~EventLog() { m_session.Stop(); }
    CQRVMediaPlayer& Player() { return m_session.Player(); }
    std::vector<Seen> Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Seen> taken;
        taken.swap(m_seen);
        return taken;
    }
    size_t Count(Kind kind) {
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t n = 0;
        for (const Seen& s : m_seen) n += s.kind == kind;
        return n;
    }

private:
    static void Thunk(void* user, const PlayerEvent& e) {
        auto* self = static_cast<EventLog*>(user);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_seen.push_back({e.kind, e.openSerial, e.handOvers, e.positionMs, e.reason});
    }
    std::mutex m_mutex;  // guards m_seen
    std::vector<Seen> m_seen;
    HeadlessVideoWindow m_front{160, 90}, m_rear{160, 90};
    CPlaybackSession m_session;
};

}  // namespace

// The next recording is queued with the open (which starts playing, so a QueueNext after it
// may come when the current one has already played out), or late: after a paused seek to the
// end has read the current one to its last chunk, before Play.
TEST(PlayerEvents, ATripPlaysOutAsFramesAHandOverMoreFramesAndOneEnd) {
    const std::string a = Recording("A_D.AVI", 1, 0);
    const std::string b = Recording("B_D.AVI", 1, 1);
    const struct {
        bool late;
        int minFrames;  // about 30 per recording, the first few before a key frame aside
    } rows[] = {{false, 50}, {true, 25}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.late ? "queued late" : "queued with the open");
        EventLog log;
        log.Player().SetNoClock(true);
        uint32_t serial = 0;
        if (row.late) {
            serial = log.Player().PostOpen(a.c_str(), 990, false);
            log.Player().WaitForWorker();
            ASSERT_TRUE(log.Player().WaitUntilHeld(5000));
            log.Player().QueueNext(b.c_str());
            log.Player().Play();
        } else {
            ASSERT_TRUE(log.Player().Open(a.c_str(), 0, b.c_str()));
            serial = log.Player().GetOpenSerial();
        }
        ASSERT_TRUE(WaitFor([&] { return log.Count(Kind::Ended) > 0; }, 60000));
        const std::vector<Seen> seen = log.Take();

        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().kind, Kind::Ended);
        int handOversSeen = 0, lastPosition = -1, frames = 0;
        for (const Seen& s : seen) {
            EXPECT_EQ(s.serial, serial) << "every event belongs to the one Open";
            if (s.kind == Kind::HandOver) {
                ++handOversSeen;
                lastPosition = -1;  // the next recording counts from its own start
                continue;
            }
            if (s.kind != Kind::FrameShown) continue;
            ++frames;
            EXPECT_EQ(s.handOvers, handOversSeen) << "a frame names the recording it belongs to";
            EXPECT_GT(s.positionMs, lastPosition) << "frames come in order within a recording";
            lastPosition = s.positionMs;
        }
        EXPECT_EQ(handOversSeen, 1);
        EXPECT_GE(frames, row.minFrames);
    }
}

TEST(PlayerEvents, PausedSeeksReportTheirFrameAndAPausedPlayerIsSilent) {
    const std::string a = Recording("C_D.AVI", 3, 0);
    EventLog log;
    ASSERT_TRUE(log.Player().Open(a.c_str()));
    log.Player().Pause();
    log.Player().WaitForWorker();
    ASSERT_TRUE(log.Player().WaitUntilHeld(5000));
    log.Take();

    const struct { int32_t targetMs; } rows[] = {{2000}, {0}, {1500}};
    for (const auto& row : rows) {
        log.Player().SeekToMs(row.targetMs);
        log.Player().WaitForWorker();
        ASSERT_TRUE(log.Player().WaitUntilHeld(5000));
        const std::vector<Seen> seen = log.Take();
        ASSERT_EQ(seen.size(), 1u) << "one picture for one paused seek to " << row.targetMs;
        EXPECT_EQ(seen[0].kind, Kind::FrameShown);
        EXPECT_EQ(seen[0].positionMs, row.targetMs);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(log.Take().empty()) << "nothing moves while paused";
}

TEST(PlayerEvents, ARefusedOpenReportsAFailureOfThatOpen) {
    std::filesystem::create_directories(TARVEX_TEST_DATA_DIR);
    const std::string bogus = std::string(TARVEX_TEST_DATA_DIR) + "/media_events_bogus.AVI";
    {
        std::FILE* f = std::fopen(bogus.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("RIFF not a recording", f);
        std::fclose(f);
    }
    EventLog log;
    EXPECT_FALSE(log.Player().Open(bogus.c_str()));
    const std::vector<Seen> seen = log.Take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, Kind::Failed);
    EXPECT_EQ(seen[0].serial, log.Player().GetOpenSerial());
}

// A magnifier's picture is asked for and taken later, never waited for: the worker publishes
// the camera's picture at its own size with the frame it was taken at, and forgets it on close.
TEST(PlayerEvents, APublishedPictureIsTheFrameOnScreenAtItsOwnSize) {
    const std::string a = Recording("D_D.AVI", 2, 0);
    EventLog log;
    ASSERT_TRUE(log.Player().Open(a.c_str(), 1000));
    log.Player().Pause();
    log.Player().WaitForWorker();
    int32_t frame = 0;
    EXPECT_EQ(log.Player().PublishedPicture(0, &frame), nullptr);
    for (const int camera : {0, 1}) {
        log.Player().RequestPicture(camera);
        log.Player().WaitForWorker();
        const std::shared_ptr<CPixImgBase> picture = log.Player().PublishedPicture(camera, &frame);
        ASSERT_NE(picture, nullptr) << camera;
        EXPECT_EQ(picture->Width(), 160);
        EXPECT_EQ(picture->Height(), 90);
        EXPECT_EQ(frame, log.Player().GetFrameCounter());
    }
    log.Player().Close();
    EXPECT_EQ(log.Player().PublishedPicture(0, &frame), nullptr);
    EXPECT_EQ(frame, -1);
}
