// Browsing the archive: days newest first with their trips and bookmarks, a page at a time,
// on both engines; and the way from a place on a day's route back to a recording and moment.

#include "archive/ArchiveBrowse.h"
#include "archive/ArchiveCatalogue.h"
#include "support/CivilDate.h"
#include "tests/archive/ArchiveTestSupport.h"

using namespace archive_test;

namespace {

constexpr int64_t kDay13 = DaysFromCivil(2026, 3, 13);

// A recording of 60 s on the camera clock starting at hour:minute of day, driving north
// from lat0 a waypoint a second (about 11 m apart).
ArchivedRecording Recording(const std::string& name, int64_t day, int hour, int minute,
                            double lat0) {
    ArchivedRecording r;
    r.name = name;
    r.path = "2026/03/" + name;
    r.card = "card";
    r.category = "DRIVING";
    r.startCamera = day * kSecondsPerDay + hour * 3600 + minute * 60;
    r.lengthMs = 60000;
    for (int s = 0; s < 60; ++s)
        r.waypoints.push_back(
            {s * 1000, (*r.startCamera + s) * 1000, std::nullopt, lat0 + s * 0.0001, 127.0, 40, 0});
    return r;
}

class ArchiveBrowseTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string location;
        if (std::string(GetParam()) == "sqlite") {
            const std::string dir = kData + "/browse";
            fs::remove_all(dir);
            fs::create_directories(dir);
            location = dir + "/catalogue.sqlite";
        } else {
            std::string why;
            PostgresServer* server = SharedPostgres(&why);
            if (!server) GTEST_SKIP() << "PostgreSQL server cannot start here: " << why;
            location = server->FreshDatabase("catalogue_browse");
        }
        std::string error;
        ASSERT_TRUE(m_catalogue.Open(location, &error)) << error;
        m_import = m_catalogue.BeginImport("card", "host", &error).value_or(0);
        ASSERT_NE(m_import, 0) << error;
        // The 13th: one drive of two recordings; the 14th: two drives; the 15th: one, with a
        // bookmark.
        Add(Recording("A.AVI", kDay13, 8, 0, 37.0));
        Add(Recording("B.AVI", kDay13, 8, 1, 37.01));
        Add(Recording("C.AVI", kDay13 + 1, 9, 0, 37.1));
        Add(Recording("D.AVI", kDay13 + 1, 18, 0, 37.2));
        const int64_t e = Add(Recording("E.AVI", kDay13 + 2, 7, 0, 37.3));
        ASSERT_TRUE(m_catalogue.AddBookmark(e, 12000, "pothole", &error)) << error;
    }
    int64_t Add(const ArchivedRecording& r) {
        std::string error;
        const std::optional<int64_t> id = m_catalogue.Claim(r, "test", &error);
        EXPECT_TRUE(id) << error;
        EXPECT_TRUE(id && m_catalogue.Complete(*id, "test", m_import, r, &error)) << error;
        return id.value_or(0);
    }
    ArchiveCatalogue m_catalogue;
    int64_t m_import = 0;
};

TEST_P(ArchiveBrowseTest, DaysComeNewestFirstAPageAtATime) {
    DayPage page;
    std::string error;
    ASSERT_TRUE(ListDays(m_catalogue.Db(), std::nullopt, 2, &page, &error)) << error;
    ASSERT_EQ(page.days.size(), 2u);
    EXPECT_EQ(page.days[0].day, kDay13 + 2);
    ASSERT_EQ(page.days[0].bookmarks.size(), 1u);
    EXPECT_EQ(page.days[0].bookmarks[0].note, "pothole");
    EXPECT_EQ(page.days[0].bookmarks[0].offsetMs, 12000);
    EXPECT_EQ(page.days[0].bookmarks[0].path, "2026/03/E.AVI");
    EXPECT_EQ(page.days[1].day, kDay13 + 1);
    ASSERT_EQ(page.days[1].trips.size(), 2u);
    EXPECT_EQ(page.days[1].trips[0].firstPath, "2026/03/D.AVI");  // the evening's first
    ASSERT_TRUE(page.nextBeforeDay);

    ASSERT_TRUE(ListDays(m_catalogue.Db(), page.nextBeforeDay, 2, &page, &error)) << error;
    ASSERT_EQ(page.days.size(), 1u);
    EXPECT_EQ(page.days[0].day, kDay13);
    ASSERT_EQ(page.days[0].trips.size(), 1u);
    const BrowseTrip& trip = page.days[0].trips[0];
    EXPECT_EQ(trip.recordings, 2);
    EXPECT_EQ(trip.firstPath, "2026/03/A.AVI");
    EXPECT_EQ(trip.endMs - trip.startMs, 120000);
    EXPECT_FALSE(page.nextBeforeDay);
}

