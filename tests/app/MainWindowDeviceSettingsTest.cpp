// The device settings command from the window: pausing, the drive question, the card's
// configuration file, and the DRIVING view reloaded after a format attempt.
#include <fstream>

#include "device/CSettingDlg.h"
#include "device/VCardFormatter.h"
#include "tests/app/MainWindowFixture.h"
#include "tools/cardgen/CardGenerator.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

// Formats by emptying the card's folder; the volume stays where it was mounted.
class FakeFormatter : public VCardFormatter {
public:
    CardFormatResult result = CardFormatResult::Formatted;
    int calls = 0;
    bool playerActiveAtFormat = true;
    std::function<bool()> playerActive;

    CardFormatOutcome Format(const std::string& mountPoint) override {
        ++calls;
        if (playerActive) playerActiveAtFormat = playerActive();
        CardFormatOutcome outcome;
        outcome.result = result;
        if (result == CardFormatResult::Formatted) {
            for (const auto& entry : fs::directory_iterator(mountPoint))
                fs::remove_all(entry.path());
            outcome.mountPoint = mountPoint;
        }
        return outcome;
    }
};

class MainWindowDeviceSettingsTest : public CopiedCardFixture {
protected:
    void SetUp() override {
        CopiedCardFixture::SetUp();
        std::ofstream(fs::path(card) / "SETTING" / "blackbox.cfg", std::ios::binary)
            << BlackboxConfigText(CivilTime{2026, 3, 14, 18, 0, 0});
        CSettingDlg::SetMessageBoxHook(
            [this](const QString& text, const QString&, QMessageBox::StandardButtons buttons) {
                boxes << text;
                return buttons & QMessageBox::Yes ? answer : QMessageBox::Ok;
            });
        formatter.playerActive = [this] { return Window().IsPlayerActive(); };
    }
    void TearDown() override {
        CSettingDlg::SetMessageBoxHook(nullptr);
        CopiedCardFixture::TearDown();
    }

    // A recording newer than every other, so a reloaded list shows it on top.
    void AddNewerRecording() {
        fs::copy_file(Card().driving[0], fs::path(card) / "DRIVING" / "REC_20260314_190000_D.AVI");
    }

    // The settings dialog presses its format button, then closes.
    void FormatFromTheDialog() {
        Window().formatter = &formatter;
        Window().onSettings = [this](CSettingDlg& dialog) {
            configSeen = dialog.ConfigPath();
            AddNewerRecording();
            dialog.OnBnClickedButtonFormat();
            // The format runs on its own job; the dialog is closed once it has reported.
            EXPECT_TRUE(WaitUntil([&] { return !dialog.FormatRunning(); }));
            return static_cast<int>(QDialog::Rejected);
        };
    }

    void FormatWhilePlaying(CardFormatResult result, int rowsAfter, const char* report);

    FakeFormatter formatter;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    QStringList boxes;
    std::string configSeen;
};

}  // namespace

// Plays a recording, opens the settings, formats with the given outcome and checks what the
// window shows afterwards.
void MainWindowDeviceSettingsTest::FormatWhilePlaying(CardFormatResult result, int rowsAfter,
                                                      const char* report) {
    formatter.result = result;
    ShowCard(card);
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(1));
    FormatFromTheDialog();
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_SETTING), Qt::LeftButton);

    EXPECT_EQ(Window().settingsDialogs, 1);
    EXPECT_EQ(configSeen, (fs::path(card) / "SETTING" / "blackbox.cfg").string());
    EXPECT_EQ(formatter.calls, 1);
    EXPECT_FALSE(formatter.playerActiveAtFormat) << "the card's recording was still open";
    ASSERT_EQ(boxes.size(), 3) << "the question, the format dialog, the result";
    EXPECT_TRUE(boxes[1].contains("All recordings on this card will be erased."))
        << boxes[1].toStdString();
    EXPECT_EQ(boxes[2], report);
    EXPECT_FALSE(fs::exists(workDir / "blackbox.cfg")) << "the working folder holds no copy";
    EXPECT_TRUE(fs::is_directory(workDir / "data" / "tarvex" / "card-settings"))
        << "the copy went to the data folder";
    EXPECT_EQ(Window().List()->RowCount(), rowsAfter) << "the DRIVING view is reloaded";
    if (rowsAfter) {
        EXPECT_EQ(ListCell(Window().List(), 0, 2), "2026.03.14 19:00:00");
    }
    EXPECT_EQ(Window().DrivePath(), card);
    // A recording the format left on the card comes back (one row lower under the newer one).
    EXPECT_EQ(Window().CurIndex(), rowsAfter ? 2 : -1);
    EXPECT_EQ(Window().Playback().Player().IsRunning(), rowsAfter != 0);
    EXPECT_TRUE(Window().messages.isEmpty());
}

TEST_F(MainWindowDeviceSettingsTest, ASuccessfulFormatClosesTheRecordingAndShowsTheEmptyCard) {
    FormatWhilePlaying(CardFormatResult::Formatted, 0, "SD Card format has been completed.");
}

TEST_F(MainWindowDeviceSettingsTest, AFailedFormatReloadsTheListAndKeepsTheRecording) {
    FormatWhilePlaying(CardFormatResult::Failed, 4, "SD Card format has been failed.");
}

