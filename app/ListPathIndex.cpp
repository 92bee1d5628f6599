#include "app/ListPathIndex.h"

#include <QAbstractItemModel>

ListPathIndex::ListPathIndex(QAbstractItemModel* model, int pathColumn)
    : QObject(model), m_model(model), m_pathColumn(pathColumn) {
    const auto stale = [this] { Invalidate(); };
    connect(model, &QAbstractItemModel::rowsInserted, this, stale);
    connect(model, &QAbstractItemModel::rowsRemoved, this, stale);
    connect(model, &QAbstractItemModel::rowsMoved, this, stale);
    connect(model, &QAbstractItemModel::modelReset, this, stale);
    connect(model, &QAbstractItemModel::layoutChanged, this, stale);
    // Marks, tool tips and colours change other cells (or other roles) all the time; only a
    // top-level path cell's text matters here.
    connect(
        model, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
               const QList<int>& roles) {
            if (topLeft.parent().isValid() || topLeft.column() > m_pathColumn ||
                bottomRight.column() < m_pathColumn)
                return;
            if (roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole))
                Invalidate();
        });
}

int ListPathIndex::RowOf(const QString& path) const {
    if (m_stale) Rebuild();
    return m_rows.value(path, -1);
}

void ListPathIndex::Rebuild() const {
    m_rows.clear();
    const int rows = m_model->rowCount();
    m_rows.reserve(rows);
    // From the bottom up, so a path listed twice keeps its first row.
    for (int row = rows - 1; row >= 0; --row)
        m_rows.insert(m_model->index(row, m_pathColumn).data().toString(), row);
    m_stale = false;
}
