// Listing a category folder of 10,000 recordings: `tarvex-tool list` against `ls -l` of the
// same folder, both run as processes with their output sent to /dev/null, interleaved, in the
// same run; plus the scan alone inside this process. Prints medians and the ratio (goal: the
// tool at most 1.5 times the time of ls -l).

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "support/Trace.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

constexpr int kRecordings = 10000;
constexpr int kRounds = 21;

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs argv with stdout and stderr on /dev/null; returns the wall time in ms, or -1.
double RunMs(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

bool MakeCard(const fs::path& card) {
    const fs::path folder = card / "DRIVING";
    std::error_code ec;
    fs::create_directories(folder, ec);
    size_t existing = 0;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); ++it)
        ++existing;
    if (existing == kRecordings) return true;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    for (int i = 0; i < kRecordings; ++i) {
        // One recording a minute from 2026-01-01 on; sizes up to ~100 MB, stored sparse.
        const int minute = i;
        char name[64];
        snprintf(name, sizeof name, "REC_202601%02d_%02d%02d00_%c.AVI", 1 + minute / 1440,
                 minute / 60 % 24, minute % 60, i % 3 ? 'D' : 'N');
        const std::string path = (folder / name).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return false;
        if (::ftruncate(fd, static_cast<off_t>((i * 7919L) % 100000000L)) != 0) {
            ::close(fd);
            return false;
        }
        ::close(fd);
    }
    return true;
}

}  // namespace

int main() {
    const fs::path card = fs::path(TARVEX_BINARY_DIR) / "benchdata" / "catalogue_card";
    if (!MakeCard(card)) {
        fprintf(stderr, "cannot build the sample folder under %s\n", card.c_str());
        return 1;
    }
    const std::string folder = (card / "DRIVING").string();
    SetTraceSink([](const std::string&) {});

    const std::vector<std::string> ls = {"ls", "-l", folder};
    const std::vector<std::string> tool = {TARVEX_TOOL_PATH, "list", card.string()};
    // Warm the directory cache and check both commands work.
    if (RunMs(ls) < 0 || RunMs(tool) < 0) {
        fprintf(stderr, "ls -l or tarvex-tool list failed\n");
        return 1;
    }
    std::vector<double> lsMs, toolMs, scanMs;
    for (int round = 0; round < kRounds; ++round) {
        lsMs.push_back(RunMs(ls));
        toolMs.push_back(RunMs(tool));
        std::vector<CatalogueRow> rows;
        const auto start = Clock::now();
        ListCatalogue(CardRoot(card.string()), CatalogueView::Driving, rows);
        scanMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (rows.size() != kRecordings) {
            fprintf(stderr, "listed %zu rows, expected %d\n", rows.size(), kRecordings);
            return 1;
        }
    }
    const double lsMedian = Median(lsMs);
    const double toolMedian = Median(toolMs);
    printf("recordings                    %d\n", kRecordings);
    printf("ls -l (median of %d)          %.2f ms\n", kRounds, lsMedian);
    printf("tarvex-tool list (median)     %.2f ms\n", toolMedian);
    printf("scan in process (median)      %.2f ms\n", Median(scanMs));
    printf("ratio tool / ls -l            %.2f (goal <= 1.50)\n", toolMedian / lsMedian);
    return 0;
}
