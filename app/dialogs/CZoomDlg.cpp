#include "app/dialogs/CZoomDlg.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimerEvent>
#include <algorithm>

#include "app/window/Resource.h"
#include "controls/ColorRef.h"
#include "res/SkinBitmaps.h"
#include "support/Trace.h"

namespace {

// Every how many pixels the readability check looks, across and down.
constexpr int kBlackCheckStep = 7;

bool IsAllBlack(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); y += kBlackCheckStep) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += kBlackCheckStep) {
            if (qRed(line[x]) | qGreen(line[x]) | qBlue(line[x])) return false;
        }
    }
    return true;
}

QImage LogicalImage(const QPixmap& pixmap, QSize logicalSize) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    if (!image.isNull() && image.size() != logicalSize && !logicalSize.isEmpty()) {
        image = image.scaled(logicalSize);  // a high-density screen: work in logical pixels
    }
    image.setDevicePixelRatio(1.0);
    return image;
}

}  // namespace

CZoomDlg::CZoomDlg(QWidget* viewer) : QDialog(viewer), m_pViewer(viewer) {
    // An ordinary framed window (a tool window goes without a frame on some desktops, and the
    // frameless viewer gives it nothing to lean on), kept above the viewer.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(kTitle));
    setWindowIcon(LoadSkinIcon(IDI_MAINFRAME));
    setAttribute(Qt::WA_OpaquePaintEvent);
    Trace("OnInitDialog()\n");
}

CZoomDlg::~CZoomDlg() {
    Trace("OnDestroy()\r\n");
    StopTimer();
}

void CZoomDlg::Start() {
    m_bScreen = ScreenReadable();
    setWindowTitle(QString::fromUtf8(m_bScreen ? kTitle : kViewerOnlyTitle));
    StopTimer();
    m_nTimer = startTimer(kRefreshPeriodMs);
    show();
    raise();
}

void CZoomDlg::StopTimer() {
    if (m_nTimer) killTimer(m_nTimer);
    m_nTimer = 0;
}

bool CZoomDlg::ScreenReadable() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    const QPixmap shot = screen->grabWindow(0);
    return !shot.isNull() && !IsAllBlack(shot.toImage());
}

QRect CZoomDlg::SourceRect(QPoint pointer, QSize clientSize, QSize screenSize, int zoom) {
    if (zoom < 1) zoom = 1;
    const int width = clientSize.width() / zoom;
    const int height = clientSize.height() / zoom;
    int x = pointer.x() - width / 2;
    int y = pointer.y() - height / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x + width > screenSize.width()) x = screenSize.width() - width;
    if (y + height > screenSize.height()) y = screenSize.height() - height;
    return QRect(x, y, width, height);
}

QRect CZoomDlg::PlaceBeside(const QRect& viewerFrame, QSize clientSize, const QRect& screen) {
    const int right = screen.right() + 1 - (viewerFrame.right() + 1 + kBesideGap);
    const int left = viewerFrame.left() - kBesideGap - screen.left();
    int width = clientSize.width();
    int x = 0;
    if (right >= width) {
        x = viewerFrame.right() + 1 + kBesideGap;
    } else if (left >= width) {
        x = viewerFrame.left() - kBesideGap - width;
    } else if (std::max(left, right) >= kMinBesideWidth) {
        width = std::max(left, right);
        x = right >= left ? viewerFrame.right() + 1 + kBesideGap : screen.left();
    } else {
        x = screen.right() + 1 - width;  // no room beside: over the viewer's list side
    }
    const int height = std::min(clientSize.height(), screen.height());
    const int y = std::clamp(viewerFrame.top(), screen.top(), screen.bottom() + 1 - height);
    return QRect(x, y, width, height);
}

QImage CZoomDlg::Grab(QPoint* origin) const {
    if (m_bScreen) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            *origin = screen->geometry().topLeft();
            return LogicalImage(screen->grabWindow(0), screen->geometry().size());
        }
    }
    QWidget* viewer = m_pViewer ? m_pViewer->window() : nullptr;
    if (!viewer) return QImage();
    *origin = viewer->mapToGlobal(QPoint(0, 0));
    return LogicalImage(viewer->grab(), viewer->size());
}

QRectF CZoomDlg::PictureSourceRect(QPoint pointer, const QRect& area, QSize pictureSize,
                                   QSize clientSize, int zoom) {
    if (zoom < 1) zoom = 1;
    if (area.isEmpty() || pictureSize.isEmpty()) return {};
    const double sx = double(pictureSize.width()) / area.width();
    const double sy = double(pictureSize.height()) / area.height();
    const double width =
        std::min<double>(clientSize.width() / double(zoom) * sx, pictureSize.width());
    const double height =
        std::min<double>(clientSize.height() / double(zoom) * sy, pictureSize.height());
    const double x = (pointer.x() - area.left() + 0.5) * sx - width / 2;
    const double y = (pointer.y() - area.top() + 0.5) * sy - height / 2;
    return QRectF(std::clamp(x, 0.0, pictureSize.width() - width),
                  std::clamp(y, 0.0, pictureSize.height() - height), width, height);
}

bool CZoomDlg::RefreshFromRecording(QSize client) {
    RecordingPicture picture;
    const QPoint pointer = QCursor::pos();
    if (!m_pictureAt || !m_pictureAt(pointer, &picture) || picture.image.isNull()) return false;
    const QRectF source =
        PictureSourceRect(pointer, picture.area, picture.image.size(), client, m_nZoom);
    QImage drawn(client, QImage::Format_RGB32);
    drawn.fill(Qt::black);
    {
        QPainter painter(&drawn);
        // The recording's own pixels, smoothed between them where they are magnified.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(client)), picture.image, source);
    }
    m_picture = std::move(drawn);
    m_source = std::move(picture.image);
    m_lastSource = source.toAlignedRect();
    m_bRecording = true;
    update();
    return true;
}

void CZoomDlg::Refresh() {
    const QSize client = size();
    if (client.width() < m_nZoom || client.height() < m_nZoom) return;
    if (RefreshFromRecording(client)) return;
    m_bRecording = false;
    QPoint origin;
    QImage shot = Grab(&origin);
    if (shot.isNull()) return;
    {
        QPainter painter(&shot);
        painter.fillRect(QRect(mapToGlobal(QPoint(0, 0)) - origin, client),
                         ColorRefToQColor(kOwnAreaColour));
    }
    const QRect source = SourceRect(QCursor::pos() - origin, client, shot.size(), m_nZoom);
    QImage picture(client, QImage::Format_RGB32);
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);  // no smoothing: each pixel becomes a 2 x 2 block
        painter.drawImage(QRect(QPoint(0, 0), client), shot, source);
    }
    m_picture = std::move(picture);
    m_source = std::move(shot);
    m_lastSource = source;
    update();
}

void CZoomDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_nTimer) {
        Refresh();
        return;
    }
    QDialog::timerEvent(event);
}

void CZoomDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorRefToQColor(kOwnAreaColour));
    if (!m_picture.isNull()) painter.drawImage(0, 0, m_picture);
    // A hairline edge, so the magnified picture never runs into what lies beside it.
    painter.setPen(QColor(58, 65, 75));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CZoomDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Trace("VK_ESCAPE\n");
        StopTimer();
    }
    QDialog::keyPressEvent(event);  // Escape ends the dialog
}

void CZoomDlg::closeEvent(QCloseEvent* event) {
    StopTimer();
    QDialog::closeEvent(event);
}
