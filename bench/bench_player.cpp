// Player benchmarks on two generated recordings (1080p front + 360p rear): one at the
// generator's quality setting, one at a camera's bit rate (10 Mbit/s front, 4 Mbit/s rear).
// Every figure is measured against a reference in the same run, as the median of interleaved
// runs (the machine is shared):
//   1. CPU of `tarvex-tool play --no-clock` against `ffmpeg -threads 1` decoding both streams
//      (neither converts the pictures: the tool has no window to show them in);
//   2. CPU of real-time `tarvex-tool play` against `ffmpeg -re` over the same file;
//   4. CPU of a paused player, in percent of one core;
//   5. time to the first picture after an open, and after a seek while playing and paused;
//   6. sound/picture offset per second, from the beeps the output consumes and the frame
//      indices presented;
//   7. peak memory of `tarvex-tool play`.
//
// usage: bench_player [--seconds N] [--runs N] [--skip-realtime | --sync-only]

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

#include "media/CPlaybackSession.h"
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

// The engine as the viewer has it, with headless windows.
struct Engine {
    HeadlessVideoWindow front{640, 360};
    HeadlessVideoWindow rear{320, 180};
    CPlaybackSession session;
    CQRVMediaPlayer& player = session.Player();
    CWaveBox& wave = session.Output();

    void Start() { session.Start(&front, &rear); }
};

double CpuSecondsOfThisProcess() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// Item 4: CPU of a paused player (its worker, the feeder and the sound device's thread).
void MeasurePaused(const std::string& path) {
    Engine e;
    e.Start();
    e.player.Open(path.c_str());
    SleepMs(1500);
    e.player.Pause();
    e.player.WaitForWorker();
    SleepMs(200);
    const double cpu0 = CpuSecondsOfThisProcess();
    const double t0 = NowMs();
    SleepMs(5000);
    const double cpu = CpuSecondsOfThisProcess() - cpu0;
    const double wall = (NowMs() - t0) / 1000.0;
    const int64_t wakeups0 = e.player.GetWorkerWakeups();
    SleepMs(1000);
    std::printf(
        "4. paused: %.3f %% of a core over %.1f s (goal < 1 %%); worker wake-ups in 1 s: %lld\n",
        100.0 * cpu / wall, wall, static_cast<long long>(e.player.GetWorkerWakeups() - wakeups0));
    e.session.Stop();
}

// Item 5: Open -> first picture, seek -> first picture after it, playing and paused.
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
    std::vector<double> opens, seeks, pausedSeeks;
    for (int round = 0; round < 5; ++round) {
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
        e.player.Pause();
        e.player.WaitForWorker();
        for (int s = 0; s < 3; ++s) {
            const int target = (3 + round * 7 + s * 13) % std::max(1, seconds - 2) + 1;
            before = presents.load();
            t0 = NowMs();
            e.player.SeekToMs(target * 1000 + 500);
            pausedSeeks.push_back(waitFirst(before, t0));
        }
        e.player.Play();
    }
    e.session.Stop();
    const Stats o = Summarise(opens), s = Summarise(seeks), p = Summarise(pausedSeeks);
    std::printf(
        "5. first picture: after open median %.1f ms (max %.1f, n %zu); after a seek while "
        "playing median %.1f ms (max %.1f, n %zu); while paused median %.1f ms (max %.1f, n "
        "%zu); goal < 100 ms\n",
        o.median, o.max, o.n, s.median, s.max, s.n, p.median, p.max, p.n);
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
        std::printf("6. sync: no sound output could be opened; not measured\n");
        return;
    }
    e.player.Open(path.c_str());
    e.player.WaitUntilHeld();
    e.session.Stop();
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
        "6. sound/picture offset (positive: sound early) over %zu seconds: mean %+.1f ms, "
        "sd %.1f, min %+.1f, max %+.1f; goal mean within +40/-60, every second within "
        "+90/-185 (%d outside)\n",
        s.n, s.mean, s.sd, s.min, s.max, outside);
}

