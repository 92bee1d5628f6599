// Recovery from card images built the way a PC leaves a card: FAT32 made with mkfs.vfat,
// recordings copied and deleted with mtools, the card quick-formatted, no mount anywhere.
// The recordings are the generator's, so every one that comes back whole must carry the
// original's SHA-256, and the image itself must never change.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>

#include "evidence/Sha256.h"
#include "tests/GeneratedRecording.h"
#include "tests/ToolRun.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(TARVEX_TEST_DATA_DIR) + "/recover";

// A short two-camera recording starting at 18:MM:09, so carved names tell them apart.
std::string Recording(int minute, int seconds) {
    RecordingOptions o;
    o.durationSec = seconds;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 160;
    o.rearHeight = 96;
    o.minute = minute;
    o.seed = static_cast<uint32_t>(minute);
    return GeneratedRecording(
        kData + "/src_" + std::to_string(minute) + "_" + std::to_string(seconds) + ".AVI", o);
}

std::string CardName(int minute) {
    return "REC_20260314_18" + std::to_string(minute) + "09_D.AVI";
}

std::string Hash(const std::string& path) {
    std::string hex, error;
    EXPECT_TRUE(Sha256OfFile(path, &hex, &error)) << error;
    return hex;
}

std::string Contents(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), {});
}

void Shell(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// The value of "key" in one JSON line (a string's content, or a number, true, false, null).
std::string Field(const std::string& line, const std::string& key) {
    const std::regex re("\"" + key + "\": (\"([^\"]*)\"|[^,}]+)");
    std::smatch m;
    if (!std::regex_search(line, m, re)) return "";
    return m[2].matched ? m[2].str() : m[1].str();
}

struct Recovered {
    int status = -1;
    std::vector<std::string> lines;  // one per recording found
    std::string summary;
    std::string Line(const std::string& key, const std::string& value) const {
        for (const std::string& l : lines)
            if (Field(l, key) == value) return l;
        return "";
    }
};

class CardRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = kData + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_dir);
        fs::create_directories(m_dir + "/out");
        m_image = m_dir + "/card.img";
        Shell("mkfs.vfat -F 32 -C " + m_image + " 65536");
        Shell("mmd -i " + m_image + " ::/DRIVING");
    }
    void Copy(const std::string& file, int minute) {
        Shell("mcopy -i " + m_image + " " + file + " ::/DRIVING/" + CardName(minute));
    }
    void Delete(int minute) { Shell("mdel -i " + m_image + " ::/DRIVING/" + CardName(minute)); }
    // The next file is placed from the card's first free cluster, as a card that has wrapped
    // around allocates.
    void AllocateFromStart() {
        std::fstream f(m_image, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(512 + 492);
        f.write("\xff\xff\xff\xff", 4);
    }
    Recovered Recover(const std::string& source, const std::string& options = "") {
        const std::string before = Hash(source);
        fs::remove_all(m_dir + "/out");
        fs::create_directories(m_dir + "/out");
        const ToolOutput run =
            RunToolCommand("recover " + source + " " + m_dir + "/out " + options);
        EXPECT_EQ(Hash(source), before) << "the source changed";
        Recovered r;
        r.status = run.status;
        std::istringstream in(run.out);
        for (std::string line; std::getline(in, line);)
            (line.rfind("{\"summary\"", 0) == 0 ? r.summary : r.lines.emplace_back()) = line;
        return r;
    }
    std::string m_dir, m_image;
};

TEST_F(CardRecoveryTest, DeletedAndFormattedRecordingsComeBackWhole) {
    const std::string a = Recording(21, 3), b = Recording(22, 3), c = Recording(23, 4);
    Copy(a, 21);
    Copy(b, 22);
    Copy(c, 23);
    Delete(21);
    Delete(23);

    Recovered r = Recover(m_image);
    ASSERT_EQ(r.status, 0);
    for (int minute : {21, 23}) {
        const std::string line = r.Line("name", CardName(minute));
        EXPECT_EQ(Field(line, "source"), "deleted") << line;
        EXPECT_EQ(Field(line, "state"), "whole") << line;
        EXPECT_EQ(Field(line, "sha256"), Hash(minute == 21 ? a : c));
        EXPECT_EQ(Hash(m_dir + "/out/" + CardName(minute)), Hash(minute == 21 ? a : c));
    }
    // Live recordings are listed, not copied, unless all are asked for.
    const std::string live = r.Line("name", CardName(22));
    EXPECT_EQ(Field(live, "source"), "live");
    EXPECT_EQ(Field(live, "written"), "null");
    EXPECT_EQ(Field(live, "sha256"), Hash(b));
    EXPECT_EQ(Field(Recover(m_image, "--all").Line("name", CardName(22)), "source"), "live");
    EXPECT_TRUE(fs::exists(m_dir + "/out/" + CardName(22)));

    // A quick format leaves no name: each comes back under the time of its first fix, also
    // where the new file system's clusters lie elsewhere than the old one's.
    for (const std::string format : {"mformat -F -i IMAGE ::", "mkfs.vfat -F 32 -s 8 -R 7 IMAGE"}) {
        SCOPED_TRACE(format);
        const std::string formatted = m_image + ".formatted";
        fs::copy_file(m_image, formatted, fs::copy_options::overwrite_existing);
        Shell(std::regex_replace(format, std::regex("IMAGE"), formatted));
        r = Recover(formatted);
        EXPECT_EQ(Field(r.summary, "whole"), "3") << r.summary;
        for (const auto& [minute, file] : {std::pair{21, a}, {22, b}, {23, c}}) {
            const std::string name = "RECOVERED_20260314_18" + std::to_string(minute) + "09_D.AVI";
            const std::string line = r.Line("name", name);
            EXPECT_EQ(Field(line, "source"), "carved") << name;
            EXPECT_EQ(Hash(m_dir + "/out/" + name), Hash(file)) << name;
        }
    }
}

