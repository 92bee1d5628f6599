// The dialog's card format with a fake formatter: the question, the configuration file kept
// across the format, the messages, and the report that tells the window to reload.

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>

#include "app/jobs/BackgroundJob.h"
#include "device/CFormatDialog.h"
#include "support/StringTable.h"
#include "tests/device/settings/SettingsTestSupport.h"

using namespace settingstest;
namespace fs = std::filesystem;

namespace {

const std::string kCardFile =
    "[capacity]\r\nconst=50\r\npark=15\r\nevent=20\r\nmanual=10\r\n"
    "[blackbox]\r\nvoice_out=1\r\nvoice_volume=2\r\nfirmware_flag=7\r\n";

class CSettingDlgFormatTest : public SettingsDialogTest {
protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        WriteAll(card / "DRIVING" / "REC_20140307_182509_D.AVI", "recording");
    }
    QString Text(int id) { return QString::fromStdString(FormatResourceString(id)); }
};

TEST_F(CSettingDlgFormatTest, AnsweringNoChangesNothing) {
    Open(kCardFile).answer = QMessageBox::No;
    int beforeFormat = 0;
    dlg->SetBeforeFormat([&] { ++beforeFormat; });
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    ASSERT_EQ(dlg->messages.size(), 1u);
    EXPECT_EQ(dlg->messages[0].caption, "SD Card Format");
    EXPECT_EQ(dlg->messages[0].text, "Are you sure you want to format?");
    EXPECT_EQ(dlg->messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(formatter.calls, 0);
    EXPECT_EQ(beforeFormat, 0);
    EXPECT_EQ(dlg->m_bCardChanged, 0) << "the window does not reload";
    EXPECT_FALSE(fs::exists(backupPath));
}

TEST_F(CSettingDlgFormatTest, ASuccessfulFormatKeepsTheFileAndRecreatesTheFolders) {
    Open(kCardFile);
    int beforeFormat = 0;
    dlg->SetBeforeFormat([&] { ++beforeFormat; });
    dlg->Slider(CSettingDlg::IDC_SLIDER_SPEAKER)->setValue(5);
    Click(CSettingDlg::IDC_BUTTON_FORMAT);

    EXPECT_EQ(formatter.calls, 1);
    EXPECT_EQ(beforeFormat, 1);
    ASSERT_EQ(dlg->messages.size(), 3u);
    EXPECT_EQ(dlg->messages[2].caption, "SD Card Format");
    EXPECT_EQ(dlg->messages[2].text, "SD Card format has been completed.");
    EXPECT_EQ(dlg->m_bCardChanged, 1);
    EXPECT_EQ(dlg->DrivePath(), card.string());
    EXPECT_TRUE(formatter.modalDialogDuringFormat) << "input was not held while it ran";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the running dialog is gone";
    EXPECT_TRUE(dlg->isVisible()) << "the dialog stays open";
    EXPECT_TRUE(dlg->isEnabled());
    for (const char* folder : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"})
        EXPECT_TRUE(fs::is_directory(card / folder)) << folder;
    EXPECT_FALSE(fs::exists(card / "DRIVING" / "REC_20140307_182509_D.AVI"));
    EXPECT_EQ(CardFile(), kCardFile);

    // The values loaded before the format (and changed since) go into the restored file.
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_NE(CardFile().find("voice_volume=5\r\n"), std::string::npos);
    EXPECT_NE(CardFile().find("firmware_flag=7\r\n"), std::string::npos);
}

TEST_F(CSettingDlgFormatTest, TheWindowRunsOnWhileTheCardIsFormatted) {
    Open(kCardFile);
    // The format is held inside the formatter until the GUI thread has run a timer meanwhile.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> formatting{false};
    formatter.duringFormat = [&] {
        formatting = true;
        released.wait_for(std::chrono::seconds(kFormatWaitMs / 1000));
    };
    bool servedWhileFormatting = false;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (!formatting || servedWhileFormatting) return;
        servedWhileFormatting = dlg->FormatRunning();
        release.set_value();
    });
    ticks.start(5);
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    EXPECT_TRUE(servedWhileFormatting) << "the GUI thread waited for the formatter";
    EXPECT_TRUE(formatter.modalDialogDuringFormat);
    ASSERT_EQ(dlg->messages.size(), 3u);
    EXPECT_EQ(dlg->messages[2].text, "SD Card format has been completed.");
    EXPECT_EQ(dlg->LastFormatStatus(), CardFormatStatus::Formatted);
}

