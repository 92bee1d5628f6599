// The viewer window's latencies on a generated 1080p front + 360p rear card, against the bare
// engine (a playback session with windowless outputs) in the same run:
//   1. OPEN of a recording -> its first front picture in the window;
//   2. a seek while paused -> the picture asked for in the window;
//   3. paused: how often the window's (GUI) thread wakes, per second, from its voluntary
//      context switches (goal: at most 2), and the player's worker wake-ups.
// Figures are medians over the runs; the goal for 1 and 2 is under 100 ms.
//
// usage: bench_window_latency [--runs N]   (QT_QPA_PLATFORM=offscreen is set when unset)

#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/view/QtVideoArea.h"
#include "app/window/CSamplePlayerDlg.h"
#include "bench/app/WindowBench.h"
#include "media/CPlaybackSession.h"
#include "support/HeadlessVideoWindow.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 30;
constexpr int kTimeoutMs = 10000;

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A card with one recording in DRIVING, written on first use into the build folder.
std::string BenchCard() {
    const fs::path root = fs::path(TARVEX_BINARY_DIR) / "benchdata" / "window-card";
    const fs::path file = root / "DRIVING" / "REC_20260314_182509_D.AVI";
    if (fs::exists(file)) return file.string();
    for (const char* folder : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"})
        fs::create_directories(root / folder);
    RecordingOptions options;
    options.durationSec = kSeconds;
    options.frontWidth = 1920;
    options.frontHeight = 1080;
    std::string error;
    std::printf("generating %s ...\n", file.c_str());
    if (!WriteRecording(file.string(), options, &error)) {
        std::fprintf(stderr, "cannot generate the recording: %s\n", error.c_str());
        return {};
    }
    return file.string();
}

// Runs the event loop until done() or the timeout; the milliseconds it took, or -1.
double WaitMs(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kTimeoutMs) return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

long VoluntarySwitches() {
    std::ifstream status("/proc/self/task/" + std::to_string(syscall(SYS_gettid)) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::atol(line.c_str() + 24);
    return -1;
}

struct Figures {
    std::vector<double> opens, seeks;
};

void MeasureEngine(const std::string& path, int runs, Figures& out) {
    HeadlessVideoWindow front(640, 360), rear(320, 180);  // the window's two areas
    CPlaybackSession session;
    if (!session.Start(&front, &rear, false)) return;
    CQRVMediaPlayer& player = session.Player();
    auto waitPresent = [&](int before) {
        return WaitMs([&] { return front.PresentCount() > before; });
    };
    for (int run = 0; run < runs; ++run) {
        player.Close();
        int before = front.PresentCount();
        QElapsedTimer t;
        t.start();
        player.Open(path.c_str());
        waitPresent(before);
        out.opens.push_back(t.nsecsElapsed() / 1e6);
        player.Pause();
        player.WaitForWorker();
        before = front.PresentCount();
        t.restart();
        player.SeekToMs((5 + run * 7 % (kSeconds - 8)) * 1000 + 500);
        waitPresent(before);
        out.seeks.push_back(t.nsecsElapsed() / 1e6);
    }
    session.Stop();
}

void MeasureWindow(const std::string& path, int runs, Figures& out, double* wakeups,
                   long long* workerWakeups) {
    CSamplePlayerDlg window;
    window.show();
    WaitMs([] { return false; });  // let the window settle (the timeout, 10 s, bounds it)
    QtVideoArea* front = window.FrontArea();
    for (int run = 0; run < runs; ++run) {
        window.OnBnClickedButtonStop();
        int before = front->PresentCount();
        QElapsedTimer t;
        t.start();
        window.Navigator().OpenPath(QString::fromStdString(path));
        WaitMs([&] { return front->PresentCount() > before; });
        out.opens.push_back(t.nsecsElapsed() / 1e6);
        window.OnBnClickedButtonPause();
        WaitMs([&] { return !window.Playback().Player().IsRunning(); });
        before = front->PresentCount();
        t.restart();
        window.SeekToRecordingMs((5 + run * 7 % (kSeconds - 8)) * 1000 + 500);
        WaitMs([&] { return front->PresentCount() > before; });
        out.seeks.push_back(t.nsecsElapsed() / 1e6);
    }
    // Paused: the GUI thread waits in its event loop; count its wake-ups over 5 s after 1 s.
    auto runLoop = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    runLoop(1000);
    const long switches0 = VoluntarySwitches();
    const int64_t worker0 = window.Playback().Player().GetWorkerWakeups();
    QElapsedTimer span;
    span.start();
    runLoop(5000);
    *wakeups = (VoluntarySwitches() - switches0) * 1000.0 / span.elapsed();
    *workerWakeups = static_cast<long long>(window.Playback().Player().GetWorkerWakeups() - worker0);
    window.OnDestroy();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    // A private settings folder, so the bench neither reads nor writes the user's.
    const fs::path home = fs::path(TARVEX_BINARY_DIR) / "benchdata" / "window-home";
    PrepareWindowBench(home);
    QApplication application(argc, argv);
    const std::string path = BenchCard();
    if (path.empty()) return 1;

    Figures engine, window;
    double wakeups = 0;
    long long workerWakeups = 0;
    MeasureEngine(path, runs, engine);
    MeasureWindow(path, runs, window, &wakeups, &workerWakeups);
    std::printf(
        "1. open -> first picture: window median %.1f ms, engine %.1f ms (ratio %.2f); goal < "
        "100 ms\n",
        Median(window.opens), Median(engine.opens), Median(window.opens) / Median(engine.opens));
    std::printf(
        "2. paused seek -> picture: window median %.1f ms, engine %.1f ms (ratio %.2f); goal < "
        "100 ms\n",
        Median(window.seeks), Median(engine.seeks), Median(window.seeks) / Median(engine.seeks));
    std::printf(
        "3. paused: GUI thread wakes %.1f times a second (goal <= 2); worker wake-ups in 5 s: "
        "%lld\n",
        wakeups, workerWakeups);
    return 0;
}