// A written, B written, A deleted, C larger than A's hole: C lies in two runs. Once its chain
// is gone it comes back up to the break, marked cut, and plays.
TEST_F(CardRecoveryTest, FragmentedRecordingWithoutChainComesBackCutAndPlays) {
    const std::string a = Recording(31, 3), b = Recording(32, 3), c = Recording(33, 6);
    Copy(a, 31);
    Copy(b, 32);
    Delete(31);
    AllocateFromStart();
    Copy(c, 33);
    const std::string fragmented = m_image + ".fragmented";
    fs::copy_file(m_image, fragmented);
    Delete(33);  // the chain freed, B still live
    const std::string formatted = m_image + ".formatted";
    fs::copy_file(fragmented, formatted);
    Shell("mformat -F -i " + formatted + " ::");  // nothing live any more

    struct Case {
        std::string source;
        std::string name;
    } cases[] = {{fragmented, CardName(33)},
                 {m_image, CardName(33)},
                 {formatted, "RECOVERED_20260314_183309_D.AVI"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.source);
        const Recovered r = Recover(k.source, "--all");
        const std::string line = r.Line("name", k.name);
        ASSERT_FALSE(line.empty()) << r.summary;
        if (k.source == fragmented) {
            // The live chain reads it whole across both runs.
            EXPECT_EQ(Field(line, "state"), "whole");
            EXPECT_EQ(Field(line, "fragments"), "2");
            EXPECT_EQ(Hash(m_dir + "/out/" + k.name), Hash(c));
            continue;
        }
        EXPECT_EQ(Field(line, "state"), "cut");
        const int frames = std::stoi(Field(line, "frames"));
        EXPECT_GT(frames, 0);
        EXPECT_LT(frames, 6 * 30);
        const std::string out = m_dir + "/out/" + k.name;
        // Nothing from the clusters past the break: the copy is the original's beginning.
        const std::string got = Contents(out);
        EXPECT_EQ(got, Contents(c).substr(0, got.size()));
        EXPECT_EQ(Field(RunToolCommand("info " + out).out, "front_frames"), std::to_string(frames));
        const ToolOutput play = RunToolCommand("play " + out + " --no-clock 2>/dev/null");
        EXPECT_EQ(play.status, 0);
        EXPECT_NE(play.out.find("\"front_shown\": " + std::to_string(frames)), std::string::npos)
            << play.out.substr(play.out.size() > 400 ? play.out.size() - 400 : 0);
        // B, in the way of C's second run, is untouched by C's recovery.
        EXPECT_EQ(Field(r.Line("sha256", Hash(b)), "state"), "whole");
    }
}

// Sources the file system cannot describe: the cluster scan still finds every recording, and
// one that ends early keeps what was read.
TEST_F(CardRecoveryTest, DamagedSourcesFallBackToTheScan) {
    const std::string a = Recording(41, 3), b = Recording(42, 4);
    Copy(a, 41);
    Copy(b, 42);
    struct Case {
        const char* what;
        std::function<void(const std::string&)> damage;
        const char* bState;
    } cases[] = {
        {"boot sector signature gone",
         [](const std::string& path) {
             std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(510);
             f.write("\0\0", 2);
         },
         "whole"},
        {"image cut inside the second recording",
         [&](const std::string& path) {
             std::ifstream f(path, std::ios::binary);
             std::string bytes((std::istreambuf_iterator<char>(f)), {});
             const size_t last = bytes.rfind("RIFF");
             fs::resize_file(path, last + fs::file_size(b) / 2);
         },
         "cut"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const std::string damaged = m_image + ".damaged";
        fs::remove(damaged);
        fs::copy_file(m_image, damaged);
        k.damage(damaged);
        const Recovered r = Recover(damaged, "--all");
        EXPECT_EQ(Field(r.Line("sha256", Hash(a)), "state"), "whole") << r.summary;
        const std::string second = r.lines.empty() ? "" : r.lines.back();
        EXPECT_EQ(Field(second, "state"), k.bState) << second;
        const std::string got = Contents(Field(second, "written"));
        EXPECT_EQ(got, Contents(b).substr(0, got.size()));
        EXPECT_NE(Field(r.summary, "note"), "null") << r.summary;
    }
}

TEST_F(CardRecoveryTest, RefusesWhatItCannotUse) {
    struct Case {
        std::string args;
    } cases[] = {{m_dir + "/missing.img " + m_dir + "/out"},
                 {m_image + " " + m_dir + "/no-such-folder"},
                 {"/dev/null " + m_dir + "/out"}};
    for (const Case& k : cases)
        EXPECT_EQ(RunToolCommand("recover " + k.args + " 2>/dev/null").status, 1) << k.args;
    EXPECT_EQ(RunToolCommand("recover " + m_image + " 2>/dev/null").status, 2);
}

}  // namespace
