// The archive on the PC from the window: the offer to import a card's new recordings when it
// is mounted, the import's strip, and the import a format may ask for first.
#include <QInputDialog>
#include <QProgressDialog>
#include <algorithm>

#include "app/archive/ArchiveAccess.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/archive/ArchiveImportBar.h"
#include "app/archive/ArchiveSettings.h"
#include "app/archive/ArchiveSettingsDlg.h"
#include "app/archive/ArchiveView.h"
#include "app/archive/ArchiveViewModel.h"
#include "app/desktop/CardInsertWatcher.h"
#include "app/list/RecordingListView.h"
#include "app/window/CSamplePlayerDlg.h"
#include "archive/ArchiveLayout.h"
#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "support/Profile.h"
#include "support/StringTable.h"

namespace {

constexpr int IDS_IMPORTING_KO = 1972, IDS_IMPORTING_EN = 1973;
constexpr int IDS_IMPORTED_KO = 1974, IDS_IMPORTED_EN = 1975;
constexpr int IDS_IMPORT_FAILED_KO = 1976, IDS_IMPORT_FAILED_EN = 1977;
constexpr int IDS_IMPORT_CANCELLED_KO = 1986, IDS_IMPORT_CANCELLED_EN = 1987;
constexpr int IDS_SETTINGS_UNWRITABLE_KO = 2660, IDS_SETTINGS_UNWRITABLE_EN = 2661;

ImportChoice ReadImportChoice(const std::string& configPath) {
    return ReadArchiveSettings(configPath).import;
}

std::string SummaryText(const CardImportSummary& summary) {
    if (!summary.started)
        return FormatResourceString(PickStringId(IDS_IMPORT_FAILED_KO, IDS_IMPORT_FAILED_EN),
                                    summary.error.c_str());
    return FormatResourceString(PickStringId(IDS_IMPORTED_KO, IDS_IMPORTED_EN),
                                static_cast<int>(summary.copied), static_cast<int>(summary.skipped),
                                static_cast<int>(summary.failed));
}

}  // namespace

void CSamplePlayerDlg::SetUpArchive() {
    const ArchiveSettings settings = ReadArchiveSettings(ConfigPath());
    m_pArchive = new ArchiveAccess({settings.Folder(), settings.Catalogue()}, this);
    m_pImportBar = new ArchiveImportBar(this);
    m_pCardWatcher = new CardInsertWatcher(this);
    connect(m_pCardWatcher, &CardInsertWatcher::mounted, this, &CSamplePlayerDlg::OnVolumeMounted);
    connect(m_pArchive, &ArchiveAccess::newFound, this,
            [this](const QString& card, int count, qulonglong bytes) {
                if (count <= 0) return;
                if (ReadImportChoice(ConfigPath()) == ImportChoice::Always)
                    StartArchiveImport(card);
                else
                    m_pImportBar->ShowOffer(card, count, bytes);
            });
    connect(m_pArchive, &ArchiveAccess::importProgress, m_pImportBar,
            &ArchiveImportBar::SetProgress);
    connect(m_pArchive, &ArchiveAccess::importFinished, this,
            [this](const QString&, const CardImportSummary& summary) {
                OnArchiveImportFinished(summary);
            });
    connect(m_pArchive, &ArchiveAccess::bookmarked, this, &CSamplePlayerDlg::OnBookmarked);
    connect(m_listFilename, &RecordingListView::archiveRequested, this,
            &CSamplePlayerDlg::OpenArchiveView);
    connect(m_pImportBar, &ArchiveImportBar::importAsked, this,
            &CSamplePlayerDlg::StartArchiveImport);
    connect(m_pImportBar, &ArchiveImportBar::cancelAsked, this, [this] {
        m_pArchive->Cancel();
        ShowNote(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_IMPORT_CANCELLED_KO, IDS_IMPORT_CANCELLED_EN))));
    });
}

void CSamplePlayerDlg::OnVolumeMounted(const QString& mountPoint) {
    if (ReadImportChoice(ConfigPath()) == ImportChoice::Never) return;
    if (!HasCardLayout(CardRoot(mountPoint.toStdString()))) return;
    if (m_pArchive->IsBusy()) return;  // an import runs: it is not interrupted by a count
    m_pArchive->CountNew(mountPoint);
}

void CSamplePlayerDlg::StartArchiveImport(const QString& card) {
    m_pImportBar->ShowRunning(card);
    m_pArchive->Import(card);
}

void CSamplePlayerDlg::OnArchiveImportFinished(const CardImportSummary& summary) {
    m_pImportBar->hide();
    ShowNote(QString::fromStdString(SummaryText(summary)));
}

void CSamplePlayerDlg::ImportBeforeFormat(const std::string& drive, QWidget* parent) {
    QProgressDialog busy(QString::fromStdString(FormatResourceString(
                             PickStringId(IDS_IMPORTING_KO, IDS_IMPORTING_EN))),
                         QString(), 0, 0, parent);
    busy.setWindowModality(Qt::WindowModal);
    busy.setMinimumDuration(0);
    auto summary = std::make_shared<CardImportSummary>();
    m_archiveJob.Start([drive, folder = m_pArchive->Place(), summary, &busy](JobContext& job) {
        CardImportSummary done = ImportCardIntoArchive(drive, folder, job.CancelFlag());
        job.Post([summary, done, &busy] {
            *summary = done;
            busy.accept();
        });
    });
    busy.exec();
    m_archiveJob.Cancel();  // nothing may reach the dialog once it is gone
    ShowMessage(QString::fromStdString(SummaryText(*summary)));
}

