// find answers from the catalogue with the recording and the offset (to the second) of a
// moment asked for by time, place or event, and gives the same answer on SQLite and
// PostgreSQL. The truth comes from the recordings themselves, through the events and
// telemetry commands.

#include <cmath>
#include <regex>
#include <sstream>

#include "support/JsonReader.h"
#include "tests/ToolRun.h"
#include "tests/archive/ArchiveTestSupport.h"

using namespace archive_test;

namespace {

const std::string kRoot = kData + "/find";
constexpr const char* kTrip = "DRIVING/REC_20260314_182509_D.AVI";
constexpr const char* kSecond = "DRIVING/REC_20260314_182517_D.AVI";

JsonValue ToolJson(const std::string& args) {
    const ToolOutput out = RunToolCommand(args + " 2>/dev/null");
    JsonValue v;
    std::string error;
    EXPECT_TRUE(ParseJson(out.out, &v, &error)) << args << ": " << error;
    return v;
}

struct Match {
    std::string file;
    double offsetS = -1;
    bool operator==(const Match&) const = default;
};

// The matches with the archive's folder left out of their paths, so that two archives compare.
std::vector<std::string> FindLines(const std::string& where, const std::string& query) {
    const ToolOutput out = RunToolCommand("archive find " + query + " " + where + " 2>&1");
    EXPECT_EQ(out.status, 0) << out.out;
    std::vector<std::string> lines;
    std::istringstream in(out.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(
            std::regex_replace(line, std::regex("\"path\": \"[^\"]*/"), "\"path\": \""));
    return lines;
}

Match MatchOf(const std::string& line) {
    JsonValue v;
    std::string error;
    if (!ParseJson(line, &v, &error) || !v.Find("path") || !v.Find("offset_s")) return {};
    return {v.Find("path")->text, v.Find("offset_s")->number};
}

class ArchiveFindTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::remove_all(kRoot);
        const std::string card = GeneratedCard();
        s_sqlite = "--archive " + kRoot + "/sqlite";
        Import(card, s_sqlite);
        std::string why;
        if (PostgresServer* server = SharedPostgres(&why)) {
            s_postgres = "--archive " + kRoot + "/pg --catalogue '" +
                         server->FreshDatabase("find_test") + "'";
            Import(card, s_postgres);
        } else {
            s_noPostgres = why;
        }
    }
    static void Import(const std::string& card, const std::string& where) {
        const ToolOutput out = RunToolCommand("archive import " + card + " " + where + " 2>&1");
        ASSERT_EQ(out.status, 0) << out.out;
    }

    // Runs the query on both engines: the same lines, and expected among them.
    void ExpectFound(const std::string& query, const Match& expected) {
        const std::vector<std::string> lines = FindLines(s_sqlite, query);
        bool found = false;
        for (const std::string& line : lines) {
            const Match m = MatchOf(line);
            if (m.file == fs::path(expected.file).filename().string())
                found = found || std::abs(m.offsetS - expected.offsetS) <= 1.0;
        }
        EXPECT_TRUE(found) << query << " should find " << expected.file << " at "
                           << expected.offsetS << " s";
        if (s_postgres.empty()) {
            std::cerr << "PostgreSQL comparison left out: " << s_noPostgres << "\n";
            return;
        }
        EXPECT_EQ(FindLines(s_postgres, query), lines) << query;
    }

    static inline std::string s_sqlite, s_postgres, s_noPostgres;
};

TEST_F(ArchiveFindTest, DateRangeOnTheCameraClockOrInAZone) {
    const Match third{kSecond, 3};
    for (const char* query :
         {"--from 2026-03-14T18:25:20 --to 2026-03-14T18:25:21",
          "--from 2026-03-14T09:25:20Z --to 2026-03-14T09:25:21Z",
          "--from 2026-03-14T18:25:20+09:00 --to 2026-03-14T18:25:21+09:00",
          "--from '2026-03-14 18:25:20' --to 2026-03-14T18:25:20 --category driving"})
        ExpectFound(query, third);
    EXPECT_TRUE(FindLines(s_sqlite, "--from 2026-03-15").empty());
    EXPECT_EQ(FindLines(s_sqlite, "--from 2026-03-14 --to 2026-03-14").size(), 6u);
}

TEST_F(ArchiveFindTest, EventKindFindsEachEventAtItsOffset) {
    const JsonValue events = ToolJson("events " + GeneratedCard() + "/" + kTrip);
    const JsonValue* list = events.Find("recordings")->items.at(0).Find("events");
    ASSERT_TRUE(list && !list->items.empty());
    for (const JsonValue& e : list->items) {
        const std::string kind = e.Find("kind")->text;
        ExpectFound("--event " + kind, {kTrip, e.Find("time_ms")->number / 1000.0});
        ExpectFound("--event " + kind +
                        " --category driving --from 2026-03-14T18:25:09 "
                        "--to 2026-03-14T18:25:16",
                    {kTrip, e.Find("time_ms")->number / 1000.0});
    }
    EXPECT_TRUE(
        FindLines(s_sqlite, "--event impact --category user --to 2026-03-14T18:25:30").empty());
}

TEST_F(ArchiveFindTest, PlaceFindsTheMomentARecordingPassedNearest) {
    const JsonValue t = ToolJson("telemetry " + GeneratedCard() + "/" + kSecond);
    const JsonValue& fix = t.Find("gps")->items.at(5);
    std::ostringstream near;
    near.precision(10);
    near << "--near " << fix.Find("latitude_deg")->number << ","
         << fix.Find("longitude_deg")->number;
    ExpectFound(near.str() + " --radius 15", {kSecond, 5});
    for (const std::string& line : FindLines(s_sqlite, near.str() + " --radius 15")) {
        const std::smatch m = [&] {
            std::smatch s;
            std::regex_search(line, s, std::regex("\"distance_m\": ([0-9]+)"));
            return s;
        }();
        ASSERT_FALSE(m.empty()) << line;
        EXPECT_LE(std::stoi(m[1]), 15) << line;
    }
    EXPECT_TRUE(FindLines(s_sqlite, "--near 35.1,129.0 --radius 1000").empty());
}

}  // namespace
