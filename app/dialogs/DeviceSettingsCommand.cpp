#include "app/dialogs/DeviceSettingsCommand.h"

#include <QAbstractButton>
#include <filesystem>

#include "app/archive/ArchiveAccess.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/archive/ArchiveCommands.h"
#include "app/dialogs/RecoveryCommands.h"
#include "app/dialogs/WindowDialogs.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "archive/ArchiveLayout.h"
#include "device/CSettingDlg.h"
#include "library/CardRoot.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

// The category buttons with the view each lists.
constexpr std::pair<int, CatalogueView> kCategoryButtons[] = {
    {IDC_BUTTON_DRIVING, CatalogueView::Driving},
    {IDC_BUTTON_EVENT, CatalogueView::Event},
    {IDC_BUTTON_PARKING, CatalogueView::Parking},
    {IDC_BUTTON_USER, CatalogueView::User},
    {IDC_BUTTON_ALL, CatalogueView::All}};

}  // namespace

DeviceSettingsCommand::DeviceSettingsCommand(CSamplePlayerDlg& window, WindowDialogs& dialogs,
                                             RecoveryCommands& recovery, ArchiveCommands& archive)
    : m_window(window), m_dialogs(dialogs), m_recovery(recovery), m_archive(archive) {}

void DeviceSettingsCommand::Run() {
    const Moment moment = Current();
    if (m_window.IsPlayerActive()) m_window.OnBnClickedButtonPause();
    if (ChooseDrive()) Open(m_window.DrivePath(), moment);
    if (moment.playing && m_window.IsPlayerActive() &&
        m_window.Playback().State() != PlaybackState::Playing && !m_window.IsClosing())
        m_window.OnBnClickedButtonPlay();
}

bool DeviceSettingsCommand::ChooseDrive() {
    if (!m_window.DrivePath().empty()) return true;
    std::string drive;
    switch (m_dialogs.RunDriveDialog(&drive)) {
        case DriveChoice::Drive:
            break;
        case DriveChoice::ChooseFolder:
            drive = m_dialogs
                        .RunFolderDialog(
                            QString::fromStdString(m_window.Navigator().Cards().LastCard()))
                        .toStdString();
            if (drive.empty()) return false;
            break;
        case DriveChoice::Cancelled:
            return false;
    }
    m_window.Navigator().Cards().SetDrivePath(drive);
    return true;
}

void DeviceSettingsCommand::Open(const std::string& drive, const Moment& moment) {
    const std::string config = CardConfigPath(CardRoot(drive));
    if (config.empty() || !CSettingDlg::CanOpen(config)) {
        m_window.Navigator().Cards().SetDrivePath({});
        m_dialogs.ShowMessage(Tr(texts::kNoBlackbox));
        return;
    }
    CSettingDlg dialog(&m_window, config, drive, m_dialogs.CardFormatter());
    // The volume cannot be unmounted while a recording on it is open: the stop is posted here,
    // and the format's job waits for the worker to have closed the file (which may be busy
    // opening a recording whose index takes seconds).
    dialog.SetBeforeFormat([this] { m_window.OnBnClickedButtonStop(); });
    dialog.SetWaitBeforeFormat([this] { m_window.Playback().WaitUntilClosed(); });
    dialog.SetRecoverFirst(
        [this, &dialog](const std::string& card) { m_recovery.RecoverFromCard(card, &dialog); });
    dialog.SetArchiveCheck([drive, archive = m_archive.Access().Place()](CardFormatFacts& facts) {
        AddArchiveFacts(drive, archive, facts);
    });
    dialog.SetImportFirst(
        [this, &dialog](const std::string& card) { m_archive.ImportBeforeFormat(card, &dialog); });
    m_dialogs.RunSettingsDialog(dialog);
    if (!dialog.m_bCardChanged) return;
    m_window.Navigator().Cards().SetDrivePath(dialog.DrivePath());
    // A format that did not start left the card as it was: only the closed recording comes
    // back. Any other may have changed it (possibly mounted somewhere new): the list shows
    // what is on it now, in the view it was in, and the recording comes back if it is still
    // there.
    const std::optional<CardFormatStatus> status = dialog.LastFormatStatus();
    const bool untouched =
        status == CardFormatStatus::Refused || status == CardFormatStatus::BackupFailed;
    if (!untouched) m_window.Navigator().ListAgain(moment.tripsView, moment.view);
    Restore(moment);
}

DeviceSettingsCommand::Moment DeviceSettingsCommand::Current() const {
    Moment moment;
    moment.tripsView = m_window.Navigator().IsTripsView();
    for (const auto& [id, view] : kCategoryButtons) {
        const auto* button = static_cast<const QAbstractButton*>(m_window.GetDlgItem(id));
        if (button && button->isChecked()) moment.view = view;
    }
    if (!m_window.CanSeek() || m_window.CurrentPath().empty()) return moment;
    const PlaybackController& playback = m_window.Playback();
    moment.path = m_window.CurrentPath();
    moment.tripPaths = m_window.TripPaths();
    moment.tripIndex = m_window.TripIndex();
    moment.row = m_window.CurIndex();
    moment.positionMs = playback.Position();  // on the trip's timeline while a trip plays
    moment.playing = playback.State() == PlaybackState::Playing;
    moment.front = m_window.FrontView();
    moment.rear = m_window.RearView();
    moment.map = m_window.MapView();
    return moment;
}

void DeviceSettingsCommand::Restore(const Moment& moment) {
    std::error_code error;
    if (moment.path.empty() || !std::filesystem::exists(moment.path, error)) return;
    if (m_window.IsPlayerActive() && m_window.CurrentPath() == moment.path) return;
    bool opened = false;
    if (!moment.tripPaths.empty() && m_window.Navigator().IsTripsView()) {
        opened = moment.row >= 0 && m_window.Navigator().PlayTripFrom(moment.row, moment.tripIndex);
    } else if (const int row = m_window.Navigator().RowOfPath(moment.path); row >= 0) {
        m_window.Navigator().SetCurIndex(row);
        opened = m_window.OpenRecording(moment.path);
    }
    if (!opened || m_window.Playback().Path().toStdString() != moment.path) return;
    if (!moment.playing) m_window.OnBnClickedButtonPause();
    m_window.SeekOnTimeline(moment.positionMs);
    // The views as they were, once the recording shows (its opening lays them out anew).
    // The command is gone by then: the window is what is left to ask.
    m_window.WhenOpened([&window = m_window, moment] {
        window.Layout().SetViewState(moment.front, moment.rear, moment.map);
    });
}
