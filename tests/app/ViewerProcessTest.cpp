// The real tarvex-viewer program, playing a recording with the map in its own process
// (under Xvfb when the test runs there), ends the normal way on SIGTERM, SIGINT and SIGHUP:
// within two seconds, with its settings file written; also with a FIFO named like a recording
// on its card, and it keeps a settings file it cannot read, or that is a link, as the user has it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/window/CSamplePlayerDlg.h"
#include "tests/app/AppTestSupport.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

constexpr int kQuitLimitMs = 2000;

// Only for a viewer that hangs: the test then fails instead of hanging with it.
constexpr int kKillAfterMs = 20000;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Starts the real viewer with its settings under home/config.
void StartViewer(QProcess& viewer, const fs::path& home, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    environment.insert("TARVEX_TRACE_FRAMES", "1");  // a line per frame shown: it plays
    environment.insert("SDL_AUDIODRIVER", "dummy");
    environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    environment.insert("LANG", "en_US.UTF-8");
    environment.insert("QT_QPA_PLATFORM",
                       qEnvironmentVariableIsSet("DISPLAY") ? "xcb" : "offscreen");
    viewer.setProcessEnvironment(environment);
    viewer.setWorkingDirectory(QString::fromStdString(home.string()));
    viewer.setProcessChannelMode(QProcess::MergedChannels);
    viewer.start(TARVEX_VIEWER_PATH, arguments);
}

// Lets a viewer come up on a card (its settings read, its list filled), sends it SIGTERM and
// waits for it to end; true when it ended by itself, normally and with status 0.
bool RunUntilSigterm(QProcess& viewer, QByteArray& output, qint64* tookMs) {
    WaitUntil(
        [&] {
            output += viewer.readAll();
            return output.contains("InitConfig") || viewer.state() == QProcess::NotRunning;
        },
        kKillAfterMs);
    Pump(1500);
    QElapsedTimer timer;
    timer.start();
    if (viewer.state() != QProcess::Running ||
        kill(static_cast<pid_t>(viewer.processId()), SIGTERM) != 0)
        return false;
    const bool ended = viewer.waitForFinished(kKillAfterMs);
    *tookMs = timer.elapsed();
    output += viewer.readAll();
    if (!ended) {
        viewer.kill();
        viewer.waitForFinished();
        return false;
    }
    return viewer.exitStatus() == QProcess::NormalExit && viewer.exitCode() == 0;
}

fs::path FreshHome(const std::string& name) {
    const fs::path home = fs::path(TARVEX_TEST_DATA_DIR) /
                          ("viewer-process-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(home);
    fs::create_directories(home / "config" / "tarvex");
    return home;
}

}  // namespace

TEST(ViewerProcess, QuitSignalsEndAPlayingViewerWithItsSettingsSaved) {
    // A one-camera recording shows the map beside the picture, so the browser engine runs.
    const std::string recording = OneCamera().recording;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const fs::path home = FreshHome(std::to_string(signalNumber));
        QProcess viewer;
        StartViewer(viewer, home, {QString::fromStdString(recording)});
        ASSERT_TRUE(viewer.waitForStarted());

        QByteArray output;
        const bool playing = WaitUntil(
            [&] {
                output += viewer.readAll();
                return output.count("dif ") >= 30 || viewer.state() == QProcess::NotRunning;
            },
            60000);
        ASSERT_TRUE(playing && viewer.state() == QProcess::Running)
            << "signal " << signalNumber << ": " << output.right(2000).toStdString();
        // The browser engine is the one that would swallow the signal: let it come up (it
        // logs its start parameters), then give it a moment to settle.
        WaitUntil(
            [&] {
                output += viewer.readAll();
                return output.contains("Init Parameters");
            },
            20000);
        Pump(500);

        QElapsedTimer timer;
        timer.start();
        ASSERT_EQ(kill(static_cast<pid_t>(viewer.processId()), signalNumber), 0);
        const bool ended = viewer.waitForFinished(10000);
        const qint64 tookMs = timer.elapsed();
        if (!ended) viewer.kill();
        ASSERT_TRUE(ended) << "signal " << signalNumber << " left the viewer running";
        EXPECT_LT(tookMs, kQuitLimitMs) << "signal " << signalNumber;
        EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit) << "signal " << signalNumber;
        EXPECT_EQ(viewer.exitCode(), 0) << "signal " << signalNumber;
        std::printf("signal %d: viewer ended after %lld ms\n", signalNumber,
                    static_cast<long long>(tookMs));

        // The file the viewer itself reads and writes, found the way it finds it.
        const fs::path saved = [&] {
            const fs::path before = fs::current_path();
            qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home / "config").string()));
            fs::current_path(home);
            const fs::path path = fs::absolute(CSamplePlayerDlg::ConfigPath());
            fs::current_path(before);
            qunsetenv("XDG_CONFIG_HOME");
            return path;
        }();
        const std::string text = ReadFile(saved);
        EXPECT_NE(text.find("volume=50"), std::string::npos) << saved << ": " << text;
        EXPECT_NE(text.find("brightness=0"), std::string::npos) << saved << ": " << text;
        fs::remove_all(home);
    }
}

