#pragma once
// A video area of the main window: the player's worker presents camera pictures into it.
//
// Present() runs on the worker thread. It converts the picture into a new QImage outside the
// lock, swaps it in under m_lock and asks the GUI thread for a repaint (at most one request
// is queued at a time). paintEvent takes its own reference to the newest picture under the
// lock, so a picture is always drawn whole: the worker never writes into an image that is
// being painted.
//
// Size() reports 0 x 0 while the area is hidden or has no extent, so the decoder skips the
// conversion for it. The size is mirrored into m_size on the GUI thread whenever the widget
// is resized, shown or hidden, because the worker must not ask the widget itself.

#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>

#include "support/CPixImg.h"
#include "support/VideoWindow.h"

class QtVideoArea : public QWidget, public VideoWindow {
    Q_OBJECT
public:
    explicit QtVideoArea(QWidget* parent = nullptr);

    VideoSize Size() const override;
    void Present(const CPixImgBase& image) override;

    // Drops the picture held; the area paints black until the next one arrives.
    void Clear();
    // Copy of the newest picture as the engine's image (empty before the first one).
    CPixImage LastImage() const;
    int PresentCount() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateSize();
    void RepaintRequested();

    mutable std::mutex m_lock;
    QImage m_picture;        // guarded by m_lock
    int m_presentCount = 0;  // guarded by m_lock
    VideoSize m_size;        // guarded by m_lock, written on the GUI thread
    std::atomic<bool> m_repaintQueued{false};
};
