#pragma once
// The caption-less window's frame: its skinned background (painted at the picture's size, or
// composed for a larger window), moving the window by its background, enlarging it by its right
// and bottom edges, and the normal window's size and place kept while in full screen.
//
// The window owns one of these and hands it its paint and mouse events. GUI thread only.

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <functional>

class MainWindowControls;
class QMouseEvent;
class QWidget;

class WindowFrame {
public:
    static constexpr int kResizeEdgePx = 5;

    // isFullScreen: whether the window shows full screen now (the view state's to say).
    WindowFrame(QWidget& window, const MainWindowControls& controls,
                std::function<bool()> isFullScreen);
    WindowFrame(const WindowFrame&) = delete;
    WindowFrame& operator=(const WindowFrame&) = delete;

    // The normal window: the skin's background, the background's size as the smallest, and
    // the size and place the window had before full screen (centred at first).
    void LoadBackground();
    // Keeps the normal window's geometry for LoadBackground and covers the screen.
    void EnterFullScreen();
    // The window's size changed: a composed background no longer fits.
    void Resized() { m_bmpComposed = QPixmap(); }

    void Paint();
    void MousePress(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseRelease(QMouseEvent* event);
    // The edges a press at `at` (window coordinates) would drag; none in full screen.
    Qt::Edges ResizeEdgesAt(QPoint at) const;

    const QPixmap& Background() const { return m_bmpBackground; }

private:
    void CenterDefaultSize();

    QWidget& m_window;
    const MainWindowControls& m_controls;
    std::function<bool()> m_isFullScreen;
    QRect m_rcRestore;  // the normal window's geometry while in full screen
    QPixmap m_bmpBackground;
    QPixmap m_bmpComposed;  // background at the current size when larger than the picture
    bool m_bDragging = false;
    QPoint m_dragOffset;  // from the frame's top left to the pointer, while dragging
};
