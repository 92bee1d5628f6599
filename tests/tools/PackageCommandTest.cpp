// The evidence package end to end on a trip of two recordings (12 s, then 6 s one second
// after it): what the folder holds, `sha256sum -c` over it, verify, a changed byte named by
// verify, and the inputs refused without leaving anything behind; a cancel midway. Then what
// must never go wrong: a source that changes while it is read, the target folder as given
// (a trailing slash, links), the temporary folders of killed runs beside others' folders, a
// name `sha256sum` has to escape, and every file flushed before the package is in place.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "evidence/EvidencePackage.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

class PackageCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::remove_all(Root());
        fs::create_directories(Root() / "card" / "DRIVING");
        fs::create_directories(Root() / "card" / "SETTING");
        std::ofstream(Root() / "card" / "SETTING" / "blackbox.cfg") << "VOLUME=3\n";
        const struct {
            std::string path;
            int seconds, minute, second;
        } recordings[] = {{First(), 12, 48, 30}, {Second(), 6, 48, 43}};
        for (const auto& r : recordings) {
            RecordingOptions o;
            o.durationSec = r.seconds;
            o.frontWidth = 320, o.frontHeight = 180, o.rearWidth = 160, o.rearHeight = 90;
            o.year = 2018, o.month = 8, o.day = 20, o.hour = 18;
            o.minute = r.minute, o.second = r.second;
            std::string error;
            ASSERT_TRUE(WriteRecording(r.path, o, &error)) << error;
        }
    }
    static fs::path Root() { return fs::path(TARVEX_TEST_DATA_DIR) / "package"; }
    static std::string First() {
        return (Root() / "card/DRIVING/REC_20180820_184830_D.AVI").string();
    }
    static std::string Second() {
        return (Root() / "card/DRIVING/REC_20180820_184843_D.AVI").string();
    }
    static ToolOutput Package(const std::string& args, const fs::path& out) {
        return RunToolCommand("package " + args + " '" + out.string() + "' 2>&1");
    }
    // A recording of its own for a test that changes or names it, in a card folder of its own.
    static std::string OwnCopy(const std::string& folder,
                               const std::string& name = "REC_20180820_184830_D.AVI") {
        const fs::path drive = Root() / folder / "card" / "DRIVING";
        fs::remove_all(Root() / folder);
        fs::create_directories(drive);
        fs::copy_file(First(), drive / name);
        return (drive / name).string();
    }
    static PackageRequest Request(const std::string& path, const fs::path& out) {
        PackageRequest request;
        request.paths = {path};
        request.fromMs = 2000, request.toMs = 4000;
        request.outDir = out.string();
        return request;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The hidden folders in folder (temporary folders, and look-alikes).
    static std::set<std::string> Hidden(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string()[0] == '.') names.insert(e.path().filename().string());
        return names;
    }
    static std::string Shell(const std::string& command) {
        std::string text;
        FILE* pipe = popen((command + " 2>&1").c_str(), "r");
        if (!pipe) return text;
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
        return pclose(pipe) == 0 ? text : "failed: " + text;
    }
};

TEST_F(PackageCommandTest, AWholePackageChecksAndAChangedByteIsNamed) {
    const fs::path out = Root() / "evidence";
    fs::remove_all(out);
    const ToolOutput run =
        Package("'" + First() + "' '" + Second() + "' --from 10 --to 16 --at 14", out);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"all_equal\": true"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"clock_offset_s\": 32400"), std::string::npos) << run.out;
    // The moment in the manifest: the camera clock, and UTC nine hours behind it.
    std::ifstream manifestFile(out / "manifest.json");
    const std::string manifest((std::istreambuf_iterator<char>(manifestFile)), {});
    for (const char* says :
         {"\"camera_clock\": \"2018-08-20T18:48:45.000\"", "\"utc\": \"2018-08-20T09:48:45.000Z\"",
          "\"offset_from_utc_s\": 32400"})
        EXPECT_NE(manifest.find(says), std::string::npos) << says << "\n" << manifest;
    for (const char* name :
         {"originals/REC_20180820_184830_D.AVI", "originals/REC_20180820_184843_D.AVI",
          "originals/blackbox.cfg", "clip.mp4", "clip_composed.mp4", "track.gpx",
          "20180820_184845.000_front.jpg", "20180820_184845.000_rear.jpg", "manifest.json",
          "README.txt"})
        EXPECT_TRUE(fs::is_regular_file(out / name)) << name;
    EXPECT_EQ(fs::file_size(out / "originals/REC_20180820_184843_D.AVI"), fs::file_size(Second()));

    const std::string listed = Shell("cd '" + out.string() + "' && sha256sum -c SHA256SUMS");
    EXPECT_EQ(listed.rfind("failed", 0), std::string::npos) << listed;
    EXPECT_NE(listed.find("clip.mp4: OK"), std::string::npos) << listed;
    EXPECT_NE(listed.find("manifest.json: OK"), std::string::npos) << listed;
