// The catalogue under two writers at once, on both engines, and the times find accepts.

#include <thread>

#include "archive/ArchiveCatalogue.h"
#include "archive/ArchiveFind.h"
#include "tests/archive/ArchiveTestSupport.h"

using namespace archive_test;

namespace {

struct TimeCase {
    const char* text;
    bool ok;
    int64_t ms;  // since 1970 on the camera clock, or UTC when zoned
    bool zoned;
};

TEST(ArchiveFindTime, CameraClockUnlessAZoneIsGiven) {
    const TimeCase cases[] = {
        {"2026-03-14T18:25:09", true, 1773512709000, false},
        {"2026-03-14 18:25:09", true, 1773512709000, false},
        {"2026-03-14T18:25", true, 1773512700000, false},
        {"2026-03-14", true, 1773446400000, false},
        {"2026-03-14T09:25:09Z", true, 1773480309000, true},
        {"2026-03-14T18:25:09+09:00", true, 1773480309000, true},
        {"2026-03-14T04:25:09-05:00", true, 1773480309000, true},
        {"2026-13-14T18:25:09", false, 0, false},
        {"2026-03-14T25:00:00", false, 0, false},
        {"2026-03-14T18:25:09+9", false, 0, false},
        {"yesterday", false, 0, false},
    };
    for (const TimeCase& c : cases) {
        int64_t ms = 0;
        bool zoned = false;
        EXPECT_EQ(ParseFindTime(c.text, &ms, &zoned), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(ms, c.ms) << c.text;
        EXPECT_EQ(zoned, c.zoned) << c.text;
    }
}

class ArchiveCatalogueTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "sqlite") {
            const std::string dir = kData + "/catalogue";
            fs::remove_all(dir);
            fs::create_directories(dir);
            m_location = dir + "/catalogue.sqlite";
            return;
        }
        std::string why;
        PostgresServer* server = SharedPostgres(&why);
        if (!server) GTEST_SKIP() << "PostgreSQL server cannot start here: " << why;
        m_location = server->FreshDatabase("catalogue_claims");
    }
    std::string m_location;
};

// Two importers claim the same recordings at the same moment: each is claimed once, and
// only its owner may complete it.
TEST_P(ArchiveCatalogueTest, EachPathIsClaimedByOneWriter) {
    constexpr int kPaths = 200;
    int claimed[2] = {0, 0};
    std::vector<std::string> errors(2);
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w)
        writers.emplace_back([&, w] {
            ArchiveCatalogue c;
            if (!c.Open(m_location, &errors[w])) return;
            for (int i = 0; i < kPaths; ++i) {
                ArchivedRecording r;
                r.path = r.name = "2026/03/14/REC_" + std::to_string(i) + ".AVI";
                r.card = "card";
                r.category = "DRIVING";
                if (c.Claim(r, "writer" + std::to_string(w), &errors[w])) ++claimed[w];
            }
        });
    for (std::thread& t : writers) t.join();
    EXPECT_EQ(errors, std::vector<std::string>(2)) << "no writer may fail";
    EXPECT_EQ(claimed[0] + claimed[1], kPaths);

    ArchiveCatalogue c;
    std::string error;
    ASSERT_TRUE(c.Open(m_location, &error)) << error;
    const std::optional<CatalogueEntry> e = c.Lookup("2026/03/14/REC_7.AVI", &error);
    ASSERT_TRUE(e && !e->ready);
    ArchivedRecording r;
    r.path = e->path;
    r.category = "DRIVING";
    const std::string other = e->claimOwner == "writer0" ? "writer1" : "writer0";
    EXPECT_FALSE(c.Complete(e->id, other, 0, r, &error));
    EXPECT_FALSE(c.Lookup(e->path, &error)->ready);
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveCatalogueTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
