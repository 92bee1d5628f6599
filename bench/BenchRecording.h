#pragma once
// What the container and export benchmarks share: their arguments and the two-camera
// recording they both measure (1280x720 front, 640x360 rear, 30 fps), generated on first use
// into the build folder's benchdata and kept for later runs.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/cardgen/CardGenerator.h"

struct BenchArgs {
    int duration = 180;  // seconds of recording
    int runs = 5;        // the figures are medians over this many runs
};

// Reads "[--duration SECONDS] [--runs N]" over the defaults in args; false after printing the
// usage line when a value is not a positive number.
inline bool ParseBenchArgs(int argc, char** argv, const char* program, BenchArgs& args) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--duration") == 0) args.duration = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--runs") == 0) args.runs = std::atoi(argv[i + 1]);
    }
    if (args.duration < 1 || args.runs < 1) {
        fprintf(stderr, "usage: %s [--duration SECONDS] [--runs N]\n", program);
        return false;
    }
    return true;
}

inline std::string BenchDataFolder() {
    const std::string folder = std::string(TARVEX_BINARY_DIR) + "/benchdata";
    std::filesystem::create_directories(folder);
    return folder;
}

// The path of the recording of duration seconds, written first if it is not there yet; empty
// (with the reason printed) when it cannot be written.
inline std::string BenchRecording(int duration) {
    const std::string path = BenchDataFolder() + "/container_" + std::to_string(duration) + "s.avi";
    if (!std::filesystem::exists(path)) {
        RecordingOptions options;
        options.durationSec = duration;
        std::string error;
        printf("generating %s ...\n", path.c_str());
        if (!WriteRecording(path, options, &error)) {
            fprintf(stderr, "cannot generate the recording: %s\n", error.c_str());
            return std::string();
        }
    }
    return path;
}
