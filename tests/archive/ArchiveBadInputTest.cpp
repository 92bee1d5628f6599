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
