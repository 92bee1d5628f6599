#include "app/archive/ArchiveAccess.h"

#include <utility>

ArchiveAccess::ArchiveAccess(ArchivePlace archive, QObject* parent)
    : QObject(parent), m_place(std::move(archive)), m_job(this), m_bookmarkJob(this) {}

void ArchiveAccess::CountNew(const QString& card) {
    m_job.Start([this, card, folder = m_place](JobContext& job) {
        const NewOnCard found = CountNewOnCard(card.toStdString(), folder);
        if (found.count < 0) return;
        job.Post([this, card, found] {
            emit newFound(card, found.count, static_cast<qulonglong>(found.bytes));
        });
    });
}

void ArchiveAccess::Import(const QString& card) {
    m_job.Start([this, card, folder = m_place](JobContext& job) {
        const CardImportSummary summary = ImportCardIntoArchive(
            card.toStdString(), folder, job.CancelFlag(), [this, job](int done, int total) {
                job.Post([this, done, total] { emit importProgress(done, total); });
            });
        job.Post([this, card, summary] { emit importFinished(card, summary); });
    });
}

void ArchiveAccess::Bookmark(const QString& file, qint64 offsetMs, const QString& note) {
    m_bookmarkJob.Start([this, file, offsetMs, note, folder = m_place](JobContext& job) {
        std::string error;
        const BookmarkResult result =
            BookmarkRecording(file.toStdString(), folder, offsetMs, note.toStdString(), &error);
        job.Post([this, offsetMs, result, error] {
            emit bookmarked(offsetMs, result, QString::fromStdString(error));
        });
    });
}

void ArchiveAccess::Cancel() {
    m_job.Cancel();
}
