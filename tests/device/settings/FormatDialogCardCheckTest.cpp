// The format dialog looks at the folder before it offers anything: a folder that is no
// removable card is named as such, with Close alone; a card with deleted recordings still on
// it says how many and offers to recover them before the format.

#include <QLabel>

#include "device/CFormatDialog.h"
#include "device/CardFormatFacts.h"
#include "support/StringTable.h"
#include "tests/device/settings/SettingsTestSupport.h"

using namespace settingstest;

namespace {

const std::string kCardFile = "[capacity]\r\nconst=50\r\npark=15\r\nevent=20\r\nmanual=10\r\n";

class FormatDialogCardCheckTest : public SettingsDialogTest {};

TEST_F(FormatDialogCardCheckTest, AFolderThatIsNoCardGetsTheReasonAndNoStart) {
    formatter.facts.sizeBytes = 252ull << 30;  // the host's disk, were it asked
    struct Row {
        FormatRefusal refusal;
        uint16_t language;
        const char* sentence;
    } rows[] = {
        {FormatRefusal::NotRemovable, kLangEnglish,
         "This folder is not on a removable card; it cannot be formatted here."},
        {FormatRefusal::SystemDisk, kLangEnglish,
         "This folder is on the disk the system runs from; it cannot be formatted here."},
        {FormatRefusal::NotRemovable, kLangKorean,
         "이 폴더는 이동식 카드에 있지 않으므로 여기에서 포맷할 수 없습니다."},
    };
    for (const Row& row : rows) {
        g_wLanguage = row.language;
        formatter.refusal = row.refusal;
        const CardFormatFacts facts = GatherCardFormatFacts(card.string(), formatter);
        EXPECT_EQ(formatter.describeCalls, 0) << "nothing is asked about a disk that is no card";
        CFormatDialog dialog(nullptr, facts, true);
        const QString summary = dialog.SummaryText();
        EXPECT_TRUE(summary.contains(QString::fromUtf8(row.sentence))) << summary.toStdString();
        EXPECT_FALSE(summary.contains(QStringLiteral("252"))) << summary.toStdString();
        EXPECT_EQ(dialog.StartButton(), nullptr);
        EXPECT_EQ(dialog.RecoverButton(), nullptr);
        EXPECT_TRUE(dialog.CancelButton()->isDefault());
    }
    g_wLanguage = kLangEnglish;

    // Through the settings dialog, even a Yes to it formats nothing.
    formatter.refusal = FormatRefusal::NotRemovable;
    Open(kCardFile);
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    EXPECT_EQ(formatter.calls, 0);
    EXPECT_EQ(dlg->m_bCardChanged, 0);
}

TEST_F(FormatDialogCardCheckTest, DeletedRecordingsCanBeRecoveredBeforeTheFormat) {
    struct Row {
        int recoverable;
        bool offered;
        const char* line;  // nullptr: no line about deleted recordings
        bool button;
    } rows[] = {
        {3, true, "Deleted recordings: 3 still recoverable (a quick check of the card's folders)",
         true},
        {0, true, "Deleted recordings: none found by a quick check of the card's folders", false},
        {-1, true, nullptr, false},
    };
    for (const Row& row : rows) {
        formatter.recoverable = row.recoverable;
        CFormatDialog dialog(nullptr, GatherCardFormatFacts(card.string(), formatter), row.offered);
        const QString summary = dialog.SummaryText();
        if (row.line)
            EXPECT_TRUE(summary.contains(QString::fromUtf8(row.line))) << summary.toStdString();
        else
            EXPECT_FALSE(summary.contains(QStringLiteral("Deleted recordings")))
                << summary.toStdString();
        EXPECT_NE(dialog.StartButton(), nullptr);
        ASSERT_EQ(dialog.RecoverButton() != nullptr, row.button) << row.recoverable;
        if (!row.button) continue;
        dialog.show();
        QTest::mouseClick(dialog.RecoverButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), CFormatDialog::kRecoverFirst);
    }

    // The settings dialog hands the card to the recovery instead of formatting it.
    formatter.recoverable = 2;
    Open(kCardFile).recoverFirst = true;
    std::vector<std::string> recovered;
    dlg->SetRecoverFirst([&](const std::string& drive) { recovered.push_back(drive); });
    Click(CSettingDlg::IDC_BUTTON_FORMAT);
    EXPECT_EQ(recovered, std::vector<std::string>{dlg->DrivePath()});
    EXPECT_EQ(formatter.calls, 0);
}

}  // namespace
