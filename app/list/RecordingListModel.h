#pragma once
// The recordings of a category as rows, or, in the trips view, the trips of a category whose
// rows expand into their recordings (in playing order). A row's file is model data (PathRole),
// not a cell; the marks a row carries (holds events, could not be opened) are roles that the
// view paints: an icon in the type column, a colour and a tool tip.
//
// A path leads to where it is listed (its row, or its trip and its place there) through a hash
// built in one pass when it is first asked after a change, so a result per listed recording
// (the event scan) costs O(1) to place.
//
// Threads: the GUI thread only.

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "library/RecordingCatalogue.h"
#include "library/TripCatalogue.h"

class RecordingListModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // The length column shows in the trips view only (a trip's and each recording's length).
    enum Column {
        kNameColumn,
        kTypeColumn,
        kDateColumn,
        kLengthColumn,
        kRearColumn,
        kSizeColumn,
        kColumnCount
    };
    enum Role {
        // The recording's file; a trip row: its first recording's.
        PathRole = Qt::UserRole + 1,
        // A trip row: its recordings' files in playing order; empty for any other row.
        TripPathsRole,
        // Driving events the recording holds (0: none found, or not scanned yet).
        EventCountRole,
        // The recording could not be opened; the mark stays until the list is refilled.
        UnplayableRole,
    };

    explicit RecordingListModel(QObject* parent = nullptr);

    void SetRecordings(const std::vector<CatalogueRow>& rows);
    void SetTrips(const std::vector<Trip>& trips);
    void Clear();
    bool IsTrips() const { return m_trips; }

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The file of top-level row `row`; empty outside the list.
    QString PathOf(int row) const;
    QStringList TripPathsOf(int row) const;
    // The first top-level row whose file is spelt path; -1 when there is none.
    int RowOf(const QString& path) const;
    // The first top-level row listing the existing file at path by any name (a link, another
    // spelling of its folder); -1 when there is none or the file does not exist.
    int RowOfFile(const QString& path) const;
    // Every recording listed, in list order: the rows, or in the trips view each trip's
    // recordings.
    QStringList RecordingPaths() const;
    // Marks the rows listing path (in the trips view: the recordings under their trips, and a
    // trip row sums its recordings' events and is unplayable when all of them are); false
    // when no row lists it (the list changed since).
    bool MarkEvents(const QString& path, int count);
    bool MarkUnplayable(const QString& path, const QString& reason);
    // A recording cut short by a power loss: marked with where it ends.
    bool MarkEndsEarly(const QString& path, int64_t endsAtMs);
    // A file cut while it played: the note says where it now ends, the size cell what it holds.
    bool MarkCutShort(const QString& path, int64_t endsAtMs, int64_t sizeBytes);
    static QString CutShortText(int64_t endsAtMs);
    // "Recording ends early at 0:30 (power loss?)" for a recording so marked; empty otherwise.
    QString EndsEarlyNote(const QString& path) const;
    static QString EndsEarlyText(int64_t endsAtMs);
    bool IsUnplayable(int row) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Top-level rows by a column's text; a trip keeps its recordings in playing order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

private:
    struct Entry {
        std::array<QString, kColumnCount> cells;
        int64_t lengthMs = 0;  // what the length cell says, for sorting
        QString path;
        QString dateTip;  // a trip and its recordings: which files they are
        QStringList tripPaths;
        std::vector<Entry> children;
        int eventCount = 0;
        bool unplayable = false;
        int unplayableCount = 0;  // a trip: how many of its recordings are unplayable
        QString unplayableReason;
        QString endsEarly;  // the note of a recording cut short; empty otherwise
    };

    // Where a recording is listed: a row (child -1) or a trip's recording.
    struct Place {
        int row;
        int child;
    };
    const Entry* EntryOf(const QModelIndex& index) const;
    const QList<Place>& PlacesOf(const QString& path) const;
    // Applies mark to each entry listing path, then sums each trip marked from its recordings.
    template <typename Mark>
    bool MarkPlaces(const QString& path, Mark mark);
    void SumTrip(Entry& trip) const;
    // Keeps a trip's sums after one of its recordings changed from `before`: a trip may hold
    // thousands, each marked as the scan reaches it.
    void UpdateTrip(Entry& trip, const Entry& before, const Entry& after) const;
    QVariant ToolTip(const Entry& entry, int column) const;
    void ChangedRow(int row);
    void Invalidate() { m_placesStale = true; }

    std::vector<Entry> m_rows;
    bool m_trips = false;
    // Where each recording is listed, in row order; rebuilt by PlacesOf after a change.
    mutable QHash<QString, QList<Place>> m_placesOfPath;
    mutable bool m_placesStale = true;
};