std::string GeneratedRecording(int seconds, bool cameraBitRate) {
    const std::string dir = std::string(TARVEX_BINARY_DIR) + "/bench";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/player_" + std::to_string(seconds) + "s_" +
                             (cameraBitRate ? "rate_" : "") + "D.AVI";
    if (std::filesystem::exists(path)) return path;
    RecordingOptions o;
    o.durationSec = seconds;
    o.frontWidth = 1920;
    o.frontHeight = 1080;
    o.rearWidth = 640;
    o.rearHeight = 360;
    if (cameraBitRate) {
        o.frontBitRateKbps = 10000;
        o.rearBitRateKbps = 4000;
    }
    std::string error;
    std::printf("generating %s ...\n", path.c_str());
    std::fflush(stdout);
    if (!WriteRecording(path + ".part", o, &error)) {
        std::fprintf(stderr, "cannot generate the recording: %s\n", error.c_str());
        return "";
    }
    std::filesystem::rename(path + ".part", path);
    return path;
}

std::vector<std::string> DecodeBothStreams(const std::string& path, bool paced) {
    std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-nostdin", "-threads", "1"};
    if (paced) argv.push_back("-re");
    for (const char* a : {"-i", path.c_str(), "-map", "0:v:0", "-map", "0:v:1", "-f", "null", "-"})
        argv.push_back(a);
    return argv;
}

// Items 1, 2 and 7 for one file: runs interleaved with their references.
bool MeasureAgainstFfmpeg(const std::string& path, int runs, bool realtime, long* peakKb) {
    const std::string tool = TARVEX_TOOL_PATH;
    RunChild({"cat", path});  // into the page cache
    std::vector<double> ffCpu, ourCpu, ratioCpu, ratioWall, rtCpu, reCpu, ratioRt;
    for (int r = 0; r < runs; ++r) {
        const ChildRun ff = RunChild(DecodeBothStreams(path, false));
        const ChildRun ours = RunChild({tool, "play", path, "--no-clock"});
        if (ff.status != 0 || ours.status != 0) {
            std::fprintf(stderr, "reference or engine run failed (%d, %d)\n", ff.status,
                         ours.status);
            return false;
        }
        ffCpu.push_back(ff.cpuSec);
        ourCpu.push_back(ours.cpuSec);
        ratioCpu.push_back(ff.cpuSec / ours.cpuSec);
        ratioWall.push_back(ff.wallSec / ours.wallSec);
        *peakKb = std::max(*peakKb, ours.maxRssKb);
    }
    const Stats rc = Summarise(ratioCpu), rw = Summarise(ratioWall);
    std::printf(
        "1. --no-clock against ffmpeg -threads 1 (median of %d): CPU %.2f s vs %.2f s, "
        "ratio %.2f (min %.2f, max %.2f); throughput ratio %.2f\n",
        runs, Summarise(ourCpu).median, Summarise(ffCpu).median, rc.median, rc.min, rc.max,
        rw.median);
    if (!realtime) return true;
    long rtPeak = 0;
    for (int r = 0; r < runs; ++r) {
        const ChildRun re = RunChild(DecodeBothStreams(path, true));
        const ChildRun rt = RunChild({tool, "play", path});
        rtCpu.push_back(rt.cpuSec);
        reCpu.push_back(re.cpuSec);
        ratioRt.push_back(rt.cpuSec / re.cpuSec);
        rtPeak = std::max(rtPeak, rt.maxRssKb);
    }
    const Stats rr = Summarise(ratioRt);
    std::printf(
        "2. real-time play against ffmpeg -re (median of %d): CPU %.2f s vs %.2f s, ratio %.2f "
        "(min %.2f, max %.2f; goal <= 1.1)\n",
        runs, Summarise(rtCpu).median, Summarise(reCpu).median, rr.median, rr.min, rr.max);
    std::printf("7. peak memory of tarvex-tool play: %.1f MB real-time, %.1f MB --no-clock\n",
                rtPeak / 1024.0, *peakKb / 1024.0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 20;
    int runs = 5;
    bool realtime = true;
    bool syncOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::max(3, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--skip-realtime"))
            realtime = false;
        else if (!std::strcmp(argv[i], "--sync-only"))
            syncOnly = true;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SetTraceSink([](const std::string&) {});

    for (const bool cameraBitRate : {false, true}) {
        const std::string path = GeneratedRecording(seconds, cameraBitRate);
        if (path.empty()) return 1;
        std::printf("== %s (%.1f MB)\n", path.c_str(),
                    std::filesystem::file_size(path) / 1048576.0);
        if (!syncOnly) {
            long peakKb = 0;
            if (!MeasureAgainstFfmpeg(path, runs, realtime, &peakKb)) return 1;
            MeasurePaused(path);
            MeasureLatency(path, seconds);
        }
        if (realtime || syncOnly) MeasureSync(path, 30);
        std::fflush(stdout);
    }
    return 0;
}
