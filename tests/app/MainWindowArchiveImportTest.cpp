// A dashcam card mounted while the window is open: its recordings the archive lacks are
// offered for import in a strip over the window (or imported at once, or ignored, as the
// settings say), the import runs beside playback with its progress, and a cancel stops it.
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "app/ArchiveCardWork.h"
#include "app/ArchiveImportBar.h"
#include "app/CardInsertWatcher.h"
#include "archive/ArchiveLayout.h"
#include "support/Profile.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

class MainWindowArchiveImportTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        card = CopyCard(::testing::UnitTest::GetInstance()->current_test_info()->name());
        savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((workDir / "data").string()));
    }
    void TearDown() override {
        if (savedDataHome.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedDataHome);
        MainWindowFixture::TearDown();
        std::error_code ec;
        fs::remove_all(card, ec);
    }
    void Choose(const char* choice) {
        const std::string path = CSamplePlayerDlg::ConfigPath();
        fs::create_directories(fs::path(path).parent_path());
        WritePrivateProfileString("config", CSamplePlayerDlg::kArchiveImportKey, choice,
                                  path.c_str());
    }

    std::string card;
    QByteArray savedDataHome;
};

}  // namespace

TEST_F(MainWindowArchiveImportTest, AMountedCardIsOfferedAndImportedWhilePlaying) {
    ShowCard(card);
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForFrontFrame(1));
    ArchiveImportBar* bar = Window().ImportBar();
    Window().OnVolumeMounted(QString::fromStdString(card));
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
    EXPECT_TRUE(Window().Player().IsRunning()) << "play went on";
}

TEST_F(MainWindowArchiveImportTest, TheSettingDecidesBetweenAskingImportingAndNothing) {
    Choose("never");
    Window().OnVolumeMounted(QString::fromStdString(card));
    EXPECT_TRUE(Window().ImportBar()->isHidden());
    // A folder that is no dashcam card is never offered either.
    Choose("ask");
    Window().OnVolumeMounted(QString::fromStdString((workDir / "data").string()));
    EXPECT_TRUE(Window().ImportBar()->isHidden());

    Choose("always");
    Window().OnVolumeMounted(QString::fromStdString(card));
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
