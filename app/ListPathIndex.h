#pragma once
// Finds the recording list's row of a path without walking the rows: a hash from the text
// of the path column to the top-level row, built in one pass when it is first asked after a
// change. It watches the list's model, so every change that moves, adds or drops rows (a new
// listing, a category, the trips view, a sort, the card going) or rewrites a path cell makes
// it stale; a look-up between changes costs O(1).
//
// Threads: the GUI thread (the model's) only.

#include <QHash>
#include <QObject>
#include <QString>

class QAbstractItemModel;

class ListPathIndex : public QObject {
    Q_OBJECT
public:
    // Lives as long as the model (a child of it).
    ListPathIndex(QAbstractItemModel* model, int pathColumn);

    // The first top-level row whose path cell reads path; -1 when there is none.
    int RowOf(const QString& path) const;

private:
    void Invalidate() { m_stale = true; }
    void Rebuild() const;

    QAbstractItemModel* m_model;  // the parent
    int m_pathColumn;
    mutable QHash<QString, int> m_rows;  // built by RowOf while m_stale
    mutable bool m_stale = true;
};