#if TARVEX_WITH_REPORT
    EXPECT_NE(listed.find("report.pdf: OK"), std::string::npos) << listed;

    // The report: the moment on the camera clock, in UTC, the clock's zone, the speed's unit,
    // two pages counted, words whole in the text layer (no "fi" ligature).
    const std::string report = Shell("pdftotext '" + (out / "report.pdf").string() + "' -");
    for (const char* says : {"2018-08-20 18:48:45.000", "09:48:45.000 Z", "km/h",
                             "360 video packets", "UTC+09:00", "valid GPS fixes", "Page 2 of 2"})
        EXPECT_NE(report.find(says), std::string::npos) << says << "\n" << report;
    EXPECT_NE(Shell("pdfinfo '" + (out / "report.pdf").string() + "'").find("Pages:           2"),
              std::string::npos);
#endif

    const ToolOutput verified = RunToolCommand("verify '" + out.string() + "'");
    EXPECT_EQ(verified.status, 0) << verified.out;
    EXPECT_NE(verified.out.find("packets of clip.mp4 equal"), std::string::npos) << verified.out;
    // Both name the package by one fingerprint.
    const size_t at = run.out.find("\"fingerprint\": \"");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_NE(verified.out.find("fingerprint: " + run.out.substr(at + 16, 64)), std::string::npos)
        << verified.out;

    {
        std::fstream f(out / "originals/REC_20180820_184843_D.AVI",
                       std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(40000);
        const char byte = static_cast<char>(f.get() ^ 1);
        f.seekp(40000);
        f.put(byte);
    }
    const ToolOutput changed = RunToolCommand("verify '" + out.string() + "'");
    EXPECT_EQ(changed.status, 1) << changed.out;
    EXPECT_NE(changed.out.find("changed: originals/REC_20180820_184843_D.AVI"), std::string::npos)
        << changed.out;
    EXPECT_EQ(RunToolCommand("verify").status, 2);
}

#if TARVEX_WITH_REPORT
// Asked in mph, the report gives the speeds in mph: a steady drive reads in the report as the
// viewer's speed box reads it in that unit.
TEST_F(PackageCommandTest, TheReportGivesSpeedsInTheUnitAsked) {
    RecordingOptions o;
    o.durationSec = 20;  // long enough to reach its cruising speed
    o.calmDrive = true;
    o.frontWidth = 160, o.frontHeight = 90, o.rearWidth = 160, o.rearHeight = 90;
    const std::string steady = (Root() / "steady" / "REC_20260314_182509_D.AVI").string();
    fs::create_directories(Root() / "steady");
    std::string error;
    ASSERT_TRUE(WriteRecording(steady, o, &error)) << error;
    const ToolOutput shown = RunToolCommand("telemetry '" + steady + "' --speed-unit mph");
    const std::string key = "\"speed_shown\": ";
    const size_t at = shown.out.find(key);
    ASSERT_NE(at, std::string::npos) << shown.out;
    const long mph = std::lround(std::stod(shown.out.substr(at + key.size())));
    ASSERT_GT(mph, 20) << "a speed at which the units differ plainly";

    const fs::path out = Root() / "in-mph";
    fs::remove_all(out);
    const ToolOutput run =
        Package("'" + steady + "' --from 2 --to 4 --at 3 --mph --lang en --no-sound", out);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string report = Shell("pdftotext '" + (out / "report.pdf").string() + "' -");
    for (const std::string& says : {"At the moment: " + std::to_string(mph) + " mph",
                                    "Highest in the clip: " + std::to_string(mph) + " mph"})
        EXPECT_NE(report.find(says), std::string::npos) << says << "\n" << report;
    EXPECT_EQ(report.find("km/h"), std::string::npos) << report;
}

