// The window on a card whose recordings make one very long trip (one small generated recording
// linked under N names, each starting two seconds after the one before): the longest stall of
// the window's (GUI) thread
//   1. while the card is listed, then as trips, and while the trip opens and shows its first
//      picture;
//   2. at each change of recording (a jump into another recording of the trip, paused);
//   3. while the window closes.
// A stall is the longest gap between the ticks of a 5 ms timer on the GUI thread. The same
// figures for a trip of N/10 recordings are printed beside them, as the reference: the goal is
// that a long trip costs the window no more than a short one (both under 0.1 s a stall).
//
// usage: bench_big_trip [--recordings N]   (QT_QPA_PLATFORM=offscreen is set when unset)

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/list/RecordingListView.h"
#include "app/list/RecordingNavigator.h"
#include "app/playback/PlaybackController.h"
#include "app/window/CSamplePlayerDlg.h"
#include "bench/app/WindowBench.h"
#include "library/CardRoot.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTickMs = 5;
constexpr int kWaitLimitMs = 120000;
constexpr int kJumps = 6;

// The longest gap between timer ticks while it runs.
class StallMeter {
public:
    StallMeter() {
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart()); });
    }
    void Start() {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    qint64 Stop() {
        m_timer.stop();
        return std::max(m_longest, m_clock.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kWaitLimitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

fs::path Card(int recordings) {
    const fs::path root =
        fs::path(TARVEX_BINARY_DIR) / "benchdata" / ("trip-card-" + std::to_string(recordings));
    const fs::path one = fs::path(TARVEX_BINARY_DIR) / "benchdata" / "trip-one.AVI";
    if (!fs::exists(one)) {
        RecordingOptions o;
        o.durationSec = 1;
        o.frontWidth = 160, o.frontHeight = 90, o.rearWidth = 160, o.rearHeight = 90;
        std::string error;
        fs::create_directories(one.parent_path());
        if (!WriteRecording(one.string(), o, &error)) {
            std::fprintf(stderr, "cannot write the recording: %s\n", error.c_str());
            std::exit(1);
        }
    }
    if (fs::exists(root / "DRIVING")) return root;
    for (const char* folder : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"})
        fs::create_directories(root / folder);
    for (int i = 0; i < recordings; ++i) {
        const int s = 2 * i;  // from 08:00:00
        char name[64];
        std::snprintf(name, sizeof name, "REC_20260314_%02d%02d%02d_D.AVI", 8 + s / 3600,
                      s / 60 % 60, s % 60);
        fs::create_hard_link(one, root / "DRIVING" / name);
    }
    return root;
}

struct Figures {
    qint64 list = -1, trips = -1, open = -1, jump = -1, close = -1;
};

Figures Measure(int recordings) {
    const fs::path card = Card(recordings);
    Figures f;
    StallMeter meter;
    auto window = std::make_unique<CSamplePlayerDlg>();
    window->show();
    meter.Start();
    window->Navigator().Cards().SetDrivePath(card.string() + "/");
    window->Navigator().Cards().ShowCategory(CatalogueView::Driving);
    WaitUntil([&] { return window->List()->RowCount() == recordings; });
    f.list = meter.Stop();
    meter.Start();
    window->Navigator().OnToggleTrips();
    WaitUntil([&] { return window->List()->RowCount() == 1; });
    f.trips = meter.Stop();
    meter.Start();
    PlaybackController& playback = window->Playback();
    window->Navigator().OnListDoubleClick(0);
    if (!WaitUntil(
            [&] { return playback.State() != PlaybackState::Loading && playback.HasMedia(); }))
        return f;
    playback.Pause();
    f.open = meter.Stop();
    // Wait for the trip's lengths, then jump across it.
    WaitUntil([&] { return playback.Duration() >= int64_t{recordings} * 1000 - 1000; });
    for (int j = 1; j <= kJumps; ++j) {
        const int64_t target = playback.Duration() * j / (kJumps + 1) + 500;
        meter.Start();
        playback.SeekTo(target);
        WaitUntil([&] {
            return playback.State() != PlaybackState::Loading &&
                   std::llabs(playback.Position() - target) < 1000;
        });
        QCoreApplication::processEvents();
        f.jump = std::max(f.jump, meter.Stop());
    }
    QElapsedTimer closing;
    closing.start();
    window.reset();
    f.close = closing.elapsed();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    int recordings = 10000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--recordings") == 0)
            recordings = std::max(10, std::atoi(argv[i + 1]));
    const fs::path home = fs::path(TARVEX_BINARY_DIR) / "benchdata" / "trip-home";
    PrepareWindowBench(home);
    QApplication application(argc, argv);
    const Figures reference = Measure(recordings / 10);
    const Figures big = Measure(recordings);
    std::printf("longest GUI stall, trip of %d recordings (reference: %d)\n", recordings,
                recordings / 10);
    std::printf("1. listing the card: %lld ms (%lld ms)\n", big.list, reference.list);
    std::printf("   the trips view: %lld ms (%lld ms)\n", big.trips, reference.trips);
    std::printf("   opening the trip, first picture: %lld ms (%lld ms)\n", big.open,
                reference.open);
    std::printf("2. a jump into another recording: %lld ms (%lld ms)\n", big.jump, reference.jump);
    std::printf("3. closing the window: %lld ms (%lld ms)\n", big.close, reference.close);
    std::printf("ratio long/short: open %.1f, jump %.1f; goal: each stall under 100 ms\n",
                double(big.open) / std::max<qint64>(1, reference.open),
                double(big.jump) / std::max<qint64>(1, reference.jump));
    return 0;
}
