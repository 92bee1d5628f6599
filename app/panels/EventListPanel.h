#pragma once
// The driving events of what plays (a recording, or a trip's recordings joined), one row each:
// time of day on the camera clock, kind, peak and speed. A click on a row (or Enter) jumps
// there as the next and previous events do. A small window of its own beside the main one;
// its rows follow the timeline's events as walks arrive.
//
// GUI thread only.

#include <QWidget>

class QTreeWidget;
class TimelinePanel;

class EventListPanel : public QWidget {
public:
    enum Column { kTimeColumn, kKindColumn, kPeakColumn, kSpeedColumn, kColumnCount };

    EventListPanel(TimelinePanel& timeline, QWidget* parent);

    QTreeWidget* Rows() const { return m_pRows; }
    // The rows again from the timeline's events.
    void Refill();

private:
    void OnRow(int row);

    TimelinePanel& m_timeline;
    QTreeWidget* m_pRows;  // child
};
