#pragma once
// The zoom window: a small always-on-top tool window that shows the part of the screen
// around the mouse pointer at twice its size, refreshed 25 times a second. Over a camera's
// picture it draws from the recording's decoded picture at its own size, so a picture shown
// smaller than it was recorded (the rear camera in its small area) shows its real detail;
// elsewhere it copies what the screen shows, so it magnifies the map or any other window
// alike, its own area painted grey in the copy first so the window never shows inside itself.
//
// Where the platform does not let a program read the screen (some Wayland sessions, where
// the grab comes back empty or black), the window magnifies the viewer's own window instead
// and says so in its title. Which of the two it reads is decided each time it is started.
//
// GUI thread only. The main window owns it: created on the first press of the zoom button,
// shown again by later presses, deleted when the main window goes.

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>

class CZoomDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshTimerId = 100;
    static constexpr int kRefreshPeriodMs = 40;
    static constexpr uint32_t kOwnAreaColour = 0x969696;  // 0x00BBGGRR, grey 150
    static constexpr const char* kTitle = "Zoom";
    static constexpr const char* kViewerOnlyTitle = "Zoom (viewer window only)";

    // viewer: the window magnified when the screen cannot be read; also the Qt parent, so
    // the zoom window takes input while the viewer runs modally.
    explicit CZoomDlg(QWidget* viewer);
    ~CZoomDlg() override;

    // The recording's picture under a point of the screen: the decoded picture at its own
    // size and the area of the screen it fills. False where no picture is shown.
    struct RecordingPicture {
        QImage image;
        QRect area;  // global coordinates
    };
    using PictureAt = std::function<bool(QPoint global, RecordingPicture* out)>;
    void SetPictureSource(PictureAt source) { m_pictureAt = std::move(source); }
    // The part of a picture of pictureSize shown in area to magnify into clientSize around
    // the pointer (global): the screen's clientSize / zoom around it, in the picture's own
    // pixels, kept inside the picture.
    static QRectF PictureSourceRect(QPoint pointer, const QRect& area, QSize pictureSize,
                                    QSize clientSize, int zoom);

    // Shows the window and starts (or restarts) the refresh.
    void Start();
    bool IsRefreshing() const { return m_nTimer != 0; }
    // One refresh, as the timer runs it.
    void Refresh();

    // The part of a screen of screenSize to magnify into a client area of clientSize
    // around the pointer: clientSize / zoom, centred on the pointer, kept on the screen
    // (the left and top edges first, then the right and bottom ones).
    static QRect SourceRect(QPoint pointer, QSize clientSize, QSize screenSize, int zoom);
    // Where a zoom window of the given client size goes beside the viewer's frame on the
    // screen's free area: right of it, else left of it (narrowed down to kMinBesideWidth
    // when that is all the room there is), else over the screen's right edge; the top as the
    // viewer's, kept on the screen.
    static constexpr int kBesideGap = 8;
    static constexpr int kMinBesideWidth = 240;
    static QRect PlaceBeside(const QRect& viewerFrame, QSize clientSize, const QRect& screen);

    // What the last refresh read (the screen or the viewer's window, with this window's
    // area painted grey), where in it the magnified part lay, and the picture shown.
    const QImage& Source() const { return m_source; }
    QRect LastSourceRect() const { return m_lastSource; }
    const QImage& Picture() const { return m_picture; }
    bool IsMagnifyingScreen() const { return m_bScreen; }
    // The last refresh drew from a recording's decoded picture.
    bool IsMagnifyingRecording() const { return m_bRecording; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void StopTimer();
    // Reads the screen (origin: the screen's top-left) or, failing that, the viewer.
    QImage Grab(QPoint* origin) const;
    static bool ScreenReadable();
    // Draws the recording's picture under the pointer; false where there is none.
    bool RefreshFromRecording(QSize client);

    QWidget* m_pViewer;
    int m_nZoom = 2;  // magnification
    int m_nTimer = 0;
    bool m_bScreen = true;
    QImage m_source;
    QRect m_lastSource;
    QImage m_picture;
    PictureAt m_pictureAt;
    bool m_bRecording = false;
};
