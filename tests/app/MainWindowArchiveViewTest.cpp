// The Archive view of a card imported into the archive: its days newest first, a search by
// event kind, a match played from its moment, a click on a day's route played from the
// moment that passed there, and the archive's settings kept in the viewer's settings file.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>

#include "app/archive/ArchiveCommands.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/archive/ArchiveSettings.h"
#include "app/archive/ArchiveSettingsDlg.h"
#include "app/archive/ArchiveView.h"
#include "app/archive/ArchiveViewModel.h"
#include "app/list/RecordingListView.h"
#include "archive/ArchiveLayout.h"
#include "tests/app/MainWindowFixture.h"
#include "tools/cardgen/CardGenerator.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kOlder = "REC_20260313_101500_D.AVI";
constexpr const char* kNewer = "REC_20260314_182509_D.AVI";  // brakes hard 3 s in

// A card of two days' drives, made once for the program.
const std::string& TwoDayCard() {
    static const std::string root = [] {
        const fs::path card =
            fs::path(TARVEX_TEST_DATA_DIR) / ("app-card-archive-view-" + std::to_string(getpid()));
        fs::remove_all(card);
        for (const char* category : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"})
            fs::create_directories(card / category);
        RecordingOptions options;
        options.frontWidth = 320, options.frontHeight = 180;
        options.rearWidth = 160, options.rearHeight = 90;
        options.durationSec = 4, options.day = 13, options.hour = 10, options.minute = 15;
        options.second = 0, options.seed = 7;
        std::string error;
        EXPECT_TRUE(WriteRecording((card / "DRIVING" / kOlder).string(), options, &error)) << error;
        options.durationSec = 8, options.day = 14, options.hour = 18, options.minute = 25;
        options.second = 9, options.calmDrive = true, options.gEvents = {{'b', 3000}};
        EXPECT_TRUE(WriteRecording((card / "DRIVING" / kNewer).string(), options, &error)) << error;
        return card.string();
    }();
    return root;
}

// Answers the archive's settings with the test's own.
class SettingsWindow : public TestWindow {
public:
    std::function<void(ArchiveSettingsDlg&)> answer;

protected:
    bool RunArchiveSettingsDialog(ArchiveSettingsDlg& dialog) override {
        if (answer) answer(dialog);
        return bool(answer);
    }
};

class MainWindowArchiveViewTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((workDir / "data").string()));
        window = std::make_unique<SettingsWindow>();
        window->show();
    }
    void TearDown() override {
        if (savedDataHome.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedDataHome);
        MainWindowFixture::TearDown();
    }
    SettingsWindow& Settings() { return static_cast<SettingsWindow&>(Window()); }

    ArchiveView& OpenView() {
        QTest::keyClick(&Window(), Qt::Key_H);
        ArchiveView* view = Window().Archive().View();
        EXPECT_TRUE(view && view->isVisible());
        return *view;
    }
    // The top-level rows' texts, once the list has some.
    QStringList Days(ArchiveView& view) {
        QTreeWidget* tree = view.Tree();
        WaitUntil(
            [&] { return tree->topLevelItemCount() > 0 || !view.Status()->text().isEmpty(); });
        QStringList days;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) days << tree->topLevelItem(i)->text(0);
        return days;
    }
    // The recording opens and shows the moment asked for first, not its start.
    void ExpectPlaysFrom(const std::string& name, int64_t offsetMs) {
        const PlaybackController& playback = Window().Playback();
        ASSERT_TRUE(WaitUntil([&] {
            return fs::path(Window().CurrentPath()).filename() == name &&
                   playback.State() != PlaybackState::Loading;
        }));
        EXPECT_NEAR(double(playback.Position()), double(offsetMs), 1000);
    }

    QByteArray savedDataHome;
};

}  // namespace

