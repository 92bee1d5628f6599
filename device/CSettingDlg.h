#pragma once
// The dashcam settings dialog: the card's split between the four recording categories, the
// low-voltage cut-off, microphone and voice guidance, G-sensor and motion sensitivities,
// camera brightness and contrast, the request to set the device's clock, the version texts,
// and the card format that keeps the configuration file.
//
// The dialog reads SETTING/blackbox.cfg once when it is built and writes it only from a Save
// whose four shares add up to 95 %; Cancel, Escape, the close box and Enter end it without
// writing. The shares' running total shows under them as they change.
//
// Use from the main window:
//     CSettingDlg dlg(this, CardConfigPath(CardRoot(m_strDrivePath)), m_strDrivePath);
//     dlg.DoModal();
//     if (dlg.m_bCardChanged) { m_strDrivePath = dlg.DrivePath(); OnBnClickedButtonDriving(); }
// CanOpen(configPath) tells beforehand whether the file is there to be read.
//
// User-interface thread only, which never waits for the format: what the format dialog tells
// of the card (the formatter's look at the volume, the deleted recordings, what the archive
// lacks) is gathered on a background job while the FORMAT button waits, and once confirmed
// the format runs on one too (the formatter's calls, the copy of the configuration file and
// its return) while the format dialog shows it running, application-modal; the result comes
// back as a message when the job is done (FormatRunning from the press until then). Message boxes
// go through ShowMessageBox, which a subclass (or the process-wide hook, for tests of the window)
// answers without showing anything.

#include <QDialog>
#include <QMessageBox>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "device/CardFormat.h"
#include "device/CardFormatFacts.h"
#include "device/DeviceSettings.h"

class BackgroundJob;
class CFormatDialog;
class QGroupBox;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class VCardFormatter;

class CSettingDlg : public QDialog {
    Q_OBJECT
public:
    // Lists
    static constexpr int IDC_COMBO_CONST = 1173, IDC_COMBO_PARK = 1174, IDC_COMBO_EVENT = 1176,
                         IDC_COMBO_MANUAL = 1178, IDC_COMBO_VOLTAGE = 1177;
    static constexpr int IDC_COMBO_YEAR = 1180, IDC_COMBO_MONTH = 1181, IDC_COMBO_DAY = 1182,
                         IDC_COMBO_HOUR = 1183, IDC_COMBO_MIN = 1184, IDC_COMBO_SEC = 1185;
    // Check boxes
    static constexpr int IDC_CHECK_MIC = 1154, IDC_CHECK_SPEAKER = 1156, IDC_CHECK_VOLTAGE = 1158,
                         IDC_CHECK_TIMESYNC = 1162;
    // Sliders
    static constexpr int IDC_SLIDER_MIC = 1170, IDC_SLIDER_SPEAKER = 1172, IDC_SLIDER_MOTION = 1171,
                         IDC_SLIDER_GSENSOR = 1186, IDC_SLIDER_BRIGHTNESS = 1112,
                         IDC_SLIDER_CONTRAST = 1191;
    // Texts and push buttons
    static constexpr int IDC_STATIC_VIEWER_VERSION = 1168, IDC_STATIC_FW_VERSION = 1169,
                         IDC_STATIC_MODEL = 1188, IDC_STATIC_NOTICE = 1167;
    static constexpr int IDC_BUTTON_FORMAT = 1235, IDC_BUTTON_SAVE = 1163, IDC_BUTTON_CANCEL = 2;
    // The running total of the four storage shares, under the notice.
    static constexpr int IDC_STATIC_STORAGE_TOTAL = 1199;

    // formatter: the card formatter to use; null gives the desktop's (UDisks2).
    CSettingDlg(QWidget* parent, std::string configPath, std::string drivePath,
                VCardFormatter* formatter = nullptr);
    ~CSettingDlg() override;

    // True when the configuration file can be opened for reading (the dialog needs it).
    static bool CanOpen(const std::string& configPath);

    // Accepted after a Save that wrote the file, Rejected otherwise.
    int DoModal();

