// Recording reader throughput on a 3-minute two-camera recording: open with the index build
// (from idx1, and rebuilt from the movie data for a copy without idx1), and reading every
// chunk as the player does. Each figure is the median of several runs and is also given as a
// ratio to `cat FILE > /dev/null` on the same warm file, measured in the same run (cat's time
// includes starting the process, so a plain in-process fread of the file is shown as well).
//
//   bench_container [--duration SECONDS] [--runs N]

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
#include "media/CAVIExtractor.h"

namespace {

constexpr int32_t kPlayerCapacity = 1048576;

double MedianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool CopyPrefix(const std::string& from, const std::string& to, int64_t length) {
    std::vector<char> bytes(static_cast<size_t>(length));
    FILE* in = fopen(from.c_str(), "rb");
    if (in == nullptr) return false;
    const bool ok = fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
    fclose(in);
    FILE* out = fopen(to.c_str(), "wb");
    if (!ok || out == nullptr) return false;
    fwrite(bytes.data(), 1, bytes.size(), out);
    return fclose(out) == 0;
}

void Report(const char* what, double ms, double catMs, double extra = -1) {
    printf("%-34s %9.2f ms   %6.2f x cat", what, ms, ms / catMs);
    if (extra >= 0) printf("   %8.0f MB/s", extra);
    printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    BenchArgs args;
    args.runs = 7;
    if (!ParseBenchArgs(argc, argv, "bench_container", args)) return 2;
    const int duration = args.duration, runs = args.runs;
    const std::string folder = BenchDataFolder();
    const std::string path = BenchRecording(duration);
    if (path.empty()) return 1;

    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0) {
        fprintf(stderr, "%s: rejected\n", path.c_str());
        return 1;
    }
    const int64_t fileSize = static_cast<int64_t>(std::filesystem::file_size(path));
    // The same recording as a power loss leaves it: the movie data without idx1.
    const std::string unindexed = folder + "/container_" + std::to_string(duration) + "s_noidx.avi";
    if (!CopyPrefix(path, unindexed,
                    reader.GetMovieListPosition() + static_cast<int64_t>(reader.GetMovieSize()))) {
        fprintf(stderr, "cannot write %s\n", unindexed.c_str());
        return 1;
    }
    reader.CloseFile();
    printf("recording: %d s, %.1f MB, %d front + %d rear frames\n", duration, fileSize / 1e6,
           info.frontFrameCount, info.rearFrameCount);

    const std::string cat = "cat '" + path + "' > /dev/null";
    if (std::system(cat.c_str()) != 0) return 1;  // warms the page cache
    const double catMs = MedianMs(runs, [&] { (void)std::system(cat.c_str()); });

    std::vector<uint8_t> whole(kPlayerCapacity);
    const double freadMs = MedianMs(runs, [&] {
        FILE* f = fopen(path.c_str(), "rb");
        while (f != nullptr && fread(whole.data(), 1, whole.size(), f) == whole.size()) {
        }
        if (f != nullptr) fclose(f);
    });
    const double openMs = MedianMs(runs, [&] {
        MediaInfo out;
        reader.OpenFile(path.c_str(), &out);
        reader.CloseFile();
    });
    const double rebuildMs = MedianMs(runs, [&] {
        MediaInfo out;
        reader.OpenFile(unindexed.c_str(), &out);
        reader.CloseFile();
    });
    std::vector<uint8_t> buffer(kPlayerCapacity);
    int64_t chunks = 0;
    const double readMs = MedianMs(runs, [&] {
        reader.OpenFile(path.c_str(), nullptr);
        chunks = 0;
        char id[4];
        for (;;) {
            int32_t size = kPlayerCapacity;
            if (reader.ParseMedia(id, buffer.data(), &size) < 0) break;
            ++chunks;
        }
        reader.CloseFile();
    });
    if (reader.BuildIndex(unindexed.c_str(), &info) &&
        reader.GetIndexSource() != AviIndexSource::Rebuilt) {
        fprintf(stderr, "the copy without idx1 was not rebuilt\n");
        return 1;
    }

    printf("median of %d runs:\n", runs);
    Report("cat FILE > /dev/null", catMs, catMs, fileSize / 1e3 / catMs);
    Report("fread FILE in 1 MiB blocks", freadMs, catMs, fileSize / 1e3 / freadMs);
    Report("open + index from idx1", openMs, catMs);
    Report("open + index rebuilt (no idx1)", rebuildMs, catMs);
    char what[64];
    snprintf(what, sizeof what, "read all %lld chunks", static_cast<long long>(chunks));
    Report(what, readMs, catMs, fileSize / 1e3 / readMs);
    return 0;
}