TEST(ViewerProcess, SigtermEndsAViewerWhoseCardHoldsAFifoNamedLikeARecording) {
    // The list's event scan and the trips reach every recording of the card.
    const fs::path card = CopyCard("fifo");
    ASSERT_EQ(mkfifo((card / "DRIVING" / "REC_20260314_182609_D.AVI").c_str(), 0644), 0);
    const fs::path home = FreshHome("fifo-card");
    QProcess viewer;
    StartViewer(viewer, home, {QString::fromStdString(card.string())});
    ASSERT_TRUE(viewer.waitForStarted());
    QByteArray output;
    qint64 tookMs = 0;
    EXPECT_TRUE(RunUntilSigterm(viewer, output, &tookMs)) << output.right(2000).toStdString();
    std::printf("viewer on a card with a FIFO ended %lld ms after SIGTERM\n",
                static_cast<long long>(tookMs));
    fs::remove_all(card);
    fs::remove_all(home);
}

// What the user keeps at the settings file's place stays as it is after a session: a link to
// a file kept elsewhere stays a link and its target gets the settings; a file the viewer cannot
// read (a FIFO; write-only, where permissions hold) is neither emptied nor replaced.
TEST(ViewerProcess, TheSettingsFileStaysAsTheUserKeepsIt) {
    const fs::path card = CopyCard("settings");
    enum class Kind { Link, Fifo, WriteOnly };
    const std::string kept = "[config]\nvolume=7\n";
    for (Kind kind : {Kind::Link, Kind::Fifo, Kind::WriteOnly}) {
        if (kind == Kind::WriteOnly && geteuid() == 0) continue;  // root reads it anyway
        const fs::path home = FreshHome("settings-" + std::to_string(static_cast<int>(kind)));
        const fs::path settings = home / "config" / "tarvex" / "config.cfg";
        const fs::path target = home / "dotfiles" / "tarvex.cfg";
        switch (kind) {
            case Kind::Link:
                fs::create_directories(target.parent_path());
                std::ofstream(target) << kept;
                fs::create_symlink("../../dotfiles/tarvex.cfg", settings);
                break;
            case Kind::Fifo:
                ASSERT_EQ(mkfifo(settings.c_str(), 0644), 0);
                break;
            case Kind::WriteOnly:
                std::ofstream(settings) << kept;
                fs::permissions(settings, fs::perms::owner_write);
                break;
        }
        QProcess viewer;
        StartViewer(viewer, home, {QString::fromStdString(card.string())});
        ASSERT_TRUE(viewer.waitForStarted());
        QByteArray output;
        qint64 tookMs = 0;
        EXPECT_TRUE(RunUntilSigterm(viewer, output, &tookMs))
            << static_cast<int>(kind) << ": " << output.right(2000).toStdString();
        switch (kind) {
            case Kind::Link: {
                EXPECT_TRUE(fs::is_symlink(settings));
                const std::string text = ReadFile(target);
                EXPECT_NE(text.find("brightness="), std::string::npos) << text;
                EXPECT_NE(text.find("last_card=" + card.string()), std::string::npos) << text;
                break;
            }
            case Kind::Fifo:
                EXPECT_TRUE(fs::is_fifo(fs::symlink_status(settings)));
                break;
            case Kind::WriteOnly:
                EXPECT_EQ(fs::status(settings).permissions(), fs::perms::owner_write);
                fs::permissions(settings, fs::perms::owner_read | fs::perms::owner_write);
                EXPECT_EQ(ReadFile(settings), kept);
                break;
        }
        fs::remove_all(home);
    }
    fs::remove_all(card);
}
