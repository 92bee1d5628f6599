// The device settings command: the dashcam's configuration file on the chosen card, and the
// card format the settings dialog offers.
#include "app/CSamplePlayerDlg.h"
#include "app/Resource.h"
#include "device/CSettingDlg.h"
#include "library/CardRoot.h"
#include "support/StringTable.h"

void CSamplePlayerDlg::OnBnClickedButtonSetting() {
    // Paused while the dialog is open; afterwards playback goes on as it was, unless a format
    // closed the recording.
    const bool wasPlaying = IsPlayerActive() && m_player.IsRunning();
    if (IsPlayerActive()) OnBnClickedButtonPause();
    if (ChooseSettingsDrive()) OpenDeviceSettings(m_strDrivePath);
    if (wasPlaying && IsPlayerActive() && !m_bQuitConfirmed) OnBnClickedButtonPlay();
}

bool CSamplePlayerDlg::ChooseSettingsDrive() {
    if (!m_strDrivePath.empty()) return true;
    std::string drive;
    switch (RunDriveDialog(&drive)) {
        case DriveChoice::Drive:
            break;
        case DriveChoice::ChooseFolder:
            drive = RunFolderDialog(QString::fromStdString(m_strLastCard)).toStdString();
            if (drive.empty()) return false;
            break;
        case DriveChoice::Cancelled:
            return false;
    }
    m_strDrivePath = drive;
    return true;
}

void CSamplePlayerDlg::OpenDeviceSettings(const std::string& drive) {
    const std::string config = CardConfigPath(CardRoot(drive));
    if (config.empty() || !CSettingDlg::CanOpen(config)) {
        m_strDrivePath.clear();
        ShowMessage(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_NO_BLACKBOX_KO, IDS_NO_BLACKBOX_EN))));
        return;
    }
    CSettingDlg dialog(this, config, drive, CardFormatter());
    // The volume cannot be unmounted while a recording on it is open.
    dialog.SetBeforeFormat([this] { OnBnClickedButtonStop(); });
    RunSettingsDialog(dialog);
    // Every confirmed format, whatever its outcome, may have changed the card: show what is
    // on it now (possibly mounted somewhere new).
    if (dialog.m_bCardChanged) {
        m_strDrivePath = dialog.DrivePath();
        OnBnClickedButtonDriving();
    }
}

int CSamplePlayerDlg::RunSettingsDialog(CSettingDlg& dialog) {
    return dialog.DoModal();
}