    // Set to 1 by every confirmed format, whatever its result; the caller then reloads the
    // DRIVING view.
    int m_bCardChanged = 0;
    // The drive string after the dialog: a format may mount the card somewhere new.
    const std::string& DrivePath() const { return m_strDrivePath; }
    const std::string& ConfigPath() const { return m_strConfigPath; }
    // How the last confirmed format ended; nothing when none ran. Refused and BackupFailed
    // leave the card as it was.
    std::optional<CardFormatStatus> LastFormatStatus() const { return m_lastFormat; }
    // Where the configuration file is kept while the card is formatted; by default a fresh
    // name in the viewer's data folder (NewFormatBackupPath).
    void SetBackupPath(std::string path) { m_strBackupPath = std::move(path); }
    // Run once the user has confirmed a format, before anything is touched: the window closes
    // the open recording so the volume can be unmounted.
    void SetBeforeFormat(std::function<void()> fn) { m_fnBeforeFormat = std::move(fn); }
    // Run on the format's job before the card is touched, off the GUI thread: the window waits
    // there for the recording to be closed.
    void SetWaitBeforeFormat(std::function<void()> fn) { m_fnWaitBeforeFormat = std::move(fn); }
    // FORMAT was pressed and answered Yes: the card is being looked at, the format dialog is
    // up, or a confirmed format has not reported back yet.
    bool FormatRunning() const { return m_bCheckingCard || m_formatRun != nullptr; }
    // What the format dialog tells of the card is still being gathered.
    bool CheckingCard() const { return m_bCheckingCard; }
    // Offered in the format dialog where deleted recordings are still recoverable: run with
    // the drive string instead of the format (the window recovers them; the user may format
    // afterwards).
    // Looks up which of the card's recordings the PC's archive lacks, into the facts the format
    // dialog shows; and, when the user chooses so there, imports them (the format then waits
    // for another go).
    void SetArchiveCheck(std::function<void(CardFormatFacts&)> fn) {
        m_fnArchiveCheck = std::move(fn);
    }
    void SetImportFirst(std::function<void(const std::string&)> fn) {
        m_fnImportFirst = std::move(fn);
    }
    void SetRecoverFirst(std::function<void(const std::string&)> fn) {
        m_fnRecoverFirst = std::move(fn);
    }

    // Message boxes of every dialog built afterwards, process-wide (window tests); empty
    // restores the real boxes. The hook answers the format dialog too: its SummaryText as the
    // text, Yes for Start.
    using MessageBoxHook = std::function<QMessageBox::StandardButton(
        const QString& text, const QString& caption, QMessageBox::StandardButtons buttons)>;
    static void SetMessageBoxHook(MessageBoxHook hook);
    // The local time the clock lists start from, process-wide (tests); empty restores the
    // computer's clock.
    static void SetLocalTimeSource(std::function<std::tm()> source);

    QWidget* GetDlgItem(int id) const;
    QComboBox* Combo(int id) const;
    QSlider* Slider(int id) const;
    QCheckBox* Check(int id) const;
    QLabel* Label(int id) const;
    QPushButton* Button(int id) const;

public slots:
    void OnBnClickedButtonSave();
    void OnBnClickedButtonFormat();
    void OnBnClickedCheckVoltage();
    void OnBnClickedCheckTimeSync();
    void OnBnClickedCheckMic();
    void OnBnClickedCheckSpeaker();

protected:
    virtual void LoadBlackboxConfig();
    // Reads the controls and writes the file; the status says why nothing was written.
    virtual DeviceSaveStatus SaveBlackboxConfig();
    virtual QMessageBox::StandardButton ShowMessageBox(const QString& text, const QString& caption,
                                                       QMessageBox::StandardButtons buttons);
    // Shows the format dialog and says whether the user chose Start.
    virtual bool ExecFormatDialog(CFormatDialog& dlg);
    // Enter while no push button has the focus ends the dialog without writing.
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void BuildControls();
    void LayOutControls();
    void LayOutStorageAndBattery();
    void LayOutAudioAndCamera();
    void LayOutClockAndVersion();
    QGroupBox* Group(int id);
    void ApplySkin();
    void OnInitDialog();
    void SetTexts();
    void ShowSettings(const DeviceSettings& s);
    DeviceSettings ReadControls() const;
    void ShowFormatResult(const CardFormatReport& report);
    // Shows what was gathered of the card in the format dialog and runs what it is answered.
    void ConfirmFormat(CardFormatFacts facts);
    // The look at the card is over (answered, or the dialog closed): FORMAT takes presses.
    void EndCardCheck();
    // Runs the confirmed format on m_formatJob; FinishFormat takes its report back.
    void StartFormat();
    void FinishFormat(const CardFormatReport& report);
    void UpdateStorageTotal();
    template <class T>
    T* Add(int id, T* widget);

    std::string m_strConfigPath;
    std::string m_strDrivePath;
    std::string m_strBackupPath;  // empty: a fresh one for each format
    VCardFormatter* m_pFormatter = nullptr;
    // Shared with a format's job, which may outlive the dialog.
    std::shared_ptr<VCardFormatter> m_ownFormatter;
    std::function<void(const std::string&)> m_fnRecoverFirst;
    std::function<void(CardFormatFacts&)> m_fnArchiveCheck;
    std::function<void(const std::string&)> m_fnImportFirst;
    std::function<void()> m_fnBeforeFormat;
    std::function<void()> m_fnWaitBeforeFormat;
    bool m_bCheckingCard = false;  // the card's facts are being gathered on m_formatJob
    std::unique_ptr<CFormatDialog> m_formatRun;  // the format dialog while its format runs
    BackgroundJob* m_formatJob = nullptr;        // a child of the dialog
    std::optional<CardFormatStatus> m_lastFormat;
    std::map<int, QWidget*> m_items;
    std::string m_strFirmwareVersion;
};