// The Korean report keeps its figures copyable: every hash a reader would compare, the clock's
// zone, the clip's ends in UTC, the events by name, the pages counted, and the one version
// the tool and the manifest also give.
TEST_F(PackageCommandTest, TheKoreanReportsTextHoldsItsFiguresAndHashes) {
    const fs::path out = Root() / "korean";
    fs::remove_all(out);
    const ToolOutput run = Package("'" + First() + "' --from 8 --to 12 --lang ko", out);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string report = Shell("pdftotext '" + (out / "report.pdf").string() + "' -");
    std::istringstream sums(Read(out / "SHA256SUMS"));
    int hashes = 0;
    for (std::string hash, name; sums >> hash >> name;) {
        if (name == "report.pdf" || name == "manifest.json") continue;  // cannot hold their own
        EXPECT_NE(report.find(hash), std::string::npos) << name << "\n" << report;
        ++hashes;
    }
    EXPECT_GE(hashes, 6);
    const std::string version = RunToolCommand("--version").out;
    ASSERT_EQ(version.rfind("tarvex-tool ", 0), 0u) << version;
    const std::string number = version.substr(12, version.find('\n') - 12);
    EXPECT_NE(Read(out / "manifest.json").find("\"version\": \"" + number + "\""),
              std::string::npos);
    for (const std::string& says :
         {std::string("UTC+09:00"), std::string("2018-08-20 09:48:38.000 Z"),
          std::string("2018-08-20 18:48:42.000"), std::string("급제동 · 18:48:39"),
          std::string("증거 보고서"), "tarvex-tool " + number, std::string("2쪽 중 2쪽")})
        EXPECT_NE(report.find(says), std::string::npos) << says << "\n" << report;
    EXPECT_EQ(report.find("harsh_braking"), std::string::npos) << report;
}

// A package for a portal: the composed clip in parts within its limits, over the join of the
// two recordings, each part named with its stretch and hash in the report and the manifest,
// and the package still verifies.
TEST_F(PackageCommandTest, APortalsPackageListsEveryPartWithItsStretchAndHash) {
    const fs::path out = Root() / "portal";
    fs::remove_all(out);
    const ToolOutput run = Package("'" + First() + "' '" + Second() +
                                       "' --from 2 --to 17 --lang ko --portal kr --max-seconds 5",
                                   out);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string report = Shell("pdftotext '" + (out / "report.pdf").string() + "' -");
    const std::string manifest = Read(out / "manifest.json");
    const std::string sums = Read(out / "SHA256SUMS");
    uintmax_t bytes = 0;
    for (const char* name :
         {"clip_composed_1of3.mp4", "clip_composed_2of3.mp4", "clip_composed_3of3.mp4"}) {
        ASSERT_TRUE(fs::is_regular_file(out / name)) << name << "\n" << run.out;
        bytes += fs::file_size(out / name);
        const size_t at = sums.find(std::string("  ") + name);
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_NE(report.find(sums.substr(at - 64, 64)), std::string::npos) << name;
        EXPECT_NE(report.find(name), std::string::npos) << name;
        EXPECT_NE(manifest.find(std::string("\"path\": \"") + name + "\", \"from_camera_clock"),
                  std::string::npos)
            << name;
    }
    EXPECT_LE(bytes, 50000000u);
    EXPECT_FALSE(fs::exists(out / "clip_composed.mp4"));
    EXPECT_NE(report.find("18:48:32.000 - 18:48:37.000"), std::string::npos) << report;
    EXPECT_NE(Read(out / "README.txt").find("clip_composed_1of3.mp4"), std::string::npos);
    EXPECT_EQ(RunToolCommand("verify '" + out.string() + "'").status, 0);
}
#endif

