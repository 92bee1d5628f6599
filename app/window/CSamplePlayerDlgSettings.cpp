// The device settings command: the dashcam's configuration file on the chosen card, and the
// card format the settings dialog offers.
#include <QAbstractButton>
#include <filesystem>

#include "app/archive/ArchiveAccess.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "archive/ArchiveLayout.h"
#include "device/CSettingDlg.h"
#include "library/CardRoot.h"
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

void CSamplePlayerDlg::OnBnClickedButtonSetting() {
    // Paused while the dialog is open; afterwards the recording, its position, play or pause,
    // the views and the list are as they were, also after a format that left the card alone.
    const PlaybackMoment moment = CurrentMoment();
    if (IsPlayerActive()) OnBnClickedButtonPause();
    if (ChooseSettingsDrive()) OpenDeviceSettings(DrivePath(), moment);
    if (moment.playing && IsPlayerActive() && m_playback.State() != PlaybackState::Playing &&
        !m_bQuitConfirmed)
        OnBnClickedButtonPlay();
}

bool CSamplePlayerDlg::ChooseSettingsDrive() {
    if (!DrivePath().empty()) return true;
    std::string drive;
    switch (RunDriveDialog(&drive)) {
        case DriveChoice::Drive:
            break;
        case DriveChoice::ChooseFolder:
            drive = RunFolderDialog(QString::fromStdString(m_navigator->Cards().LastCard()))
                        .toStdString();
            if (drive.empty()) return false;
            break;
        case DriveChoice::Cancelled:
            return false;
    }
    m_navigator->Cards().SetDrivePath(drive);
    return true;
}

void CSamplePlayerDlg::OpenDeviceSettings(const std::string& drive, const PlaybackMoment& moment) {
    const std::string config = CardConfigPath(CardRoot(drive));
    if (config.empty() || !CSettingDlg::CanOpen(config)) {
        m_navigator->Cards().SetDrivePath({});
        ShowMessage(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_NO_BLACKBOX_KO, IDS_NO_BLACKBOX_EN))));
        return;
    }
    CSettingDlg dialog(this, config, drive, CardFormatter());
    // The volume cannot be unmounted while a recording on it is open: the stop is posted here,
    // and the format's job waits for the worker to have closed the file (which may be busy
    // opening a recording whose index takes seconds).
    dialog.SetBeforeFormat([this] { OnBnClickedButtonStop(); });
    dialog.SetWaitBeforeFormat([this] { m_playback.WaitUntilClosed(); });
    dialog.SetRecoverFirst(
        [this, &dialog](const std::string& card) { RecoverFromCard(card, &dialog); });
    dialog.SetArchiveCheck([drive, archive = m_pArchive->Place()](CardFormatFacts& facts) {
        AddArchiveFacts(drive, archive, facts);
    });
    dialog.SetImportFirst(
        [this, &dialog](const std::string& card) { ImportBeforeFormat(card, &dialog); });
    RunSettingsDialog(dialog);
    if (!dialog.m_bCardChanged) return;
    m_navigator->Cards().SetDrivePath(dialog.DrivePath());
    // A format that did not start left the card as it was: only the closed recording comes
    // back. Any other may have changed it (possibly mounted somewhere new): the list shows
    // what is on it now, in the view it was in, and the recording comes back if it is still
    // there.
    const std::optional<CardFormatStatus> status = dialog.LastFormatStatus();
    const bool untouched =
        status == CardFormatStatus::Refused || status == CardFormatStatus::BackupFailed;
    if (!untouched) m_navigator->ListAgain(moment.tripsView, moment.view);
    RestoreMoment(moment);
}

CSamplePlayerDlg::PlaybackMoment CSamplePlayerDlg::CurrentMoment() const {
    PlaybackMoment moment;
    moment.tripsView = m_navigator->IsTripsView();
    for (const auto& [id, view] : kCategoryButtons) {
        const auto* button = static_cast<const QAbstractButton*>(GetDlgItem(id));
        if (button && button->isChecked()) moment.view = view;
    }
    if (!CanSeek() || m_strCurrentPath.empty()) return moment;
    moment.path = m_strCurrentPath;
    moment.tripPaths = TripPaths();
    moment.tripIndex = TripIndex();
    moment.row = CurIndex();
    moment.positionMs = m_playback.Position();  // on the trip's timeline while a trip plays
    moment.playing = m_playback.State() == PlaybackState::Playing;
    moment.front = FrontView();
    moment.rear = RearView();
    moment.map = MapView();
    return moment;
}

void CSamplePlayerDlg::RestoreMoment(const PlaybackMoment& moment) {
    std::error_code error;
    if (moment.path.empty() || !std::filesystem::exists(moment.path, error)) return;
    if (IsPlayerActive() && m_strCurrentPath == moment.path) return;
    bool opened = false;
    if (!moment.tripPaths.empty() && m_navigator->IsTripsView()) {
        opened = moment.row >= 0 && m_navigator->PlayTripFrom(moment.row, moment.tripIndex);
    } else if (const int row = m_navigator->RowOfPath(moment.path); row >= 0) {
        m_navigator->SetCurIndex(row);
        opened = OpenRecording(moment.path);
    }
    if (!opened || m_playback.Path().toStdString() != moment.path) return;
    if (!moment.playing) OnBnClickedButtonPause();
    SeekOnTimeline(moment.positionMs);
    // The views as they were, once the recording shows (its opening lays them out anew).
    m_whenOpened = [this, moment] { Layout().SetViewState(moment.front, moment.rear, moment.map); };
}

int CSamplePlayerDlg::RunSettingsDialog(CSettingDlg& dialog) {
    return dialog.DoModal();
}
