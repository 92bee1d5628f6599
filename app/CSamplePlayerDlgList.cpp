// The recording list: columns, colours, the category commands and row selection.
#include <QHeaderView>
#include <QTreeWidget>

#include "app/CSamplePlayerDlg.h"
#include "app/Resource.h"
#include "library/CardRoot.h"
#include "support/StringTable.h"

namespace {

constexpr int kPathColumn = 5;

struct Column {
    int koId, enId;
    int koWidth, enWidth;
    Qt::Alignment alignment;
};
const Column kColumns[] = {
    {IDS_COL_FILENAME_KO, IDS_COL_FILENAME_EN, 0, 0, Qt::AlignLeft},
    {IDS_COL_TYPE_KO, IDS_COL_TYPE_EN, 40, 60, Qt::AlignHCenter},
    {IDS_COL_DATE_KO, IDS_COL_DATE_EN, 130, 180, Qt::AlignHCenter},
    {IDS_COL_REAR_KO, IDS_COL_REAR_EN, 40, 60, Qt::AlignHCenter},
    {IDS_COL_SIZE_KO, IDS_COL_SIZE_EN, 90, 90, Qt::AlignHCenter},
    {IDS_COL_PATH_KO, IDS_COL_PATH_EN, 0, 0, Qt::AlignHCenter},
};

}  // namespace

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
    m_listFilename->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listFilename->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listFilename->setAllColumnsShowFocus(true);
    m_listFilename->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listFilename->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // White rows on black; the selection stays visible when the list loses the focus.
    m_listFilename->setStyleSheet(QStringLiteral(
        "QTreeWidget { background-color: #000000; color: #ffffff; border: 1px solid #3a414b;"
        "  selection-background-color: #f5a524; selection-color: #000000; font-size: 11px; }"
        "QTreeWidget::item { height: 18px; }"
        "QTreeWidget::item:selected { background-color: #f5a524; color: #000000; }"
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
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(row.fileName), QString::fromStdString(row.type),
                        QString::fromStdString(row.date), QString::fromStdString(row.rear),
                        QString::fromStdString(row.size), QString::fromStdString(row.path)});
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
    std::vector<CatalogueRow> rows;
    m_listFilename->clear();
    const bool listed = ListCatalogue(CardRoot(m_strDrivePath), view, rows, &m_strFolderPath);
    if (!listed) {
        m_strDrivePath.clear();
        ShowMessage(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_NO_BLACKBOX_KO, IDS_NO_BLACKBOX_EN))));
        return;
    }
    FillList(rows);
    if (QTreeWidgetItem* first = m_listFilename->topLevelItem(0)) {
        m_listFilename->setCurrentItem(first);
        first->setSelected(true);
    }
    m_listFilename->viewport()->update();
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
