#pragma once
// The archive on the PC as the window offers it: the offer to import a card's new recordings
// when it is mounted (or the import itself, or nothing: the archive_import setting), the
// import's strip, the import a format may ask for first, B's bookmark of the moment on
// screen, and the Archive view (H) with its settings.
//
// GUI thread only; the catalogue's work runs on ArchiveAccess's threads.

#include <QObject>
#include <QString>
#include <string>

#include "app/jobs/BackgroundJob.h"

class ArchiveAccess;
class ArchiveImportBar;
class ArchiveView;
class CSamplePlayerDlg;
class CardInsertWatcher;
class ViewerSettings;
class WindowDialogs;
struct CardImportSummary;
enum class BookmarkResult;

class ArchiveCommands : public QObject {
    Q_OBJECT
public:
    ArchiveCommands(CSamplePlayerDlg& window, ViewerSettings& settings, WindowDialogs& dialogs);

    // A volume was mounted: when it is a dashcam card with recordings the archive lacks, the
    // import is offered (or run, or nothing, as the settings say).
    void OnVolumeMounted(const QString& mountPoint);
    // Imports the card's recordings missing from the archive, a busy bar over parent meanwhile.
    void ImportBeforeFormat(const std::string& drive, QWidget* parent);
    // B: bookmarks the moment on screen in the archive, with a note the user gives.
    void Bookmark();
    // Made when first asked for; null until then.
    void OpenView();
    ArchiveView* View() const { return m_view; }
    ArchiveImportBar* ImportBar() const { return m_importBar; }
    ArchiveAccess& Access() const { return *m_access; }

private:
    void StartImport(const QString& card);
    void OnImportFinished(const CardImportSummary& summary);
    void OnBookmarked(qint64 offsetMs, BookmarkResult result, const QString& error);
    // Plays an archived recording from offsetMs, listed in its own folder as a dropped file is.
    void PlayArchived(const QString& path, qint64 offsetMs);
    void OnSettings();

    CSamplePlayerDlg& m_window;
    ViewerSettings& m_settings;
    WindowDialogs& m_dialogs;
    ArchiveAccess* m_access = nullptr;           // child
    ArchiveImportBar* m_importBar = nullptr;     // child of the window
    CardInsertWatcher* m_cardWatcher = nullptr;  // child
    ArchiveView* m_view = nullptr;               // child window of the window, made when opened
    BackgroundJob m_job;                         // an import before a format
};
