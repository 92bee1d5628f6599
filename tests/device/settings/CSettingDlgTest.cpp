// The settings dialog through its real controls, offscreen: what a card's file opens with,
// what Save writes (and refuses to write), the enabling rules, the clock request, the texts.

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <ctime>

#include "support/StringTable.h"
#include "tests/device/settings/SettingsTestSupport.h"

using namespace settingstest;

namespace {

const std::string kCardFile =
    "; settings of the recorder\r\n"
    "[capacity]\r\n"
    "const=50\r\n"
    "park=15\r\n"
    "event=20\r\n"
    "manual=10\r\n"
    "\r\n"
    "[blackbox]\r\n"
    "power_off_vlt=11800\r\n"
    "mic_in=1\r\n"
    "mic_volume=3\r\n"
    "voice_out=0\r\n"
    "voice_volume=4\r\n"
    "acc_level=2\r\n"
    "motion_level=5\r\n"
    "park_mode=2\r\n"
    "brightness=5\r\n"
    "contrast=7\r\n"
    "version=1.02.03-beta\r\n"
    "model=K310VZN\r\n"
    "\r\n"
    "[time]\r\n"
    "set=0\r\n"
    "year=2013\r\n"
    "month=1\r\n"
    "day=1\r\n"
    "hour=1\r\n"
    "min=0\r\n"
    "sec=0\r\n"
    "\r\n"
    "[gps]\r\n"
    "; kept as the device wrote it\r\n"
    "zone=+9\r\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string WithCapacity(const char* c, const char* p, const char* e, const char* m) {
    std::string text = Replace(kCardFile, "const=50", std::string("const=") + c);
    text = Replace(text, "park=15", std::string("park=") + p);
    text = Replace(text, "event=20", std::string("event=") + e);
    return Replace(text, "manual=10", std::string("manual=") + m);
}

class CSettingDlgTest : public SettingsDialogTest {
protected:
    QString ComboText(int id) { return dlg->Combo(id)->currentText(); }
    bool Enabled(int id) { return dlg->GetDlgItem(id)->isEnabled(); }
};

TEST_F(CSettingDlgTest, ACardFileOpensWithItsValuesAndSaveChangesOnlyTheWrittenKeys) {
    Open(kCardFile);
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_CONST), "50");
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_PARK), "15");
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_EVENT), "20");
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_MANUAL), "10");
    EXPECT_TRUE(dlg->Check(CSettingDlg::IDC_CHECK_VOLTAGE)->isChecked());
    EXPECT_TRUE(Enabled(CSettingDlg::IDC_COMBO_VOLTAGE));
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_VOLTAGE), "11.8v/23.8v");
    EXPECT_TRUE(dlg->Check(CSettingDlg::IDC_CHECK_MIC)->isChecked());
    EXPECT_TRUE(Enabled(CSettingDlg::IDC_SLIDER_MIC));
    EXPECT_FALSE(dlg->Check(CSettingDlg::IDC_CHECK_SPEAKER)->isChecked());
    EXPECT_FALSE(Enabled(CSettingDlg::IDC_SLIDER_SPEAKER));
    struct {
        int id, value, min, max;
    } sliders[] = {{CSettingDlg::IDC_SLIDER_MIC, 3, 1, 5},
                   {CSettingDlg::IDC_SLIDER_SPEAKER, 4, 1, 5},
                   {CSettingDlg::IDC_SLIDER_GSENSOR, 2, 1, 5},
                   {CSettingDlg::IDC_SLIDER_MOTION, 5, 1, 5},
                   {CSettingDlg::IDC_SLIDER_BRIGHTNESS, 5, 0, 10},
                   {CSettingDlg::IDC_SLIDER_CONTRAST, 7, 0, 10}};
    for (const auto& s : sliders) {
        QSlider* slider = dlg->Slider(s.id);
        EXPECT_EQ(slider->value(), s.value) << s.id;
        EXPECT_EQ(slider->minimum(), s.min) << s.id;
        EXPECT_EQ(slider->maximum(), s.max) << s.id;
        EXPECT_EQ(slider->tickPosition(), QSlider::TicksBothSides) << s.id;
        EXPECT_EQ(slider->pageStep(), 1) << s.id;
    }
    EXPECT_EQ(dlg->Label(CSettingDlg::IDC_STATIC_VIEWER_VERSION)->text(), "2.1.9");
    EXPECT_EQ(dlg->Label(CSettingDlg::IDC_STATIC_FW_VERSION)->text(), "1.02.03-b")
        << "nine characters are read";
    EXPECT_EQ(dlg->Label(CSettingDlg::IDC_STATIC_MODEL)->text(), "K310VZN");

    // Voice guidance on, brighter picture.
    Click(CSettingDlg::IDC_CHECK_SPEAKER);
    EXPECT_TRUE(Enabled(CSettingDlg::IDC_SLIDER_SPEAKER));
    dlg->Slider(CSettingDlg::IDC_SLIDER_BRIGHTNESS)->setValue(8);
    Click(CSettingDlg::IDC_BUTTON_SAVE);

    EXPECT_TRUE(dlg->messages.empty());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(CardFile(), Replace(Replace(kCardFile, "voice_out=0", "voice_out=1"), "brightness=5",
                                  "brightness=8"));
}

