// The recording list: columns, colours, the category commands and row selection.
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "app/CSamplePlayerDlg.h"
#include "app/ListPathIndex.h"
#include "app/QtNoteLabel.h"
#include "app/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "library/CardRoot.h"
#include "support/StringTable.h"

namespace {

constexpr int kPathColumn = 5;
// Sizes are listed in units of 1024 bytes; the cell says so.
constexpr const char* kSizeUnit = " KB";
// Marks in the rows (a recording holding events) stay within the 18-pixel row.
constexpr int kListIconSize = 11;

struct Column {
    int koId, enId;
    int koWidth, enWidth;
    Qt::Alignment alignment;
};
const Column kColumns[] = {
    {IDS_COL_FILENAME_KO, IDS_COL_FILENAME_EN, 0, 0, Qt::AlignLeft},
    // The visible columns add up to 304 pixels in both languages, so a 320-pixel list with its
    // border and vertical scroll bar never needs a horizontal one.
    {IDS_COL_TYPE_KO, IDS_COL_TYPE_EN, 44, 44, Qt::AlignHCenter},
    {IDS_COL_DATE_KO, IDS_COL_DATE_EN, 132, 132, Qt::AlignHCenter},
    {IDS_COL_REAR_KO, IDS_COL_REAR_EN, 40, 40, Qt::AlignHCenter},
    {IDS_COL_SIZE_KO, IDS_COL_SIZE_EN, 88, 88, Qt::AlignHCenter},
    {IDS_COL_PATH_KO, IDS_COL_PATH_EN, 0, 0, Qt::AlignHCenter},
};

// The trips view: the expand mark and the indent sit in the type column, the date cell also
// holds the trip's length, the rear column holds the number of recordings ("#") and sizes
// have no unit; the total stays 304 pixels.
constexpr int kTypeColumn = 1, kDateColumn = 2, kRearColumn = 3, kSizeColumn = 4;
constexpr int kTripWidths[] = {0, 52, 166, 28, 58, 0};
constexpr int kTripIndent = 12;
constexpr int IDS_TRIP_COUNT_HEADING_KO = 722, IDS_TRIP_COUNT_HEADING_EN = 723;

}  // namespace

void CSamplePlayerDlg::SetListTreeMode(bool trips) {
    m_listFilename->setRootIsDecorated(trips);
    m_listFilename->setItemsExpandable(trips);
    m_listFilename->setExpandsOnDoubleClick(false);  // a double click plays
    m_listFilename->setIndentation(kTripIndent);
    m_listFilename->setTreePosition(trips ? kTypeColumn : 0);
    const bool korean = IsKoreanUi();
    for (int column : {kTypeColumn, kDateColumn, kRearColumn, kSizeColumn}) {
        const Column& normal = kColumns[column];
        m_listFilename->setColumnWidth(
            column, trips ? kTripWidths[column] : (korean ? normal.koWidth : normal.enWidth));
    }
    const Column& rear = kColumns[kRearColumn];
    m_listFilename->headerItem()->setText(
        kRearColumn, QString::fromStdString(FormatResourceString(
                         trips ? PickStringId(IDS_TRIP_COUNT_HEADING_KO, IDS_TRIP_COUNT_HEADING_EN)
                               : PickStringId(rear.koId, rear.enId))));
}

void CSamplePlayerDlg::CreateListColumns() {
    QStringList headings;
    for (const Column& column : kColumns) {
        headings << QString::fromStdString(
            FormatResourceString(PickStringId(column.koId, column.enId)));
    }
    m_listFilename->setColumnCount(static_cast<int>(std::size(kColumns)));
    m_listFilename->setHeaderLabels(headings);
    QHeaderView* header = m_listFilename->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(0);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        const Column& column = kColumns[i];
        const int width = IsKoreanUi() ? column.koWidth : column.enWidth;
        m_listFilename->setColumnWidth(i, width);
        m_listFilename->setColumnHidden(i, width == 0);
        m_listFilename->headerItem()->setTextAlignment(i, column.alignment | Qt::AlignVCenter);
    }
    header->setEnabled(false);
}

