#pragma once
// A short note over the window that goes away by itself: what a command did ("Saved
// x_front.jpg") or why it did nothing. It never takes the focus or a click, so it does not
// stand in the way of the controls beneath it.
//
// GUI thread only.

#include <QLabel>
#include <QRect>
#include <QTimer>

class QtNoteLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShowMs = 4000;

    explicit QtNoteLabel(QWidget* parent);

    // Shows text with its bottom-left corner near the bottom-left corner of area (parent
    // coordinates), for kShowMs; a newer note replaces the one shown.
    void ShowNote(const QString& text, const QRect& area);

private:
    QTimer m_hideTimer;
};
