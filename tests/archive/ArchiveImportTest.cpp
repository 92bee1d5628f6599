// The archive end to end through tarvex-tool, on SQLite and on a private PostgreSQL server:
// import copies each recording once and byte for byte, survives a kill, keeps a clashing name
// apart, and find, check and prune answer from the catalogue.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "evidence/Sha256.h"
#include "tests/ToolRun.h"
#include "tests/archive/ArchiveTestSupport.h"

using namespace archive_test;

namespace {

const char* const kRecordings[] = {
    "DRIVING/REC_20260314_182509_D.AVI",     "DRIVING/REC_20260314_182517_D.AVI",
    "DRIVING/REC_20260314_182525_D.AVI",     "EVENT/EVENT_20260314_182533_D.AVI",
    "PARKING/PARKING_20260314_182541_D.AVI", "USER/USER_20260314_182549_D.AVI"};
constexpr const char* kDay = "/2026/03/14/";

std::string Hash(const std::string& path) {
    std::string hex, error;
    return Sha256OfFile(path, &hex, &error) ? hex : "unreadable: " + error;
}

// The value of "key" in one JSON line (a string's content, or a number, true, false, null).
std::string Field(const std::string& line, const std::string& key) {
    const std::regex re("\"" + key + "\": (\"([^\"]*)\"|[^,}]+)");
    std::smatch m;
    if (!std::regex_search(line, m, re)) return "";
    return m[2].matched ? m[2].str() : m[1].str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string FileName(const std::string& path) {
    return fs::path(path).filename().string();
}

class ArchiveTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string id = std::regex_replace(name, std::regex("[^A-Za-z0-9]"), "_");
        m_dir = kData + "/" + id;
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_card = GeneratedCard();
        ASSERT_FALSE(m_card.empty());
        if (std::string(GetParam()) == "postgres") {
            std::string why;
            PostgresServer* server = SharedPostgres(&why);
            if (!server) GTEST_SKIP() << "PostgreSQL server cannot start here: " << why;
            for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            m_catalogue = server->FreshDatabase("t_" + id.substr(0, 50));
        }
    }

