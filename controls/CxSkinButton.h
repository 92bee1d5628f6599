#pragma once
// A button whose face is a bitmap chosen by state: normal, down (pressed or checked), over
// (pointer above it), focused, disabled. It behaves as a push button, a check box or a radio
// button, tracks the pointer while pressed (the down face shows only while the pointer is
// inside), and can draw a 3-D edge and a centred caption over the face.
//
// The check state is the button's own (GetCheck/SetCheck); a check box flips it and a radio
// button sets it when the user releases the mouse over the button (or presses Space), before
// clicked() and command(controlId) reach the parent, so a handler reads the new state.
// Setting a radio button on clears every other skin button of its group (same parent, same
// group number) at once.
//
// Faces are copied opaque (no colour key); a missing face is drawn as a flat button fill.

#include <QAbstractButton>
#include <QEvent>
#include <QPixmap>
#include <cstdint>

class CxSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Kind { kPushButton = 0, kCheckBox = 2, kRadioButton = 4 };
    enum DrawMode { kDrawCopy = 0, kDrawStretch = 1, kDrawTile = 2 };

    explicit CxSkinButton(QWidget* parent = nullptr, int controlId = 0, Kind kind = kPushButton);

    int GetDlgCtrlID() const { return m_nControlId; }
    void SetDlgCtrlID(int controlId) { m_nControlId = controlId; }
    Kind GetKind() const { return m_kind; }
    void SetKind(Kind kind);
    // Radio buttons with the same parent and group number form one group (default 0).
    void SetGroup(int group) { m_nGroup = group; }
    int GetGroup() const { return m_nGroup; }

    // Skin bitmap ids (0 = none). Frees every face first. Without a disabled id but with a
    // normal one, the normal face serves as the disabled face too. drawMode is clamped to
    // 0..2, a negative focus margin becomes 0; border non-zero draws a 3-D edge.
    void SetSkin(int normal, int down, int over = 0, int disabled = 0, int focus = 0, int mask = 0,
                 int drawMode = kDrawStretch, int border = 1, int focusMargin = 4);
    // Faces made by the caller (null pixmap = none); the same rules as above.
    void SetSkin(const QPixmap& normal, const QPixmap& down, const QPixmap& over,
                 const QPixmap& disabled, const QPixmap& focus, int drawMode, int border,
                 int focusMargin);

    // 0 or 1 (any non-zero argument is 1); always 0 for a push button. Repaints.
    void SetCheck(int check);
    int GetCheck() const { return m_nCheck; }

    // Caption colour, 0x00BBGGRR.
    void SetTextColor(uint32_t colour);
    uint32_t GetTextColor() const { return m_crText; }

    // Faces and settings as SetSkin left them.
    const QPixmap& NormalBitmap() const { return m_bmpNormal; }
    const QPixmap& DownBitmap() const { return m_bmpDown; }
    const QPixmap& OverBitmap() const { return m_bmpOver; }
    const QPixmap& DisabledBitmap() const { return m_bmpDisabled; }
    const QPixmap& FocusBitmap() const { return m_bmpFocus; }
    const QPixmap& MaskBitmap() const { return m_bmpMask; }
    int GetDrawMode() const { return m_nDrawMode; }
    int GetBorder() const { return m_nBorder; }
    int GetFocusMargin() const { return m_nFocusMargin; }
    bool IsHovering() const { return m_bHovering; }
    bool IsPressing() const { return m_bPressing; }

    // The group notice: a skin button receiving it clears its check state.
    static QEvent::Type UncheckType();

    QSize sizeHint() const override;

signals:
    void command(int controlId);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawFace(QPainter& painter, const QPixmap& face) const;
    void DrawEdge(QPainter& painter, bool sunken) const;
    void ApplyUserCheck();
    void UncheckGroup();

    int m_nControlId;
    int m_nCheck = 0;
    Kind m_kind;
    int m_nGroup = 0;
    bool m_bHovering = false;
    bool m_bPressing = false;
    QPixmap m_bmpNormal;
    QPixmap m_bmpDown;
    QPixmap m_bmpDisabled;
    QPixmap m_bmpMask;
    QPixmap m_bmpOver;
    QPixmap m_bmpFocus;
    int m_nFocusMargin = 0;
    uint32_t m_crText;
    int m_nBorder = 0;
    int m_nDrawMode = kDrawStretch;
};