// The card is looked at off the GUI thread while FORMAT waits; a dialog closed meanwhile asks
// nothing more, and the look's answer is dropped.
TEST_F(CSettingDlgFormatTest, TheCardIsLookedAtOffTheGuiThreadAndAClosedDialogAsksNoMore) {
    Open(kCardFile);
    std::promise<void> release;
    formatter.describeHold = release.get_future().share();
    QWidget* format = dlg->GetDlgItem(CSettingDlg::IDC_BUTTON_FORMAT);
    QTest::mouseClick(format, Qt::LeftButton);
    EXPECT_TRUE(dlg->CheckingCard()) << "the click returned while the card was looked at";
    EXPECT_FALSE(format->isEnabled());
    dlg->reject();
    EXPECT_FALSE(dlg->FormatRunning());
    EXPECT_TRUE(format->isEnabled());
    release.set_value();
    ASSERT_TRUE(BackgroundJob::WaitForJobs(kFormatWaitMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(formatter.describeCalls, 1);
    EXPECT_EQ(dlg->messages.size(), 1u) << "only the question before the look";
    EXPECT_EQ(formatter.calls, 0);
    formatter.describeHold = {};
}

TEST_F(CSettingDlgFormatTest, AFailedOrRefusedFormatIsReportedAndStillAsksForAReload) {
    struct Row {
        CardFormatResult result;
        int englishText;
    } rows[] = {{CardFormatResult::Failed, 441}, {CardFormatResult::Refused, 475}};
    for (const Row& row : rows) {
        formatter.result = row.result;
        Open(kCardFile);
        Click(CSettingDlg::IDC_BUTTON_FORMAT);
        ASSERT_EQ(dlg->messages.size(), 3u);
        EXPECT_EQ(dlg->messages[2].text, Text(row.englishText));
        EXPECT_EQ(dlg->messages[2].buttons, QMessageBox::Ok);
        EXPECT_EQ(dlg->m_bCardChanged, 1);
        EXPECT_EQ(CardFile(), kCardFile);
        EXPECT_TRUE(fs::exists(card / "DRIVING" / "REC_20140307_182509_D.AVI"));
    }
}

TEST_F(CSettingDlgFormatTest, WhenTheFileCannotBeCopiedAsideNothingIsFormatted) {
    // An older copy from another card lies beside the viewer; it must not reach this card.
    WriteAll(backupPath, "[capacity]\r\nconst=80\r\n");
    Open(kCardFile);
    fs::remove(configPath);
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    EXPECT_EQ(formatter.calls, 0);
    ASSERT_EQ(dlg->messages.size(), 3u);
    EXPECT_EQ(dlg->messages[2].text, "SD Card format has been failed.");
    EXPECT_EQ(dlg->m_bCardChanged, 1);
    EXPECT_TRUE(fs::exists(card / "DRIVING" / "REC_20140307_182509_D.AVI"));
    EXPECT_FALSE(fs::exists(configPath));
}

TEST_F(CSettingDlgFormatTest, TheFormatDialogNamesTheCardAndWhatGoesWithIt) {
    WriteAll(card / "EVENT" / "EVT_20140307_182609_D.AVI", std::string(2048, 'e'));
    WriteAll(card / "DRIVING" / "notes.txt", "not a recording");
    formatter.facts.vendor = "Generic";
    formatter.facts.model = "SD Reader";
    formatter.facts.device = "/dev/sdb1";
    formatter.facts.label = "DASHCAM";
    formatter.facts.fileSystem = "vfat";
    formatter.facts.sizeBytes = 32ull << 30;
    Open(kCardFile).start = false;
    Click(CSettingDlg::IDC_BUTTON_FORMAT);

    ASSERT_EQ(dlg->messages.size(), 2u) << "Cancel in the format dialog: no result message";
    const QString summary = dlg->messages[1].text;
    for (const QString& line :
         {QString("Device: Generic SD Reader (/dev/sdb1)"), QString("Label: DASHCAM"),
          QString("Capacity: 32.0 GB"), QString("File system now: vfat"),
          QString("Mounted at: ") + QString::fromStdString(card.string()),
          QString("Recordings: 2 files, 3 KB"), QString("File system after: FAT32"),
          QString("All recordings on this card will be erased. The dashcam's settings file "
                  "is kept.")})
        EXPECT_TRUE(summary.contains(line)) << line.toStdString() << "\n" << summary.toStdString();
    EXPECT_EQ(formatter.calls, 0);
    EXPECT_EQ(dlg->m_bCardChanged, 0) << "nothing happened, nothing to reload";
    EXPECT_TRUE(fs::exists(card / "DRIVING" / "REC_20140307_182509_D.AVI"));
}

TEST_F(CSettingDlgFormatTest, TheRealFormatDialogDefaultsToCancel) {
    CardFormatFacts facts;
    facts.mountPoint = "/media/me/CARD";
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        CFormatDialog confirm(nullptr, facts);
        confirm.show();
        EXPECT_TRUE(confirm.CancelButton()->isDefault());
        EXPECT_FALSE(confirm.StartButton()->isDefault());
        QTest::keyClick(&confirm, static_cast<Qt::Key>(key));
        EXPECT_EQ(confirm.result(), QDialog::Rejected) << key;
    }
    {
        // The title bar's close button before the format: the answer is Cancel.
        CFormatDialog asked(nullptr, facts);
        asked.show();
        EXPECT_TRUE(asked.close());
        EXPECT_FALSE(asked.isVisible());
        EXPECT_EQ(asked.result(), QDialog::Rejected);
    }
    CFormatDialog confirm(nullptr, facts);
    confirm.show();
    QTest::mouseClick(confirm.StartButton(), Qt::LeftButton);
    EXPECT_EQ(confirm.result(), QDialog::Accepted);
    // While it runs the dialog cannot be sent away, by Escape or by its close button.
    confirm.ShowRunning();
    QTest::keyClick(&confirm, Qt::Key_Escape);
    EXPECT_TRUE(confirm.isVisible());
    EXPECT_FALSE(confirm.close());
    EXPECT_TRUE(confirm.isVisible());
    EXPECT_FALSE(confirm.StartButton()->isVisible());
}

TEST_F(CSettingDlgFormatTest, ACardNotMountedAgainPointsToTheKeptCopy) {
    formatter.result = CardFormatResult::FormattedNotMounted;
    Open(kCardFile);
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    ASSERT_EQ(dlg->messages.size(), 3u);
    const QString text = dlg->messages[2].text;
    EXPECT_TRUE(text.contains(QString::fromStdString(backupPath.string()))) << text.toStdString();
    EXPECT_TRUE(text.contains("SETTING folder under the name blackbox.cfg")) << text.toStdString();
    EXPECT_EQ(ReadAll(backupPath), kCardFile) << "the copy stays where the message says";
    EXPECT_EQ(dlg->m_bCardChanged, 1);
}

TEST_F(CSettingDlgFormatTest, KoreanQuestionAndAnswer) {
    g_wLanguage = kLangKorean;
    Open(kCardFile);
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    ASSERT_EQ(dlg->messages.size(), 3u);
    EXPECT_EQ(dlg->messages[0].caption, QString::fromUtf8("SD 카드 포맷"));
    EXPECT_EQ(dlg->messages[0].text, QString::fromUtf8("SD 카드를 포맷하시겠습니까?"));
    EXPECT_TRUE(dlg->messages[1].text.contains(QString::fromUtf8(
        "이 카드의 모든 녹화 파일이 지워집니다. 블랙박스 설정 파일은 보존됩니다.")));
    EXPECT_EQ(dlg->messages[2].text, QString::fromUtf8("SD 카드 포맷이 완료되었습니다."));
}

TEST_F(CSettingDlgFormatTest, TheProcessWideHookAnswersDialogsTheWindowBuilds) {
    std::vector<QString> seen;
    CSettingDlg::SetMessageBoxHook(
        [&](const QString& text, const QString&, QMessageBox::StandardButtons) {
            seen.push_back(text);
            return QMessageBox::No;
        });
    WriteAll(configPath, kCardFile);
    CSettingDlg plain(nullptr, configPath.string(), card.string(), &formatter);
    plain.show();
    QTest::mouseClick(plain.GetDlgItem(CSettingDlg::IDC_BUTTON_FORMAT), Qt::LeftButton);
    CSettingDlg::SetMessageBoxHook(nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "Are you sure you want to format?");
    EXPECT_EQ(formatter.calls, 0);
}

}  // namespace
