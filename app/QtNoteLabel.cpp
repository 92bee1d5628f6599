#include "app/QtNoteLabel.h"

namespace {

constexpr int kInsetPx = 10;

}  // namespace

QtNoteLabel::QtNoteLabel(QWidget* parent) : QLabel(parent) {
    // The skin's panel with the accent as its edge, the light text of the controls.
    setStyleSheet(QStringLiteral(
        "QLabel { background-color: rgb(32, 38, 46); color: rgb(201, 209, 217);"
        " border: 1px solid rgb(245, 165, 36); border-radius: 4px; padding: 5px 10px; }"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(false);
    hide();
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &QWidget::hide);
}

void QtNoteLabel::ShowNote(const QString& text, const QRect& area) {
    setText(text);
    adjustSize();
    const int widest = std::max(0, area.width() - 2 * kInsetPx);
    if (width() > widest) resize(widest, height());
    move(area.left() + kInsetPx, area.bottom() + 1 - kInsetPx - height());
    show();
    raise();
    m_hideTimer.start(kShowMs);
}
