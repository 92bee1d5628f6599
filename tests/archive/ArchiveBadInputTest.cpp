// What the archive refuses, and what a card pulled out mid-import leaves: a clear message,
// nothing half-written, nothing already archived lost.

#include <fstream>

#include "archive/ArchiveCatalogue.h"
#include "archive/ArchiveImport.h"
#include "evidence/Sha256.h"
#include "tests/ToolRun.h"
#include "tests/archive/ArchiveTestSupport.h"

using namespace archive_test;

namespace {

const std::string kRoot = kData + "/bad";

std::string Hash(const std::string& path) {
    std::string hex, error;
    return Sha256OfFile(path, &hex, &error) ? hex : "unreadable";
}

void MakeSqlite(const std::string& path, const std::string& script) {
    std::string error;
    auto db = OpenSqlConnection(path, &error);
    ASSERT_TRUE(db) << error;
    ASSERT_TRUE(db->RunScript(script, &error)) << error;
}

struct Refusal {
    const char* name;
    std::function<std::string(const std::string& dir)> prepare;  // returns the tool's arguments
    const char* message;
};

TEST(ArchiveBadInputTest, RefusedWithAMessageAndNothingWritten) {
    const std::string card = GeneratedCard();
    const Refusal cases[] = {
        {"foreign catalogue",
         [](const std::string& d) {
             MakeSqlite(d + "/other.db", "CREATE TABLE films (title TEXT);");
             return "--archive " + d + "/a --catalogue " + d + "/other.db";
         },
         "is not a Tarvex archive catalogue"},
        {"newer catalogue",
         [](const std::string& d) {
             ArchiveCatalogue c;
             std::string error;
             EXPECT_TRUE(c.Open(d + "/newer.db", &error)) << error;
             c.Db().RunScript("UPDATE meta SET value = '99' WHERE key = 'schema_version'", &error);
             return "--archive " + d + "/a --catalogue " + d + "/newer.db";
         },
         "was made by a newer Tarvex"},
        {"not a database",
         [](const std::string& d) {
             std::ofstream(d + "/notes.db") << "shopping list\n";
             return "--archive " + d + "/a --catalogue " + d + "/notes.db";
         },
         "catalogue"},
        {"server that does not answer",
         [](const std::string& d) {
             return "--archive " + d + "/a --catalogue 'postgresql://nobody@/x?host=" + d +
                    "/no-server&connect_timeout=2'";
         },
         "does not answer"},
        {"archive that cannot be written",
         [](const std::string&) { return std::string("--archive /proc/tarvex-archive"); },
         "cannot be written"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = kRoot + "/" + std::to_string(&c - cases);
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string args = c.prepare(dir);
        std::map<std::string, std::string> before;
        for (const auto& e : fs::directory_iterator(dir)) before[e.path()] = Hash(e.path());
        const ToolOutput out = RunToolCommand("archive import " + card + " " + args + " 2>&1");
        EXPECT_EQ(out.status, 1) << out.out;
        EXPECT_NE(out.out.find(c.message), std::string::npos) << out.out;
        for (const auto& [path, hash] : before) EXPECT_EQ(Hash(path), hash) << path;
        EXPECT_FALSE(fs::exists(dir + "/a/2026")) << "nothing may be copied";
    }
    const ToolOutput notCard =
        RunToolCommand("archive import " + kRoot + " --archive " + kRoot + "/x 2>&1");
    EXPECT_EQ(notCard.status, 1);
    EXPECT_NE(notCard.out.find("not a dashcam card"), std::string::npos) << notCard.out;
}

// The card goes away after the first recording: the rest fail by name, none of them leaves a
// claim or a file, and the same card back in finishes the job.
TEST(ArchiveBadInputTest, CardPulledMidImportLosesNothing) {
    const std::string dir = kRoot + "/pulled";
    fs::remove_all(dir);
    fs::create_directories(dir + "/archive");
    const std::string card = dir + "/card";
    fs::copy(GeneratedCard(), card, fs::copy_options::recursive);
    const std::string held = dir + "/held";
    ArchiveCatalogue catalogue;
    std::string error;
    ASSERT_TRUE(catalogue.Open(dir + "/archive/catalogue.sqlite", &error)) << error;
    ImportReport report;
    ArchiveImport first(catalogue, dir + "/archive", card);
    ASSERT_TRUE(first.Run(
        [&](const std::string& line) {
            if (line.find(" copied ") != std::string::npos && !fs::exists(held))
                fs::rename(card, held);
        },
        &report, &error))
        << error;
    EXPECT_EQ(report.totals.copied, 1);
    EXPECT_EQ(report.totals.failed, 5);
    ASSERT_EQ(report.failures.size(), 5u);
    for (const ImportFailure& f : report.failures) EXPECT_FALSE(f.reason.empty()) << f.file;
    std::vector<SqlRow> claims;
    ASSERT_TRUE(catalogue.Db().Run("SELECT path FROM recordings WHERE state <> 'ready'", {},
                                   &claims, &error));
    EXPECT_TRUE(claims.empty()) << claims.size() << " claims left behind";
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir + "/archive/2026"))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u);

    fs::rename(held, card);
    ImportReport again;
    ArchiveImport second(catalogue, dir + "/archive", card);
    ASSERT_TRUE(second.Run(nullptr, &again, &error)) << error;
    EXPECT_EQ(again.totals.copied, 5);
    EXPECT_EQ(again.totals.skipped, 1);
    EXPECT_EQ(again.totals.failed, 0);
}

}  // namespace

namespace {

// A file system of its own for the archive, mounted for one case (needs the right to mount).
class TmpfsMount {
public:
    TmpfsMount(const std::string& dir, const std::string& options) : m_dir(dir) {
        fs::create_directories(dir);
        m_mounted =
            std::system(
                ("mount -t tmpfs -o " + options + " tmpfs " + dir + " >/dev/null 2>&1").c_str()) ==
            0;
    }
    ~TmpfsMount() {
        if (m_mounted) std::system(("umount " + m_dir + " >/dev/null 2>&1").c_str());
    }
    bool Mounted() const { return m_mounted; }

private:
    std::string m_dir;
    bool m_mounted = false;
};

// An archive that fills up keeps what it archived whole and catalogued, and names each
// recording it could not take; a read-only one is refused before anything.
TEST(ArchiveBadInputTest, FullOrReadOnlyArchive) {
    const std::string card = GeneratedCard();
    const std::string dir = kRoot + "/mounts";
    fs::remove_all(dir);
    {
        TmpfsMount full(dir + "/full", "size=600k");
        if (!full.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
        const ToolOutput out =
            RunToolCommand("archive import " + card + " --archive " + dir + "/full/a 2>&1");
        EXPECT_EQ(out.status, 1) << out.out;
        EXPECT_NE(out.out.find("No space left on device"), std::string::npos) << out.out;
        for (const auto& e : fs::recursive_directory_iterator(dir + "/full/a/2026")) {
            if (!e.is_regular_file()) continue;
            EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos);
            EXPECT_EQ(Hash(e.path()), Hash(card + "/DRIVING/" + e.path().filename().string()));
        }
        const ToolOutput check = RunToolCommand("archive check --archive " + dir + "/full/a");
        EXPECT_EQ(check.status, 0) << check.out;
    }
    TmpfsMount readOnly(dir + "/ro", "ro,size=1m");
    ASSERT_TRUE(readOnly.Mounted());
    const ToolOutput out =
        RunToolCommand("archive import " + card + " --archive " + dir + "/ro/a 2>&1");
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.out.find("cannot be written"), std::string::npos) << out.out;
}

}  // namespace
