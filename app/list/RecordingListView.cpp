#include "app/list/RecordingListView.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "app/list/EventScanner.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

using Model = RecordingListModel;

// The visible columns add up to 304 pixels in both languages and both views, so a 320-pixel
// list with its border and vertical scroll bar never needs a horizontal one. The name column
// is never shown (width 0); the date column takes whatever width the list has beyond that.
// The type column holds "MAN" beside a recording's event mark.
constexpr int kRecordingWidths[Model::kColumnCount] = {0, 54, 124, 0, 40, 86};
// The trips view: the expand mark and the indent sit in the type column, the length has its
// own column and the rear column holds the number of recordings ("#").
constexpr int kTripWidths[Model::kColumnCount] = {0, 52, 118, 44, 26, 64};
constexpr int kTripIndent = 12;
// Marks in the rows (a recording holding events) stay within the 18-pixel row.
constexpr int kListIconSize = 11;

}  // namespace

RecordingListView::RecordingListView(QWidget* parent)
    : QTreeView(parent), m_model(new RecordingListModel(this)), m_scanner(new EventScanner(this)) {
    setModel(m_model);
    CreateColumns();
    ApplyStyle();
    CreatePlaceholder();
    ApplyMode();
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { ApplyMode(); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { Activate(index); });
    // A result for a recording no longer listed (the list changed since the scan started)
    // marks nothing.
    connect(m_scanner, &EventScanner::found, this, [this](const QString& path, int count) {
        if (count > 0) m_model->MarkEvents(path, count);
    });
    connect(m_scanner, &EventScanner::endsEarly, this, [this](const QString& path, qint64 ms) {
        if (m_model->MarkEndsEarly(path, ms)) emit endsEarly(path, m_model->EndsEarlyNote(path));
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowMenu(at); });
}

void RecordingListView::CreateColumns() {
    QHeaderView* head = header();
    head->setStretchLastSection(false);
    head->setSectionsMovable(false);
    head->setSectionsClickable(false);
    head->setSectionResizeMode(QHeaderView::Fixed);
    head->setSectionResizeMode(Model::kDateColumn, QHeaderView::Stretch);
    head->setMinimumSectionSize(0);
    setColumnHidden(Model::kNameColumn, true);
    head->setEnabled(false);
}

void RecordingListView::ApplyStyle() {
    setUniformRowHeights(true);
    setIconSize(QSize(kListIconSize, kListIconSize));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);  // a double click plays
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // White rows on black; the selection stays visible when the list loses the focus.
    setStyleSheet(QStringLiteral(
        "QTreeView { background-color: #000000; color: #ffffff; border: 1px solid #3a414b;"
        "  selection-background-color: #f5a524; selection-color: #000000; font-size: 11px; }"
        "QTreeView::item { height: 18px; }"
        "QTreeView::item:selected { background-color: #f5a524; color: #000000; }"
        "QHeaderView { background-color: #20262e; border: 0; }"  // also beside the last column
        "QHeaderView::section { background-color: #20262e; color: #c9d1d9; border: 0;"
        "  border-right: 1px solid #3a414b; padding: 2px; font-size: 11px; }"
        "QScrollBar:vertical { background: #181d23; width: 10px; }"
        "QScrollBar::handle:vertical { background: #3a414b; min-height: 20px; border-radius: 4px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar:horizontal { background: #181d23; height: 10px; }"
        "QScrollBar::handle:horizontal { background: #3a414b; min-width: 20px; border-radius: 4px; "
        "}"
        "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; }"));
}

void RecordingListView::CreatePlaceholder() {
    m_placeholder = new QLabel(viewport());
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->setStyleSheet(
        QStringLiteral("QLabel { color: #8b949e; background: transparent; font-size: 12px; }"));
    auto* layout = new QVBoxLayout(viewport());
    layout->addWidget(m_placeholder);
    // Tied to the placeholder, which the view destroys before its model: the model going away
    // with the view reaches nobody.
    const auto update = [this] { UpdatePlaceholder(); };
    connect(m_model, &QAbstractItemModel::rowsInserted, m_placeholder, update);
    connect(m_model, &QAbstractItemModel::rowsRemoved, m_placeholder, update);
    connect(m_model, &QAbstractItemModel::modelReset, m_placeholder, update);
    UpdatePlaceholder();
}

void RecordingListView::ApplyMode() {
    const bool trips = m_model->IsTrips();
    setRootIsDecorated(trips);
    setItemsExpandable(trips);
    setIndentation(kTripIndent);
    setTreePosition(trips ? Model::kTypeColumn : 0);
    const int* widths = trips ? kTripWidths : kRecordingWidths;
    for (int column = Model::kTypeColumn; column < Model::kColumnCount; ++column)
        setColumnWidth(column, widths[column]);
    setColumnHidden(Model::kLengthColumn, !trips);
}

