// Playback in the window while a card is imported into the archive: a generated 1080p card
// (front at a camera's bit rate, rear 360p) is mounted as far as the window knows while one of
// its recordings plays, with the import offer set to "always". Counts the front frames that
// came due and those dropped for lateness over the import, then over a stretch as long
// without it (the reference, in the same run and window); and the import's size and time.
// The goal is no dropped frame during the import.
//
// usage: bench_import_playback [--recordings N]   (QT_QPA_PLATFORM=offscreen is set when unset)

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "app/archive/ArchiveCommands.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/archive/ArchiveImportBar.h"
#include "app/window/CSamplePlayerDlg.h"
#include "archive/ArchiveLayout.h"
#include "bench/app/WindowBench.h"
#include "support/Profile.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecordingSec = 60;
constexpr int kTimeoutMs = 120000;

// Runs the event loop until done() or the timeout; the milliseconds it took, or -1.
double RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kTimeoutMs) return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void RunFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    RunUntil([&] { return clock.elapsed() >= ms; });
}

// The card, written on first use into the build folder.
std::string BenchCard(int recordings) {
    const fs::path root =
        fs::path(TARVEX_BINARY_DIR) / "benchdata" / ("import-card-" + std::to_string(recordings));
    if (fs::exists(root / "SETTING")) return root.string();
    CardOptions options;
    options.drivingCount = recordings;
    options.eventCount = options.parkingCount = options.userCount = 0;
    options.durationSec = kRecordingSec;
    options.fullHd = true;
    options.cameraLike = true;
    options.frontBitRateKbps = 10000;
    options.rearBitRateKbps = 2000;
    std::printf("generating %d recordings of %d s in %s ...\n", recordings, kRecordingSec,
                root.c_str());
    std::string error;
    if (!WriteCard(root.string(), options, &error)) {
        std::fprintf(stderr, "cannot generate the card: %s\n", error.c_str());
        return {};
    }
    return root.string();
}

struct Counts {
    int64_t played = 0, late = 0;
};

Counts Read(CSamplePlayerDlg& window) {
    return {window.Playback().Player().GetPlayedFrames(), window.Playback().Player().GetLateFrames()};
}

uint64_t CardBytes(const std::string& card) {
    uint64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(card))
        if (entry.is_regular_file() && entry.path().extension() == ".AVI")
            bytes += entry.file_size();
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    int recordings = 4;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--recordings") == 0)
            recordings = std::max(1, std::atoi(argv[i + 1]));
    // Private settings and a fresh archive, so the bench neither reads nor writes the user's.
    const fs::path home = fs::path(TARVEX_BINARY_DIR) / "benchdata" / "import-home";
    fs::remove_all(home);
    PrepareWindowBench(home / "config");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((home / "data").string()));
    QApplication application(argc, argv);
    const std::string card = BenchCard(recordings);
    if (card.empty()) return 1;
    const std::string config = CSamplePlayerDlg::ConfigPath();
    fs::create_directories(fs::path(config).parent_path());
    WritePrivateProfileString("config", kArchiveImportSettingKey, "always",
                              config.c_str());

    CSamplePlayerDlg window;
    window.show();
    const fs::path first = *fs::directory_iterator(fs::path(card) / "DRIVING");
    window.Navigator().OpenPath(QString::fromStdString(first.string()));
    if (RunUntil([&] { return window.Playback().Player().IsRunning() && Read(window).played > 30; }) < 0) {
        std::fprintf(stderr, "the recording does not play\n");
        return 1;
    }

    // The import's length decides the reference's: the import first, then as long without it.
    const Counts before = Read(window);
    QElapsedTimer clock;
    clock.start();
    window.Archive().OnVolumeMounted(QString::fromStdString(card));
    RunUntil([&] { return window.Archive().ImportBar()->isVisible(); });
    const double importMs = RunUntil([&] {
        return window.Archive().ImportBar()->isHidden() &&
               CountNewOnCard(card, ArchivePlace{DefaultArchiveFolder()}).count == 0;
    });
    const Counts during = Read(window);
    if (importMs < 0 || !window.Playback().Player().IsRunning()) {
        std::fprintf(stderr, "the import did not finish while the recording played\n");
        return 1;
    }
    const int64_t spanMs = clock.elapsed();
    RunFor(static_cast<int>(spanMs));
    const Counts after = Read(window);
    window.OnDestroy();

    const uint64_t bytes = CardBytes(card);
    std::printf("import of %d recordings (%.0f MB) while a 1080p recording plays: %.1f s\n",
                recordings, bytes / 1e6, spanMs / 1000.0);
    std::printf("during the import: %lld frames due, %lld dropped\n",
                static_cast<long long>(during.played - before.played),
                static_cast<long long>(during.late - before.late));
    std::printf("reference, as long without it: %lld frames due, %lld dropped\n",
                static_cast<long long>(after.played - during.played),
                static_cast<long long>(after.late - during.late));
    std::printf("goal: no dropped frame during the import\n");
    return 0;
}
