// The list's navigation on its own: a bare window with the skinned controls and the list,
// an idle playback controller, and the main window's part played by hooks and dialogs that
// record what they are asked (opening "plays" every file but the ones marked broken).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingListView.h"
#include "app/list/RecordingNavigator.h"
#include "app/playback/PlaybackController.h"
#include "app/view/MainWindowControls.h"
#include "app/window/Resource.h"
#include "library/CardRoot.h"
#include "library/TripCatalogue.h"
#include "tests/app/AppTestSupport.h"

namespace fs = std::filesystem;
using apptest::Card;

namespace {

constexpr int kCategoryButtons[] = {IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT, IDC_BUTTON_PARKING,
                                    IDC_BUTTON_USER, IDC_BUTTON_ALL};

fs::path Scratch(const std::string& name) {
    const fs::path folder =
        fs::path(TARVEX_TEST_DATA_DIR) / ("navigator-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Notes and messages recorded; the drive question counted and cancelled.
class NavigatorDialogs : public WindowDialogs {
public:
    void ShowNote(const QString& text, bool) override { notes << text; }
    void ShowMessage(const QString& text) override { messages << text; }
    DriveChoice RunDriveDialog(std::string*) override {
        ++driveDialogs;
        return DriveChoice::Cancelled;
    }
    QString RunFolderDialog(const QString&) override { return {}; }

    QStringList notes, messages;
    int driveDialogs = 0;
};

class RecordingNavigatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        configPath = (Scratch("config") / "config.cfg").string();
        controls = std::make_unique<MainWindowControls>(&window);
        list = new RecordingListView(&window);
        controls->AdoptList(list);
        hooks.openRecording = [this](const std::string& path, int) { return Open(path); };
        hooks.stop = [this] { ++stops; };
        hooks.isPlayerActive = [this] { return !current.empty(); };
        hooks.currentPath = [this] { return current; };
        hooks.tripIndex = [] { return size_t{0}; };
        hooks.configPath = [this] { return configPath; };
        navigator =
            std::make_unique<RecordingNavigator>(*list, *controls, playback, dialogs, hooks);
    }

    // As the window does: a broken file fails to open and the navigator is told.
    bool Open(const std::string& path) {
        opened.push_back(path);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        const bool ok = broken.count(path) == 0;
        current = ok ? path : std::string();
        if (!ok) navigator->OnOpenFailed(path);
        --depth;
        return ok;
    }

    std::string Row(int row) const { return list->PathOf(row).toStdString(); }
    int CheckedCategory() const {
        for (int id : kCategoryButtons)
            if (static_cast<QAbstractButton*>(controls->Item(id))->isChecked()) return id;
        return 0;
    }

    QWidget window;
    PlaybackController playback;
    std::unique_ptr<MainWindowControls> controls;
    RecordingListView* list = nullptr;  // child of window
    NavigatorHooks hooks;
    NavigatorDialogs dialogs;
    QStringList& notes = dialogs.notes;
    QStringList& messages = dialogs.messages;
    int& driveDialogs = dialogs.driveDialogs;
    std::unique_ptr<RecordingNavigator> navigator;
    std::string configPath;

    std::set<std::string> broken;
    std::string current;
    std::vector<std::string> opened;
    int depth = 0, maxDepth = 0, stops = 0;
};

TEST_F(RecordingNavigatorTest, NewerAndOlderWalkTheRowsAndStopPastEitherEnd) {
    ASSERT_TRUE(navigator->Cards().ShowCardCategory(Card().root, CatalogueView::Driving));
    ASSERT_EQ(list->RowCount(), 3);
    struct Step {
        const char* what;
        int from;
        bool newer;
        int expectRow;  // -1: stopped, nothing opened
    };
    const Step steps[] = {
        {"NewerFromTheMiddle", 1, true, 0},   {"NewerFromTheNewest", 0, true, -1},
        {"NewerWithNoRow", -1, true, -1},     {"OlderFromTheMiddle", 1, false, 2},
        {"OlderFromTheOldest", 2, false, -1}, {"OlderWithNoRowStartsAtTheTop", -1, false, 0}};
    for (const Step& step : steps) {
        navigator->SetCurIndex(step.from);
        opened.clear();
        stops = 0;
        step.newer ? navigator->PlayNewer() : navigator->PlayOlder();
        if (step.expectRow < 0) {
            EXPECT_TRUE(opened.empty()) << step.what;
            EXPECT_EQ(stops, 1) << step.what;
        } else {
            EXPECT_EQ(opened, std::vector<std::string>{Row(step.expectRow)}) << step.what;
            EXPECT_EQ(navigator->CurIndex(), step.expectRow) << step.what;
            EXPECT_EQ(stops, 0) << step.what;
        }
    }
}

// A run of rows that fail is walked one row at a time by the first open (the stack never
// deepens with the run), every one is marked, and one note says what the run held.
TEST_F(RecordingNavigatorTest, AFailingRunIsWalkedFlatAndSaidOnce) {
    struct Run {
        const char* what;
        std::vector<int> brokenRows;  // the last one fails last
        int start;
        std::vector<int> expectOpened;
        int expectStops, expectCurrent;
    };
    const Run runs[] = {
        {"OneHandsOverToTheNewer", {1}, 1, {1, 0}, 0, 0},
        {"TheNewestStops", {0}, 0, {0}, 1, -1},
        {"TwoThenAGoodOne", {2, 1}, 2, {2, 1, 0}, 0, 0},
        {"AllThreeStopAtTheTop", {2, 1, 0}, 2, {2, 1, 0}, 1, -1},
    };
    for (const Run& run : runs) {
        ASSERT_TRUE(navigator->Cards().ShowCardCategory(Card().root, CatalogueView::Driving));
        broken.clear();
        for (int row : run.brokenRows) broken.insert(Row(row));
        std::vector<std::string> expectOpened;
        for (int row : run.expectOpened) expectOpened.push_back(Row(row));
        opened.clear();
        notes.clear();
        stops = maxDepth = 0;
        navigator->OnListDoubleClick(run.start);
        EXPECT_EQ(opened, expectOpened) << run.what;
        EXPECT_EQ(stops, run.expectStops) << run.what;
        EXPECT_LE(maxDepth, 2) << run.what;
        EXPECT_EQ(navigator->CurIndex(), run.expectCurrent) << run.what;
        for (int row : run.brokenRows) EXPECT_TRUE(navigator->IsRowUnplayable(row)) << run.what;
        ASSERT_EQ(notes.size(), 1) << run.what;
        const QString note = notes.front();
        const std::string lastName = fs::path(Row(run.brokenRows.back())).filename().string();
        EXPECT_TRUE(note.contains(QString::fromStdString(lastName))) << note.toStdString();
        if (run.brokenRows.size() > 1) {
            EXPECT_TRUE(note.contains(QString::number(run.brokenRows.size())))
                << note.toStdString();
        }
    }
}

// T shows the trips of the category on screen and T again its recordings, the category
// button staying as it was.
TEST_F(RecordingNavigatorTest, TheTripsToggleKeepsTheCategoryShown) {
    const std::pair<CatalogueView, int> views[] = {{CatalogueView::Driving, IDC_BUTTON_DRIVING},
                                                   {CatalogueView::Event, IDC_BUTTON_EVENT},
                                                   {CatalogueView::All, IDC_BUTTON_ALL}};
    for (const auto& [view, button] : views) {
        ASSERT_TRUE(navigator->Cards().ShowCardCategory(Card().root, view));
        std::vector<Trip> trips;
        ASSERT_TRUE(ListTrips(CardRoot(Card().root), view, trips));
        navigator->OnToggleTrips();
        // The trips view shows at once; its rows come from a background listing.
        EXPECT_TRUE(navigator->IsTripsView()) << button;
        ASSERT_TRUE(apptest::WaitUntil([&] { return !navigator->IsListingTrips(); }));
        EXPECT_EQ(list->RowCount(), static_cast<int>(trips.size())) << button;
        navigator->OnToggleTrips();
        EXPECT_FALSE(navigator->IsTripsView()) << button;
        EXPECT_EQ(CheckedCategory(), button);
    }
}

TEST_F(RecordingNavigatorTest, TheReasonSaysWhyAFileWillNotPlay) {
    const fs::path folder = Scratch("reasons");
    std::ofstream(folder / "empty.avi").close();
    std::ofstream(folder / "noise.avi") << "not a recording at all";
    fs::create_directories(folder / "folder.avi");
    const std::pair<const char*, TextId> cases[] = {{"gone.avi", texts::kGone},
                                                    {"empty.avi", texts::kEmptyFile},
                                                    {"folder.avi", texts::kUnreadable},
                                                    {"noise.avi", texts::kNotRecording}};
    for (const auto& [name, text] : cases)
        EXPECT_EQ(UnplayableNotes::Reason((folder / name).string()).english, text.english) << name;
}

TEST_F(RecordingNavigatorTest, AFolderIsListedAsWhatItIs) {
    const fs::path loose = Scratch("loose");
    fs::copy_file(Card().driving[0], loose / fs::path(Card().driving[0]).filename());
    const fs::path empty = Scratch("empty");
    struct Case {
        const char* what;
        std::string folder;
        bool expectOpened;
        std::string expectDrive;
        int expectButton, expectRows;
    };
    const Case cases[] = {
        {"CardRoot", Card().root + "/", true, Card().root, IDC_BUTTON_DRIVING, 3},
        {"CategoryFolder", fs::path(Card().event).parent_path().string(), true, Card().root,
         IDC_BUTTON_EVENT, 1},
        {"LooseFolder", loose.string(), true, "", 0, 1},
        {"EmptyLooseFolder", (empty / "." / ".." / empty.filename()).string(), true, "", 0, 0},
        {"NothingThere", (empty / "gone").string(), false, "", 0, 0},  // the list stays
    };
    const QString insertCard = navigator->Cards().ListPlaceholderText();
    for (const Case& c : cases) {
        notes.clear();
        EXPECT_EQ(navigator->OpenPath(QString::fromStdString(c.folder)), c.expectOpened) << c.what;
        EXPECT_EQ(navigator->Cards().DrivePath(), c.expectDrive) << c.what;
        EXPECT_EQ(CheckedCategory(), c.expectButton) << c.what;
        EXPECT_EQ(list->RowCount(), c.expectRows) << c.what;
        EXPECT_EQ(notes.size(), c.expectOpened ? 0 : 1) << c.what;
        // A listed folder, card or not, says it has no recordings rather than asking for one.
        EXPECT_NE(list->PlaceholderText(), insertCard) << c.what;
    }
}

// The card going away empties the list and says how to open one; OPEN takes it back without
// asking once it is there again, and asks when it is not.
TEST_F(RecordingNavigatorTest, ALostCardIsTakenBackByOpenOnlyWhenItReturns) {
    const std::string card = apptest::CopyCard("navigator-lost");
    ASSERT_TRUE(navigator->Cards().ShowCardCategory(card, CatalogueView::Driving));
    const QString noRows = list->PlaceholderText();
    navigator->Cards().LoseCard();
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(CheckedCategory(), 0);
    EXPECT_NE(list->PlaceholderText(), noRows) << "the placeholder follows the emptied list";
    EXPECT_EQ(list->PlaceholderText(), navigator->Cards().ListPlaceholderText());

    EXPECT_TRUE(navigator->AskForCard());
    EXPECT_EQ(driveDialogs, 0);
    EXPECT_EQ(navigator->Cards().DrivePath(), card);
    EXPECT_EQ(list->RowCount(), 3);

    navigator->Cards().LoseCard();
    fs::remove_all(card);
    EXPECT_FALSE(navigator->AskForCard());
    EXPECT_EQ(driveDialogs, 1);
}

TEST_F(RecordingNavigatorTest, TheLastCardIsKeptInTheSettingsFile) {
    navigator->Cards().SaveLastCard();  // nothing listed yet: nothing written
    EXPECT_FALSE(fs::exists(configPath));
    ASSERT_TRUE(navigator->Cards().ShowCardCategory(Card().root, CatalogueView::Driving));
    navigator->Cards().SaveLastCard();
    CardOpener later(*list, *controls, dialogs, hooks);
    later.ReadLastCard();
    EXPECT_EQ(later.LastCard(), Card().root);
    EXPECT_TRUE(later.OpenLastCard());
}

}  // namespace