TEST_F(PackageCommandTest, WrongInputsAreRefusedAndLeaveNothing) {
    const fs::path full = Root() / "full";
    fs::create_directories(full);
    std::ofstream(full / "note.txt") << "mine";
    const struct {
        std::string args;
        fs::path out;
        int status;
        const char* says;
    } cases[] = {
        {"'" + First() + "' --from 2 --to 4", full, 1, "not an empty folder"},
        {"'" + Second() + "' '" + First() + "' --from 2 --to 4", Root() / "a", 1,
         "does not follow"},
        {"'" + First() + "' --from 10 --to 14", Root() / "b", 1, "outside the recordings"},
        {"'" + First() + "' --from 4 --to 4", Root() / "c", 2, "--to must be after --from"},
    };
    for (const auto& c : cases) {
        const ToolOutput run = Package(c.args, c.out);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(full), fs::directory_iterator()), 1);
    for (const char* name : {"a", "b", "c"}) EXPECT_FALSE(fs::exists(Root() / name)) << name;
    for (const auto& entry : fs::directory_iterator(Root()))
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
}

// A cancel during the composed clip leaves nothing.
TEST_F(PackageCommandTest, ACancelLeavesNothing) {
    const fs::path out = Root() / "cancelled";
    fs::remove_all(out);
    std::atomic<bool> cancel{false};
    std::vector<std::string> steps;
    double lastFraction = -1;
    bool fractionsRise = true;
    PackageRequest request;
    request.paths = {First()};
    request.fromMs = 2000, request.toMs = 8000;
    request.outDir = out.string();
    request.progress = [&](const std::string& step) {
        steps.push_back(step);
        if (step == "writing the composed clip") cancel = true;
    };
    request.fraction = [&](double f) {
        fractionsRise = fractionsRise && f >= lastFraction && f <= 1.0;
        lastFraction = f;
    };
    request.cancel = &cancel;
    PackageResult result;
    std::string error;
    EXPECT_FALSE(WritePackage(request, {}, &result, &error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(steps.back(), "writing the composed clip");
    EXPECT_TRUE(fractionsRise);
    EXPECT_FALSE(fs::exists(out));
    for (const auto& entry : fs::directory_iterator(Root()))
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
}

// A source that changes or goes while it is read fails the package, named; one the card takes
// away after its copy (pulled during the clips) is listed with the size and time of the copy.
TEST_F(PackageCommandTest, ASourceChangedWhileReadFailsAndAGoneOneKeepsItsCopysFacts) {
    enum class When { CopyBegins, MidCopy, AfterCopy };
    const auto append = [](const fs::path& p) { std::ofstream(p, std::ios::app) << "more"; };
    const auto halve = [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) / 2); };
    const auto remove = [](const fs::path& p) { fs::remove(p); };
    const struct {
        const char* name;
        When when;
        std::function<void(const fs::path&)> edit;
        const char* says;  // null: the package is written
    } cases[] = {
        {"grown-before-copy", When::CopyBegins, append, "changed while it was read"},
        {"grown-mid-copy", When::MidCopy, append, "changed while it was copied"},
        {"truncated-mid-copy", When::MidCopy, halve, "changed while it was copied"},
        {"removed-mid-copy", When::MidCopy, remove, "went away while it was copied"},
        {"removed-after-copy", When::AfterCopy, remove, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = OwnCopy(c.name);
        struct stat st {};
        ASSERT_EQ(::stat(source.c_str(), &st), 0);
        char modified[32];
        std::tm tm{};
        gmtime_r(&st.st_mtim.tv_sec, &tm);
        std::strftime(modified, sizeof modified, "%Y-%m-%dT%H:%M:%SZ", &tm);

        const fs::path out = Root() / c.name / "out";
        PackageRequest request = Request(source, out);
        bool copying = false, edited = false;
        auto edit = [&](When now) {
            if (now == c.when && !edited) c.edit(source), edited = true;
        };
        request.progress = [&](const std::string& step) {
            copying = step == "copying the originals";
            if (copying) edit(When::CopyBegins);
            if (step == "writing the lossless clip") edit(When::AfterCopy);
        };
        request.fraction = [&](double f) {
            if (copying && f > 0) edit(When::MidCopy);
        };
        PackageResult result;
        std::string error;
        const bool written = WritePackage(request, {}, &result, &error);
        EXPECT_TRUE(edited);
        if (c.says) {
            EXPECT_FALSE(written);
            EXPECT_NE(error.find(source), std::string::npos) << error;
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
            EXPECT_FALSE(fs::exists(out));
            EXPECT_TRUE(Hidden(Root() / c.name).empty());
            continue;
        }
        ASSERT_TRUE(written) << error;
        EXPECT_EQ(fs::file_size(out / "originals" / fs::path(source).filename()),
                  static_cast<uintmax_t>(st.st_size));
        const std::string facts =
            "\"size\": " + std::to_string(st.st_size) + ", \"modified_utc\": \"" + modified + "\"";
        EXPECT_NE(Read(out / "manifest.json").find(facts), std::string::npos) << facts;
    }
}

// The target as given is checked before any work: a trailing "/" or "/." names the folder
// itself; a link (to an empty folder, or to nothing) and a folder that cannot hold the
// package are refused and stay as they were.
TEST_F(PackageCommandTest, TheTargetIsCheckedFirstAndNoLinkOfTheUsersIsTouched) {
    const fs::path folder = Root() / "targets";
    fs::remove_all(folder);
    for (const char* empty : {"emp", "real"}) fs::create_directories(folder / empty);
    fs::create_directory_symlink("real", folder / "link");
    fs::create_directory_symlink("nowhere", folder / "dangling");
    const struct {
        const char* out;
        int status;
        const char* says;
        const char* package;  // the folder that holds the package after a success
    } cases[] = {
        {"pk/", 0, "\"all_equal\": true", "pk"},
        {"emp/.", 0, "\"all_equal\": true", "emp"},
        {"link", 1, "is a symbolic link", nullptr},
        {"dangling", 1, "is a symbolic link", nullptr},
        {"missing/pk", 1, "does not exist", nullptr},
        {"other/..", 1, "names no folder of its own", nullptr},
    };
    for (const auto& c : cases) {
        const ToolOutput run =
            Package("'" + First() + "' --from 2 --to 4 --progress", folder / c.out);
        EXPECT_EQ(run.status, c.status) << c.out << "\n" << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.out << "\n" << run.out;
        if (c.package) {
            EXPECT_TRUE(fs::is_regular_file(folder / c.package / "manifest.json")) << c.out;
            EXPECT_TRUE(Hidden(folder / c.package).empty()) << c.out;
        } else {
            EXPECT_EQ(run.out.find("copying the originals"), std::string::npos) << c.out;
        }
    }
    EXPECT_TRUE(fs::is_symlink(folder / "link"));
    EXPECT_EQ(fs::read_symlink(folder / "link"), "real");
    EXPECT_TRUE(fs::is_empty(folder / "real"));
    EXPECT_TRUE(fs::is_symlink(folder / "dangling"));
    EXPECT_FALSE(fs::exists(folder / "missing"));
    EXPECT_TRUE(Hidden(folder).empty());
}

// The temporary folder a killed run left behind, whatever its target, goes at the next run
// beside it; one whose run lives (its lock held, as by a run in another PID namespace),
// another host's, and the user's own look-alikes stay.
TEST_F(PackageCommandTest, OnlyTheLeftoversOfKilledRunsAreSwept) {
    const fs::path folder = Root() / "sweep";
    fs::remove_all(folder);
    fs::create_directories(folder);
    // A run killed while its clip is written; returns the folder it leaves.
    const auto killedRun = [&](const std::string& target) {
        const std::set<std::string> before = Hidden(folder);
        const pid_t child = fork();
        if (child == 0) {
            PackageRequest request = Request(First(), folder / target);
            request.progress = [](const std::string& step) {
                if (step == "writing the lossless clip") raise(SIGKILL);
            };
            PackageResult result;
            std::string error;
            WritePackage(request, {}, &result, &error);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        for (const std::string& name : Hidden(folder))
            if (!before.count(name)) return folder / name;
        ADD_FAILURE() << "the killed run left no folder";
        return fs::path();
    };
    // The marker is the one hidden file at the top of a run's folder.
    const auto marker = [](const fs::path& scratch) {
        for (const auto& e : fs::directory_iterator(scratch))
            if (e.is_regular_file() && e.path().filename().string()[0] == '.') return e.path();
        return fs::path();
    };
    // Held as a live run holds it; each killed run would sweep the one before otherwise.
    const auto hold = [&marker](const fs::path& scratch) {
        const int fd = ::open(marker(scratch).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << scratch;
        return fd;
    };
    const fs::path dead = killedRun("first");
    const int deadHeld = hold(dead);
    const fs::path living = killedRun("second");
    const int held = hold(living);
    const fs::path elsewhere = killedRun("third");
    ::close(deadHeld);
    {
        std::string text = Read(marker(elsewhere));
        const size_t host = text.find("\nhost ");
        ASSERT_NE(host, std::string::npos) << text;
        text.replace(host + 6, text.find('\n', host + 1) - host - 6, "another-machine");
        std::ofstream(marker(elsewhere), std::ios::trunc) << text;
    }
    for (const char* mine : {".mine.partial-12345", ".first.partial-999999999"}) {
        fs::create_directories(folder / mine);
        std::ofstream(folder / mine / "note.txt") << "mine";
    }

    const ToolOutput run = Package("'" + First() + "' --from 2 --to 4", folder / "new");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_FALSE(fs::exists(dead));
    for (const fs::path& kept : {living, elsewhere})
        EXPECT_TRUE(fs::is_directory(kept / "originals")) << kept;
    for (const char* mine : {".mine.partial-12345", ".first.partial-999999999"})
        EXPECT_EQ(Read(folder / mine / "note.txt"), "mine") << mine;

    // Once its run is over, the next run takes it away.
    ::close(held);
    EXPECT_EQ(Package("'" + First() + "' --from 2 --to 4", folder / "newer").status, 0);
    EXPECT_FALSE(fs::exists(living));
    EXPECT_TRUE(fs::exists(elsewhere));
}

// A name holding a newline and a backslash is escaped in SHA256SUMS as `sha256sum` does, so
// both `sha256sum -c` and verify accept the package.
TEST_F(PackageCommandTest, ANameSha256sumMustEscapeIsListedSoBothCheckersAccept) {
    const std::string name = "REC_20180820_184830_D\\a\nb.AVI";
    const std::string source = OwnCopy("escaped", name);
    const fs::path out = Root() / "escaped" / "out";
    PackageResult result;
    std::string error;
    ASSERT_TRUE(WritePackage(Request(source, out), {}, &result, &error)) << error;
    EXPECT_NE(Read(out / "SHA256SUMS").find("  originals/REC_20180820_184830_D\\\\a\\nb.AVI\n"),
              std::string::npos)
        << Read(out / "SHA256SUMS");
    const std::string listed = Shell("cd '" + out.string() + "' && sha256sum -c SHA256SUMS");
    EXPECT_EQ(listed.rfind("failed", 0), std::string::npos) << listed;
    const ToolOutput verified = RunToolCommand("verify '" + out.string() + "'");
    EXPECT_EQ(verified.status, 0) << verified.out;
}

// Every file of the package is flushed to the device before the folder is renamed into
// place, and the folder holding it after.
TEST_F(PackageCommandTest, EveryFileAndTheRenameReachTheDevice) {
    if (Shell("strace -qq -e trace=none true").rfind("failed", 0) == 0)
        GTEST_SKIP() << "strace cannot trace here";
    const fs::path out = Root() / "durable";
    fs::remove_all(out);
    const fs::path log = Root() / "durable.strace";
    Shell("strace -f -y -qq -e trace=fsync,rename -o '" + log.string() + "' " + TARVEX_TOOL_PATH +
          " package '" + First() + "' --from 2 --to 4 '" + out.string() + "' >/dev/null");
    ASSERT_TRUE(fs::is_regular_file(out / "manifest.json"));
    std::vector<std::string> calls;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    const auto at = [&calls](const std::string& call) {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].find(call) != std::string::npos) return static_cast<long>(i);
        return -1L;
    };
    const long moved = at(", \"" + out.string() + "\") = 0");
    ASSERT_GE(moved, 0);
    for (const auto& e : fs::recursive_directory_iterator(out)) {
        const std::string rel = fs::relative(e.path(), out).string();
        bool found = false;
        for (long i = 0; i < moved && !found; ++i)
            found = calls[i].find("fsync(") != std::string::npos &&
                    calls[i].find("/" + rel + ">) = 0") != std::string::npos;
        EXPECT_TRUE(found) << rel;
    }
    bool parentSynced = false;
    for (size_t i = moved + 1; i < calls.size(); ++i)
        parentSynced =
            parentSynced || calls[i].find("<" + Root().string() + ">) = 0") != std::string::npos;
    EXPECT_TRUE(parentSynced);
}

}  // namespace
