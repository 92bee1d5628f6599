// Clip export against FFmpeg: a 3-minute clip of a two-camera recording written as MP4 by
// `tarvex-tool export` (both cameras copied, sound to AAC, GPX beside it) and by `ffmpeg` on
// the same span, once copying the video and encoding the sound to AAC as we do and once with
// `-c copy` alone (video only: MP4 does not carry the recording's PCM). Each figure is the
// median of several runs on a warm file; the ratios are ours over FFmpeg's.
//
//   bench_export [--duration SECONDS] [--runs N]

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchRecording.h"

namespace {

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;  // user + system time of the child processes
};

double ChildCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Medians of wall and CPU time; the machine may be shared, so CPU time is the steadier figure.
Timing Median(int runs, const std::function<bool()>& work, bool* ok) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = ChildCpuMs();
        const auto start = std::chrono::steady_clock::now();
        if (!work()) *ok = false;
        const auto end = std::chrono::steady_clock::now();
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        cpu.push_back(ChildCpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    BenchArgs args;
    args.runs = 5;
    if (!ParseBenchArgs(argc, argv, "bench_export", args)) return 2;
    const int duration = args.duration, runs = args.runs;
    const std::string folder = BenchDataFolder();
    const std::string path = BenchRecording(duration);
    if (path.empty()) return 1;
    const std::string seconds = std::to_string(duration);
    const std::string ours = std::string(TARVEX_TOOL_PATH) + " export '" + path +
                             "' --from 0 --to " + seconds + " '" + folder +
                             "/export_ours.mp4' --gpx '" + folder + "/export_ours.gpx' > /dev/null";
    const std::string ffAac = "ffmpeg -v error -nostdin -y -i '" + path + "' -t " + seconds +
                              " -map 0:v -map 0:a -c:v copy -c:a aac -b:a 32k '" + folder +
                              "/export_ffmpeg_aac.mp4'";
    const std::string ffCopy = "ffmpeg -v error -nostdin -y -i '" + path + "' -t " + seconds +
                               " -map 0:v -c copy '" + folder + "/export_ffmpeg_copy.mp4'";

    if (!Run("cat '" + path + "' > /dev/null")) return 1;  // warms the page cache
    bool ok = true;
    const Timing our = Median(
        runs, [&] { return Run(ours); }, &ok);
    const Timing aac = Median(
        runs, [&] { return Run(ffAac); }, &ok);
    const Timing copy = Median(
        runs, [&] { return Run(ffCopy); }, &ok);
    if (!ok) {
        fprintf(stderr, "an export failed\n");
        return 1;
    }
    const double mb = std::filesystem::file_size(path) / 1e6;
    printf("recording: %d s, %.1f MB, two cameras; clip: the whole %d s; median of %d runs\n",
           duration, mb, duration, runs);
    printf("%-44s %9s %9s %12s %12s\n", "", "wall ms", "CPU ms", "ours/wall", "ours/CPU");
    printf("%-44s %9.1f %9.1f\n", "tarvex-tool export (2 video, AAC, GPX)", our.wallMs, our.cpuMs);
    printf("%-44s %9.1f %9.1f %12.2f %12.2f\n", "ffmpeg -c:v copy -c:a aac (same streams)",
           aac.wallMs, aac.cpuMs, our.wallMs / aac.wallMs, our.cpuMs / aac.cpuMs);
    printf("%-44s %9.1f %9.1f %12.2f %12.2f   (goal <= 1.5)\n", "ffmpeg -c copy (video only)",
           copy.wallMs, copy.cpuMs, our.wallMs / copy.wallMs, our.cpuMs / copy.cpuMs);
    return 0;
}
