// The catalogue on folders built by the test: which files are listed, their order, their cells.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "support/Trace.h"

namespace fs = std::filesystem;

namespace {

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root = fs::path(TARVEX_TEST_DATA_DIR) / "catalogue" / info->name();
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { SetTraceSink(nullptr); }

    std::string Folder(const std::string& name) {
        fs::create_directories(m_root / name);
        return (m_root / name).string();
    }
    void Touch(const std::string& folder, const std::string& name, uintmax_t size = 0) {
        std::ofstream(fs::path(folder) / name).put('x');
        fs::resize_file(fs::path(folder) / name, size);
    }
    std::string Root() { return CardRoot(m_root.string()); }

    static std::vector<std::string> Names(const std::vector<CatalogueRow>& rows) {
        std::vector<std::string> names;
        for (const auto& row : rows) names.push_back(row.fileName);
        return names;
    }

    fs::path m_root;
};

struct CellRow {
    const char* name;
    const char* type;
    const char* date;
    const char* rear;
};

class CellTest : public ::testing::TestWithParam<CellRow> {};

TEST_P(CellTest, CellsComeFromTheName) {
    const CellRow& row = GetParam();
    EXPECT_EQ(TypeCell(row.name), row.type);
    EXPECT_EQ(DateCell(row.name), row.date);
    EXPECT_EQ(RearCell(row.name), row.rear);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CellTest,
    ::testing::Values(CellRow{"REC_20140307_182509_D.AVI", "REC", "2014.03.07 18:25:09", "0"},
                      CellRow{"rec_20140101_120000_d.avi", "REC", "2014.01.01 12:00:00", "0"},
                      CellRow{"EVENT_20140101_000001_N.AVI", "EVT", "2014.01.01 00:00:01", ""},
                      CellRow{"Parking_20140101_000001_D.MP4", "PAK", "2014.01.01 00:00:01", "0"},
                      CellRow{"USER_20140101_000001_F.AVI", "MAN", "2014.01.01 00:00:01", ""},
                      CellRow{"TEST_20140101_000001_D.AVI", "TEST", "2014.01.01 00:00:01", "0"},
                      CellRow{"clip.avi", "clip.avi", ".. ::", ""},
                      // Short fields give what they have; nothing is validated.
                      CellRow{"REC_2014_1_D.AVI", "REC", "2014.14.14 1:1:1", "0"},
                      CellRow{"REC_20140307_182509.AVI", "REC", "2014.03.07 18:25:09", ""}));

TEST(SizeCellTest, KibibytesWithOneThousandsSeparator) {
    EXPECT_EQ(SizeCell(1023), "0");
    EXPECT_EQ(SizeCell(1023999), "999");
    EXPECT_EQ(SizeCell(1048576), "1,024");
    EXPECT_EQ(SizeCell(2684354560ull), "2621,440");
    EXPECT_EQ(SizeCell(1234567ull * 1024), "1234,567");
    EXPECT_EQ(SizeCell(1000 * 1024), "1,000");
}

TEST(RecordingNameTest, OnlyAviAndMp4InAnyCase) {
    EXPECT_TRUE(IsRecordingName("a.AVI"));
    EXPECT_TRUE(IsRecordingName("a.mP4"));
    EXPECT_TRUE(IsRecordingName(".avi"));
    EXPECT_FALSE(IsRecordingName("avi"));
    EXPECT_FALSE(IsRecordingName("a.AVI.bak"));
    EXPECT_FALSE(IsRecordingName("a.MOV"));
}

TEST(RecordingNameTest, CameraNamesHaveCategoryDateTimeAndFlag) {
    const struct {
        const char* name;
        bool camera;
    } cases[] = {
        {"REC_20260314_182509_D.AVI", true},     {"event_20260314_182509_E.mp4", true},
        {"PARKING_20260314_182509_P.AVI", true}, {"USER_20260314_182509_U.AVI", true},
        {"REC_20260314_182509.AVI", false},      {"clip_20260314_182509_D.mp4", false},
        {"REC_20261314_182509_D.AVI", false},    {"holiday.mp4", false},
        {"REC_20260314_182509_D.MOV", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsCameraRecordingName(c.name), c.camera) << c.name;
}

// A folder that is not a card lists the camera's recordings only, never other videos.
TEST_F(CatalogueTest, ALooseFolderListsOnlyCameraRecordings) {
    const std::string folder = Folder("loose");
    for (const char* name : {"REC_20260314_182509_D.AVI", "holiday.mp4", "20260314_clip.mp4",
                             "EVENT_20260314_182609_E.AVI"})
        Touch(folder, name);
    std::vector<CatalogueRow> rows;
    ASSERT_TRUE(ScanLooseFolder(folder, rows));
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"REC_20260314_182509_D.AVI",
                                                     "EVENT_20260314_182609_E.AVI"}));
    EXPECT_FALSE(ScanLooseFolder(folder + "/missing", rows));
}

TEST_F(CatalogueTest, NewestFirstWithRowCells) {
    const std::string driving = Folder("DRIVING");
    Touch(driving, "REC_20140101_000001_D.AVI", 2684354560ull);
    Touch(driving, "REC_20140101_000002_N.MP4", 1023);
    Touch(driving, "notes.txt");
    fs::create_directory(fs::path(driving) / "X.AVI");
    std::vector<CatalogueRow> rows;
    ASSERT_TRUE(ScanFolder(driving, rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].fileName, "REC_20140101_000002_N.MP4");
    EXPECT_EQ(rows[0].rear, "");
    EXPECT_EQ(rows[0].size, "0");
    EXPECT_EQ(rows[0].path, driving + "/REC_20140101_000002_N.MP4");
    EXPECT_EQ(rows[1].fileName, "REC_20140101_000001_D.AVI");
    EXPECT_EQ(rows[1].type, "REC");
    EXPECT_EQ(rows[1].date, "2014.01.01 00:00:01");
    EXPECT_EQ(rows[1].rear, "0");
    EXPECT_EQ(rows[1].size, "2621,440");
}

