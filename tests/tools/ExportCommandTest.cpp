// The export command as a user meets it in a card's folder: outputs that would replace an input
// or a recording are refused and every file stays byte for byte as it was; write failures
// name their cause and leave no output and no temporary behind, also when the export is
// killed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecordings = 3;
constexpr int kSeconds = 2;
constexpr rlim_t kFileLimitBytes = 8192;
constexpr int kPipeBytes = 4096;
constexpr auto kTempWait = std::chrono::seconds(30);

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = fs::is_symlink(e.path())
                                                  ? "-> " + fs::read_symlink(e.path()).string()
                                                  : ReadAll(e.path());
    return files;
}

struct ToolRun {
    int status = -1;  // exit status; -1 when killed
    int signal = 0;   // the signal that ended it
    std::string out;  // stdout and stderr
};

// Runs tarvex-tool without a shell, standard output and error into one pipe. With a file
// limit, writes past it fail with "File too large" (SIGXFSZ ignored) as on a full disk.
ToolRun RunTool(const std::vector<std::string>& args, rlim_t fileLimit = 0) {
    std::vector<std::string> argv{TARVEX_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        if (fileLimit > 0) {
            const rlimit limit{fileLimit, fileLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
        execv(raw[0], raw.data());
        _exit(127);
    }
    close(fds[1]);
    ToolRun run;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) run.out.append(buffer, n);
    close(fds[0]);
    int raw_status = 0;
    waitpid(pid, &raw_status, 0);
    if (WIFEXITED(raw_status)) run.status = WEXITSTATUS(raw_status);
    if (WIFSIGNALED(raw_status)) run.signal = WTERMSIG(raw_status);
    return run;
}

bool HasTemporaryOf(const fs::path& folder, const std::string& name) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("." + name + ".tmp-", 0) == 0) return true;
    return false;
}

class ExportCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path source = fs::path(TARVEX_TEST_DATA_DIR) / "export_command_source";
        fs::create_directories(source);
        for (int i = 0; i < kRecordings; ++i) {
            RecordingOptions o;
            o.durationSec = kSeconds;
            o.frontWidth = 160;
            o.frontHeight = 96;
            o.rearWidth = 128;
            o.rearHeight = 72;
            o.second = i * kSeconds;
            o.seed = static_cast<uint32_t>(i + 1);
            const fs::path path =
                source / RecordingFileName("REC", {2026, 3, 14, 18, 25, i * kSeconds}, true);
            std::string error;
            if (!fs::exists(path) && !WriteRecording(path.string(), o, &error)) s_error = error;
            s_names.push_back(path.filename().string());
        }
        s_source = source;
    }
    static void TearDownTestSuite() { s_names.clear(); }

    // A fresh copy of the card's folder for one case, with a file of the user's that a fixed
    // temporary name would hit.
    void SetUp() override {
        ASSERT_TRUE(s_error.empty()) << s_error;
        dir = fs::path(TARVEX_TEST_DATA_DIR) /
              ("export_command_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const std::string& name : s_names) fs::copy_file(s_source / name, dir / name);
        std::ofstream(dir / "clip.mp4.part") << "the user's own notes\n";
    }
    std::string Rec(int i) const { return (dir / s_names[static_cast<size_t>(i)]).string(); }
    std::string In(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
    static fs::path s_source;
    static std::vector<std::string> s_names;
    static std::string s_error;
};
fs::path ExportCommandTest::s_source;
std::vector<std::string> ExportCommandTest::s_names;
std::string ExportCommandTest::s_error;

TEST_F(ExportCommandTest, OutputsThatAreInputsOrRecordingsAreRefusedAndNothingChanges) {
    fs::create_symlink(Rec(0), dir / "link.mp4");
    fs::copy_file(Rec(2), dir / "old.mp4");  // a recording kept under a clip's name
    // The camera's own MP4 recordings: refused by their names, whatever they hold.
    for (const char* name : {"REC_20260314_182509_D.MP4", "EVENT_20260314_182609_N.mp4"})
        std::ofstream(dir / name) << std::string(
            "\0\0\0\x18"
            "ftypmp42",
            12);
    const std::vector<std::string> span{"--from", "0", "--to", "1"};
    struct Row {
        const char* what;
        std::vector<std::string> files;  // inputs and outputs, in order
        std::vector<std::string> gpx;
        int status;
        std::string message;
    };
    const std::vector<Row> rows = {
        {"the output forgotten",
         {Rec(0), Rec(1), Rec(2)},
         {},
         2,
         Rec(2) + ", is a recording; the output file is missing"},
        {"the GPX over another recording",
         {Rec(0), In("c.mp4")},
         {"--gpx", Rec(1)},
         1,
         Rec(1) + " is a recording"},
        {"the GPX over an input",
         {Rec(0), In("c.mp4")},
         {"--gpx", Rec(0)},
         1,
         Rec(0) + " is one of the recordings the clip is made from"},
        {"the GPX over the clip",
         {Rec(0), In("c.mp4")},
         {"--gpx", In("c.mp4")},
         1,
         In("c.mp4") + " is given for two outputs"},
        {"the GPX over the clip spelt otherwise",
         {Rec(0), In("c.mp4")},
         {"--gpx", dir.string() + "/./c.mp4"},
         1,
         "are one file"},
        {"the clip over an input through a link",
         {Rec(0), In("link.mp4")},
         {},
         1,
         "is the same file as " + Rec(0)},
        {"the clip over the camera's MP4 recording",
         {Rec(0), In("REC_20260314_182509_D.MP4")},
         {},
         2,
         In("REC_20260314_182509_D.MP4") + ", is a recording; the output file is missing"},
        {"the GPX over the camera's MP4 recording",
         {Rec(0), In("c.mp4")},
         {"--gpx", In("EVENT_20260314_182609_N.mp4")},
         1,
         In("EVENT_20260314_182609_N.mp4") + " is a recording"},
        {"the clip over a recording by its content",
         {Rec(0), In("old.mp4")},
         {},
         1,
         In("old.mp4") + " is a recording"},
    };
    const auto before = Snapshot(dir);
    for (const Row& row : rows) {
        std::vector<std::string> args{"export"};
        args.insert(args.end(), row.files.begin(), row.files.end());
        args.insert(args.end(), span.begin(), span.end());
        args.insert(args.end(), row.gpx.begin(), row.gpx.end());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, row.status) << row.what << ": " << run.out;
        EXPECT_NE(run.out.find(row.message), std::string::npos) << row.what << ": " << run.out;
        EXPECT_EQ(Snapshot(dir), before) << row.what;
    }
}

