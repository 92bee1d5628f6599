#pragma once
// An off-screen drawing surface for one paint. Everything drawn through it reaches the target
// in a single copy when the CMemDC is destroyed, so a control that paints in layers (channel,
// thumb, focus frame) never shows a half-drawn state.
//
//     QPainter target(this);
//     {
//         CMemDC dc(target, rect(), true);
//         dc->drawPixmap(...);
//     }   // copied to the widget here
//
// Coordinates on the surface are the target's own: the surface is translated so that the
// covered rectangle's top-left corner draws at that point.
//
// "Copy background": when the target paints on an image or pixmap, the surface starts as a
// copy of what the target holds under the rectangle. A widget's paint device cannot be read
// back, so there the surface starts transparent and is composited over the target at release;
// both leave the target unchanged wherever nothing was drawn. Without the flag the surface is
// filled with the target painter's background brush and copied over the rectangle.
//
// On a printer the surface draws straight onto the target (no off-screen copy).

#include <QPainter>
#include <QPixmap>
#include <QRect>

class CMemDC {
public:
    // rect in the target's logical coordinates; an empty rect means the whole target device.
    explicit CMemDC(QPainter& target, const QRect& rect = QRect(), bool copyBackground = true);
    ~CMemDC();

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter* operator->() { return m_pPainter; }
    QPainter& Painter() { return *m_pPainter; }
    const QRect& Rect() const { return m_rect; }
    // False on a printer, where drawing goes straight to the target.
    bool IsOffScreen() const { return m_bOffScreen; }
    // The off-screen surface (null on a printer).
    const QPixmap& Surface() const { return m_bitmap; }

private:
    QPixmap m_bitmap;
    QPainter* m_pTarget;
    QRect m_rect;
    bool m_bOffScreen;
    bool m_bComposite = false;  // surface started transparent: draw it over the target
    QPainter m_surfacePainter;
    QPainter* m_pPainter;
};