void RecordingListView::ShowRecordings(const std::vector<CatalogueRow>& rows) {
    m_model->SetRecordings(rows);
    SelectFirstRow();
}

void RecordingListView::ShowTrips(const std::vector<Trip>& trips) {
    m_scanner->Stop();
    m_model->SetTrips(trips);
    SelectFirstRow();
}

void RecordingListView::Clear() {
    m_scanner->Stop();
    m_model->Clear();
}

void RecordingListView::ScanEvents(const EventThresholds& thresholds) {
    std::vector<std::string> paths;
    for (const QString& path : m_model->RecordingPaths()) paths.push_back(path.toStdString());
    m_scanner->Start(std::move(paths), thresholds);
}

void RecordingListView::SelectFirstRow() {
    const QModelIndex first = m_model->index(0, 0);
    if (first.isValid())
        selectionModel()->setCurrentIndex(
            first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    viewport()->update();
}

// ---- selection ----

bool RecordingListView::HasSelection() const {
    return selectionModel()->hasSelection();
}

int RecordingListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().parent().isValid()) return -1;
    return rows.first().row();
}

bool RecordingListView::SelectedTripRecording(int* row, int* index) const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty() || !rows.first().parent().isValid()) return false;
    *row = rows.first().parent().row();
    *index = rows.first().row();
    return true;
}

void RecordingListView::SelectOnly(int row, bool focus) {
    const QModelIndex index = m_model->index(row, 0);
    selectionModel()->clearSelection();
    if (!index.isValid()) return;
    selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (focus) selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

bool RecordingListView::SelectTripRecording(int row, int index) {
    const QModelIndex trip = m_model->index(row, 0);
    if (!trip.isValid() || !isExpanded(trip)) return false;
    const QModelIndex recording = m_model->index(index, 0, trip);
    if (!recording.isValid()) return false;
    selectionModel()->select(recording,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(recording, QItemSelectionModel::NoUpdate);
    scrollTo(recording);
    return true;
}

bool RecordingListView::IsRowExpanded(int row) const {
    const QModelIndex index = m_model->index(row, 0);
    return index.isValid() && isExpanded(index);
}

void RecordingListView::ScrollToRow(int row) {
    const QModelIndex index = m_model->index(row, 0);
    if (index.isValid()) scrollTo(index, QAbstractItemView::EnsureVisible);
}

// ---- what the user asks ----

void RecordingListView::Activate(const QModelIndex& index) {
    if (!index.isValid()) return;
    if (index.parent().isValid())
        emit tripRecordingActivated(index.parent().row(), index.row());
    else
        emit rowActivated(index.row());
}

bool RecordingListView::HandleKey(int qtKey) {
    if (!hasFocus()) return false;
    const QModelIndexList selected = selectionModel()->selectedRows();
    const QModelIndex current = selected.isEmpty() ? QModelIndex() : selected.first();
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Activate(current);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            break;
        default:
            return false;
    }
    // The rows shown: a trip's recordings count when it is expanded. At either end the
    // selection stays where it is.
    const QModelIndex target = !current.isValid()      ? m_model->index(0, 0)
                               : qtKey == Qt::Key_Down ? indexBelow(current)
                                                       : indexAbove(current);
    if (!target.isValid()) return true;
    selectionModel()->select(target,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    scrollTo(target);
    return true;
}

void RecordingListView::ShowMenu(const QPoint& at) {
    QMenu menu(this);
    FillMenu(menu, at);
    menu.exec(viewport()->mapToGlobal(at));
}

void RecordingListView::FillMenu(QMenu& menu, const QPoint& at) {
    menu.addAction(m_model->IsTrips() ? Tr(texts::kShowRecordings) : Tr(texts::kShowTrips), this,
                   [this] { emit tripsToggleRequested(); });
    // A recording cut short by a power loss (not a trip row, which stands for several).
    const QModelIndex index = indexAt(at);
    const bool tripRow = m_model->IsTrips() && !index.parent().isValid();
    const QString path = index.data(RecordingListModel::PathRole).toString();
    if (!tripRow && !path.isEmpty() && !m_model->EndsEarlyNote(path).isEmpty())
        menu.addAction(Tr(texts::kRepair), this, [this, path] { emit repairRequested(path); });
    menu.addSeparator();
    menu.addAction(Tr(texts::kRecoverTitle), this, [this] { emit recoverRequested(); });
    menu.addAction(Tr(texts::kArchive), this, [this] { emit archiveRequested(); });
}

// ---- the placeholder ----

void RecordingListView::SetPlaceholderText(const QString& text) {
    m_placeholder->setText(text);
    UpdatePlaceholder();
}

QString RecordingListView::PlaceholderText() const {
    return m_placeholder->text();
}

bool RecordingListView::IsPlaceholderShown() const {
    return !m_placeholder->isHidden();
}

void RecordingListView::UpdatePlaceholder() {
    m_placeholder->setVisible(m_model->RowCount() == 0);
}