TEST_F(MainWindowArchiveViewTest, AnEventSearchPlaysTheRecordingFromTheEvent) {
    ASSERT_TRUE(ImportCardIntoArchive(TwoDayCard(), DefaultArchiveFolder()).started);
    ArchiveView& view = OpenView();
    EXPECT_EQ(Days(view), QStringList({"2026-03-14", "2026-03-13"}));

    view.KindCombo()->setCurrentIndex(view.KindCombo()->findData("harsh_braking"));
    QTest::mouseClick(view.SearchButton(), Qt::LeftButton);
    QTreeWidget* tree = view.Tree();
    ASSERT_TRUE(WaitUntil([&] { return view.Status()->text().endsWith("found."); }));
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
    QTreeWidgetItem* match = tree->topLevelItem(0)->child(0);
    const QString path = match->data(0, ArchiveView::kPathRole).toString();
    const qint64 offsetMs = match->data(0, ArchiveView::kOffsetRole).toLongLong();
    EXPECT_EQ(fs::path(path.toStdString()).filename(), kNewer);
    EXPECT_NEAR(double(offsetMs), 3000, 1000);

    emit tree->itemActivated(match, 0);
    ExpectPlaysFrom(kNewer, offsetMs);
}

TEST_F(MainWindowArchiveViewTest, AClickOnADaysRoutePlaysFromThatPlace) {
    ASSERT_TRUE(ImportCardIntoArchive(TwoDayCard(), DefaultArchiveFolder()).started);
    ArchiveView& view = OpenView();
    ASSERT_TRUE(WaitUntil([&] { return !view.Model().Routes().lines.empty(); }));
    // The newest day's route, where it was about six seconds into its recording.
    const ArchiveRoutes& routes = view.Model().Routes();
    const auto& line = routes.lines.front();
    const auto at = std::min_element(line.begin(), line.end(), [](const auto& a, const auto& b) {
        return std::llabs(a.offsetMs - 6000) < std::llabs(b.offsetMs - 6000);
    });
    ASSERT_NE(at, line.end());
    EXPECT_EQ(fs::path(routes.paths.at(at->recording)).filename(), kNewer);
    view.OnRouteClicked(at->latitude, at->longitude);
    ExpectPlaysFrom(kNewer, at->offsetMs);
}

TEST_F(MainWindowArchiveViewTest, AMissingArchiveIsNamedAndTheSettingsChooseAnother) {
    // The list's menu opens the view too.
    QMenu menu;
    Window().List()->FillMenu(menu, QPoint(-1, -1));
    QAction* archive = menu.actions().isEmpty() ? nullptr : menu.actions().back();
    ASSERT_TRUE(archive && archive->text() == "Archive…");
    archive->trigger();
    ASSERT_TRUE(Window().Archive().View());
    ArchiveView& view = *Window().Archive().View();
    ASSERT_TRUE(Days(view).isEmpty());
    EXPECT_TRUE(view.Status()->text().startsWith("There is no archive in "))
        << view.Status()->text().toStdString();

    // Another folder, chosen in the settings, holds the card's recordings.
    const fs::path other = workDir / "elsewhere";
    ASSERT_TRUE(ImportCardIntoArchive(TwoDayCard(), other.string()).started);
    Settings().answer = [&](ArchiveSettingsDlg& dialog) {
        dialog.FolderEdit()->setText(QString::fromStdString(other.string()));
        dialog.ImportCombo()->setCurrentIndex(
            dialog.ImportCombo()->findData(int(ImportChoice::Never)));
    };
    emit view.settingsRequested();
    EXPECT_EQ(Days(view), QStringList({"2026-03-14", "2026-03-13"}));
    const ArchiveSettings kept = ReadArchiveSettings(CSamplePlayerDlg::ConfigPath());
    EXPECT_EQ(kept.folder, other.string());
    EXPECT_EQ(kept.Catalogue(), DefaultCatalogue(other.string()));
    EXPECT_EQ(kept.import, ImportChoice::Never);
}
