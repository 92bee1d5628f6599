#include "tests/device/settings/SettingsTestSupport.h"

#include <QApplication>
#include <fstream>
#include <sstream>

#include "support/StringTable.h"

namespace fs = std::filesystem;

namespace settingstest {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

CardFormatOutcome FakeFormatter::Format(const std::string& mountPoint) {
    ++calls;
    if (hold.valid()) hold.wait_for(std::chrono::milliseconds(SettingsDialogTest::kFormatWaitMs));
    if (duringFormat) duringFormat();
    CardFormatOutcome outcome;
    outcome.result = result;
    if (result == CardFormatResult::Formatted || result == CardFormatResult::FormattedNotMounted) {
        for (const auto& entry : fs::directory_iterator(mountPoint)) fs::remove_all(entry.path());
        if (result == CardFormatResult::Formatted) outcome.mountPoint = mountPoint;
    }
    return outcome;
}

std::tm MarchSeventh2014() {
    std::tm t{};
    t.tm_year = 2014 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 14;
    t.tm_min = 30;
    t.tm_sec = 15;
    return t;
}

void SettingsDialogTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::path(TARVEX_TEST_DATA_DIR) / "settings" /
          (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(dir);
    card = dir / "CARD";
    configPath = card / "SETTING" / "blackbox.cfg";
    backupPath = dir / "viewer" / "blackbox.cfg";
    fs::create_directories(backupPath.parent_path());
    now = MarchSeventh2014();
    g_wLanguage = kLangEnglish;
    CSettingDlg::SetLocalTimeSource([this] { return now; });
}

void SettingsDialogTest::TearDown() {
    dlg.reset();
    CSettingDlg::SetLocalTimeSource(nullptr);
    g_wLanguage = kLangEnglish;
}

RecordingSettingDlg& SettingsDialogTest::Open(const std::string& config) {
    WriteAll(configPath, config);
    dlg.reset();
    dlg = std::make_unique<RecordingSettingDlg>(nullptr, configPath.string(), card.string(),
                                                &formatter);
    dlg->SetBackupPath(backupPath.string());
    dlg->show();
    return *dlg;
}

void SettingsDialogTest::Click(int id) {
    QWidget* item = dlg->GetDlgItem(id);
    ASSERT_NE(item, nullptr) << id;
    const bool format = id == CSettingDlg::IDC_BUTTON_FORMAT;
    // A format is held at its start until the running dialog has been seen.
    std::promise<void> release;
    if (format) formatter.hold = release.get_future().share();
    if (auto* check = qobject_cast<QCheckBox*>(item)) {
        // A click in the box itself, wherever the style draws it.
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    } else {
        QTest::mouseClick(item, Qt::LeftButton);
    }
    if (!format) return;
    // What the format dialog tells of the card is gathered on a job first; the format, once
    // confirmed, runs on one too, the running dialog holding the input until it reports.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->CheckingCard(); }, kFormatWaitMs));
    formatter.modalDialogDuringFormat =
        dlg->FormatRunning() &&
        qobject_cast<CFormatDialog*>(QApplication::activeModalWidget()) != nullptr;
    release.set_value();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->FormatRunning(); }, kFormatWaitMs));
    formatter.hold = {};
}

}  // namespace settingstest
