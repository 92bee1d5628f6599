#include "app/archive/ArchiveCommands.h"

#include <QProgressDialog>
#include <algorithm>

#include "app/archive/ArchiveAccess.h"
#include "app/archive/ArchiveCardWork.h"
#include "app/archive/ArchiveImportBar.h"
#include "app/archive/ArchiveSettings.h"
#include "app/archive/ArchiveSettingsDlg.h"
#include "app/archive/ArchiveView.h"
#include "app/desktop/CardInsertWatcher.h"
#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingListView.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/view/ViewerSettings.h"
#include "archive/ArchiveLayout.h"
#include "library/CardRoot.h"
#include "support/QtText.h"

namespace {

QString SummaryText(const CardImportSummary& summary) {
    if (!summary.started) return Tr(texts::kImportFailed, summary.error.c_str());
    return Tr(texts::kImported, static_cast<int>(summary.copied), static_cast<int>(summary.skipped),
              static_cast<int>(summary.failed));
}

// "1:02:03" or "02:03" into the recording.
QString OffsetText(int64_t ms) {
    const int64_t s = ms / 1000;
    return s >= 3600
               ? QString::asprintf("%d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60))
               : QString::asprintf("%02d:%02d", int(s / 60), int(s % 60));
}

}  // namespace

ArchiveCommands::ArchiveCommands(CSamplePlayerDlg& window, ViewerSettings& settings,
                                 WindowDialogs& dialogs)
    : QObject(&window), m_window(window), m_settings(settings), m_dialogs(dialogs) {
    const ArchiveSettings archive = settings.Archive();
    m_access = new ArchiveAccess({archive.Folder(), archive.Catalogue()}, this);
    m_importBar = new ArchiveImportBar(&window);
    m_cardWatcher = new CardInsertWatcher(this);
    connect(m_cardWatcher, &CardInsertWatcher::mounted, this, &ArchiveCommands::OnVolumeMounted);
    connect(m_access, &ArchiveAccess::newFound, this,
            [this](const QString& card, int count, qulonglong bytes) {
                if (count <= 0) return;
                if (m_settings.Archive().import == ImportChoice::Always)
                    StartImport(card);
                else
                    m_importBar->ShowOffer(card, count, bytes);
            });
    connect(m_access, &ArchiveAccess::importProgress, m_importBar, &ArchiveImportBar::SetProgress);
    connect(
        m_access, &ArchiveAccess::importFinished, this,
        [this](const QString&, const CardImportSummary& summary) { OnImportFinished(summary); });
    connect(m_access, &ArchiveAccess::bookmarked, this, &ArchiveCommands::OnBookmarked);
    connect(window.List(), &RecordingListView::archiveRequested, this, &ArchiveCommands::OpenView);
    connect(m_importBar, &ArchiveImportBar::importAsked, this, &ArchiveCommands::StartImport);
    connect(m_importBar, &ArchiveImportBar::cancelAsked, this, [this] {
        m_access->Cancel();
        m_dialogs.ShowNote(Tr(texts::kImportCancelled));
    });
}

void ArchiveCommands::OnVolumeMounted(const QString& mountPoint) {
    if (m_settings.Archive().import == ImportChoice::Never) return;
    if (!HasCardLayout(CardRoot(mountPoint.toStdString()))) return;
    if (m_access->IsBusy()) return;  // an import runs: it is not interrupted by a count
    m_access->CountNew(mountPoint);
}

void ArchiveCommands::StartImport(const QString& card) {
    m_importBar->ShowRunning(card);
    m_access->Import(card);
}

void ArchiveCommands::OnImportFinished(const CardImportSummary& summary) {
    m_importBar->hide();
    m_dialogs.ShowNote(SummaryText(summary));
}

void ArchiveCommands::ImportBeforeFormat(const std::string& drive, QWidget* parent) {
    QProgressDialog busy(Tr(texts::kImporting), QString(), 0, 0, parent);
    busy.setWindowModality(Qt::WindowModal);
    busy.setMinimumDuration(0);
    auto summary = std::make_shared<CardImportSummary>();
    m_job.Start([drive, folder = m_access->Place(), summary, &busy](JobContext& job) {
        CardImportSummary done = ImportCardIntoArchive(drive, folder, job.CancelFlag());
        job.Post([summary, done, &busy] {
            *summary = done;
            busy.accept();
        });
    });
    busy.exec();
    m_job.Cancel();  // nothing may reach the dialog once it is gone
    m_dialogs.ShowMessage(SummaryText(*summary));
}

// ---- bookmarks ----

void ArchiveCommands::Bookmark() {
    const std::string path = m_window.CurrentPath();
    if (path.empty() || !m_window.CanSeek()) return;
    // On a trip the position runs over the whole trip; the bookmark is in its recording.
    PlaybackController& playback = m_window.Playback();
    int64_t offsetMs = playback.Position();
    const int trip = playback.TripIndex();
    if (trip >= 0 && size_t(trip) < playback.TripStartsMs().size())
        offsetMs -= playback.TripStartsMs()[size_t(trip)];
    offsetMs = std::max<int64_t>(offsetMs, 0);
    QString note;
    if (!m_dialogs.AskBookmarkNote(OffsetText(offsetMs), &note)) return;
    m_access->Bookmark(QString::fromStdString(path), offsetMs, note);
}

void ArchiveCommands::OnBookmarked(qint64 offsetMs, BookmarkResult result, const QString& error) {
    if (result == BookmarkResult::Made)
        m_dialogs.ShowNote(Tr(texts::kBookmarked, OffsetText(offsetMs).toUtf8().constData()));
    else if (result == BookmarkResult::NotArchived)
        m_dialogs.ShowNote(Tr(texts::kNotArchived));
    else
        m_dialogs.ShowNote(Tr(texts::kBookmarkFailed, error.toUtf8().constData()));
}

// ---- the Archive view ----

void ArchiveCommands::OpenView() {
    if (!m_view) {
        m_view = new ArchiveView(&m_window);
        connect(m_view, &ArchiveView::playRequested, this, &ArchiveCommands::PlayArchived);
        connect(m_view, &ArchiveView::settingsRequested, this, &ArchiveCommands::OnSettings);
    }
    const ArchivePlace& place = m_access->Place();
    m_view->ShowArchive(place.folder, place.catalogue);
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
}

void ArchiveCommands::PlayArchived(const QString& path, qint64 offsetMs) {
    if (!m_window.Navigator().OpenPath(path)) return;
    // The open is under way; the seek is taken once it is open, as after a dialog.
    if (offsetMs > 0) m_window.SeekToRecordingMs(offsetMs);
}

void ArchiveCommands::OnSettings() {
    ArchiveSettingsDlg dialog(m_settings.Archive(), m_view);
    if (!m_dialogs.RunArchiveSettingsDialog(dialog)) return;
    const ArchiveSettings settings = dialog.Settings();
    if (!m_settings.SetArchive(settings)) {
        m_dialogs.ShowMessage(Tr(texts::kSettingsUnwritable, ViewerSettings::Path().c_str()));
        return;
    }
    m_access->SetPlace({settings.Folder(), settings.Catalogue()});
    if (m_view) m_view->ShowArchive(settings.Folder(), settings.Catalogue());
}
