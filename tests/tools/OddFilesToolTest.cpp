// tarvex-tool on a card where a FIFO stands where a recording or the settings file should be:
// every command that would read it refuses it with a message and exit status 1 instead of
// blocking in the open for ever.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Only for a tool that hangs: the test then fails instead of hanging with it.
constexpr int kKillAfterMs = 20000;

struct ChildRun {
    bool endedByItself = false;
    int status = -1;
    std::string err;
};

ChildRun RunToolChild(const std::vector<std::string>& args, const fs::path& errPath) {
    std::vector<std::string> argv = {TARVEX_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildRun run;
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(errPath.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout))
            _exit(127);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    if (pid < 0) return run;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kKillAfterMs);
    int raw = 0;
    while (waitpid(pid, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.endedByItself = true;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errPath);
    std::stringstream text;
    text << in.rdbuf();
    run.err = text.str();
    return run;
}

}  // namespace

TEST(OddFilesTool, FifoOnTheCardIsRefusedWithAMessageInsteadOfBlocking) {
    const fs::path card = fs::path(TARVEX_TEST_DATA_DIR) / "odd_files_card";
    fs::remove_all(card);
    fs::create_directories(card / "DRIVING");
    fs::create_directories(card / "SETTING");
    const fs::path recording = card / "DRIVING" / "REC_20260314_182509_D.AVI";
    const fs::path settings = card / "SETTING" / "blackbox.cfg";
    ASSERT_EQ(mkfifo(recording.c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(settings.c_str(), 0644), 0);
    const fs::path out = card / "clip.mp4";

    struct Row {
        std::vector<std::string> args;
        std::string named;  // what the message names
    };
    const Row rows[] = {
        {{"info", recording.string()}, recording.string()},
        {{"trips", card.string()}, recording.string()},
        {{"play", recording.string()}, recording.string()},
        {{"export", "--from", "0", "--to", "1", recording.string(), out.string()},
         recording.string()},
        {{"config", card.string()}, settings.string()},
    };
    for (const Row& row : rows) {
        const ChildRun run = RunToolChild(row.args, card / "tool.err");
        if (!run.endedByItself) {
            ADD_FAILURE() << row.args[0] << " blocked on the FIFO";
            continue;
        }
        EXPECT_EQ(run.status, 1) << row.args[0] << ": " << run.err;
        EXPECT_NE(run.err.find(row.named), std::string::npos) << row.args[0] << ": " << run.err;
        EXPECT_FALSE(fs::exists(out)) << row.args[0];
    }
    fs::remove_all(card);
}
