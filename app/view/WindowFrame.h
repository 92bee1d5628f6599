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

    // The normal window: the skin's background, kMinWidth x kMinHeight as the smallest, and
    // the size and place the window had before full screen (at first FirstPlace's).
    void LoadBackground();
    // Where the window opens on a screen whose free area is `available`: the place it was left
    // at when that still lies inside, else the background's size (as far as the area allows)
    // centred in it. Never outside the area where the area holds the smallest window.
    static QRect FirstPlace(const QRect& available, const QRect& remembered);
    // The place the window was left at last time (null: none); moves the window there when it
    // fits the screen's free area.
    void PlaceRemembered(const QRect& remembered);
    // The normal window's size and place, also while in full screen.
    QRect NormalGeometry() const;
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
    void PlaceFirst(const QRect& remembered);

    QWidget& m_window;
    const MainWindowControls& m_controls;
    std::function<bool()> m_isFullScreen;
    QRect m_rcRestore;  // the normal window's geometry while in full screen
    QPixmap m_bmpBackground;
    QPixmap m_bmpComposed;  // background at the current size when larger than the picture
    bool m_bDragging = false;
    QPoint m_dragOffset;  // from the frame's top left to the pointer, while dragging
};