namespace {

constexpr int IDS_BOOKMARK_KO = 1990, IDS_BOOKMARK_EN = 1991;
constexpr int IDS_BOOKMARK_NOTE_KO = 1992, IDS_BOOKMARK_NOTE_EN = 1993;
constexpr int IDS_BOOKMARKED_KO = 1994, IDS_BOOKMARKED_EN = 1995;
constexpr int IDS_NOT_ARCHIVED_KO = 1996, IDS_NOT_ARCHIVED_EN = 1997;
constexpr int IDS_BOOKMARK_FAILED_KO = 1998, IDS_BOOKMARK_FAILED_EN = 1999;

// "1:02:03" or "02:03" into the recording.
QString OffsetText(int64_t ms) {
    const int64_t s = ms / 1000;
    return s >= 3600
               ? QString::asprintf("%d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60))
               : QString::asprintf("%02d:%02d", int(s / 60), int(s % 60));
}

}  // namespace

bool CSamplePlayerDlg::AskBookmarkNote(const QString& at, QString* note) {
    bool ok = false;
    *note = QInputDialog::getText(
        this,
        QString::fromStdString(
            FormatResourceString(PickStringId(IDS_BOOKMARK_KO, IDS_BOOKMARK_EN))),
        QString::fromStdString(FormatResourceString(
            PickStringId(IDS_BOOKMARK_NOTE_KO, IDS_BOOKMARK_NOTE_EN), at.toUtf8().constData())),
        QLineEdit::Normal, QString(), &ok);
    return ok;
}

void CSamplePlayerDlg::OnBookmark() {
    if (m_strCurrentPath.empty() || !CanSeek()) return;
    // On a trip the position runs over the whole trip; the bookmark is in its recording.
    int64_t offsetMs = m_playback.Position();
    const int trip = m_playback.TripIndex();
    if (trip >= 0 && size_t(trip) < m_playback.TripStartsMs().size())
        offsetMs -= m_playback.TripStartsMs()[size_t(trip)];
    offsetMs = std::max<int64_t>(offsetMs, 0);
    const std::string path = m_strCurrentPath;
    QString note;
    if (!AskBookmarkNote(OffsetText(offsetMs), &note)) return;
    m_pArchive->Bookmark(QString::fromStdString(path), offsetMs, note);
}

void CSamplePlayerDlg::OnBookmarked(qint64 offsetMs, BookmarkResult result, const QString& error) {
    std::string text;
    if (result == BookmarkResult::Made)
        text = FormatResourceString(PickStringId(IDS_BOOKMARKED_KO, IDS_BOOKMARKED_EN),
                                    OffsetText(offsetMs).toUtf8().constData());
    else if (result == BookmarkResult::NotArchived)
        text = FormatResourceString(PickStringId(IDS_NOT_ARCHIVED_KO, IDS_NOT_ARCHIVED_EN));
    else
        text = FormatResourceString(PickStringId(IDS_BOOKMARK_FAILED_KO, IDS_BOOKMARK_FAILED_EN),
                                    error.toUtf8().constData());
    ShowNote(QString::fromStdString(text));
}

// ---- the Archive view ----

void CSamplePlayerDlg::OpenArchiveView() {
    if (!m_pArchiveView) {
        m_pArchiveView = new ArchiveView(this);
        connect(m_pArchiveView, &ArchiveView::playRequested, this, &CSamplePlayerDlg::PlayArchived);
        connect(m_pArchiveView, &ArchiveView::settingsRequested, this,
                &CSamplePlayerDlg::OnArchiveSettings);
    }
    const ArchivePlace& place = m_pArchive->Place();
    m_pArchiveView->ShowArchive(place.folder, place.catalogue);
    m_pArchiveView->show();
    m_pArchiveView->raise();
    m_pArchiveView->activateWindow();
}

void CSamplePlayerDlg::PlayArchived(const QString& path, qint64 offsetMs) {
    if (!m_navigator->OpenPath(path)) return;
    // The open is under way; the seek is taken once it is open, as after a dialog.
    if (offsetMs > 0) SeekToRecordingMs(offsetMs);
}

bool CSamplePlayerDlg::RunArchiveSettingsDialog(ArchiveSettingsDlg& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

void CSamplePlayerDlg::OnArchiveSettings() {
    const std::string config = ConfigPath();
    ArchiveSettingsDlg dialog(ReadArchiveSettings(config), m_pArchiveView);
    if (!RunArchiveSettingsDialog(dialog)) return;
    const ArchiveSettings settings = dialog.Settings();
    if (m_bConfigUnreadable || !WriteArchiveSettings(config, settings)) {
        ShowMessage(QString::fromStdString(FormatResourceString(
            PickStringId(IDS_SETTINGS_UNWRITABLE_KO, IDS_SETTINGS_UNWRITABLE_EN), config.c_str())));
        return;
    }
    m_pArchive->SetPlace({settings.Folder(), settings.Catalogue()});
    if (m_pArchiveView) m_pArchiveView->ShowArchive(settings.Folder(), settings.Catalogue());
}
