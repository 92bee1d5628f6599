#pragma once
// Shared pieces of the settings dialog tests: a dialog whose message boxes are answered and
// recorded instead of shown, a card folder with its configuration file, a fake formatter.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "device/CFormatDialog.h"
#include "device/CSettingDlg.h"
#include "device/VCardFormatter.h"

namespace settingstest {

std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& text);

struct MessageRecord {
    QString text;
    QString caption;
    QMessageBox::StandardButtons buttons;
};

class RecordingSettingDlg : public CSettingDlg {
public:
    using CSettingDlg::CSettingDlg;
    std::vector<MessageRecord> messages;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    bool start = true;          // the format dialog's answer
    bool recoverFirst = false;  // ... or its "Recover them first…", where it has one

protected:
    // Recorded as a message with the dialog's summary, Yes for Start.
    bool ExecFormatDialog(CFormatDialog& dlg) override {
        messages.push_back(
            {dlg.SummaryText(), dlg.windowTitle(), QMessageBox::Yes | QMessageBox::No});
        if (recoverFirst && dlg.RecoverButton()) {
            dlg.RecoverButton()->click();
            return false;
        }
        return start;
    }
    QMessageBox::StandardButton ShowMessageBox(const QString& text, const QString& caption,
                                               QMessageBox::StandardButtons buttons) override {
        messages.push_back({text, caption, buttons});
        return buttons & answer ? answer : QMessageBox::Ok;
    }
};

// Formats by emptying the card's folder (keeping the folder, as a volume's root stays).
class FakeFormatter : public VCardFormatter {
public:
    CardFormatResult result = CardFormatResult::Formatted;
    int calls = 0;
    CardVolumeFacts facts;                        // what Describe answers
    FormatRefusal refusal = FormatRefusal::None;  // what Check answers
    int recoverable = -1;                         // what CountRecoverableDeleted answers
    int describeCalls = 0;
    bool modalDialogDuringFormat = false;  // the running format dialog held the input
    std::function<void()> duringFormat;    // run inside Format, on the thread that formats
    std::shared_future<void> hold;         // when valid, Format waits for it before anything
    CardFormatOutcome Format(const std::string& mountPoint) override;
    std::shared_future<void> describeHold;  // when valid, Describe waits for it
    CardVolumeFacts Describe(const std::string&) override {
        if (describeHold.valid()) describeHold.wait_for(std::chrono::seconds(30));
        ++describeCalls;
        return facts;
    }
    FormatRefusal Check(const std::string&) override { return refusal; }
    int CountRecoverableDeleted(const std::string&) override { return recoverable; }
};

class SettingsDialogTest : public ::testing::Test {
public:
    // How long a format (or the look at the card before it) may take in a test.
    static constexpr int kFormatWaitMs = 30000;

protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the card's file and opens a dialog on it (at the clock time `now`).
    RecordingSettingDlg& Open(const std::string& config);
    std::string CardFile() const { return ReadAll(configPath); }
    // A click on Format returns once the format it started has reported back.
    void Click(int id);

    std::filesystem::path dir, card, configPath, backupPath;
    std::tm now{};
    FakeFormatter formatter;
    std::unique_ptr<RecordingSettingDlg> dlg;
};

// 14:30:15 on 7 March 2014.
std::tm MarchSeventh2014();

}  // namespace settingstest
