#pragma once
// The recording list on screen: a tree view of its own RecordingListModel, styled white on
// black, with a placeholder over an empty list saying why it is empty. In the trips view a
// trip row expands into its recordings (the expand mark sits in the type column).
//
// It says what the user asked for and leaves the doing to the window: rowActivated for a
// double click or Return on a row, tripRecordingActivated for one on a recording under a
// trip, tripsToggleRequested, repairRequested, recoverRequested and archiveRequested from its
// menu.
//
// Threads: the GUI thread only.

#include <QTreeView>

#include "app/list/RecordingListModel.h"
#include "telemetry/EventDetector.h"

class EventScanner;
class QLabel;

class RecordingListView : public QTreeView {
    Q_OBJECT
public:
    explicit RecordingListView(QWidget* parent = nullptr);

    RecordingListModel* Model() const { return m_model; }
    int RowCount() const { return m_model->RowCount(); }
    QString PathOf(int row) const { return m_model->PathOf(row); }

    // Lists recordings (or trips) with the top row selected.
    void ShowRecordings(const std::vector<CatalogueRow>& rows);
    void ShowTrips(const std::vector<Trip>& trips);
    void Clear();
    // Looks through the recordings listed (a trip's too) for driving events in the
    // background; a recording holding some is marked when its count arrives, and its trip
    // with the trip's count. Another listing ends the scan.
    void ScanEvents(const EventThresholds& thresholds);

    bool HasSelection() const;
    // The top-level row selected; -1 when none is, or a recording under a trip is.
    int SelectedRow() const;
    // The recording under a trip that is selected: its trip's row and its place in the trip.
    bool SelectedTripRecording(int* row, int* index) const;
    // Selects row alone; focus also makes it the current row (where the keys go on from).
    void SelectOnly(int row, bool focus);
    // Selects the recording `index` of the trip in `row` when that trip is expanded.
    bool SelectTripRecording(int row, int index);
    bool IsRowExpanded(int row) const;
    void ScrollToRow(int row);

    // Up and Down walk the rows shown (a trip's recordings too when it is expanded), Return
    // and Enter activate the row selected; only while the list has the focus. True when the
    // key was the list's.
    bool HandleKey(int qtKey);

    void SetPlaceholderText(const QString& text);
    QString PlaceholderText() const;
    bool IsPlaceholderShown() const;
    // The menu the list shows for a right click at `at` (viewport coordinates).
    void FillMenu(class QMenu& menu, const QPoint& at);

signals:
    // A listed recording was found cut short by a power loss; note says where it ends.
    void endsEarly(const QString& path, const QString& note);
    void rowActivated(int row);
    void tripRecordingActivated(int row, int index);
    void tripsToggleRequested();
    // From its menu: a repaired copy of a recording cut short, and the card's deleted
    // recordings brought back.
    void repairRequested(const QString& path);
    void recoverRequested();
    // From its menu: the Archive view, the recordings kept on this PC.
    void archiveRequested();

private:
    void CreateColumns();
    void ApplyStyle();
    void CreatePlaceholder();
    // Widths, the expand mark and the indent of the flat list or of the trips view.
    void ApplyMode();
    void UpdatePlaceholder();
    void Activate(const QModelIndex& index);
    void ShowMenu(const QPoint& at);
    void SelectFirstRow();

    RecordingListModel* m_model;      // child
    QLabel* m_placeholder = nullptr;  // child of the viewport
    EventScanner* m_scanner;          // child
};
