#pragma once
// A slider drawn from bitmaps: a channel (the track) and a thumb, each with an optional active
// picture and an optional colour-key transparency. With an active channel the part left of
// the thumb shows the active picture, so the track fills up as the value grows.
//
// The slider reports with two signals carrying the new position: moving while the thumb is
// dragged, moved when the user lets go of it, after every handled key and after every wheel
// step (when a wheel step is set). Positions are plain ints in minimum..maximum; the pixel
// mapping uses the channel's size (not the widget's), as set by SetBitmapChannel.

#include <QPixmap>
#include <QWidget>

class QPainter;
#include <cstdint>
#include <vector>

class CBitmapSlider : public QWidget {
    Q_OBJECT
public:
    explicit CBitmapSlider(QWidget* parent = nullptr, int controlId = 0);

    int GetDlgCtrlID() const { return m_nControlId; }
    void SetDlgCtrlID(int controlId) { m_nControlId = controlId; }

    // Channel and its active picture by skin bitmap id. channelId 0 unloads the channel.
    // transparent: cut out the key colour, which is `colour` (0x00BBGGRR) or, with
    // kColorFromPixel (0xFF000000), the colour of the bitmap's pixel (x, y). The widget takes
    // the channel's size. Returns false, with the channel unloaded, when a bitmap fails.
    bool SetBitmapChannel(int channelId, int activeId, bool transparent = false,
                          uint32_t colour = 0xFF000000u, int x = 0, int y = 0);
    bool SetBitmapChannel(const QPixmap& channel, const QPixmap& active, bool transparent = false,
                          uint32_t colour = 0xFF000000u, int x = 0, int y = 0);
    // Lengthens (or shortens) a horizontal channel to width pixels: both ends of the loaded
    // picture stay as drawn, the middle is stretched; positions then map over the new width.
    // The loaded width gives the picture back as it was. False without a channel.
    bool SetChannelLength(int width);
    // Thumb and its active picture (shown while dragging); thumbId 0 unloads the thumb.
    bool SetBitmapThumb(int thumbId, int activeId, bool transparent = false,
                        uint32_t colour = 0xFF000000u, int x = 0, int y = 0);
    bool SetBitmapThumb(const QPixmap& thumb, const QPixmap& active, bool transparent = false,
                        uint32_t colour = 0xFF000000u, int x = 0, int y = 0);

    void SetRange(int minimum, int maximum, bool redraw = false);
    void GetRange(int& minimum, int& maximum) const;
    int GetRangeMin() const { return m_nMin; }
    int GetRangeMax() const { return m_nMax; }
    // Clamped to maximum, then to minimum; repaints. Signals nothing.
    void SetPos(int position);
    int GetPos() const { return m_nPos; }
    // Returns the previous page size.
    int SetPageSize(int size);
    int GetPageSize() const { return m_nPage; }
    void SetDrawFocusRect(bool on, bool redraw = true);
    // How far one notch of the mouse wheel moves the position (away from the user: up);
    // 0, the default, leaves the wheel to the parent.
    void SetWheelStep(int step) { m_nWheelStep = step; }
    int GetWheelStep() const { return m_nWheelStep; }

    // Thumb centre (along the slider) for a position, and the position for a thumb centre.
    int PosToPixel(int position) const;
    int PixelToPos(int pixel) const;

    bool IsDragging() const { return m_bDragging; }

    // Marks drawn over the channel (CBitmapSliderMarks.cpp): ticks at positions (events of
    // the recording) and an in/out span (a clip to export); -1 for an end that is not set.
    // A tick with a text shows it as the tooltip while the pointer rests on the tick; off
    // the ticks the slider's own tooltip shows.
    struct Mark {
        int position = 0;
        uint32_t colour = 0;  // 0x00BBGGRR
        QString text;
    };
    void SetMarks(std::vector<Mark> marks);
    const std::vector<Mark>& Marks() const { return m_marks; }
    // The text of the tick nearest to x (the texts of every tick there, a line each), or an
    // empty text when no tick with a text lies within reach of x; tickX: where that tick is.
    QString MarkTextAt(int x, int* tickX = nullptr) const;
    void SetInOut(int in, int out);
    int InMark() const { return m_nInMark; }
    int OutMark() const { return m_nOutMark; }
    QSize sizeHint() const override;

signals:
    // The thumb is being dragged to position.
    void moving(int position);
    // The user let go of the thumb, or a key or a wheel step moved it, to position.
    void moved(int position);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Picture {
        QPixmap bitmap;  // as loaded
        QPixmap keyed;   // key colour cut out (transparent pictures only)
        const QPixmap& Face() const { return keyed.isNull() ? bitmap : keyed; }
    };
    static bool LoadPicture(Picture& picture, const QPixmap& bitmap, bool transparent,
                            uint32_t colour, int x, int y);
    void MoveThumbTo(int pointer);
    void PaintMarks(QPainter& p) const;
    // Says the position: moving during a drag, else moved.
    void Notify(bool dragging);

    int m_nControlId;
    int m_nMax = 100;
    int m_nMin = 0;
    int m_nPos = 0;
    int m_nPage = 20;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nThumbWidth = 0;
    int m_nThumbHeight = 0;
    int m_nMarginLeft = 0;
    int m_nMarginRight = 0;
    int m_nMarginTop = 0;
    int m_nMarginBottom = 0;
    int m_nDragOffset = 0;
    int m_nWheelStep = 0;
    int m_nWheelRemainder = 0;  // eighths of a degree not yet turned into a whole notch
    bool m_bVertical = false;
    bool m_bChannelActive = false;
    bool m_bThumbActive = false;
    bool m_bTransparentChannel = false;
    bool m_bTransparentThumb = false;
    bool m_bThumb = false;
    bool m_bChannel = false;
    bool m_bDragging = false;
    bool m_bFocus = false;
    bool m_bDrawFocusRect = true;
    Picture m_channel;
    Picture m_channelActive;
    Picture m_channelLoaded;  // the channel pictures as loaded, before any SetChannelLength
    Picture m_channelActiveLoaded;
    Picture m_thumb;
    Picture m_thumbActive;
    std::vector<Mark> m_marks;  // GUI thread only, like the rest
    int m_nInMark = -1;
    int m_nOutMark = -1;
};