TEST_F(CatalogueTest, OrderIsByteOrderDescending) {
    const std::string folder = Folder("DRIVING");
    for (const char* name : {"REC_20140101_000009_D.AVI", "rec_20140101_000001_D.AVI",
                             "REC_20131231_235959_D.AVI", "REC_20140101_000010_D.AVI"})
        Touch(folder, name);
    std::vector<CatalogueRow> rows;
    ASSERT_TRUE(ScanFolder(folder, rows));
    // Lower case sorts after upper case byte by byte.
    EXPECT_EQ(Names(rows),
              (std::vector<std::string>{"rec_20140101_000001_D.AVI", "REC_20140101_000010_D.AVI",
                                        "REC_20140101_000009_D.AVI", "REC_20131231_235959_D.AVI"}));
}

TEST_F(CatalogueTest, ScanAddsAboveExistingRowsAndTracesTheirCount) {
    const std::string folder = Folder("EVENT");
    Touch(folder, "EVENT_20140101_000001_D.AVI");
    std::vector<CatalogueRow> rows(3);
    rows[0].fileName = "old";
    std::string trace;
    SetTraceSink([&](const std::string& line) { trace += line; });
    ASSERT_TRUE(ScanFolder(folder, rows));
    EXPECT_EQ(trace, "m_listFilename.GetItemCount() => 3\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].type, "EVT");
    EXPECT_EQ(rows[1].fileName, "old");
}

TEST_F(CatalogueTest, VanishedFileGetsNoRow) {
    // A dangling link is listed by name but has no file behind it at the second pass.
    const std::string folder = Folder("DRIVING");
    Touch(folder, "REC_20140101_000001_D.AVI");
    fs::create_symlink(m_root / "gone.avi", fs::path(folder) / "REC_20140101_000002_D.AVI");
    std::vector<CatalogueRow> rows;
    ASSERT_TRUE(ScanFolder(folder, rows));
    EXPECT_EQ(Names(rows), std::vector<std::string>{"REC_20140101_000001_D.AVI"});
}

TEST_F(CatalogueTest, MissingFolderFailsEmptyFolderSucceeds) {
    std::vector<CatalogueRow> rows;
    EXPECT_FALSE(ScanFolder((m_root / "NOPE").string(), rows));
    Folder("DRIVING");
    EXPECT_TRUE(ListCatalogue(Root(), CatalogueView::Driving, rows));
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(ListCatalogue(Root(), CatalogueView::Event, rows));
    EXPECT_FALSE(ListCatalogue("", CatalogueView::Driving, rows));
}

TEST_F(CatalogueTest, AllViewStacksUserAboveDrivingWithoutEventOrParking) {
    Touch(Folder("DRIVING"), "REC_20140101_000001_D.AVI");
    Touch(Folder("DRIVING"), "REC_20140101_000002_D.AVI");
    Touch(Folder("USER"), "USER_20130101_000001_D.AVI");
    std::vector<CatalogueRow> rows(1);
    std::string folderPath;
    ASSERT_TRUE(ListCatalogue(Root(), CatalogueView::All, rows, &folderPath));
    EXPECT_EQ(Names(rows),
              (std::vector<std::string>{"USER_20130101_000001_D.AVI", "REC_20140101_000002_D.AVI",
                                        "REC_20140101_000001_D.AVI"}));
    EXPECT_EQ(folderPath, Root() + "USER");
}

TEST_F(CatalogueTest, AllViewFailsWithoutDrivingAndLeavesNoRows) {
    Touch(Folder("USER"), "USER_20130101_000001_D.AVI");
    Touch(Folder("EVENT"), "EVENT_20130101_000001_D.AVI");
    std::vector<CatalogueRow> rows(2);
    EXPECT_FALSE(ListCatalogue(Root(), CatalogueView::All, rows));
    EXPECT_TRUE(rows.empty());
}

TEST_F(CatalogueTest, CategoryCommandReplacesTheRows) {
    Touch(Folder("PARKING"), "PARKING_20130101_000001_D.AVI");
    std::vector<CatalogueRow> rows(5);
    ASSERT_TRUE(ListCatalogue(Root(), CatalogueView::Parking, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].type, "PAK");
}

struct RootRow {
    const char* drive;
    const char* root;
};

class CardRootTest : public ::testing::TestWithParam<RootRow> {};

TEST_P(CardRootTest, DriveStringBecomesRootWithOneSlash) {
    EXPECT_EQ(CardRoot(GetParam().drive), GetParam().root);
}

INSTANTIATE_TEST_SUITE_P(Rows, CardRootTest,
                         ::testing::Values(RootRow{"", ""}, RootRow{"  \n", ""},
                                           RootRow{"/media/me/CARD", "/media/me/CARD/"},
                                           RootRow{"/media/me/CARD/", "/media/me/CARD/"},
                                           RootRow{" /mnt/sd//\n", "/mnt/sd/"}, RootRow{"/", "/"},
                                           RootRow{"card", "card/"}));

TEST(CardConfigPathTest, SettingFileUnderTheRoot) {
    EXPECT_EQ(CardConfigPath("/media/me/CARD/"), "/media/me/CARD/SETTING/blackbox.cfg");
}

}  // namespace
