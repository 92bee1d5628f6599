#pragma once
// A button drawn from up to four face bitmaps (released, pressed, focus, disabled), with one
// colour treated as transparent so the parent's painted background shows around and through
// the face. The window's image buttons (transport, title bar, category tabs, view buttons)
// are all of this kind; the skin's faces use black as the key colour.
//
// Clicks reach the parent as the ordinary clicked() signal; command(controlId) is emitted
// with it for handlers that dispatch on control ids.

#include <QAbstractButton>
#include <QPixmap>
#include <cstdint>

class CBitmapButtonTrans : public QAbstractButton {
    Q_OBJECT
public:
    explicit CBitmapButtonTrans(QWidget* parent = nullptr, int controlId = 0);

    int GetDlgCtrlID() const { return m_nControlId; }
    void SetDlgCtrlID(int controlId) { m_nControlId = controlId; }

    // Loads the faces by skin bitmap id (0 = none). Returns false, leaving every face unloaded,
    // when the released face cannot be loaded; the other faces are optional and a failed one
    // stays absent.
    bool LoadBitmaps(int normalId, int selectedId = 0, int focusId = 0, int disabledId = 0);
    // The same with pictures made by the caller (null pixmap = none).
    bool LoadBitmaps(const QPixmap& normal, const QPixmap& selected = QPixmap(),
                     const QPixmap& focus = QPixmap(), const QPixmap& disabled = QPixmap());
    // Resizes the button to its released face.
    void SizeToContent();

    // 0x00BBGGRR; 0xFF00FF (magenta) until set. Takes effect at the next paint.
    virtual void SetTransparentColor(uint32_t colour);
    uint32_t GetTransparentColor() const { return m_crTransparent; }

    QSize sizeHint() const override;

signals:
    void command(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Picks the face for the current state (pressed, focused, disabled), as the paint does.
    const QPixmap& CurrentFace() const;

private:
    enum Face { kNormal, kSelected, kFocus, kDisabled, kFaceCount };
    const QPixmap& Keyed(Face face) const;

    int m_nControlId;
    uint32_t m_crTransparent = 0xFF00FF;
    QPixmap m_faces[kFaceCount];
    // Faces with the key colour cut out, made at paint time for the current key colour.
    mutable QPixmap m_keyed[kFaceCount];
    mutable uint32_t m_crKeyed[kFaceCount] = {};
};
