#pragma once
// A video area of the main window: the player's worker presents camera pictures into it.
//
// Present() runs on the worker thread. The picture arrives converted to the area's size in
// the 32-bit RGB layout Qt paints as it is; the area wraps its pixels in a QImage without
// copying, swaps it in under m_lock and asks the GUI thread for a repaint (at most one
// request is queued at a time, so pictures that come faster than the GUI paints cost no
// extra repaints). The QImage holds the picture, so the decoder's pool does not hand it out
// again while it may still be painted; the worker never writes into a picture that is shown.
//
// Repaint groups. Areas joined with RepaintWith() ask for their repaints through one leader:
// while any of them is between BeginPair() and EndPair(), pictures only mark their area; the
// last EndPair() posts one request, and the leader updates every marked area in one go on the
// GUI thread, so Qt paints the front and rear pictures of one moment in one repaint of the
// window. (Two requests posted microseconds apart are not enough: the GUI thread may wake on
// the first and flush before the second is posted.) An area on its own leads itself.
//
// Size() reports 0 x 0 while the area is hidden or has no extent and while its window is
// minimised, so the decoder converts nothing for it. The size is mirrored into m_size on the
// GUI thread whenever the widget is resized, shown or hidden or the window minimised or
// restored, because the worker must not ask the widget itself.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "support/CPixImg.h"
#include "support/VideoWindow.h"

class QtVideoArea : public QWidget, public VideoWindow {
    Q_OBJECT
public:
    explicit QtVideoArea(QWidget* parent = nullptr);
    ~QtVideoArea() override;

    VideoSize Size() const override;
    void Present(std::shared_ptr<const CPixImgBase> picture) override;
    void BeginPair() override;
    void EndPair() override;
    // Joins leader's repaint group. GUI thread, before any picture is presented, as the group
    // is read by the presenting thread without a lock; an area that goes leaves its group.
    void RepaintWith(QtVideoArea* leader);

    // Drops the picture held; the area paints black until the next one arrives.
    void Clear();
    // 3-channel copy of the newest picture (empty before the first one).
    CPixImage LastImage() const;
    int PresentCount() const;
    // Repaints done so far (for tests).
    int PaintCount() const { return m_paintCount.load(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateSize();
    void RequestRepaint();
    void RepaintRequested();

    mutable std::mutex m_lock;
    QImage m_picture;                            // guarded by m_lock; wraps m_shown's pixels
    std::shared_ptr<const CPixImgBase> m_shown;  // guarded by m_lock
    int m_presentCount = 0;                      // guarded by m_lock
    VideoSize m_size;                            // guarded by m_lock, written on the GUI thread
    QtVideoArea* m_leader = this;                // set before presenting, read-only after
    std::vector<QtVideoArea*> m_members;  // leader only; set before presenting, read-only after
    std::atomic<int> m_openPairs{0};      // leader only: members between BeginPair and EndPair
    std::atomic<bool> m_repaintQueued{false};  // leader only: a request is on its way
    std::atomic<bool> m_dirty{false};  // a picture came that the GUI has not been asked to paint
    std::atomic<int> m_paintCount{0};
    QPointer<QWidget> m_watchedWindow;  // GUI thread only: the window whose state is followed
};
