#include "app/view/QtNoteLabel.h"

#include <QToolButton>
#include <algorithm>

#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr int kInsetPx = 10;
constexpr int kCloseSidePx = 18;

QString StyleSheet(bool closable) {
    // The skin's panel with the accent as its edge, the light text of the controls; a lasting
    // note leaves room on its right for its close button.
    return QStringLiteral(
               "QLabel { background-color: rgb(32, 38, 46); color: rgb(201, 209, 217);"
               " border: 1px solid rgb(245, 165, 36); border-radius: 4px;"
               " padding: 5px %1px 5px 10px; }")
        .arg(closable ? 10 + kCloseSidePx : 10);
}

}  // namespace

QtNoteLabel::QtNoteLabel(QWidget* parent) : QLabel(parent) {
    setStyleSheet(StyleSheet(false));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(false);
    hide();
    m_pClose = new QToolButton(this);
    m_pClose->setText(QStringLiteral("\u2715"));
    m_pClose->setAutoRaise(true);
    m_pClose->setFocusPolicy(Qt::NoFocus);
    m_pClose->setStyleSheet(QStringLiteral(
        "QToolButton { color: rgb(201, 209, 217); border: none; background: transparent; }"));
    const QString name = Tr(texts::kCloseNote);
    m_pClose->setAccessibleName(name);
    m_pClose->setToolTip(name);
    m_pClose->hide();
    connect(m_pClose, &QToolButton::clicked, this, &QtNoteLabel::ClearPersistent);
    m_hideTimer.setSingleShot(true);
    connect(&m_hideTimer, &QTimer::timeout, this, &QtNoteLabel::ShortNoteEnded);
}

void QtNoteLabel::ShowNote(const QString& text, const QRect& area, bool persistent) {
    if (persistent) {
        m_persistentText = text;
        m_persistentArea = area;
        m_hideTimer.stop();
    } else {
        m_hideTimer.start(kShowMs);
    }
    Place(text, area, persistent);
}

void QtNoteLabel::Place(const QString& text, const QRect& area, bool closable) {
    setStyleSheet(StyleSheet(closable));
    // Only the lasting note takes clicks, for its close button.
    setAttribute(Qt::WA_TransparentForMouseEvents, !closable);
    m_pClose->setVisible(closable);
    setText(text);
    adjustSize();
    const int widest = std::max(0, area.width() - 2 * kInsetPx);
    if (width() > widest) resize(widest, height());
    move(area.left() + kInsetPx, area.bottom() + 1 - kInsetPx - height());
    show();
    raise();
}

void QtNoteLabel::ShortNoteEnded() {
    if (m_persistentText.isEmpty()) {
        hide();
        return;
    }
    Place(m_persistentText, m_persistentArea, true);
}

void QtNoteLabel::ClearPersistent() {
    if (m_persistentText.isEmpty()) return;
    m_persistentText.clear();
    // A short note on screen keeps its own time.
    if (!m_hideTimer.isActive()) hide();
}

void QtNoteLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    m_pClose->setGeometry(width() - kCloseSidePx - 6, (height() - kCloseSidePx) / 2, kCloseSidePx,
                          kCloseSidePx);
}
