#include "app/list/RecordingListModel.h"

#include <QColor>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/list/UnplayableNotes.h"
#include "app/window/Resource.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

// Sizes are listed in units of 1024 bytes; the cell says so (a trip's size has no unit).
constexpr const char* kSizeUnit = " KB";
// "2014.03.07 18:25:09": where the time of day starts.
constexpr int kTimeOfDayAt = 11;
// A child index carries its trip's row plus one; a top-level index carries this.
constexpr quintptr kTopLevel = 0;
constexpr int64_t kMsPerSec = 1000;
constexpr int kSecPerHour = 3600;
// The length cell of a file whose header cannot be read.
constexpr QChar kNoLength(0x2013);

const TextId kHeadings[RecordingListModel::kColumnCount] = {
    texts::kColFilename, texts::kColType, texts::kColDate,
    texts::kColLength,   texts::kColRear, texts::kColSize,
};

const QColor kUnplayableColour(0xff, 0x6b, 0x6b);
const QColor kEndsEarlyColour(0xf5, 0xa5, 0x24);  // amber: plays, but not to its end
// The mark of a recording holding events: "!" on a red badge (the braking colour of the
// slider's marks), readable on the black rows and on the amber of the selected one.
constexpr int kEventMarkSize = 11;
const QColor kEventMarkBadge(229, 72, 77);
const QColor kEventMarkLine(255, 255, 255);

QString FormatLength(int64_t ms) {
    const int64_t s = ms / kMsPerSec;
    char text[32];
    if (s >= kSecPerHour)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld",
                      static_cast<long long>(s / kSecPerHour), static_cast<long long>(s / 60 % 60),
                      static_cast<long long>(s % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    return QString::fromLatin1(text);
}

// The red badge of a row holding events, with face drawn on it; the same on the selected
// row (no tint over the amber), at one and two device pixels a pixel.
QIcon EventBadge(const std::function<void(QPainter&)>& face) {
    QIcon made;
    for (int scale : {1, 2}) {
        QPixmap pixmap(kEventMarkSize * scale, kEventMarkSize * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kEventMarkBadge);
        painter.drawEllipse(QRectF(0, 0, kEventMarkSize, kEventMarkSize));
        face(painter);
        painter.end();
        made.addPixmap(pixmap, QIcon::Normal);
        made.addPixmap(pixmap, QIcon::Selected);
    }
    return made;
}

QIcon EventMarkIcon() {
    static const QIcon icon = EventBadge([](QPainter& painter) {
        // An exclamation mark, drawn as a stroke and a dot.
        const double middle = kEventMarkSize / 2.0;
        QPen pen(kEventMarkLine, 1.7);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(middle, 2.6), QPointF(middle, 6.0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(kEventMarkLine);
        painter.drawEllipse(QPointF(middle, 8.4), 0.95, 0.95);
    });
    return icon;
}

// The trips view's event mark: the badge with the count in it ("9+" past nine), so a trip
// says how many events it holds; it sits in the date column, where the trip view has room.
QIcon EventCountIcon(int count) {
    const QString text = count > 9 ? QStringLiteral("9+") : QString::number(count);
    return EventBadge([&text](QPainter& painter) {
        QFont font(QStringLiteral("Noto Sans"));
        font.setPixelSize(text.size() > 1 ? 7 : 9);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(kEventMarkLine);
        painter.drawText(QRectF(0, 0, kEventMarkSize, kEventMarkSize), Qt::AlignCenter, text);
    });
}

// The catalogue marks a recording with the rear camera "0"; the list shows a check mark.
QString RearMark(const std::string& cell) {
    return cell.empty() ? QString() : QStringLiteral("\u2713");
}

}  // namespace

RecordingListModel::RecordingListModel(QObject* parent) : QAbstractItemModel(parent) {}

void RecordingListModel::SetRecordings(const std::vector<CatalogueRow>& rows) {
    beginResetModel();
    m_trips = false;
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (const CatalogueRow& row : rows) {
        Entry entry;
        entry.cells = {QString::fromStdString(row.fileName),
                       QString::fromStdString(row.type),
                       QString::fromStdString(row.date),
                       QString(),
                       RearMark(row.rear),
                       QString::fromStdString(row.size + kSizeUnit)};
        entry.path = QString::fromStdString(row.path);
        m_rows.push_back(std::move(entry));
    }
    Invalidate();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, kRearColumn, kRearColumn);
}

