#include "app/StatusNote.h"

#include <QTimer>

StatusNote::StatusNote(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    // The window's dark plate with the list's amber accent.
    setStyleSheet(
        QStringLiteral("QLabel { background-color: rgba(20, 24, 29, 225); color: #f0f3f6;"
                       "  border-top: 2px solid #f5a524; padding: 0 8px; font-size: 12px; }"));
    m_fade = new QTimer(this);
    m_fade->setSingleShot(true);
    connect(m_fade, &QTimer::timeout, this, &StatusNote::Clear);
    hide();
}

void StatusNote::Show(const QString& text, const QRect& area, bool persistent) {
    setText(text);
    setToolTip(text);
    setGeometry(area.x(), area.bottom() + 1 - kHeight, area.width(), kHeight);
    raise();
    show();
    if (persistent) {
        m_fade->stop();
    } else {
        m_fade->start(kFadeMs);
    }
}

void StatusNote::Clear() {
    m_fade->stop();
    clear();
    hide();
}
