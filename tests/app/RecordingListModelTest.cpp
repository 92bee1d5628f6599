// The recording list's model and view on generated cards: rows and cells of both views, the
// path as data and its look-up, the marks, and trips expanding into their recordings.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <filesystem>

#include "app/list/RecordingListModel.h"
#include "app/list/RecordingListView.h"
#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "library/TripCatalogue.h"
#include "support/StringTable.h"
#include "tests/app/AppTestSupport.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;
using apptest::Card;
using Model = RecordingListModel;

namespace {

constexpr int kSeconds = 3;

// DRIVING: a trip of two recordings back to back at 12:00:00, and one alone at 13:00:00.
std::string TripCard() {
    static const std::string root = [] {
        const fs::path card = fs::path(TARVEX_TEST_DATA_DIR) / "list-model-card";
        fs::create_directories(card / "DRIVING");
        const int starts[][2] = {{12, 0}, {12, kSeconds}, {13, 0}};
        for (const auto& [hour, second] : starts) {
            RecordingOptions o;
            o.durationSec = kSeconds;
            o.frontWidth = o.rearWidth = 160;
            o.frontHeight = o.rearHeight = 96;
            o.hour = hour;
            o.second = second;
            const fs::path path =
                card / "DRIVING" / RecordingFileName("REC", {2026, 3, 14, hour, 0, second}, true);
            std::string error;
            if (!fs::exists(path) && !WriteRecording(path.string(), o, &error))
                ADD_FAILURE() << error;
        }
        return card.string();
    }();
    return root;
}

std::vector<CatalogueRow> Listed(const std::string& root, CatalogueView view) {
    std::vector<CatalogueRow> rows;
    EXPECT_TRUE(ListCatalogue(CardRoot(root), view, rows, nullptr));
    return rows;
}

QString Cell(const Model& model, int row, int column, const QModelIndex& parent = {}) {
    return model.index(row, column, parent).data().toString();
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

class RecordingListModelTest : public ::testing::Test {
protected:
    void SetUp() override { g_wLanguage = kLangEnglish; }
    void TearDown() override { g_wLanguage = kLangEnglish; }
    Model model;
    // Checks every index, parent and row count the views will ask for, on every change.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

struct CategoryCase {
    const char* name;
    CatalogueView view;
    std::vector<std::string> paths;  // newest on top
    std::vector<const char*> types;
};

TEST_F(RecordingListModelTest, EachCategoryListsNewestFirstWithThePathAsData) {
    const apptest::SampleCard& card = Card();
    const CategoryCase cases[] = {
        {"driving",
         CatalogueView::Driving,
         {card.driving[0], card.driving[1], card.driving[2]},
         {"REC", "REC", "REC"}},
        {"event", CatalogueView::Event, {card.event}, {"EVT"}},
        {"all",
         CatalogueView::All,
         {card.user, card.event, card.driving[0], card.driving[1], card.driving[2]},
         {"MAN", "EVT", "REC", "REC", "REC"}},
    };
    for (const CategoryCase& c : cases) {
        model.SetRecordings(Listed(card.root, c.view));
        ASSERT_EQ(model.RowCount(), static_cast<int>(c.paths.size())) << c.name;
        for (int row = 0; row < model.RowCount(); ++row) {
            const QString path = Q(c.paths[static_cast<size_t>(row)]);
            EXPECT_EQ(model.PathOf(row), path) << c.name << row;
            EXPECT_EQ(model.RowOf(path), row) << c.name << row;
            EXPECT_EQ(model.rowCount(model.index(row, 0)), 0) << "a recording has no rows";
            EXPECT_EQ(Cell(model, row, Model::kTypeColumn), c.types[static_cast<size_t>(row)]);
            EXPECT_TRUE(Cell(model, row, Model::kSizeColumn).endsWith(" KB")) << c.name << row;
            for (int column = 0; column < Model::kColumnCount; ++column) {
                const QModelIndex index = model.index(row, column);
                EXPECT_EQ(index.data(Model::PathRole).toString(), path) << "any cell leads there";
                EXPECT_FALSE(index.data().toString().contains(QLatin1Char('/')))
                    << "no cell shows the path: " << c.name << row << " " << column;
            }
        }
        EXPECT_EQ(model.RowOf(Q(card.root + "/DRIVING/REC_20990101_000000_D.AVI")), -1);
    }
    model.SetRecordings(Listed(card.root, CatalogueView::Driving));
    EXPECT_EQ(Cell(model, 0, Model::kDateColumn), "2026.03.14 18:25:49");
    EXPECT_EQ(Cell(model, 0, Model::kRearColumn), "\u2713");  // the rear camera
    EXPECT_EQ(model.PathOf(-1), QString());
    EXPECT_EQ(model.PathOf(3), QString());
    EXPECT_FALSE(model.index(3, 0).isValid());
    EXPECT_FALSE(model.index(0, Model::kColumnCount).isValid());
}

TEST_F(RecordingListModelTest, HeadingsAndCellsInBothLanguages) {
    struct Case {
        uint16_t language;
        QStringList headings;
    };
    const Case cases[] = {
        {kLangEnglish, {"FileName", "Type", "Date", "Length", "Rear", "Size"}},
        {kLangKorean, {"파일이름", "종류", "날짜", "길이", "후방", "크기"}},
    };
    for (const Case& c : cases) {
        g_wLanguage = c.language;
        model.SetRecordings(Listed(Card().root, CatalogueView::Driving));
        for (int column = 0; column < Model::kColumnCount; ++column)
            EXPECT_EQ(model.headerData(column, Qt::Horizontal, Qt::DisplayRole),
                      c.headings[column]);
        EXPECT_TRUE(Cell(model, 0, Model::kSizeColumn).endsWith(" KB")) << "the unit in both";
        EXPECT_EQ(model.headerData(Model::kNameColumn, Qt::Horizontal, Qt::TextAlignmentRole)
                      .value<Qt::Alignment>(),
                  Qt::AlignLeft | Qt::AlignVCenter);
        EXPECT_EQ(
            model.index(0, Model::kDateColumn).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
            Qt::AlignHCenter | Qt::AlignVCenter);
    }
}

// A duplicate path keeps its first row; a sort or a removed row moves every path's row.
TEST_F(RecordingListModelTest, PathLookUpFollowsEveryChangeOfTheRows) {
    std::vector<CatalogueRow> rows = Listed(Card().root, CatalogueView::Driving);
    rows.push_back(rows.front());  // the same file listed twice
    model.SetRecordings(rows);
    EXPECT_EQ(model.RowOf(Q(rows.front().path)), 0);

    const auto consistent = [&](const char* after) {
        for (int row = 0; row < model.RowCount(); ++row)
            EXPECT_EQ(model.PathOf(model.RowOf(model.PathOf(row))), model.PathOf(row)) << after;
    };
    // The same file named another way: through a link, or with ".." in its folder.
    const fs::path link = fs::path(TARVEX_TEST_DATA_DIR) / "list-model-link.avi";
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(Card().driving[1], link, ec);
    ASSERT_FALSE(ec) << ec.message();
    const std::string dotted =
        Card().root + "/EVENT/../DRIVING/" + fs::path(Card().driving[2]).filename().string();
    EXPECT_EQ(model.RowOfFile(Q(link.string())), 1);
    EXPECT_EQ(model.RowOfFile(Q(dotted)), 2);
    EXPECT_EQ(model.RowOfFile(Q(Card().driving[0])), 0);
    EXPECT_EQ(model.RowOfFile(Q(Card().root + "/DRIVING/gone.avi")), -1);
    EXPECT_EQ(model.RowOfFile(Q(Card().event)), -1) << "a file not listed";

    model.sort(Model::kNameColumn, Qt::AscendingOrder);  // oldest first now
    EXPECT_EQ(model.PathOf(0), Q(Card().driving[2]));
    EXPECT_EQ(model.RowOf(Q(Card().driving[2])), 0);
    consistent("sort");
    const QString top = model.PathOf(0);
    ASSERT_TRUE(model.removeRows(0, 1));
    EXPECT_EQ(model.RowOf(top), -1);
    consistent("removal");
    EXPECT_FALSE(model.removeRows(0, 99)) << "past the end";
    EXPECT_FALSE(model.removeRows(-1, 1));
}

TEST_F(RecordingListModelTest, MarksBelongToTheirRowAndGoWithANewListing) {
    struct Case {
        const char* name;
        int events;
        const char* reason;  // null: not marked unplayable
        const char* typeTip;
        bool icon;
        bool coloured;
    };
    const Case cases[] = {
        {"one event", 1, nullptr, "1 event", true, false},
        {"events", 4, nullptr, "4 events", true, false},
        {"unplayable", 0, "Cannot play it.", "Cannot play it.", false, true},
        {"unplayable wins the tip", 2, "Cannot play it.", "Cannot play it.", true, true},
    };
    const std::vector<CatalogueRow> rows = Listed(Card().root, CatalogueView::Driving);
    const QString path = Q(Card().driving[1]);
    for (const Case& c : cases) {
        model.SetRecordings(rows);
        if (c.events) {
            EXPECT_TRUE(model.MarkEvents(path, c.events));
        }
        if (c.reason) {
            EXPECT_TRUE(model.MarkUnplayable(path, QString::fromUtf8(c.reason)));
        }
        const QModelIndex type = model.index(1, Model::kTypeColumn);
        EXPECT_EQ(!type.data(Qt::DecorationRole).value<QIcon>().isNull(), c.icon) << c.name;
        EXPECT_FALSE(model.index(1, Model::kDateColumn).data(Qt::DecorationRole).isValid());
        EXPECT_EQ(type.data(Qt::ToolTipRole).toString(), QString::fromUtf8(c.typeTip)) << c.name;
        EXPECT_EQ(type.data(Qt::AccessibleDescriptionRole).toString(),
                  model.index(1, Model::kNameColumn).data().toString())
            << "a screen reader hears the hidden name";
        EXPECT_EQ(model.index(1, Model::kSizeColumn).data(Qt::ForegroundRole).isValid(), c.coloured)
            << c.name;
        EXPECT_EQ(model.IsUnplayable(1), c.reason != nullptr) << c.name;
        EXPECT_EQ(type.data(Model::EventCountRole).toInt(), c.events) << c.name;
        for (int other : {0, 2}) {
            EXPECT_FALSE(model.index(other, Model::kTypeColumn).data(Qt::ToolTipRole).isValid());
            EXPECT_FALSE(model.IsUnplayable(other));
        }
    }
    EXPECT_FALSE(model.MarkEvents(Q(Card().event), 3)) << "not listed here";
    EXPECT_FALSE(model.MarkUnplayable(Q(Card().event), "x"));
    model.SetRecordings(rows);
    EXPECT_FALSE(model.IsUnplayable(1)) << "a new listing starts unmarked";
    EXPECT_FALSE(model.index(1, Model::kTypeColumn).data(Qt::DecorationRole).isValid());
}

TEST_F(RecordingListModelTest, TripsExpandIntoTheirRecordingsInPlayingOrder) {
    std::vector<Trip> trips;
    ASSERT_TRUE(ListTrips(CardRoot(TripCard()), CatalogueView::Driving, trips));
    ASSERT_EQ(trips.size(), 2u);
    model.SetTrips(trips);
    ASSERT_TRUE(model.IsTrips());
    EXPECT_EQ(model.headerData(Model::kRearColumn, Qt::Horizontal, Qt::DisplayRole), "#");
    struct Expected {
        const char* date;
        const char* length;
        const char* count;
        std::vector<const char*> times;  // the recordings' date cells (each 0:03 long)
    };
    const Expected expected[] = {
        {"2026.03.14 13:00:00", "0:03", "1", {"13:00:00"}},
        {"2026.03.14 12:00:00", "0:06", "2", {"12:00:00", "12:00:03"}},
    };
    ASSERT_EQ(model.RowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const Expected& e = expected[row];
        const Trip& trip = trips[static_cast<size_t>(row)];
        const QModelIndex tripIndex = model.index(row, 0);
        EXPECT_EQ(Cell(model, row, Model::kTypeColumn), "TRIP");
        EXPECT_EQ(Cell(model, row, Model::kDateColumn), e.date);
        EXPECT_EQ(Cell(model, row, Model::kLengthColumn), e.length);
        EXPECT_EQ(Cell(model, row, Model::kRearColumn), e.count);
        EXPECT_TRUE(Cell(model, row, Model::kSizeColumn).endsWith(" KB"))
            << "the unit for trips too";
        EXPECT_EQ(model.PathOf(row), Q(trip.recordings.front().path));
        ASSERT_EQ(model.rowCount(tripIndex), static_cast<int>(e.times.size()));
        QStringList paths;
        for (int i = 0; i < model.rowCount(tripIndex); ++i) {
            const QModelIndex child = model.index(i, Model::kDateColumn, tripIndex);
            EXPECT_EQ(child.parent(), tripIndex);
            EXPECT_EQ(child.data().toString(), e.times[static_cast<size_t>(i)]);
            EXPECT_EQ(Cell(model, i, Model::kLengthColumn, tripIndex), "0:03");
            EXPECT_EQ(Cell(model, i, Model::kTypeColumn, tripIndex), "REC");
            EXPECT_EQ(child.data(Model::PathRole).toString(),
                      Q(trip.recordings[static_cast<size_t>(i)].path))
                << "playing order, oldest first";
            EXPECT_EQ(model.rowCount(child), 0);
            paths << child.data(Model::PathRole).toString();
        }
        EXPECT_EQ(model.TripPathsOf(row), paths);
        EXPECT_EQ(tripIndex.data(Model::TripPathsRole).toStringList(), paths);
    }
    // Sorted, a recording the view holds stays under its own trip.
    const QPersistentModelIndex second(model.index(1, 0, model.index(1, 0)));
    const QString secondPath = second.data(Model::PathRole).toString();
    model.sort(Model::kDateColumn, Qt::AscendingOrder);
    EXPECT_EQ(model.PathOf(0), Q(trips[1].recordings.front().path));
    model.sort(Model::kLengthColumn, Qt::AscendingOrder);
    EXPECT_EQ(Cell(model, 0, Model::kLengthColumn), "0:03");
    model.sort(Model::kLengthColumn, Qt::DescendingOrder);
    EXPECT_EQ(Cell(model, 0, Model::kLengthColumn), "0:06");
    model.sort(Model::kDateColumn, Qt::AscendingOrder);
    ASSERT_TRUE(second.isValid());
    EXPECT_EQ(second.data(Model::PathRole).toString(), secondPath);
    EXPECT_EQ(second.parent().row(), 0);

    model.SetRecordings(Listed(TripCard(), CatalogueView::Driving));
    EXPECT_FALSE(model.IsTrips());
    EXPECT_EQ(model.headerData(Model::kRearColumn, Qt::Horizontal, Qt::DisplayRole), "Rear");
    model.SetTrips(trips);
    model.Clear();
    EXPECT_FALSE(model.IsTrips()) << "an empty list is no trips view";
}

// Lengths read as a clock does: minutes and seconds, and hours once there is one, the minutes
// then within their hour; a trip reads the same way as a recording.
TEST_F(RecordingListModelTest, LengthsOfAnHourOrMoreShowHoursMinutesAndSeconds) {
    const struct {
        int64_t ms;
        const char* cell;
    } rows[] = {
        {59 * 60 * 1000 + 59999, "59:59"},
        {3600 * 1000, "1:00:00"},
        {(3600 + 5 * 60) * 1000, "1:05:00"},
        {(2 * 3600 + 5 * 60 + 7) * 1000 + 999, "2:05:07"},
        {(10 * 3600 + 59 * 60 + 59) * 1000, "10:59:59"},
    };
    std::vector<Trip> trips;
    for (const auto& row : rows) {
        TripRecording r;
        r.fileName = "REC_20260314_120000_D.AVI";
        r.path = "/card/DRIVING/" + std::to_string(trips.size()) + "/" + r.fileName;
        r.startSec = 0;
        r.durationMs = row.ms;
        r.opens = true;
        trips.push_back({"DRIVING", {r}});
    }
    model.SetTrips(trips);
    ASSERT_EQ(model.RowCount(), static_cast<int>(std::size(rows)));
    for (int row = 0; row < model.RowCount(); ++row) {
        const char* cell = rows[row].cell;
        EXPECT_EQ(Cell(model, row, Model::kLengthColumn).toStdString(), cell) << rows[row].ms;
        EXPECT_EQ(Cell(model, 0, Model::kLengthColumn, model.index(row, 0)).toStdString(), cell)
            << rows[row].ms;
    }
}

// In the trips view the marks go to the recordings under their trips; a trip sums its
// recordings' events and is unplayable when none of them plays. A file whose header cannot be
// read is marked at listing, with no length.
TEST_F(RecordingListModelTest, TripsCarryTheirRecordingsMarks) {
    const fs::path garbage = fs::path(TARVEX_TEST_DATA_DIR) / "list-model-garbage" / "DRIVING";
    fs::create_directories(garbage);
    fs::copy(TripCard() + "/DRIVING", garbage,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const fs::path broken = garbage / "REC_20260314_140000_D.AVI";
    std::FILE* f = std::fopen(broken.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("not a recording at all", f);
    std::fclose(f);
    std::vector<Trip> trips;
    ASSERT_TRUE(ListTrips(CardRoot(garbage.parent_path().string()), CatalogueView::Driving, trips));
    ASSERT_EQ(trips.size(), 3u);
    model.SetTrips(trips);
    EXPECT_EQ(model.RecordingPaths().size(), 4);

    // Row 0: the broken file's own trip, marked before anyone plays it.
    const QModelIndex brokenTrip = model.index(0, 0);
    EXPECT_TRUE(model.IsUnplayable(0));
    EXPECT_EQ(Cell(model, 0, Model::kLengthColumn), QString(QChar(0x2013)));
    EXPECT_EQ(Cell(model, 0, Model::kLengthColumn, brokenTrip), QString(QChar(0x2013)));
    EXPECT_TRUE(model.index(0, Model::kTypeColumn, brokenTrip)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains("REC_20260314_140000_D.AVI"));
    EXPECT_FALSE(model.IsUnplayable(1));

    // Row 2: the trip of two recordings.
    const QModelIndex pair = model.index(2, 0);
    const QString first = model.index(0, 0, pair).data(Model::PathRole).toString();
    const QString second = model.index(1, 0, pair).data(Model::PathRole).toString();
    EXPECT_TRUE(model.MarkEvents(first, 2));
    EXPECT_TRUE(model.MarkEvents(second, 3));
    EXPECT_EQ(model.index(2, Model::kTypeColumn).data(Model::EventCountRole).toInt(), 5);
    EXPECT_EQ(model.index(2, Model::kTypeColumn).data(Qt::ToolTipRole).toString(), "5 events");
    // The mark with its count sits in the date column (the type column holds the expand mark).
    EXPECT_FALSE(model.index(2, Model::kDateColumn).data(Qt::DecorationRole).isNull());
    EXPECT_FALSE(model.index(2, Model::kTypeColumn).data(Qt::DecorationRole).isValid());
    EXPECT_TRUE(model.index(2, Model::kDateColumn)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .startsWith("5 events\n"));
    EXPECT_EQ(model.index(1, Model::kTypeColumn, pair).data(Model::EventCountRole).toInt(), 3);
    // A later scan's count replaces the recording's own, and the trip's sum follows.
    EXPECT_TRUE(model.MarkEvents(first, 4));
    EXPECT_EQ(model.index(2, Model::kTypeColumn).data(Model::EventCountRole).toInt(), 7);

    EXPECT_TRUE(model.MarkEndsEarly(second, 30000));
    EXPECT_EQ(model.EndsEarlyNote(second), "Recording ends early at 0:30 (power loss?)");
    EXPECT_TRUE(model.index(1, Model::kDateColumn, pair).data(Qt::ForegroundRole).isValid());
    // Cut while it played: the note says where it ends now, the size cell what it holds.
    EXPECT_TRUE(model.MarkCutShort(second, 3000, 2097152));
    EXPECT_EQ(model.EndsEarlyNote(second), "The file was cut while it played: it now ends at 0:03");
    EXPECT_EQ(Cell(model, 1, Model::kSizeColumn, pair),
              QString::fromStdString(SizeCell(2097152)) + " KB");

    EXPECT_TRUE(model.MarkUnplayable(first, "Cannot play it."));
    EXPECT_FALSE(model.IsUnplayable(2)) << "one recording of the trip still plays";
    EXPECT_TRUE(model.MarkUnplayable(second, "Cannot play it."));
    EXPECT_TRUE(model.IsUnplayable(2));
    EXPECT_FALSE(model.MarkEvents(Q(Card().event), 1)) << "not listed here";
    fs::remove_all(garbage.parent_path());
}

// The view: the top row selected on a fill, the placeholder over an empty list only, the
// trips view's widths, and the keys walking the rows shown.
TEST(RecordingListViewTest, SelectsThePlaceholderAndWalksTheRowsShown) {
    RecordingListView view;
    view.resize(320, 178);
    view.show();
    view.SetPlaceholderText("No recordings");
    EXPECT_TRUE(view.IsPlaceholderShown());
    std::vector<Trip> trips;
    ASSERT_TRUE(ListTrips(CardRoot(TripCard()), CatalogueView::Driving, trips));
    view.ShowTrips(trips);
    EXPECT_FALSE(view.IsPlaceholderShown());
    EXPECT_EQ(view.SelectedRow(), 0);
    EXPECT_TRUE(view.rootIsDecorated());
    EXPECT_EQ(view.columnWidth(Model::kSizeColumn), 64);
    EXPECT_FALSE(view.isColumnHidden(Model::kLengthColumn));
    EXPECT_FALSE(view.HandleKey(Qt::Key_Down)) << "the keys are the list's only with the focus";

    view.setFocus();
    ASSERT_TRUE(apptest::WaitUntil([&] { return view.hasFocus(); }, 3000));
    view.expand(view.model()->index(1, 0));
    struct Step {
        int key;
        int row, index;  // index -1: the trip row itself
    };
    const Step steps[] = {{Qt::Key_Down, 1, -1}, {Qt::Key_Down, 1, 0}, {Qt::Key_Down, 1, 1},
                          {Qt::Key_Down, 1, 1},  // the last row keeps the selection
                          {Qt::Key_Up, 1, 0},    {Qt::Key_Up, 1, -1},  {Qt::Key_Up, 0, -1},
                          {Qt::Key_Up, 0, -1}};
    for (const Step& step : steps) {
        EXPECT_TRUE(view.HandleKey(step.key));
        int row = -1, index = -1;
        if (step.index >= 0) {
            ASSERT_TRUE(view.SelectedTripRecording(&row, &index));
            EXPECT_EQ(row, step.row);
            EXPECT_EQ(index, step.index);
        } else {
            EXPECT_EQ(view.SelectedRow(), step.row);
        }
    }
    int activatedRow = -1, activatedIndex = -1;
    QObject::connect(&view, &RecordingListView::tripRecordingActivated, [&](int row, int index) {
        activatedRow = row;
        activatedIndex = index;
    });
    view.HandleKey(Qt::Key_Down);
    view.HandleKey(Qt::Key_Down);
    view.HandleKey(Qt::Key_Return);
    EXPECT_EQ(activatedRow, 1);
    EXPECT_EQ(activatedIndex, 0);

    view.ShowRecordings(Listed(TripCard(), CatalogueView::Driving));
    EXPECT_FALSE(view.rootIsDecorated());
    EXPECT_EQ(view.columnWidth(Model::kSizeColumn), 86);
    EXPECT_TRUE(view.isColumnHidden(Model::kNameColumn));
    view.Clear();
    EXPECT_TRUE(view.IsPlaceholderShown());
    EXPECT_EQ(view.SelectedRow(), -1);
}

}  // namespace