void RecordingListModel::SetTrips(const std::vector<Trip>& trips) {
    beginResetModel();
    m_trips = true;
    m_rows.clear();
    const QString type = Tr(texts::kTrip);
    for (const Trip& trip : trips) {
        if (trip.recordings.empty()) continue;
        Entry entry;
        for (const TripRecording& r : trip.recordings) {
            const QString start = QString::fromStdString(FormatTripStart(r.startSec));
            // Under its trip a recording shows its time of day (the day is the trip's).
            const QString when = start.size() > kTimeOfDayAt ? start.mid(kTimeOfDayAt)
                                                             : QString::fromStdString(r.fileName);
            Entry child;
            child.path = QString::fromStdString(r.path);
            // A file whose header cannot be read has no length and will not play: marked
            // as the player would mark it, before anyone tries.
            child.unplayable = !r.opens;
            if (child.unplayable) child.unplayableReason = UnplayableNotes::ReasonText(r.path);
            child.cells = {QString::fromStdString(r.fileName),
                           QString::fromStdString(TypeCell(r.fileName)),
                           when,
                           r.opens ? FormatLength(r.durationMs) : QString(kNoLength),
                           QString(),
                           QString::fromStdString(SizeCell(r.sizeBytes) + kSizeUnit)};
            child.lengthMs = r.durationMs;
            child.dateTip = child.path;
            entry.tripPaths << child.path;
            entry.children.push_back(std::move(child));
        }
        entry.path = entry.tripPaths.front();
        entry.cells = {QString::fromStdString(trip.recordings.front().fileName),
                       type,
                       QString::fromStdString(FormatTripStart(trip.StartSec())),
                       FormatLength(trip.LengthMs()),
                       QString::number(trip.recordings.size()),
                       QString::fromStdString(SizeCell(trip.SizeBytes()) + kSizeUnit)};
        entry.lengthMs = trip.LengthMs();
        entry.dateTip = entry.tripPaths.join(QLatin1Char('\n'));
        SumTrip(entry);
        if (entry.unplayable) entry.cells[kLengthColumn] = kNoLength;
        m_rows.push_back(std::move(entry));
    }
    Invalidate();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, kRearColumn, kRearColumn);
}

void RecordingListModel::Clear() {
    beginResetModel();
    // An empty list is no trips view: what fills it next says which it is.
    m_trips = false;
    m_rows.clear();
    Invalidate();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, kRearColumn, kRearColumn);
}

QString RecordingListModel::PathOf(int row) const {
    return row >= 0 && row < RowCount() ? m_rows[static_cast<size_t>(row)].path : QString();
}

QStringList RecordingListModel::TripPathsOf(int row) const {
    return row >= 0 && row < RowCount() ? m_rows[static_cast<size_t>(row)].tripPaths
                                        : QStringList();
}

int RecordingListModel::RowOf(const QString& path) const {
    // A row's file is a recording's own, or in the trips view its first recording's.
    for (const Place& place : PlacesOf(path))
        if (place.child <= 0) return place.row;
    return -1;
}

int RecordingListModel::RowOfFile(const QString& path) const {
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty()) return -1;
    // The list's own spelling first; only a path named another way walks the rows.
    for (const QString& spelling : {path, wanted})
        if (const int row = RowOf(spelling); row >= 0) return row;
    for (int row = 0; row < RowCount(); ++row) {
        if (QFileInfo(m_rows[static_cast<size_t>(row)].path).canonicalFilePath() == wanted)
            return row;
    }
    return -1;
}