    std::string Archive() const { return m_dir + "/archive"; }
    std::string Where() const {
        return "--archive " + Archive() +
               (m_catalogue.empty() ? "" : " --catalogue '" + m_catalogue + "'");
    }
    ToolOutput Tool(const std::string& args) const {
        return RunToolCommand("archive " + args + " " + Where() + " 2>" + m_dir + "/stderr");
    }
    std::string Stderr() const {
        std::ifstream f(m_dir + "/stderr");
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    std::string Summary(const ToolOutput& out) const {
        const std::vector<std::string> lines = Lines(out.out);
        return lines.empty() ? "" : lines.back();
    }
    void ExpectArchiveHoldsCardOnce() const {
        for (const char* r : kRecordings)
            EXPECT_EQ(Hash(Archive() + kDay + FileName(r)), Hash(m_card + "/" + r)) << r;
        size_t files = 0;
        for (const auto& e : fs::recursive_directory_iterator(Archive() + "/2026")) {
            EXPECT_EQ(FileName(e.path()).find(".part"), std::string::npos) << e.path();
            files += e.is_regular_file();
        }
        EXPECT_EQ(files, std::size(kRecordings));
        const ToolOutput check = Tool("check");
        EXPECT_EQ(check.status, 0) << check.out << Stderr();
    }

    std::string m_dir, m_card, m_catalogue;
};

TEST_P(ArchiveTest, ImportCopiesEachRecordingOnceAndASecondImportNothing) {
    const ToolOutput first = Tool("import " + m_card);
    ASSERT_EQ(first.status, 0) << first.out << Stderr();
    EXPECT_EQ(Field(Summary(first), "copied"), "6");
    EXPECT_TRUE(fs::exists(Archive() + "/settings")) << "the card's settings file is kept";
    ExpectArchiveHoldsCardOnce();

    const ToolOutput second = Tool("import " + m_card);
    ASSERT_EQ(second.status, 0) << second.out << Stderr();
    EXPECT_EQ(Field(Summary(second), "copied"), "0");
    EXPECT_EQ(Field(Summary(second), "skipped"), "6");
    ExpectArchiveHoldsCardOnce();
}

// Starts an import with progress on a pipe and kills it (SIGKILL: no handler runs) as soon as
// it has archived one recording and started to copy the next.
void KillImportMidway(const std::vector<std::string>& args) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(pipeFds[1], 2);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        close(pipeFds[0]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TARVEX_TOOL_PATH, argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string seen;
    char buffer[256];
    ssize_t n;
    while (seen.find("copying", seen.find("copied")) == std::string::npos &&
           (n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        seen.append(buffer, static_cast<size_t>(n));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(pipeFds[0]);
    EXPECT_NE(seen.find("copying", seen.find("copied")), std::string::npos) << seen;
}

TEST_P(ArchiveTest, ImportKilledMidwayIsFinishedByTheNextOne) {
    std::vector<std::string> args = {TARVEX_TOOL_PATH, "archive", "import",    m_card,
                                     "--archive",      Archive(), "--progress"};
    if (!m_catalogue.empty()) args.insert(args.end(), {"--catalogue", m_catalogue});
    KillImportMidway(args);
    // Whatever lies under a final name is whole.
    for (const char* r : kRecordings) {
        if (fs::exists(Archive() + kDay + FileName(r))) {
            EXPECT_EQ(Hash(Archive() + kDay + FileName(r)), Hash(m_card + "/" + r)) << r;
        }
    }
    EXPECT_EQ(Tool("check").status, 0) << "no catalogued recording may lack its file";

    const ToolOutput again = Tool("import " + m_card);
    ASSERT_EQ(again.status, 0) << again.out << Stderr();
    ExpectArchiveHoldsCardOnce();
}

TEST_P(ArchiveTest, SameNameWithOtherContentIsKeptUnderASuffix) {
    ASSERT_EQ(Tool("import " + m_card).status, 0) << Stderr();
    const std::string other = m_dir + "/other-card";
    fs::copy(m_card, other, fs::copy_options::recursive);
    const std::string changed = other + "/" + kRecordings[1];
    {
        std::fstream f(changed, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(5000);
        f.put('\x5a');
    }
    const ToolOutput out = Tool("import " + other);
    ASSERT_EQ(out.status, 0) << out.out << Stderr();
    EXPECT_EQ(Field(Summary(out), "copied"), "1");
    EXPECT_EQ(Field(Summary(out), "skipped"), "5");
    EXPECT_EQ(Hash(Archive() + kDay + "REC_20260314_182517_D_2.AVI"), Hash(changed));
    EXPECT_EQ(Hash(Archive() + kDay + FileName(kRecordings[1])),
              Hash(m_card + "/" + kRecordings[1]));
}

TEST_P(ArchiveTest, CheckNamesMissingAndChangedFiles) {
    ASSERT_EQ(Tool("import " + m_card).status, 0) << Stderr();
    fs::remove(Archive() + kDay + FileName(kRecordings[0]));
    std::ofstream(Archive() + kDay + FileName(kRecordings[3]), std::ios::app) << "x";
    const ToolOutput check = Tool("check");
    EXPECT_EQ(check.status, 1);
    std::map<std::string, std::string> states;
    for (const std::string& line : Lines(check.out))
        if (!Field(line, "state").empty())
            states[FileName(Field(line, "path"))] = Field(line, "state");
    EXPECT_EQ(states, (std::map<std::string, std::string>{{FileName(kRecordings[0]), "missing"},
                                                          {FileName(kRecordings[3]), "changed"}}));

    // The card still holds the missing one: the next import puts it back.
    const ToolOutput again = Tool("import " + m_card);
    EXPECT_EQ(Field(Summary(again), "copied"), "1") << again.out;
    EXPECT_EQ(Hash(Archive() + kDay + FileName(kRecordings[0])),
              Hash(m_card + "/" + kRecordings[0]));
    const ToolOutput recheck = Tool("check");
    EXPECT_EQ(Field(recheck.out, "state"), "changed");
    EXPECT_EQ(Field(recheck.out, "problems"), "1");
}

TEST_P(ArchiveTest, PruneRemovesOnlyUnlockedDrivingAndParkingOldestFirst) {
    ASSERT_EQ(Tool("import " + m_card).status, 0) << Stderr();
    const ToolOutput mark =
        Tool("bookmark " + Archive() + kDay + FileName(kRecordings[0]) + " --at 2 --note 'keep'");
    ASSERT_EQ(mark.status, 0) << mark.out << Stderr();
    EXPECT_EQ(Tool("bookmark " + FileName(kRecordings[2]) + " --at 9 --note late").status, 1)
        << "past the recording's end";

    const ToolOutput dry = Tool("prune --keep-gb 0 --dry-run");
    ASSERT_EQ(dry.status, 0) << Stderr();
    EXPECT_TRUE(fs::exists(Archive() + kDay + FileName(kRecordings[1])));

    const ToolOutput prune = Tool("prune --keep-gb 0");
    ASSERT_EQ(prune.status, 0) << Stderr();
    std::vector<std::string> removed;
    for (const std::string& line : Lines(prune.out))
        removed.push_back(FileName(Field(line, "removed")));
    const std::vector<std::string> expected = {FileName(kRecordings[1]), FileName(kRecordings[2]),
                                               FileName(kRecordings[4])};
    EXPECT_EQ(removed, expected);
    EXPECT_EQ(Lines(dry.out).size(), expected.size());
    for (const std::string& name : expected) EXPECT_FALSE(fs::exists(Archive() + kDay + name));
    for (int kept : {0, 3, 5})
        EXPECT_TRUE(fs::exists(Archive() + kDay + FileName(kRecordings[kept])));
    EXPECT_EQ(Tool("check").status, 0);
    std::string error;
    auto db = OpenSqlConnection(m_catalogue.empty() ? Archive() + "/catalogue.sqlite" : m_catalogue,
                                &error);
    ASSERT_TRUE(db) << error;
    std::vector<SqlRow> trips;
    ASSERT_TRUE(db->Run("SELECT category FROM trips ORDER BY category", {}, &trips, &error));
    ASSERT_EQ(trips.size(), 3u) << "the parking trip went with its recording";
    EXPECT_EQ(trips[2].Text(0), "USER");
    const ToolOutput marks = Tool("find --bookmarked");
    EXPECT_EQ(Field(marks.out, "note"), "keep");
    EXPECT_EQ(Field(marks.out, "offset_s"), "2");
}

// Two imports of one card at once (two PCs plugged into copies of it): every recording is
// archived once; what one copied the other skipped.
TEST_P(ArchiveTest, TwoImportsAtOnceArchiveEachRecordingOnce) {
    const std::string tool = TARVEX_TOOL_PATH;
    const std::string run = tool + " archive import " + m_card + " " + Where();
    const std::string both =
        "(" + run + " >" + m_dir + "/a.out 2>&1 & " + run + " >" + m_dir + "/b.out 2>&1 & wait)";
    ASSERT_EQ(std::system(both.c_str()), 0);
    int copied = 0, skipped = 0;
    for (const char* out : {"/a.out", "/b.out"}) {
        std::ifstream f(m_dir + out);
        const std::string text((std::istreambuf_iterator<char>(f)), {});
        const std::vector<std::string> lines = Lines(text);
        ASSERT_FALSE(lines.empty()) << out;
        EXPECT_EQ(Field(lines.back(), "failed"), "0") << text;
        copied += std::atoi(Field(lines.back(), "copied").c_str());
        skipped += std::atoi(Field(lines.back(), "skipped").c_str());
    }
    EXPECT_EQ(copied, 6);
    EXPECT_EQ(skipped, 6);
    ExpectArchiveHoldsCardOnce();

    // The three driving recordings make one trip, whichever import catalogued each.
    std::string error;
    auto db = OpenSqlConnection(m_catalogue.empty() ? Archive() + "/catalogue.sqlite" : m_catalogue,
                                &error);
    ASSERT_TRUE(db) << error;
    std::vector<SqlRow> rows;
    ASSERT_TRUE(
        db->Run("SELECT category, count(DISTINCT trip_id) FROM recordings GROUP BY category "
                "ORDER BY category",
                {}, &rows, &error))
        << error;
    std::vector<std::string> trips;
    for (const SqlRow& r : rows) trips.push_back(r.Text(0) + " " + r.Text(1));
    EXPECT_EQ(trips, (std::vector<std::string>{"DRIVING 1", "EVENT 1", "PARKING 1", "USER 1"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
