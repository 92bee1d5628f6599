// The real tarvex-viewer program, playing a recording with the map in its own process
// (under Xvfb when the test runs there), ends the normal way on SIGTERM, SIGINT and SIGHUP:
// within two seconds, with its settings file written.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CSamplePlayerDlg.h"
#include "tests/app/AppTestSupport.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

constexpr int kQuitLimitMs = 2000;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

TEST(ViewerProcess, QuitSignalsEndAPlayingViewerWithItsSettingsSaved) {
    // A one-camera recording shows the map beside the picture, so the browser engine runs.
    const std::string recording = OneCamera().recording;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const fs::path home =
            fs::path(TARVEX_TEST_DATA_DIR) /
            ("viewer-process-" + std::to_string(getpid()) + "-" + std::to_string(signalNumber));
        fs::remove_all(home);
        fs::create_directories(home / "config");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
        environment.insert("TARVEX_TRACE_FRAMES", "1");  // a line per frame shown: it plays
        environment.insert("SDL_AUDIODRIVER", "dummy");
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        environment.insert("LANG", "en_US.UTF-8");
        environment.insert("QT_QPA_PLATFORM",
                           qEnvironmentVariableIsSet("DISPLAY") ? "xcb" : "offscreen");
        QProcess viewer;
        viewer.setProcessEnvironment(environment);
        viewer.setWorkingDirectory(QString::fromStdString(home.string()));
        viewer.setProcessChannelMode(QProcess::MergedChannels);
        viewer.start(TARVEX_VIEWER_PATH, {QString::fromStdString(recording)});
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