TEST_F(CSettingDlgTest, SharesThatDoNotMake95AreRefusedWithTheMessageAndNothingIsWritten) {
    struct Row {
        uint16_t language;
        const char* caption;
        int textId;
    } rows[] = {{kLangEnglish, "Configuration Error", 426},
                {kLangKorean, "블랙박스 설정 오류", 425}};
    for (const Row& row : rows) {
        g_wLanguage = row.language;
        const std::string file = WithCapacity("20", "20", "20", "20");
        Open(file);
        Click(CSettingDlg::IDC_BUTTON_SAVE);
        ASSERT_EQ(dlg->messages.size(), 1u);
        EXPECT_EQ(dlg->messages[0].caption, QString::fromUtf8(row.caption));
        EXPECT_EQ(dlg->messages[0].text, QString::fromStdString(FormatResourceString(row.textId)));
        EXPECT_TRUE(dlg->messages[0].text.contains("95%") && !dlg->messages[0].text.contains("%%"));
        EXPECT_EQ(dlg->messages[0].buttons, QMessageBox::Ok);
        EXPECT_TRUE(dlg->isVisible()) << "the dialog stays open with the user's choices";
        EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_CONST), "20");
        EXPECT_EQ(CardFile(), file);
    }

    // 20 / 25 / 25 / 25 saves.
    g_wLanguage = kLangEnglish;
    Open(WithCapacity("20", "25", "25", "25"));
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_TRUE(dlg->messages.empty());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(CardFile(), WithCapacity("20", "25", "25", "25"));
}

TEST_F(CSettingDlgTest, AShareMissingFromTheFileIsRefusedLikeAWrongSum) {
    Open(Replace(kCardFile, "manual=10\r\n", ""));
    EXPECT_EQ(dlg->Combo(CSettingDlg::IDC_COMBO_MANUAL)->currentIndex(), -1);
    const std::string before = CardFile();
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    ASSERT_EQ(dlg->messages.size(), 1u);
    EXPECT_EQ(dlg->messages[0].text, QString::fromStdString(FormatResourceString(426)));
    EXPECT_EQ(CardFile(), before);
}

