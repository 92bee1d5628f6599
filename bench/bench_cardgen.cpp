// How fast the sample generator writes a recording, against libx264 itself: the ffmpeg
// command line encoding the same number of pictures of the same sizes with the same preset,
// measured in the same run. Usage: bench_cardgen [SECONDS] [--full-hd]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/cardgen/CardGenerator.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// ffmpeg encoding a synthetic picture of the given size with the generator's x264 settings.
double ReferenceEncode(int width, int height, int frameRate, int seconds) {
    char command[512];
    snprintf(command, sizeof command,
             "ffmpeg -v error -nostdin -f lavfi -i color=c=gray:size=%dx%d:rate=%d -t %d "
             "-c:v libx264 -preset ultrafast -tune zerolatency -threads 2 "
             "-x264-params sliced-threads=0:keyint=30:scenecut=0 -f null - ",
             width, height, frameRate, seconds);
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command) != 0) return -1;
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    RecordingOptions o;
    o.durationSec = argc > 1 ? std::atoi(argv[1]) : 20;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--full-hd") == 0) {
            o.frontWidth = 1920;
            o.frontHeight = 1080;
        }
    if (o.durationSec < 1) {
        fprintf(stderr, "usage: bench_cardgen [SECONDS] [--full-hd]\n");
        return 2;
    }
    const std::string path =
        std::string(TARVEX_BINARY_DIR) + "/bench_cardgen_" + std::to_string(getpid()) + ".avi";
    auto start = std::chrono::steady_clock::now();
    std::string error;
    if (!WriteRecording(path, o, &error)) {
        fprintf(stderr, "bench_cardgen: %s\n", error.c_str());
        return 1;
    }
    const double ours = Seconds(start);
    const auto bytes = std::filesystem::file_size(path);
    std::filesystem::remove(path);

    const double front = ReferenceEncode(o.frontWidth, o.frontHeight, o.frameRate, o.durationSec);
    const double rear = ReferenceEncode(o.rearWidth, o.rearHeight, o.frameRate, o.durationSec);
    printf("recording: %d s, %dx%d + %dx%d at %d fps, %llu bytes\n", o.durationSec, o.frontWidth,
           o.frontHeight, o.rearWidth, o.rearHeight, o.frameRate,
           static_cast<unsigned long long>(bytes));
    printf("generator: %.2f s (%.1fx real time)\n", ours, o.durationSec / ours);
    if (front < 0 || rear < 0) {
        printf("reference: ffmpeg not available, no ratio\n");
        return 0;
    }
    printf("reference (ffmpeg + libx264, same sizes): %.2f s\n", front + rear);
    printf("ratio generator / reference: %.2f\n", ours / (front + rear));
    return 0;
}
