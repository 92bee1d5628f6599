// Painting, label colours and moving the window by its background.
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "app/CSamplePlayerDlg.h"
#include "app/Resource.h"
#include "controls/ColorRef.h"

namespace {

constexpr uint32_t kPlateColour = 0x3D342B;  // time and speed plates (0x00BBGGRR)
constexpr uint32_t kTimeTextColour = 0xFFFFFF;
constexpr uint32_t kSpeedTextColour = 0x0000FF;  // red

QString LabelStyle(uint32_t text, uint32_t plate) {
    return QStringLiteral("QLabel { color: %1; background-color: %2; }")
        .arg(ColorRefToQColor(text).name(), ColorRefToQColor(plate).name());
}

}  // namespace

void CSamplePlayerDlg::SetLabelText(QLabel* label, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (label->text() == value) return;
    label->setText(value);
    ApplyLabelColours(label);
}

void CSamplePlayerDlg::ApplyLabelColours(QLabel* label) {
    // A label with text sits on its plate; an empty one shows the black control ground.
    QString style;
    if (label->text().isEmpty()) {
        style = QStringLiteral("QLabel { background-color: #000000; }");
    } else if (label == m_pSpeed) {
        style = LabelStyle(kSpeedTextColour, kPlateColour);
    } else {
        style = LabelStyle(kTimeTextColour, kPlateColour);
    }
    if (label->styleSheet() != style) label->setStyleSheet(style);
}

void CSamplePlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_nScreenMode == kScreenNormal && !m_bmpBackground.isNull()) {
        painter.drawPixmap(0, 0, m_bmpBackground, 0, 0, width(), height());
    }
}

// The whole background is a drag handle in the normal window (controls take their own
// presses); in full screen the window stays put.
void CSamplePlayerDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_nScreenMode == kScreenNormal) {
        m_bDragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    event->accept();
}

void CSamplePlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging && (event->buttons() & Qt::LeftButton) && m_nScreenMode == kScreenNormal) {
        move(event->globalPosition().toPoint() - m_dragOffset);
    }
    event->accept();
}

void CSamplePlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_bDragging = false;
    event->accept();
}