TEST_F(CSettingDlgTest, TheVoltageListFollowsItsCheckBoxAndSavesMillivolts) {
    // Off: the list shows its first entry, disabled; ticking and saving takes that entry.
    Open(Replace(kCardFile, "power_off_vlt=11800", "power_off_vlt=0"));
    EXPECT_FALSE(dlg->Check(CSettingDlg::IDC_CHECK_VOLTAGE)->isChecked());
    EXPECT_FALSE(Enabled(CSettingDlg::IDC_COMBO_VOLTAGE));
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_VOLTAGE), "11.4v/23.4v");
    Click(CSettingDlg::IDC_CHECK_VOLTAGE);
    EXPECT_TRUE(Enabled(CSettingDlg::IDC_COMBO_VOLTAGE));
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_NE(CardFile().find("power_off_vlt=11400\r\n"), std::string::npos);

    // On at 11.8 V, cleared: 0.
    Open(kCardFile);
    Click(CSettingDlg::IDC_CHECK_VOLTAGE);
    EXPECT_FALSE(Enabled(CSettingDlg::IDC_COMBO_VOLTAGE));
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_NE(CardFile().find("power_off_vlt=0\r\n"), std::string::npos);

    // The last entry.
    Open(kCardFile);
    dlg->Combo(CSettingDlg::IDC_COMBO_VOLTAGE)->setCurrentIndex(4);
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_VOLTAGE), "12.2v/24.2v");
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_NE(CardFile().find("power_off_vlt=12200\r\n"), std::string::npos);
}

TEST_F(CSettingDlgTest, MicrophoneAndSpeakerSlidersFollowTheirCheckBoxes) {
    Open(Replace(kCardFile, "mic_in=1", "mic_in=2"));
    EXPECT_FALSE(dlg->Check(CSettingDlg::IDC_CHECK_MIC)->isChecked()) << "only 1 means on";
    EXPECT_FALSE(Enabled(CSettingDlg::IDC_SLIDER_MIC));
    Click(CSettingDlg::IDC_CHECK_MIC);
    EXPECT_TRUE(Enabled(CSettingDlg::IDC_SLIDER_MIC));
    Click(CSettingDlg::IDC_CHECK_SPEAKER);
    EXPECT_TRUE(Enabled(CSettingDlg::IDC_SLIDER_SPEAKER));
    Click(CSettingDlg::IDC_CHECK_SPEAKER);
    EXPECT_FALSE(Enabled(CSettingDlg::IDC_SLIDER_SPEAKER));
}

TEST_F(CSettingDlgTest, TheClockListsStartAtTheLocalTimeAndAreWrittenOnlyWhenTicked) {
    Open(kCardFile);
    const int ids[] = {CSettingDlg::IDC_COMBO_YEAR, CSettingDlg::IDC_COMBO_MONTH,
                       CSettingDlg::IDC_COMBO_DAY,  CSettingDlg::IDC_COMBO_HOUR,
                       CSettingDlg::IDC_COMBO_MIN,  CSettingDlg::IDC_COMBO_SEC};
    const char* shown[] = {"2014", "3", "7", "14", "30", "15"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ComboText(ids[i]), shown[i]) << ids[i];
        EXPECT_FALSE(Enabled(ids[i])) << ids[i];
    }
    EXPECT_FALSE(dlg->Check(CSettingDlg::IDC_CHECK_TIMESYNC)->isChecked());
    Click(CSettingDlg::IDC_CHECK_TIMESYNC);
    for (int id : ids) EXPECT_TRUE(Enabled(id)) << id;

    const char* chosen[] = {"2014", "3", "7", "18", "5", "9"};
    for (int i = 0; i < 6; ++i)
        dlg->Combo(ids[i])->setCurrentIndex(dlg->Combo(ids[i])->findText(chosen[i]));
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    const std::string ticked = CardFile();
    EXPECT_NE(ticked.find("[time]\r\nset=1\r\nyear=2014\r\nmonth=3\r\nday=7\r\nhour=18\r\nmin=5\r\n"
                          "sec=9\r\n"),
              std::string::npos)
        << ticked;

    // Saved again without the tick: set=0, the clock keys stay as they are.
    dlg = std::make_unique<RecordingSettingDlg>(nullptr, configPath.string(), card.string(),
                                                &formatter);
    dlg->show();
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_EQ(CardFile(), Replace(ticked, "set=1", "set=0"));
}