void CSamplePlayerDlg::StyleList() {
    m_listFilename->setRootIsDecorated(false);
    m_listFilename->setItemsExpandable(false);
    m_listFilename->setUniformRowHeights(true);
    m_listFilename->setIconSize(QSize(kListIconSize, kListIconSize));
    m_listFilename->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listFilename->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listFilename->setAllColumnsShowFocus(true);
    m_listFilename->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pListIndex = new ListPathIndex(m_listFilename->model(), kPathColumn);
    m_listFilename->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // What an empty list means: no card yet, or a category without recordings.
    m_pListPlaceholder = new QLabel(m_listFilename->viewport());
    m_pListPlaceholder->setAlignment(Qt::AlignCenter);
    m_pListPlaceholder->setWordWrap(true);
    m_pListPlaceholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pListPlaceholder->setStyleSheet(
        QStringLiteral("QLabel { color: #8b949e; background: transparent; font-size: 12px; }"));
    auto* placeholderLayout = new QVBoxLayout(m_listFilename->viewport());
    placeholderLayout->addWidget(m_pListPlaceholder);
    // Tied to the placeholder, which the list destroys before its model: the model's last
    // reset, while the list is being torn down, reaches nobody.
    QAbstractItemModel* model = m_listFilename->model();
    auto update = [this] { UpdateListPlaceholder(); };
    connect(model, &QAbstractItemModel::rowsInserted, m_pListPlaceholder, update);
    connect(model, &QAbstractItemModel::rowsRemoved, m_pListPlaceholder, update);
    connect(model, &QAbstractItemModel::modelReset, m_pListPlaceholder, update);
    UpdateListPlaceholder();
    // White rows on black; the selection stays visible when the list loses the focus.
    m_listFilename->setStyleSheet(QStringLiteral(
        "QTreeWidget { background-color: #000000; color: #ffffff; border: 1px solid #3a414b;"
        "  selection-background-color: #f5a524; selection-color: #000000; font-size: 11px; }"
        "QTreeWidget::item { height: 18px; }"
        "QTreeWidget::item:selected { background-color: #f5a524; color: #000000; }"
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

std::string CSamplePlayerDlg::PathCell(int row) const {
    const QTreeWidgetItem* item = m_listFilename->topLevelItem(row);
    return item ? item->text(kPathColumn).toStdString() : std::string();
}

void CSamplePlayerDlg::SelectOnly(int row, bool focus) {
    QTreeWidgetItem* item = m_listFilename->topLevelItem(row);
    m_listFilename->clearSelection();
    if (!item) return;
    item->setSelected(true);
    if (focus) {
        m_listFilename->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    }
}

void CSamplePlayerDlg::FillList(const std::vector<CatalogueRow>& rows) {
    m_listFilename->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(rows.size()));
    for (const CatalogueRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{
            QString::fromStdString(row.fileName), QString::fromStdString(row.type),
            QString::fromStdString(row.date), QString::fromStdString(row.rear),
            QString::fromStdString(row.size + kSizeUnit), QString::fromStdString(row.path)});
        for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
            item->setTextAlignment(i, kColumns[i].alignment | Qt::AlignVCenter);
        }
        items.push_back(item);
    }
    m_listFilename->addTopLevelItems(items);
    m_listFilename->setUpdatesEnabled(true);
    StartEventScan();
}

void CSamplePlayerDlg::ShowCategory(CatalogueView view) {
    static const std::map<CatalogueView, int> kButtonOf = {
        {CatalogueView::Driving, IDC_BUTTON_DRIVING},
        {CatalogueView::Event, IDC_BUTTON_EVENT},
        {CatalogueView::Parking, IDC_BUTTON_PARKING},
        {CatalogueView::User, IDC_BUTTON_USER},
        {CatalogueView::All, IDC_BUTTON_ALL}};
    // Without a chosen card the buttons show the card used last, when it is there again.
    if (m_strDrivePath.empty() && HasCardLayout(CardRoot(m_strLastCard))) {
        m_strDrivePath = m_strLastCard;
    }
    m_listFilename->clear();
    m_bLooseFolder = false;
    if (m_strDrivePath.empty()) {
        MarkCategoryButton(0);
        UpdateListPlaceholder();
        ShowNote(ListPlaceholderText(), true);
        return;
    }
    std::vector<CatalogueRow> rows;
    const bool listed = ListCatalogue(CardRoot(m_strDrivePath), view, rows, &m_strFolderPath);
    if (!listed) {
        if (m_strDrivePath == m_strLastCard) m_bCardLost = true;
        m_strDrivePath.clear();
        MarkCategoryButton(0);
        UpdateListPlaceholder();
        ShowMessage(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_NO_BLACKBOX_KO, IDS_NO_BLACKBOX_EN))));
        return;
    }
    m_strLastCard = m_strDrivePath;
    m_bCardLost = false;
    MarkCategoryButton(kButtonOf.at(view));
    if (m_pNote && m_pNote->text() == ListPlaceholderText()) m_pNote->hide();
    FillList(rows);
    if (QTreeWidgetItem* first = m_listFilename->topLevelItem(0)) {
        m_listFilename->setCurrentItem(first);
        first->setSelected(true);
    }
    UpdateListPlaceholder();
    m_listFilename->viewport()->update();
}