TEST_P(ArchiveBrowseTest, AClickOnADaysRouteFindsTheRecordingAndSecond) {
    ArchiveRoutes routes;
    std::string error;
    ASSERT_TRUE(LoadDayRoutes(m_catalogue.Db(), {kDay13}, 20, &routes, &error)) << error;
    ASSERT_EQ(routes.lines.size(), 1u);
    EXPECT_LE(routes.lines[0].size(), 20u);
    // B's 37th second, between two of the few waypoints kept.
    const std::optional<RouteMoment> m = MomentNearest(routes, 37.01 + 37 * 0.0001, 127.0, 50);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->path, "2026/03/B.AVI");
    EXPECT_NEAR(double(m->offsetMs), 37000, 1000);
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveBrowseTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return std::string(info.param); });

// A line of two recordings, 11 m a second northward; the first ends where the second starts
// 100 m further on.
ArchiveRoutes TwoRecordings() {
    ArchiveRoutes routes;
    routes.paths = {"first", "second"};
    std::vector<RouteWaypoint> line;
    for (int s = 0; s < 10; ++s) line.push_back({37.0 + s * 0.0001, 127.0, 40, 0, s * 1000});
    for (int s = 0; s < 10; ++s) line.push_back({37.002 + s * 0.0001, 127.0, 40, 1, s * 1000});
    routes.lines.push_back(line);
    return routes;
}

TEST(ArchiveRouteMoment, APlaceMapsToItsNearestStretchOfOneRecording) {
    const struct {
        const char* what;
        double lat, lon;
        const char* path;  // null: nothing
        int64_t offsetMs;
    } cases[] = {
        {"on a waypoint", 37.0003, 127.0, "first", 3000},
        {"half way between two", 37.00045, 127.0, "first", 4500},
        {"beside the road", 37.0002, 127.0002, "first", 2000},
        {"in the second recording", 37.0025, 127.0, "second", 5000},
        {"the gap between recordings is no stretch", 37.0013, 127.0, "first", 9000},
        {"far from every route", 37.1, 127.1, nullptr, 0},
    };
    const ArchiveRoutes routes = TwoRecordings();
    for (const auto& c : cases) {
        const std::optional<RouteMoment> m = MomentNearest(routes, c.lat, c.lon, 100);
        ASSERT_EQ(bool(m), c.path != nullptr) << c.what;
        if (!m) continue;
        EXPECT_EQ(m->path, c.path) << c.what;
        EXPECT_NEAR(double(m->offsetMs), double(c.offsetMs), 100) << c.what;
    }
}

TEST(ArchiveRouteMoment, ThinningKeepsEachRecordingsEnds) {
    ArchiveRoutes routes = TwoRecordings();
    ThinRoute(routes.lines[0], 8);
    const auto& line = routes.lines[0];
    EXPECT_LE(line.size(), 8u);
    ASSERT_GE(line.size(), 4u);
    EXPECT_EQ(line.front().offsetMs, 0);
    EXPECT_EQ(line.back().offsetMs, 9000);
    const auto firstOfSecond = std::find_if(
        line.begin(), line.end(), [](const RouteWaypoint& w) { return w.recording == 1; });
    ASSERT_NE(firstOfSecond, line.end());
    EXPECT_EQ(firstOfSecond->offsetMs, 0);
    EXPECT_EQ(std::prev(firstOfSecond)->offsetMs, 9000);
}

}  // namespace