TEST_F(CSettingDlgTest, AtMidnightTheHourListIsEmptyAndAClockRequestIsRefused) {
    now.tm_hour = 0;
    Open(kCardFile);
    EXPECT_EQ(dlg->Combo(CSettingDlg::IDC_COMBO_HOUR)->currentIndex(), -1);
    Click(CSettingDlg::IDC_CHECK_TIMESYNC);
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    ASSERT_EQ(dlg->messages.size(), 1u);
    EXPECT_EQ(dlg->messages[0].text, "Please choose a value in every list.");
    EXPECT_EQ(CardFile(), kCardFile);

    // Without the request nothing needs the hour.
    Click(CSettingDlg::IDC_CHECK_TIMESYNC);
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(CSettingDlgTest, AYearBeyondTheListIsLeftUnchosenSoTheClockIsNotSetYearsBack) {
    now.tm_year = 2100 - 1900;
    Open(kCardFile);
    EXPECT_EQ(dlg->Combo(CSettingDlg::IDC_COMBO_YEAR)->currentIndex(), -1);
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_MONTH), "3");
    Click(CSettingDlg::IDC_CHECK_TIMESYNC);
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    ASSERT_EQ(dlg->messages.size(), 1u);
    EXPECT_EQ(CardFile(), kCardFile);
    dlg->Combo(CSettingDlg::IDC_COMBO_YEAR)->setCurrentIndex(11);
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_NE(CardFile().find("year=2024\r\n"), std::string::npos);
}

TEST_F(CSettingDlgTest, ABrokenFileOpensWithoutHarmAndSaveRewritesOnlyItsKeys) {
    std::string garbage("\0\xff[capacity\r\nconst=\x01\x02\n=\n[]\n", 20);
    garbage += std::string(100000, 'x') + "\n[capacity]\nconst=20\npark=25\nevent=25\nmanual=25";
    Open(garbage);
    EXPECT_EQ(ComboText(CSettingDlg::IDC_COMBO_CONST), "20");
    EXPECT_EQ(dlg->Label(CSettingDlg::IDC_STATIC_FW_VERSION)->text(), "0");
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    const std::string saved = CardFile();
    EXPECT_EQ(saved.substr(0, garbage.size() - 9), garbage.substr(0, garbage.size() - 9))
        << "everything before the last key stays byte for byte";
    EXPECT_NE(saved.find("contrast=0"), std::string::npos);
}

TEST_F(CSettingDlgTest, ACardPulledBeforeSaveIsNotReportedAsSaved) {
    Open(kCardFile);
    std::filesystem::remove_all(card);
    Click(CSettingDlg::IDC_BUTTON_SAVE);
    ASSERT_EQ(dlg->messages.size(), 1u);
    EXPECT_TRUE(dlg->messages[0].text.startsWith("The settings could not be written"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(std::filesystem::exists(configPath)) << "the file is never made from nothing";
}

TEST_F(CSettingDlgTest, EscapeAndEnterEndTheDialogWithoutWriting) {
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        Open(kCardFile);
        Click(CSettingDlg::IDC_CHECK_SPEAKER);
        QTest::keyClick(dlg->Check(CSettingDlg::IDC_CHECK_SPEAKER), static_cast<Qt::Key>(key));
        EXPECT_FALSE(dlg->isVisible()) << key;
        EXPECT_EQ(dlg->result(), QDialog::Rejected) << key;
        EXPECT_EQ(CardFile(), kCardFile) << key;
    }
    // Enter on a focused push button clicks it.
    Open(kCardFile);
    dlg->Button(CSettingDlg::IDC_BUTTON_SAVE)->setFocus();
    QTest::keyClick(dlg->Button(CSettingDlg::IDC_BUTTON_SAVE), Qt::Key_Return);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(CSettingDlgTest, TextsFollowTheLanguage) {
    struct Row {
        uint16_t language;
        const char* caption;
        const char* notice;
        const char* save;
        const char* format;
        const char* tune;
    } rows[] = {
        {kLangEnglish, "BlackBox Configuration", "Notice) Total Size = 95%", "Save",
         "SD Card Format", "TUNE"},
        {kLangKorean, "블랙박스 설정", "(주의) 저장 공간의 합은 95% 입니다.", "저장",
         "SD 카드 포맷", "최적"},
    };
    for (const Row& row : rows) {
        g_wLanguage = row.language;
        Open(kCardFile);
        EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(row.caption));
        EXPECT_EQ(dlg->Label(CSettingDlg::IDC_STATIC_NOTICE)->text(),
                  QString::fromUtf8(row.notice));
        EXPECT_EQ(dlg->Button(CSettingDlg::IDC_BUTTON_SAVE)->text(), QString::fromUtf8(row.save));
        EXPECT_EQ(dlg->Button(CSettingDlg::IDC_BUTTON_FORMAT)->text(),
                  QString::fromUtf8(row.format));
        EXPECT_EQ(dlg->Label(1228)->text(), QString::fromUtf8(row.tune));
        EXPECT_EQ(dlg->Label(1231)->text(), QString::fromUtf8(row.tune));
        EXPECT_FALSE(dlg->Button(CSettingDlg::IDC_BUTTON_SAVE)->isDefault());
        EXPECT_FALSE(dlg->Button(CSettingDlg::IDC_BUTTON_FORMAT)->isDefault());
    }
}

}  // namespace

