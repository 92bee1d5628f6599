#include "app/view/QtVideoArea.h"

#include <QEvent>
#include <QMetaObject>
#include <QPainter>
#include <utility>

namespace {

// The QImage's hold on the picture it wraps; released when the last copy of the QImage goes.
void ReleasePicture(void* holder) {
    delete static_cast<std::shared_ptr<const CPixImgBase>*>(holder);
}

QImage Wrap(const std::shared_ptr<const CPixImgBase>& picture) {
    const QImage::Format format = picture->Channels() == CPixImgBase::kRgb32Channels
                                      ? QImage::Format_RGB32
                                      : QImage::Format_BGR888;
    return QImage(picture->Pixels(), picture->Width(), picture->Height(), picture->Stride(), format,
                  &ReleasePicture, new std::shared_ptr<const CPixImgBase>(picture));
}

}  // namespace

QtVideoArea::QtVideoArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    // Key presses belong to the window's keyboard table, never to the picture.
    setFocusPolicy(Qt::NoFocus);
}

QtVideoArea::~QtVideoArea() {
    if (m_leader != this) {
        std::erase(m_leader->m_members, this);
    }
    for (QtVideoArea* member : m_members) member->m_leader = member;
}

VideoSize QtVideoArea::Size() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_size;
}

void QtVideoArea::UpdateSize() {
    VideoSize size;
    const QWidget* top = window();
    if (isVisible() && width() > 0 && height() > 0 && !(top && top->isMinimized())) {
        size = {width(), height()};
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_size = size;
}

void QtVideoArea::Present(std::shared_ptr<const CPixImgBase> picture) {
    if (!picture || picture->IsEmpty() || picture->Pixels() == nullptr) return;
    QImage wrapped = Wrap(picture);
    if (wrapped.isNull()) return;
    QImage previous;  // let go of outside the lock: it may hand a picture back to the pool
    {
        std::lock_guard<std::mutex> guard(m_lock);
        previous = std::exchange(m_picture, std::move(wrapped));
        m_shown = std::move(picture);
        ++m_presentCount;
    }
    m_dirty = true;
    if (m_leader->m_openPairs.load() == 0) m_leader->RequestRepaint();
}

void QtVideoArea::RepaintWith(QtVideoArea* leader) {
    if (!leader || leader == this || leader->m_leader != leader) return;
    m_leader = leader;
    leader->m_members.push_back(this);
}

void QtVideoArea::BeginPair() {
    m_leader->m_openPairs.fetch_add(1);
}

void QtVideoArea::EndPair() {
    if (m_leader->m_openPairs.fetch_sub(1) == 1) m_leader->RequestRepaint();
}

void QtVideoArea::RequestRepaint() {
    if (!m_repaintQueued.exchange(true)) {
        // Queued to this object: dropped by Qt if the area is gone before it runs.
        QMetaObject::invokeMethod(
            this, [this] { RepaintRequested(); }, Qt::QueuedConnection);
    }
}

void QtVideoArea::RepaintRequested() {
    // Cleared before the marks are read: a picture marked after this asks again.
    m_repaintQueued = false;
    if (m_dirty.exchange(false)) update();
    for (QtVideoArea* member : m_members) {
        if (member->m_dirty.exchange(false)) member->update();
    }
}

void QtVideoArea::Clear() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_picture = QImage();
        m_shown.reset();
    }
    update();
}

CPixImage QtVideoArea::LastImage() const {
    std::shared_ptr<const CPixImgBase> shown;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        shown = m_shown;
    }
    return shown ? CPixImage(shown->ToBgr()) : CPixImage();
}

int QtVideoArea::PresentCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_presentCount;
}

void QtVideoArea::paintEvent(QPaintEvent*) {
    ++m_paintCount;
    QImage picture;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        picture = m_picture;  // shared reference; the worker swaps in new images, never edits
    }
    QPainter painter(this);
    if (picture.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (picture.size() == size()) {
        painter.drawImage(0, 0, picture);
    } else {
        // The area was resized after this picture was converted; the next one fits again.
        painter.drawImage(rect(), picture);
    }
}

void QtVideoArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UpdateSize();
}

void QtVideoArea::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Minimising changes the window's state, not this area's visibility.
    QWidget* top = window();
    if (top != this && top != m_watchedWindow) {
        if (m_watchedWindow) m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = top;
        top->installEventFilter(this);
    }
    UpdateSize();
}

void QtVideoArea::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    UpdateSize();
}

bool QtVideoArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedWindow && event->type() == QEvent::WindowStateChange) UpdateSize();
    return QWidget::eventFilter(watched, event);
}
