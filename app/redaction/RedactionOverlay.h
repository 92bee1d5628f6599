#pragma once
// The regions to blur drawn over one camera's picture area: an outline for every region with
// a box on the frame shown (solid for drawn by hand, long dashes for tracked, dots for
// detected, short dashes for the detector's suggestions not accepted yet), the selected one
// with handles. While the redaction tool is on, the mouse edits here: a drag on the picture
// draws a new box, a press in an outline selects it and a drag moves it, a drag of its
// corner handle resizes it. Off, the overlay lets every mouse event through to the picture.
//
// Points are turned into the camera picture's own pixels: the picture fills the area whatever
// its size (the player scales it to the area), mirrored when the area shows it mirrored.
//
// GUI thread only. A child of the picture area, kept over all of it; it is repainted with
// every picture the area paints, reading the frame shown at that moment.

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>

class RegionEdit;

class RedactionOverlay : public QWidget {
    Q_OBJECT
public:
    struct Source {
        const RegionEdit* edit = nullptr;
        std::function<int64_t()> frame;  // the camera's frame on screen; -1: none
        std::function<bool()> mirrored;  // the area shows the picture mirrored
        std::function<int()> selected;   // the selected region's id; 0: none
    };
    RedactionOverlay(QWidget* area, int camera, Source source);

    int Camera() const { return m_camera; }
    // The tool is on: the mouse draws and edits here.
    void SetEditing(bool on);
    bool IsEditing() const { return m_editing; }

    // Between the area's points and the camera picture's pixels (picture size from the
    // regions' recording; an empty rectangle when it has no such camera).
    QRect ToPicture(const QRect& widgetRect) const;
    QRect ToWidget(const QRect& pictureRect) const;

signals:
    void boxDrawn(int camera, qint64 frame, const QRect& picture);
    void regionPressed(int id);
    void boxChanged(int id, qint64 frame, const QRect& picture);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, Draw, Move, Resize };
    QSize PictureSize() const;
    QPointF ToPicturePoint(QPointF widget) const;
    // The region under a point on the frame shown (the selected one first); 0: none.
    int RegionAt(QPoint at, int64_t frame) const;
    QRect SelectedBox(int64_t frame) const;
    void PaintRegions(QPainter& painter, int64_t frame) const;

    int m_camera;
    Source m_source;
    bool m_editing = false;
    Drag m_drag = Drag::None;
    QPoint m_pressAt;      // where the drag began
    QRect m_dragRect;      // widget coordinates: the box as dragged so far
    int m_dragRegion = 0;  // the region moved or resized
    int64_t m_dragFrame = -1;
};
