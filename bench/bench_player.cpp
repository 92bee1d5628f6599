// Player benchmarks on one generated recording (1080p front + 720p rear, 60 s by default),
// every figure measured in this run against a reference measured in the same run:
//   1. throughput of `tarvex-tool play --no-clock` against `ffmpeg -benchmark -threads 1`
//      decoding the same two streams (frames per second, ratio);
//   2. CPU time of real-time playback against the decode-only CPU time of ffmpeg;
//   3. time from Open to the first picture, and from a seek request to the first picture;
//   4. sound/picture offset per second, from the beeps the output consumes and the frame
//      indices presented;
//   5. peak memory of `tarvex-tool play`.
//
// usage: bench_player [--seconds N] [--skip-realtime | --sync-only]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "media/CAVIExtractor.h"
#include "media/CDecoder.h"
#include "media/CQRVMediaPlayer.h"
#include "media/CWaveBox.h"
#include "support/HeadlessVideoWindow.h"
#include "support/Ticks.h"
#include "support/Trace.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace {

using Clock = std::chrono::steady_clock;

double NowMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

struct ChildRun {
    int status = -1;
    double wallSec = 0;
    double cpuSec = 0;
    long maxRssKb = 0;
};

// Runs argv with stdout and stderr sent to /dev/null and reports its wall and CPU time.
ChildRun RunChild(const std::vector<std::string>& argv) {
    ChildRun run;
    const double start = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* null = fopen("/dev/null", "w");
        if (null) {
            dup2(fileno(null), 1);
            dup2(fileno(null), 2);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return run;
    run.wallSec = (NowMs() - start) / 1000.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.cpuSec = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                 usage.ru_stime.tv_usec / 1e6;
    run.maxRssKb = usage.ru_maxrss;
    return run;
}

struct Stats {
    double mean = 0, sd = 0, min = 0, max = 0, median = 0;
    size_t n = 0;
};

Stats Summarise(std::vector<double> v) {
    Stats s;
    s.n = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    s.mean = sum / v.size();
    double sq = 0;
    for (double x : v) sq += (x - s.mean) * (x - s.mean);
    s.sd = std::sqrt(sq / v.size());
    s.min = v.front();
    s.max = v.back();
    s.median = v[v.size() / 2];
    return s;
}

// The engine wired as the viewer wires it, with headless windows.
struct Engine {
    CAVIExtractor reader;
    CDecoder decoder;
    CWaveBox wave;
    HeadlessVideoWindow front{640, 360};
    HeadlessVideoWindow rear{320, 180};
    CQRVMediaPlayer player;

    void Start() {
        player.SetParser(&reader);
        player.SetDecoder(&decoder);
        player.SetOutput(&wave);
        player.Start(&front, &rear);
    }
};

// Item 3: Open -> first picture, seek request -> first picture after it.
void MeasureLatency(const std::string& path, int seconds) {
    Engine e;
    std::atomic<double> lastPresent{0};
    std::atomic<int> presents{0};
    e.front.SetOnPresent([&](const CPixImgBase&, int) {
        lastPresent = NowMs();
        presents.fetch_add(1);
    });
    e.Start();
    auto waitFirst = [&](int before, double since) {
        for (int i = 0; i < 5000 && presents.load() <= before; ++i) SleepMs(1);
        return presents.load() > before ? lastPresent.load() - since : -1.0;
    };
    std::vector<double> opens, seeks;
    for (int round = 0; round < 5; ++round) {
        e.player.Pause();
        e.player.Close();
        int before = presents.load();
        double t0 = NowMs();
        e.player.Open(path.c_str());
        opens.push_back(waitFirst(before, t0));
        SleepMs(300);
        for (int s = 0; s < 3; ++s) {
            const int target = (7 + round * 11 + s * 17) % std::max(1, seconds - 2) + 1;
            before = presents.load();
            t0 = NowMs();
            e.player.SeekToMs(target * 1000);
            seeks.push_back(waitFirst(before, t0));
            SleepMs(300);
        }
    }
    e.player.StopThreads();
    const Stats o = Summarise(opens), s = Summarise(seeks);
    std::printf(
        "3. latency: open->first picture median %.1f ms (min %.1f, max %.1f, n %zu); "
        "seek->first picture median %.1f ms (min %.1f, max %.1f, n %zu); goal < 100 ms\n",
        o.median, o.min, o.max, o.n, s.median, s.min, s.max, s.n);
}

// Item 4: the moment each second's beep is consumed against the moment that second's first
// front frame is presented.
struct SyncProbe {
    std::mutex mutex;
    int rate = 8000;
    int64_t consumedSamples = 0;  // samples of the file consumed so far (after the offset)
    int64_t firstSample = 0;      // file sample of the first consumed byte
    int silentRun = 0;
    std::map<int, double> beepMs;   // second -> time
    std::map<int, double> frameMs;  // second -> time

    static void OnConsumed(void* user, const uint8_t* data, int length) {
        SyncProbe* p = static_cast<SyncProbe*>(user);
        const double now = NowMs();
        std::lock_guard<std::mutex> lock(p->mutex);
        for (int i = 0; i + 1 < length; i += 2) {
            int16_t sample;
            std::memcpy(&sample, data + i, 2);
            const int64_t fileSample = p->firstSample + p->consumedSamples;
            if (std::abs(sample) > 2000) {
                if (p->silentRun > p->rate / 10) {
                    const int second = static_cast<int>((fileSample + p->rate / 2) / p->rate);
                    // The device period starts playing now; this sample lies i/2 samples in.
                    p->beepMs.emplace(second, now + 1000.0 * (i / 2) / p->rate);
                }
                p->silentRun = 0;
            } else {
                ++p->silentRun;
            }
            ++p->consumedSamples;
        }
    }
};

void MeasureSync(const std::string& path, int frameRate) {
    Engine e;
    SyncProbe probe;
    // Sound reaches the output from the first chunk after the first key frame: the
    // recording's first chunk (1920 samples) comes before frame 0 and is dropped.
    probe.firstSample = 1920;
    probe.silentRun = probe.rate;  // the file starts at a second boundary
    e.wave.SetConsumeTap(&SyncProbe::OnConsumed, &probe);
    e.front.SetOnPresent([&](const CPixImgBase& image, int) {
        const double now = NowMs();
        const FrameMark mark = ReadFramePattern(image);
        if (mark.camera == 0 && mark.frameIndex >= 0 && mark.frameIndex % frameRate == 0) {
            std::lock_guard<std::mutex> lock(probe.mutex);
            probe.frameMs.emplace(mark.frameIndex / frameRate, now);
        }
    });
    e.Start();
    if (!e.wave.IsOpen()) {
        std::printf("4. sync: no sound output could be opened; not measured\n");
        return;
    }
    e.player.Open(path.c_str());
    while (e.player.GetState() != CQRVMediaPlayer::kStateStopped) SleepMs(20);
    SleepMs(800);
    e.player.StopThreads();
    std::vector<double> offsets;
    std::lock_guard<std::mutex> lock(probe.mutex);
    for (const auto& [second, frameTime] : probe.frameMs) {
        auto beep = probe.beepMs.find(second);
        if (beep != probe.beepMs.end()) offsets.push_back(frameTime - beep->second);
    }
    if (std::getenv("BENCH_VERBOSE")) {
        for (double x : offsets) std::printf("%+.0f ", x);
        std::printf("\n");
    }
    const Stats s = Summarise(offsets);
    int outside = 0;
    for (double x : offsets) outside += (x > 90 || x < -185);
    std::printf(
        "4. sound/picture offset (positive: sound early) over %zu seconds: mean %+.1f ms, "
        "sd %.1f, min %+.1f, max %+.1f; goal mean within +45/-125, every second within "
        "+90/-185 (%d outside)\n",
        s.n, s.mean, s.sd, s.min, s.max, outside);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    bool realtime = true;
    bool syncOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::max(3, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--skip-realtime"))
            realtime = false;
        else if (!std::strcmp(argv[i], "--sync-only"))
            syncOnly = true;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SetTraceSink([](const std::string&) {});

    const std::string dir = std::string(TARVEX_BINARY_DIR) + "/bench";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/player_" + std::to_string(seconds) + "s_D.AVI";
    if (!std::filesystem::exists(path)) {
        RecordingOptions o;
        o.durationSec = seconds;
        o.frontWidth = 1920;
        o.frontHeight = 1080;
        o.rearWidth = 1280;
        o.rearHeight = 720;
        std::string error;
        std::printf("generating %s ...\n", path.c_str());
        std::fflush(stdout);
        if (!WriteRecording(path + ".part", o, &error)) {
            std::fprintf(stderr, "cannot generate the recording: %s\n", error.c_str());
            return 1;
        }
        std::filesystem::rename(path + ".part", path);
    }
    const int frames = seconds * 30 * 2;
    if (syncOnly) {
        MeasureSync(path, 30);
        return 0;
    }
    const std::string tool = TARVEX_TOOL_PATH;

    // Warm the file into the page cache.
    RunChild({"cat", path});

    const ChildRun ff =
        RunChild({"ffmpeg", "-hide_banner", "-nostdin", "-benchmark", "-threads", "1", "-i", path,
                  "-map", "0:v:0", "-map", "0:v:1", "-f", "null", "-"});
    const ChildRun ours = RunChild({tool, "play", path, "--no-clock"});
    if (ff.status != 0 || ours.status != 0) {
        std::fprintf(stderr, "reference or engine run failed (%d, %d)\n", ff.status, ours.status);
        return 1;
    }
    const double ffFps = frames / ff.wallSec, ourFps = frames / ours.wallSec;
    std::printf(
        "1. throughput: engine %.1f frames/s (%.2f s), ffmpeg -threads 1 %.1f frames/s "
        "(%.2f s): ratio %.2f (goal >= 0.90)\n",
        ourFps, ours.wallSec, ffFps, ff.wallSec, ourFps / ffFps);
    std::printf("   decode-only CPU: ffmpeg %.2f s, engine --no-clock %.2f s\n", ff.cpuSec,
                ours.cpuSec);

    MeasureLatency(path, seconds);

    long peakKb = ours.maxRssKb;
    if (realtime) {
        const ChildRun rt = RunChild({tool, "play", path});
        std::printf(
            "2. real-time playback CPU %.2f s over %.1f s against decode-only %.2f s: "
            "ratio %.2f (goal <= 1.15)\n",
            rt.cpuSec, rt.wallSec, ff.cpuSec, rt.cpuSec / ff.cpuSec);
        std::printf("   against the engine's own --no-clock run of the file (%.2f s): ratio %.2f\n",
                    ours.cpuSec, rt.cpuSec / ours.cpuSec);
        peakKb = std::max(peakKb, rt.maxRssKb);
        MeasureSync(path, 30);
        std::printf(
            "5. peak memory of tarvex-tool play: %.1f MB real-time, %.1f MB --no-clock "
            "(goal < 150 MB)\n",
            rt.maxRssKb / 1024.0, ours.maxRssKb / 1024.0);
    } else {
        std::printf("5. peak memory of tarvex-tool play --no-clock: %.1f MB (goal < 150 MB)\n",
                    peakKb / 1024.0);
    }
    return 0;
}