QStringList RecordingListModel::RecordingPaths() const {
    QStringList paths;
    for (const Entry& row : m_rows) {
        if (!m_trips) paths << row.path;
        for (const Entry& child : row.children) paths << child.path;
    }
    return paths;
}

const QList<RecordingListModel::Place>& RecordingListModel::PlacesOf(const QString& path) const {
    if (m_placesStale) {
        m_placesOfPath.clear();
        for (int row = 0; row < RowCount(); ++row) {
            const Entry& entry = m_rows[static_cast<size_t>(row)];
            if (!m_trips) m_placesOfPath[entry.path].append({row, -1});
            for (int child = 0; child < static_cast<int>(entry.children.size()); ++child)
                m_placesOfPath[entry.children[static_cast<size_t>(child)].path].append(
                    {row, child});
        }
        m_placesStale = false;
    }
    static const QList<Place> kNowhere;
    const auto found = m_placesOfPath.constFind(path);
    return found == m_placesOfPath.constEnd() ? kNowhere : *found;
}

template <typename Mark>
bool RecordingListModel::MarkPlaces(const QString& path, Mark mark) {
    const QList<Place>& places = PlacesOf(path);
    for (const Place& place : places) {
        Entry& row = m_rows[static_cast<size_t>(place.row)];
        if (place.child < 0) {
            mark(row);
            ChangedRow(place.row);
            continue;
        }
        Entry& recording = row.children[static_cast<size_t>(place.child)];
        Entry before;
        before.eventCount = recording.eventCount;
        before.unplayable = recording.unplayable;
        mark(recording);
        UpdateTrip(row, before, recording);
        const QModelIndex trip = index(place.row, 0);
        emit dataChanged(index(place.child, 0, trip), index(place.child, kColumnCount - 1, trip));
        ChangedRow(place.row);
    }
    return !places.isEmpty();
}

void RecordingListModel::SumTrip(Entry& trip) const {
    trip.eventCount = 0;
    trip.unplayableCount = 0;
    for (const Entry& recording : trip.children) {
        trip.eventCount += recording.eventCount;
        trip.unplayableCount += recording.unplayable ? 1 : 0;
    }
    UpdateTrip(trip, Entry(), Entry());
}

void RecordingListModel::UpdateTrip(Entry& trip, const Entry& before, const Entry& after) const {
    trip.eventCount += after.eventCount - before.eventCount;
    trip.unplayableCount += (after.unplayable ? 1 : 0) - (before.unplayable ? 1 : 0);
    trip.unplayable =
        !trip.children.empty() && trip.unplayableCount == static_cast<int>(trip.children.size());
    // The trip says why when none of it plays (the first recording's reason).
    trip.unplayableReason = trip.unplayable ? trip.children.front().unplayableReason : QString();
}

bool RecordingListModel::MarkEvents(const QString& path, int count) {
    return MarkPlaces(path, [count](Entry& entry) { entry.eventCount = count; });
}

bool RecordingListModel::MarkUnplayable(const QString& path, const QString& reason) {
    return MarkPlaces(path, [&reason](Entry& entry) {
        entry.unplayable = true;
        entry.unplayableReason = reason;
    });
}

bool RecordingListModel::MarkEndsEarly(const QString& path, int64_t endsAtMs) {
    const QString note = EndsEarlyText(endsAtMs);
    return MarkPlaces(path, [&note](Entry& entry) { entry.endsEarly = note; });
}

QString RecordingListModel::EndsEarlyNote(const QString& path) const {
    const QList<Place>& places = PlacesOf(path);
    if (places.isEmpty()) return {};
    const Entry& row = m_rows[static_cast<size_t>(places.front().row)];
    return places.front().child < 0
               ? row.endsEarly
               : row.children[static_cast<size_t>(places.front().child)].endsEarly;
}