TEST_F(ExportCommandTest, WriteFailuresNameTheCauseAndLeaveNoOutput) {
    struct Row {
        const char* what;
        std::string gpx;
        rlim_t fileLimit;
        std::string message;
    };
    const std::vector<Row> rows = {
        {"a full disk", In("clip.gpx"), kFileLimitBytes,
         "cannot write " + In("clip.mp4") + ": File too large"},
        {"a GPX that cannot be written", In("missing/clip.gpx"), 0,
         "cannot write " + In("missing/clip.gpx") + ": No such file or directory"},
    };
    const auto before = Snapshot(dir);
    for (const Row& row : rows) {
        const ToolRun run = RunTool({"export", Rec(0), Rec(1), "--from", "0", "--to", "4",
                                     In("clip.mp4"), "--gpx", row.gpx},
                                    row.fileLimit);
        EXPECT_EQ(run.status, 1) << row.what << ": " << run.out;
        EXPECT_NE(run.out.find(row.message), std::string::npos) << row.what << ": " << run.out;
        EXPECT_EQ(run.out.find("cannot encode"), std::string::npos) << run.out;
        EXPECT_EQ(Snapshot(dir), before) << row.what;
    }
    // Without the fault the same export writes both files.
    const ToolRun run = RunTool({"export", Rec(0), Rec(1), "--from", "0", "--to", "4",
                                 In("clip.mp4"), "--gpx", In("clip.gpx")});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::exists(dir / "clip.mp4"));
    EXPECT_TRUE(fs::exists(dir / "clip.gpx"));
    EXPECT_EQ(ReadAll(dir / "clip.mp4.part"), "the user's own notes\n");
}

TEST_F(ExportCommandTest, KilledExportLeavesNoTemporaryAndSparesTheUsersFiles) {
    // The export reports progress into a pipe that is already full, so it stops at its first
    // report, with its temporaries created, until the signal comes.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETPIPE_SZ, kPipeBytes);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    const std::string fill(kPipeBytes, 'x');
    while (write(fds[1], fill.data(), fill.size()) > 0) {
    }
    while (write(fds[1], "x", 1) > 0) {
    }
    fcntl(fds[1], F_SETFL, 0);

    std::vector<std::string> argv{TARVEX_TOOL_PATH, "export", Rec(0),         Rec(1),
                                  "--from",         "0",      "--to",         "4",
                                  In("clip.mp4"),   "--gpx",  In("clip.gpx"), "--progress"};
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const auto before = Snapshot(dir);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        execv(raw[0], raw.data());
        _exit(127);
    }
    close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + kTempWait;
    while (!(HasTemporaryOf(dir, "clip.mp4") && HasTemporaryOf(dir, "clip.gpx")) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(HasTemporaryOf(dir, "clip.mp4"));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(fds[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(Snapshot(dir), before);
}

}  // namespace