void CSamplePlayerDlg::MarkCategoryButton(int controlId) {
    for (int id : {IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT, IDC_BUTTON_PARKING, IDC_BUTTON_USER,
                   IDC_BUTTON_ALL}) {
        auto* button = static_cast<CBitmapButtonTrans*>(GetDlgItem(id));
        button->setCheckable(true);
        button->setChecked(id == controlId);
    }
}

QString CSamplePlayerDlg::ListPlaceholderText() const {
    const bool noCard = m_strDrivePath.empty() && !m_bLooseFolder;
    return QString::fromStdString(
        FormatResourceString(noCard ? PickStringId(IDS_INSERT_CARD_KO, IDS_INSERT_CARD_EN)
                                    : PickStringId(IDS_NO_RECORDINGS_KO, IDS_NO_RECORDINGS_EN)));
}

void CSamplePlayerDlg::UpdateListPlaceholder() {
    if (!m_pListPlaceholder) return;
    m_pListPlaceholder->setText(ListPlaceholderText());
    m_pListPlaceholder->setVisible(m_listFilename->topLevelItemCount() == 0);
}

bool CSamplePlayerDlg::HandleListKey(int key) {
    if (!m_listFilename->hasFocus()) return false;
    if (key == Qt::Key_Enter) key = Qt::Key_Return;
    if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Return) return false;
    if (m_bTripsView) return HandleTripListKey(key);
    const int rows = m_listFilename->topLevelItemCount();
    const QList<QTreeWidgetItem*> selected = m_listFilename->selectedItems();
    const int row = selected.isEmpty() ? -1 : m_listFilename->indexOfTopLevelItem(selected.first());
    if (key == Qt::Key_Return) {
        if (row >= 0) OnListDoubleClick(row);
        return true;
    }
    if (rows == 0) return true;
    const int step = key == Qt::Key_Down ? 1 : -1;
    const int target = row < 0 ? 0 : std::clamp(row + step, 0, rows - 1);
    SelectOnly(target, true);
    m_listFilename->scrollToItem(m_listFilename->topLevelItem(target));
    return true;
}

// In the trips view Up and Down walk the rows shown, a trip's recordings too when it is
// expanded; Return plays the trip, or the trip from the recording selected.
bool CSamplePlayerDlg::HandleTripListKey(int key) {
    const QList<QTreeWidgetItem*> selected = m_listFilename->selectedItems();
    QTreeWidgetItem* current = selected.isEmpty() ? nullptr : selected.first();
    if (key == Qt::Key_Return) {
        if (current && current->parent())
            OnTripRecordingDoubleClick(current);
        else if (current)
            OnListDoubleClick(m_listFilename->indexOfTopLevelItem(current));
        return true;
    }
    QTreeWidgetItem* target = !current              ? m_listFilename->topLevelItem(0)
                              : key == Qt::Key_Down ? m_listFilename->itemBelow(current)
                                                    : m_listFilename->itemAbove(current);
    if (!target) return true;
    m_listFilename->clearSelection();
    target->setSelected(true);
    m_listFilename->setCurrentItem(target, 0, QItemSelectionModel::NoUpdate);
    m_listFilename->scrollToItem(target);
    return true;
}

void CSamplePlayerDlg::OnBnClickedButtonDriving() {
    ShowCategory(CatalogueView::Driving);
}
void CSamplePlayerDlg::OnBnClickedButtonEvent() {
    ShowCategory(CatalogueView::Event);
}
void CSamplePlayerDlg::OnBnClickedButtonParking() {
    ShowCategory(CatalogueView::Parking);
}
void CSamplePlayerDlg::OnBnClickedButtonUser() {
    ShowCategory(CatalogueView::User);
}
void CSamplePlayerDlg::OnBnClickedButtonAll() {
    ShowCategory(CatalogueView::All);
}
