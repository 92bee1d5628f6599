// The evidence package end to end on a trip of two recordings (12 s, then 6 s one second
// after it): what the folder holds, `sha256sum -c` over it, verify, a changed byte named by
// verify, and the inputs refused without leaving anything behind; a cancel midway and the
// temporary folder of a killed run.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
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
          "20180820_184845.000_front.jpg", "20180820_184845.000_rear.jpg", "manifest.json"})
        EXPECT_TRUE(fs::is_regular_file(out / name)) << name;
    EXPECT_EQ(fs::file_size(out / "originals/REC_20180820_184843_D.AVI"), fs::file_size(Second()));

    const std::string listed = Shell("cd '" + out.string() + "' && sha256sum -c SHA256SUMS");
    EXPECT_EQ(listed.rfind("failed", 0), std::string::npos) << listed;
    EXPECT_NE(listed.find("clip.mp4: OK"), std::string::npos) << listed;
    EXPECT_NE(listed.find("manifest.json: OK"), std::string::npos) << listed;
#if TARVEX_WITH_REPORT
    EXPECT_NE(listed.find("report.pdf: OK"), std::string::npos) << listed;

    // The report: the moment on the camera clock, in UTC, the speed's unit, two pages or more.
    const std::string report = Shell("pdftotext '" + (out / "report.pdf").string() + "' -");
    for (const char* says :
         {"2018-08-20 18:48:45.000", "09:48:45.000 Z", "km/h", "360 video packets"})
        EXPECT_NE(report.find(says), std::string::npos) << says << "\n" << report;
    EXPECT_NE(Shell("pdfinfo '" + (out / "report.pdf").string() + "'").find("Pages:           2"),
              std::string::npos);
#endif

    const ToolOutput verified = RunToolCommand("verify '" + out.string() + "'");
    EXPECT_EQ(verified.status, 0) << verified.out;
    EXPECT_NE(verified.out.find("packets equal"), std::string::npos) << verified.out;

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

// A cancel during the composed clip leaves nothing; a later run clears what a killed run
// (a process that is gone) left beside the target, and keeps what a live one is writing.
TEST_F(PackageCommandTest, ACancelLeavesNothingAndAKilledRunsFolderIsCleared) {
    const fs::path out = Root() / "cancelled";
    fs::remove_all(out);
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const fs::path stale = Root() / (".cancelled.partial-" + std::to_string(dead));
    const fs::path live = Root() / (".cancelled.partial-" + std::to_string(getppid()));
    for (const fs::path& p : {stale, live}) fs::create_directories(p / "originals");

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
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    for (const auto& entry : fs::directory_iterator(Root())) {
        if (entry.path() == live) continue;
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
    }
    fs::remove_all(live);
}

}  // namespace
