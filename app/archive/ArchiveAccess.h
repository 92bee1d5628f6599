#pragma once
// The window's one door to the PC's archive: runs the archive's work for a card (counting its
// new recordings, importing them) on a BackgroundJob and delivers the results as signals on
// the GUI thread. One piece of work at a time; a new one replaces the one running.
//
// GUI thread only.

#include <QObject>
#include <QString>
#include <string>

#include "app/archive/ArchiveCardWork.h"
#include "app/jobs/BackgroundJob.h"

class ArchiveAccess : public QObject {
    Q_OBJECT
public:
    explicit ArchiveAccess(ArchivePlace archive, QObject* parent = nullptr);

    const std::string& Folder() const { return m_place.folder; }
    const ArchivePlace& Place() const { return m_place; }
    // Another archive from now on (the settings changed); work running goes on with the old.
    void SetPlace(ArchivePlace archive) { m_place = std::move(archive); }
    // Counts the card's recordings the archive lacks: newFound, or nothing on failure.
    void CountNew(const QString& card);
    // Imports them: importProgress now and then, importFinished at the end.
    void Import(const QString& card);
    // Stops the import before its next recording; nothing more of it is delivered.
    void Cancel();
    // Bookmarks a moment of a recording (see BookmarkRecording): bookmarked at the end. Runs
    // beside an import.
    void Bookmark(const QString& file, qint64 offsetMs, const QString& note);
    bool IsBusy() const { return m_job.IsRunning(); }

signals:
    void newFound(const QString& card, int count, qulonglong bytes);
    void importProgress(int done, int total);
    void importFinished(const QString& card, const CardImportSummary& summary);
    void bookmarked(qint64 offsetMs, BookmarkResult result, const QString& error);

private:
    ArchivePlace m_place;
    BackgroundJob m_job;
    BackgroundJob m_bookmarkJob;
};