// A format the desktop refused touched nothing: the recording, its position, pause, the views
// and the list (also the trips view) are as they were, and nothing lands in the working folder.
TEST_F(MainWindowDeviceSettingsTest, ARefusedFormatLeavesTheMomentAsItWas) {
    formatter.result = CardFormatResult::Refused;
    for (const bool trips : {false, true}) {
        SCOPED_TRACE(trips ? "trips view" : "recordings");
        ShowCard(card);
        if (trips) Key(Qt::Key_T);
        ASSERT_TRUE(WaitUntil([&] { return !Window().Navigator().IsListingTrips(); }));
        ASSERT_EQ(Window().Navigator().IsTripsView(), trips);
        const int rows = Window().List()->RowCount();
        DoubleClickRow(0);
        ASSERT_TRUE(WaitForFrontFrame(1));
        Window().SeekToRecordingMs(5000);
        Window().OnBnClickedButtonPause();
        Window().OnBnClickedButtonSubCamera();  // rear in the main area
        const std::string path = Window().CurrentPath();
        const int front = Window().FrontView();
        FormatFromTheDialog();
        Window().OnBnClickedButtonSetting();
        WaitOpened(Window());
        ASSERT_EQ(boxes.size(), 3);
        EXPECT_TRUE(boxes[2].startsWith("This drive is not a removable SD card"))
            << boxes[2].toStdString();
        EXPECT_EQ(Window().CurrentPath(), path);
        EXPECT_EQ(Window().Navigator().IsTripsView(), trips);
        EXPECT_EQ(Window().List()->RowCount(), rows) << "no reload";
        EXPECT_EQ(Window().Playback().Player().GetPositionMs(), 5000);
        EXPECT_FALSE(Window().Playback().Player().IsRunning());
        EXPECT_TRUE(Visible(IDC_BUTTON_PLAY));
        EXPECT_EQ(Window().FrontView(), front);
        EXPECT_FALSE(fs::exists(workDir / "blackbox.cfg"));
        boxes.clear();
        fs::remove(fs::path(card) / "DRIVING" / "REC_20260314_190000_D.AVI");
    }
}

TEST_F(MainWindowDeviceSettingsTest, AnsweringNoToTheFormatLeavesRecordingAndListAlone) {
    answer = QMessageBox::No;
    ShowCard(card);
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(1));
    FormatFromTheDialog();
    Window().OnBnClickedButtonSetting();
    EXPECT_EQ(formatter.calls, 0);
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(Window().List()->RowCount(), 3) << "no reload";
    EXPECT_TRUE(Window().IsPlayerActive()) << "not closed";
    EXPECT_TRUE(Window().Playback().Player().IsRunning()) << "playing again, as before the dialog";
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
    EXPECT_EQ(Window().CurIndex(), 1);
}

// The dialog pauses playback while it is open and leaves play or pause as it was, by key or
// by button.
TEST_F(MainWindowDeviceSettingsTest, TheSettingsLeavePlayOrPauseAsTheyWere) {
    ShowCard(card);
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(1));
    bool pausedMeanwhile = false;
    Window().onSettings = [&](CSettingDlg&) {
        pausedMeanwhile = !Window().Playback().Player().IsRunning() && Visible(IDC_BUTTON_PLAY);
        return static_cast<int>(QDialog::Rejected);
    };
    for (const bool playing : {true, false}) {
        for (const bool byKey : {true, false}) {
            SCOPED_TRACE(std::string(playing ? "playing" : "paused") +
                         (byKey ? ", F3" : ", button"));
            if (!playing) Window().OnBnClickedButtonPause();
            pausedMeanwhile = false;
            if (byKey)
                Key(Qt::Key_F3);
            else
                QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_SETTING), Qt::LeftButton);
            EXPECT_TRUE(pausedMeanwhile);
            EXPECT_EQ(Window().Playback().Player().IsRunning(), playing);
            EXPECT_EQ(Visible(IDC_BUTTON_PAUSE), playing);
            EXPECT_EQ(Window().CurIndex(), 1);
            Window().OnBnClickedButtonPlay();
        }
    }
    EXPECT_EQ(Window().settingsDialogs, 4);
}

TEST_F(MainWindowDeviceSettingsTest, WithoutADriveTheDriveQuestionComesFirst) {
    Window().OnBnClickedButtonSetting();  // cancelled
    EXPECT_EQ(Window().driveDialogs, 1);
    EXPECT_EQ(Window().settingsDialogs, 0);

    Window().driveAnswer = card;
    Window().onSettings = [&](CSettingDlg& dialog) {
        configSeen = dialog.ConfigPath();
        return static_cast<int>(QDialog::Rejected);
    };
    Window().OnBnClickedButtonSetting();
    EXPECT_EQ(Window().driveDialogs, 2);
    EXPECT_EQ(Window().settingsDialogs, 1);
    EXPECT_EQ(Window().DrivePath(), card);
    EXPECT_EQ(configSeen, (fs::path(card) / "SETTING" / "blackbox.cfg").string());
}

TEST_F(MainWindowDeviceSettingsTest, ACardWithoutItsConfigurationFileIsForgotten) {
    fs::remove(fs::path(card) / "SETTING" / "blackbox.cfg");
    ShowCard(card);
    Window().OnBnClickedButtonSetting();
    EXPECT_EQ(Window().settingsDialogs, 0);
    ASSERT_EQ(Window().messages.size(), 1);
    EXPECT_EQ(Window().messages[0], "Blackbox info not found.\nPlease check location of drive");
    EXPECT_TRUE(Window().DrivePath().empty());
}
