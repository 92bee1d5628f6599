#include "controls/CBitmapButtonTrans.h"

#include <QPainter>

#include "controls/DrawTransparent.h"
#include "res/SkinBitmaps.h"

CBitmapButtonTrans::CBitmapButtonTrans(QWidget* parent, int controlId)
    : QAbstractButton(parent), m_nControlId(controlId) {
    // Nothing is painted under the face: the parent's background shows through the key colour.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    connect(this, &QAbstractButton::clicked, this, [this] { emit command(m_nControlId); });
}

bool CBitmapButtonTrans::LoadBitmaps(int normalId, int selectedId, int focusId, int disabledId) {
    auto load = [](int id) { return id > 0 ? LoadSkinBitmap(id) : QPixmap(); };
    return LoadBitmaps(load(normalId), load(selectedId), load(focusId), load(disabledId));
}

bool CBitmapButtonTrans::LoadBitmaps(const QPixmap& normal, const QPixmap& selected,
                                     const QPixmap& focus, const QPixmap& disabled) {
    for (int i = 0; i < kFaceCount; ++i) {
        m_faces[i] = QPixmap();
        m_keyed[i] = QPixmap();
    }
    if (normal.isNull()) {
        update();
        return false;
    }
    m_faces[kNormal] = normal;
    m_faces[kSelected] = selected;
    m_faces[kFocus] = focus;
    m_faces[kDisabled] = disabled;
    updateGeometry();
    update();
    return true;
}

void CBitmapButtonTrans::SizeToContent() {
    if (!m_faces[kNormal].isNull()) resize(m_faces[kNormal].size());
}

void CBitmapButtonTrans::SetTransparentColor(uint32_t colour) {
    m_crTransparent = colour;
}

QSize CBitmapButtonTrans::sizeHint() const {
    return m_faces[kNormal].isNull() ? QSize(16, 16) : m_faces[kNormal].size();
}

const QPixmap& CBitmapButtonTrans::Keyed(Face face) const {
    if (m_keyed[face].isNull() || m_crKeyed[face] != m_crTransparent) {
        m_keyed[face] = CutOutKeyColour(m_faces[face], m_crTransparent);
        m_crKeyed[face] = m_crTransparent;
    }
    return m_keyed[face];
}

const QPixmap& CBitmapButtonTrans::CurrentFace() const {
    // A checked button (the category shown) keeps its pressed face.
    if ((isDown() || isChecked()) && !m_faces[kSelected].isNull()) return Keyed(kSelected);
    if (hasFocus() && !m_faces[kFocus].isNull()) return Keyed(kFocus);
    if (!isEnabled() && !m_faces[kDisabled].isNull()) return Keyed(kDisabled);
    return Keyed(kNormal);
}

void CBitmapButtonTrans::paintEvent(QPaintEvent*) {
    const QPixmap& face = CurrentFace();
    if (face.isNull()) return;
    QPainter painter(this);
    // Faces are drawn at their natural size from the top-left corner, never scaled.
    painter.drawPixmap(0, 0, face);
}