namespace {

QString NoteAt(TextId text, int64_t atMs) {
    const int64_t seconds = std::max<int64_t>(atMs, 0) / 1000;
    const std::string at = std::to_string(seconds / 60) + ":" + (seconds % 60 < 10 ? "0" : "") +
                           std::to_string(seconds % 60);
    return Tr(text, at);
}

}  // namespace

QString RecordingListModel::EndsEarlyText(int64_t endsAtMs) {
    return NoteAt(texts::kEndsEarly, endsAtMs);
}

QString RecordingListModel::CutShortText(int64_t endsAtMs) {
    return NoteAt(texts::kCutShort, endsAtMs);
}

bool RecordingListModel::MarkCutShort(const QString& path, int64_t endsAtMs, int64_t sizeBytes) {
    const QString note = CutShortText(endsAtMs);
    const QString size = QString::fromStdString(
        SizeCell(static_cast<uint64_t>(std::max<int64_t>(sizeBytes, 0))) + kSizeUnit);
    return MarkPlaces(path, [&](Entry& entry) {
        entry.endsEarly = note;
        entry.cells[kSizeColumn] = size;
    });
}

bool RecordingListModel::IsUnplayable(int row) const {
    return row >= 0 && row < RowCount() && m_rows[static_cast<size_t>(row)].unplayable;
}

void RecordingListModel::ChangedRow(int row) {
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

// ---- QAbstractItemModel ----

QModelIndex RecordingListModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= kColumnCount || row < 0) return {};
    if (!parent.isValid())
        return row < RowCount() ? createIndex(row, column, kTopLevel) : QModelIndex();
    if (parent.internalId() != kTopLevel || parent.row() >= RowCount()) return {};
    const Entry& trip = m_rows[static_cast<size_t>(parent.row())];
    if (row >= static_cast<int>(trip.children.size())) return {};
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex RecordingListModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kTopLevel) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kTopLevel);
}

int RecordingListModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return RowCount();
    // Only a trip row (column 0 by the rules of tree models) has rows under it.
    if (parent.internalId() != kTopLevel || parent.column() != 0) return 0;
    const Entry* trip = EntryOf(parent);
    return trip ? static_cast<int>(trip->children.size()) : 0;
}

int RecordingListModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

const RecordingListModel::Entry* RecordingListModel::EntryOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return nullptr;
    if (index.internalId() == kTopLevel)
        return index.row() < RowCount() ? &m_rows[static_cast<size_t>(index.row())] : nullptr;
    const size_t tripRow = static_cast<size_t>(index.internalId() - 1);
    if (tripRow >= m_rows.size()) return nullptr;
    const std::vector<Entry>& children = m_rows[tripRow].children;
    return static_cast<size_t>(index.row()) < children.size()
               ? &children[static_cast<size_t>(index.row())]
               : nullptr;
}

QVariant RecordingListModel::ToolTip(const Entry& entry, int column) const {
    if (entry.unplayable) return entry.unplayableReason;
    if (!entry.endsEarly.isEmpty()) return entry.endsEarly;
    if (column == kRearColumn && !m_trips && !entry.cells[kRearColumn].isEmpty())
        return Tr(texts::kNameRear);
    const QString events = entry.eventCount <= 0   ? QString()
                           : entry.eventCount == 1 ? Tr(texts::kOneEvent)
                                                   : Tr(texts::kEventCount, entry.eventCount);
    if (column == kDateColumn && !entry.dateTip.isEmpty())
        return events.isEmpty() ? entry.dateTip : events + QLatin1Char('\n') + entry.dateTip;
    if (column == kTypeColumn || column == kDateColumn)
        return events.isEmpty() ? QVariant() : events;
    return {};
}

