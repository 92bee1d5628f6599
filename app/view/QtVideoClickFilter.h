#pragma once
// Turns the mouse on a picture area into the two player gestures: a click (press and release
// without moving) and a double click. A click is reported only once the double-click time has
// passed without a second press, so a double click never also counts as a click. The
// filtered widget still gets every event (pressing on the picture also moves the window).
//
// GUI thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QTimer>

class QWidget;

class QtVideoClickFilter : public QObject {
    Q_OBJECT
public:
    explicit QtVideoClickFilter(QObject* parent = nullptr);

    void Watch(QWidget* widget);
    // How long a click waits for a second press; the desktop's double-click time unless set.
    void SetDoubleClickMs(int ms) { m_nDoubleClickMs = ms; }

signals:
    void clicked();
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer m_clickTimer;  // runs between a click's release and its report
    QPoint m_pressAt;     // global position of the last left press
    bool m_bPressed = false;
    bool m_bSecondPress = false;  // the press was the second one of a double click
    int m_nDoubleClickMs = -1;
};
