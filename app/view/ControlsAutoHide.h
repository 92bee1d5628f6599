#pragma once
// Full screen's controls get out of the picture: 3 s after the mouse last moved they hide,
// with the pointer; a movement brings both back. They stay while the pointer rests on them
// (the transport band at the bottom, the buttons at the top) or a button is held.
//
// GUI thread only.

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>

class QWidget;

class ControlsAutoHide : public QObject {
    Q_OBJECT
public:
    static constexpr int kHideAfterMs = 3000;
    // Heights of the bands at the bottom and the top of the screen where controls lie.
    static constexpr int kBottomBandPx = 110, kTopBandPx = 45;

    // show(true) shows the controls, show(false) hides them.
    ControlsAutoHide(QWidget& window, std::function<void(bool)> show);

    // Full screen entered (controls shown, the count starts) or left (shown, nothing counts).
    void SetActive(bool active);
    bool ControlsShown() const { return m_shown; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show();
    void HideUnlessOverControls();

    QWidget& m_window;
    std::function<void(bool)> m_show;
    QTimer m_timer;
    QPoint m_lastPos{-1, -1};  // global pointer position of the last movement counted
    bool m_active = false;
    bool m_shown = true;
};