QVariant RecordingListModel::data(const QModelIndex& index, int role) const {
    const Entry* entry = EntryOf(index);
    if (!entry) return {};
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return entry->cells[static_cast<size_t>(column)];
        case Qt::TextAlignmentRole:
            return QVariant::fromValue((column == kNameColumn ? Qt::AlignLeft : Qt::AlignHCenter) |
                                       Qt::AlignVCenter);
        case Qt::ToolTipRole:
            return ToolTip(*entry, column);
        case Qt::AccessibleDescriptionRole:
            // The name column is hidden: a screen reader hears the file's name with the row's
            // first cell.
            return column == kTypeColumn ? QVariant(entry->cells[kNameColumn]) : QVariant();
        case Qt::ForegroundRole:
            if (entry->unplayable) return kUnplayableColour;
            return entry->endsEarly.isEmpty() ? QVariant() : QVariant(kEndsEarlyColour);
        case Qt::DecorationRole:
            if (entry->eventCount <= 0) return {};
            // The trips view's type column holds the expand mark and the indent already.
            if (m_trips)
                return column == kDateColumn ? QVariant(EventCountIcon(entry->eventCount))
                                             : QVariant();
            return column == kTypeColumn ? QVariant(EventMarkIcon()) : QVariant();
        case PathRole:
            return entry->path;
        case TripPathsRole:
            return entry->tripPaths;
        case EventCountRole:
            return entry->eventCount;
        case UnplayableRole:
            return entry->unplayable;
        default:
            return {};
    }
}

QVariant RecordingListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((section == kNameColumn ? Qt::AlignLeft : Qt::AlignHCenter) |
                                   Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    // The trips view counts a trip's recordings where the rear camera is shown otherwise.
    if (m_trips && section == kRearColumn) return Tr(texts::kTripCountHeading);
    return Tr(kHeadings[section]);
}

Qt::ItemFlags RecordingListModel::flags(const QModelIndex& index) const {
    if (!EntryOf(index)) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.internalId() != kTopLevel ||
        m_rows[static_cast<size_t>(index.row())].children.empty())
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

void RecordingListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount || m_rows.size() < 2) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // Where each row was, so indexes the views hold follow their rows.
    std::vector<int> rank(m_rows.size());
    for (size_t i = 0; i < rank.size(); ++i) rank[i] = static_cast<int>(i);
    const size_t c = static_cast<size_t>(column);
    std::stable_sort(rank.begin(), rank.end(), [&](int a, int b) {
        const Entry& first = m_rows[static_cast<size_t>(order == Qt::AscendingOrder ? a : b)];
        const Entry& second = m_rows[static_cast<size_t>(order == Qt::AscendingOrder ? b : a)];
        // Lengths by their time ("9:59" before "10:00"), the rest by their text.
        if (column == kLengthColumn) return first.lengthMs < second.lengthMs;
        return first.cells[c] < second.cells[c];
    });
    std::vector<Entry> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(m_rows.size());
    for (size_t i = 0; i < rank.size(); ++i) {
        newRowOf[static_cast<size_t>(rank[i])] = static_cast<int>(i);
        sorted.push_back(std::move(m_rows[static_cast<size_t>(rank[i])]));
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        if (old.internalId() == kTopLevel) {
            after << createIndex(newRowOf[static_cast<size_t>(old.row())], old.column(), kTopLevel);
        } else {
            const int trip = newRowOf[static_cast<size_t>(old.internalId() - 1)];
            after << createIndex(old.row(), old.column(), static_cast<quintptr>(trip) + 1);
        }
    }
    changePersistentIndexList(before, after);
    Invalidate();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool RecordingListModel::removeRows(int row, int count, const QModelIndex& parent) {
    // Recordings under a trip go with their trip only.
    if (parent.isValid() || row < 0 || count <= 0 || row + count > RowCount()) return false;
    // An index of a trip's recording carries its trip's row, which changes for the trips
    // below: a view holding one would follow the wrong trip, so trips are listed anew.
    const bool anew = m_trips;
    if (anew)
        beginResetModel();
    else
        beginRemoveRows({}, row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    Invalidate();
    if (anew)
        endResetModel();
    else
        endRemoveRows();
    return true;
}
