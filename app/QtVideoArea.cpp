#include "app/QtVideoArea.h"

#include <QMetaObject>
#include <QPainter>
#include <cstring>

QtVideoArea::QtVideoArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    // Key presses belong to the window's keyboard table, never to the picture.
    setFocusPolicy(Qt::NoFocus);
}

VideoSize QtVideoArea::Size() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_size;
}

void QtVideoArea::UpdateSize() {
    VideoSize size;
    if (isVisible() && width() > 0 && height() > 0) size = {width(), height()};
    std::lock_guard<std::mutex> guard(m_lock);
    m_size = size;
}

void QtVideoArea::Present(const CPixImgBase& image) {
    if (image.IsEmpty() || image.Pixels() == nullptr) return;
    // A fresh QImage per picture: the one being painted keeps its own pixels.
    QImage picture(image.Width(), image.Height(), QImage::Format_BGR888);
    if (picture.isNull()) return;
    const size_t rowBytes = static_cast<size_t>(image.Width()) * CPixImgBase::kChannels;
    for (int y = 0; y < image.Height(); ++y)
        std::memcpy(picture.scanLine(y), image.Row(y), rowBytes);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_picture = std::move(picture);
        ++m_presentCount;
    }
    if (!m_repaintQueued.exchange(true)) {
        // Queued to this object: dropped by Qt if the area is gone before it runs.
        QMetaObject::invokeMethod(
            this, [this] { RepaintRequested(); }, Qt::QueuedConnection);
    }
}

void QtVideoArea::RepaintRequested() {
    m_repaintQueued = false;
    update();
}

void QtVideoArea::Clear() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_picture = QImage();
    }
    update();
}

CPixImage QtVideoArea::LastImage() const {
    QImage picture;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        picture = m_picture;
    }
    CPixImage image;
    if (picture.isNull() || !image.Allocate(picture.width(), picture.height())) return image;
    const size_t rowBytes = static_cast<size_t>(picture.width()) * CPixImgBase::kChannels;
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(image.Row(y), picture.constScanLine(y), rowBytes);
    return image;
}

int QtVideoArea::PresentCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_presentCount;
}

void QtVideoArea::paintEvent(QPaintEvent*) {
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
    UpdateSize();
}

void QtVideoArea::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    UpdateSize();
}
