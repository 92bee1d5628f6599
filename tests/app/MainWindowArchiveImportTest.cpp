// A dashcam card mounted while the window is open: its recordings the archive lacks are
// offered for import in a strip over the window (or imported at once, or ignored, as the
// settings say), the import runs beside playback with its progress, and a cancel stops it.
// B bookmarks the moment on screen in the archive with a note.
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "app/archive/ArchiveCommands.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/archive/ArchiveImportBar.h"
#include "app/desktop/CardInsertWatcher.h"
#include "archive/ArchiveFind.h"
#include "archive/ArchiveLayout.h"
#include "support/Profile.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

// Answers the bookmark's question with a note of the test's.
class BookmarkWindow : public TestWindow {
public:
    QStringList asked;  // the moments the note was asked for
    QString note = "dent on the left door";

protected:
    bool AskBookmarkNote(const QString& at, QString* answer) override {
        asked << at;
        *answer = note;
        return true;
    }
};

class MainWindowArchiveImportTest : public CopiedCardFixture {
protected:
    BookmarkWindow& Bookmarking() {
        if (!window) {
            window = std::make_unique<BookmarkWindow>();
            window->show();
        }
        return static_cast<BookmarkWindow&>(*window);
    }
    void Choose(const char* choice) {
        const std::string path = CSamplePlayerDlg::ConfigPath();
        fs::create_directories(fs::path(path).parent_path());
        WritePrivateProfileString("config", kArchiveImportSettingKey, choice,
                                  path.c_str());
    }
};

}  // namespace

TEST_F(MainWindowArchiveImportTest, AMountedCardIsOfferedAndImportedWhilePlaying) {
    ShowCard(card);
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForFrontFrame(1));
    ArchiveImportBar* bar = Window().Archive().ImportBar();
    Window().Archive().OnVolumeMounted(QString::fromStdString(card));
    ASSERT_TRUE(WaitUntil([&] { return bar->isVisible(); }));
    EXPECT_TRUE(bar->Text()->text().startsWith("5 new recordings on the card, "))
        << bar->Text()->text().toStdString();
    EXPECT_FALSE(bar->CancelButton()->isVisible());

    QTest::mouseClick(bar->ImportButton(), Qt::LeftButton);
    EXPECT_TRUE(bar->CancelButton()->isVisible());
    EXPECT_FALSE(bar->ImportButton()->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return bar->isHidden(); }));
    ASSERT_FALSE(Window().notes.isEmpty());
    EXPECT_EQ(Window().notes.back(),
              "Imported into the archive: 5 copied, 0 already there, 0 failed.");
    EXPECT_EQ(bar->Progress()->value(), 5);
    EXPECT_EQ(CountNewOnCard(card, DefaultArchiveFolder()).count, 0);
    EXPECT_TRUE(Window().Playback().Player().IsRunning()) << "play went on";
}

TEST_F(MainWindowArchiveImportTest, TheSettingDecidesBetweenAskingImportingAndNothing) {
    Choose("never");
    Window().Archive().OnVolumeMounted(QString::fromStdString(card));
    EXPECT_TRUE(Window().Archive().ImportBar()->isHidden());
    // A folder that is no dashcam card is never offered either.
    Choose("ask");
    Window().Archive().OnVolumeMounted(QString::fromStdString((workDir / "data").string()));
    EXPECT_TRUE(Window().Archive().ImportBar()->isHidden());

    Choose("always");
    Window().Archive().OnVolumeMounted(QString::fromStdString(card));
    ASSERT_TRUE(WaitUntil([&] { return CountNewOnCard(card, DefaultArchiveFolder()).count == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return !Window().notes.isEmpty(); }));
    EXPECT_TRUE(Window().notes.back().startsWith("Imported into the archive: 5 copied"));
}

TEST_F(MainWindowArchiveImportTest, ACancelledImportStopsBeforeItsNextRecording) {
    const std::atomic<bool> cancelled{true};
    const CardImportSummary summary =
        ImportCardIntoArchive(card, DefaultArchiveFolder(), &cancelled);
    EXPECT_TRUE(summary.started) << summary.error;
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.copied, 0);
    EXPECT_EQ(CountNewOnCard(card, DefaultArchiveFolder()).count, 5);
}

TEST_F(MainWindowArchiveImportTest, UDisksMountSignalsNameTheMountPoint) {
    CardInsertWatcher watcher;
    QSignalSpy mounted(&watcher, &CardInsertWatcher::mounted);
    const QString filesystem = "org.freedesktop.UDisks2.Filesystem";
    const QList<QByteArray> point{QByteArray("/media/me/CARD", 15)};  // with its NUL
    watcher.OnPropertiesChanged(filesystem, {{"MountPoints", QVariant::fromValue(point)}}, {});
    watcher.OnPropertiesChanged(filesystem,
                                {{"MountPoints", QVariant::fromValue(QList<QByteArray>{})}}, {});
    watcher.OnPropertiesChanged("org.freedesktop.UDisks2.Block",
                                {{"MountPoints", QVariant::fromValue(point)}}, {});
    watcher.OnPropertiesChanged(filesystem, {{"Size", 1}}, {});
    ASSERT_EQ(mounted.size(), 1) << "an unmount and other properties name nothing";
    EXPECT_EQ(mounted[0][0].toString(), "/media/me/CARD");
}

TEST_F(MainWindowArchiveImportTest, TheBookmarkKeyMarksTheArchivedMomentOnScreen) {
    BookmarkWindow& w = Bookmarking();
    ShowCard(card);
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForFrontFrame(1));
    // Not archived yet: nothing is bookmarked, and the note says why.
    QTest::keyClick(&w, Qt::Key_B);
    ASSERT_TRUE(WaitUntil([&] { return !w.notes.isEmpty(); }));
    EXPECT_EQ(w.notes.back(), "This recording is not in the archive; import the card first.");

    ASSERT_TRUE(ImportCardIntoArchive(card, DefaultArchiveFolder()).started);
    w.notes.clear();
    QTest::keyClick(&w, Qt::Key_B);
    ASSERT_TRUE(WaitUntil([&] { return !w.notes.isEmpty(); }));
    ASSERT_EQ(w.asked.size(), 2);
    EXPECT_EQ(w.notes.back(), "Bookmarked at " + w.asked.back() + ".");

    std::string error;
    auto db = OpenSqlConnection(DefaultCatalogue(DefaultArchiveFolder()), &error);
    ASSERT_TRUE(db) << error;
    FindQuery query;
    query.bookmarked = true;
    std::vector<FindMatch> found;
    ASSERT_TRUE(FindInArchive(*db, query, &found, &error)) << error;
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].note, "dent on the left door");
    EXPECT_EQ(fs::path(found[0].path).filename(), fs::path(w.CurrentPath()).filename());
}