namespace {

TEST_F(CSettingDlgTest, CancelEndsWithoutWritingAndTheTotalFollowsTheLists) {
    Open(kCardFile);  // 50 + 15 + 20 + 10
    QLabel* total = dlg->Label(CSettingDlg::IDC_STATIC_STORAGE_TOTAL);
    const QColor quiet = total->palette().color(QPalette::WindowText);
    EXPECT_EQ(total->text(), "Total now: 95%");
    struct Row {
        int list;
        const char* value;
        const char* total;
        bool right;
    } rows[] = {
        {CSettingDlg::IDC_COMBO_CONST, "45", "Total now: 90%", false},
        {CSettingDlg::IDC_COMBO_PARK, "20", "Total now: 95%", true},
        {CSettingDlg::IDC_COMBO_MANUAL, "80", "Total now: 165%", false},
    };
    for (const Row& row : rows) {
        QComboBox* combo = dlg->Combo(row.list);
        combo->setCurrentIndex(combo->findText(row.value));
        EXPECT_EQ(total->text(), row.total);
        EXPECT_EQ(total->palette().color(QPalette::WindowText) == quiet, row.right) << row.total;
    }
    Click(CSettingDlg::IDC_BUTTON_CANCEL);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_TRUE(dlg->messages.empty());
    EXPECT_EQ(CardFile(), kCardFile);
}

TEST_F(CSettingDlgTest, DropDownListsOpenInTheDialogsDarkColours) {
    Open(kCardFile);
    const QColor ground = dlg->palette().color(QPalette::Window);
    ASSERT_LT(ground.lightness(), 64);
    for (QComboBox* combo : dlg->findChildren<QComboBox*>()) {
        combo->showPopup();
        QWidget* popup = combo->view()->window();
        EXPECT_EQ(popup->palette().color(QPalette::Active, QPalette::Window), ground);
        const QPalette list = combo->view()->palette();
        EXPECT_LT(list.color(QPalette::Active, QPalette::Base).lightness(), 64);
        EXPECT_GT(list.color(QPalette::Active, QPalette::Text).lightness(), 160);
        combo->hidePopup();
    }
}

TEST_F(CSettingDlgTest, TheYearListCanSetTodaysDate) {
    const std::time_t t = std::time(nullptr);
    localtime_r(&t, &now);
    Open(kCardFile);
    QComboBox* year = dlg->Combo(CSettingDlg::IDC_COMBO_YEAR);
    EXPECT_EQ(year->currentText(), QString::number(now.tm_year + 1900));
    EXPECT_EQ(year->itemText(year->count() - 1), QString::number(now.tm_year + 1900 + 5));
}

}  // namespace
