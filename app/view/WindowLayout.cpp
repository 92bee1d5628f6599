// The two layouts (normal window and full screen), applying the view state to them, the view
// commands (the layouts and their table are ViewState's), the rear-camera mirror, the map view
// and the zoom window.
#include "app/view/WindowLayout.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <utility>

#include "app/desktop/QuitSignals.h"
#include "app/dialogs/CZoomDlg.h"
#include "app/playback/PlaybackController.h"
#include "app/view/ControlsAutoHide.h"
#include "app/view/QtVideoArea.h"
#include "app/window/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CxSkinButton.h"
#include "support/Trace.h"
#include "telemetry/CMapView.h"

WindowLayout::WindowLayout(QWidget& window, PlaybackController& playback,
                           std::function<bool()> isPlayerActive)
    : m_window(window),
      m_controls(&window),
      m_playback(playback),
      m_isPlayerActive(std::move(isPlayerActive)),
      m_frame(window, m_controls, [this] { return m_view.IsFullScreen(); }),
      m_autoHide(new ControlsAutoHide(window,
                                      [this](bool shown) { m_controls.ShowOverPicture(shown); })) {}

int WindowLayout::CameraCount() const {
    return m_playback.CameraCount();
}

void WindowLayout::ResetTimeLabels() {
    if (m_isPlayerActive()) return;
    m_controls.SetLabelText(m_controls.curTime, QStringLiteral("00:00:00"));
    m_controls.SetLabelText(m_controls.totalTime, QStringLiteral("00:00:00"));
}

// ---- layouts ----

void WindowLayout::PlaceNormalControls() {
    const MainWindowControls::NormalAreas areas = m_controls.PlaceNormal();
    m_rcMainArea = areas.main;
    m_rcSmallArea = areas.small;
}

int WindowLayout::LayoutControls(int mode) {
    // PLAY stands wherever the controller is not playing.
    const bool playVisible = m_playback.State() != PlaybackState::Playing;
    if (mode == kScreenNormal) {
        m_rcWindow = QRect(m_window.geometry().topLeft(), QSize(1020, 730));
        PlaceNormalControls();
    } else {
        m_controls.PlaceFullScreen();
    }
    m_controls.ShowSet(mode == kScreenNormal);
    m_controls.ShowPlayButton(playVisible);
    m_controls.EnableViewButtons(false);  // UpdateView enables them as the open recording allows
    m_window.update();
    return 0;
}

void WindowLayout::Resized() {
    if (m_view.IsFullScreen()) {
        // The window manager may grant the full-screen size after the request returned.
        LayoutControls(kScreenFull);
    } else {
        m_frame.Resized();
        PlaceNormalControls();
    }
    UpdateView();
}

void WindowLayout::OnBnClickedButtonFullScreen() {
    m_rcWindow = m_window.geometry();
    m_view.SetFullScreen(true);
    // The map never shows in full screen: a camera takes the main area.
    if (m_view.Places().map == ViewPlace::Main) OnBnClickedButtonMapLarge();
    ResetTimeLabels();
    m_frame.EnterFullScreen();
    LayoutControls(kScreenFull);
    UpdateView();
    m_autoHide->SetActive(true);
}

void WindowLayout::OnBnClickedButtonPrevSize() {
    m_autoHide->SetActive(false);
    m_window.showNormal();
    m_view.SetFullScreen(false);
    ResetTimeLabels();
    // Back to the size and place the window had before full screen.
    m_frame.LoadBackground();
    LayoutControls(kScreenNormal);
    UpdateView();
}

void WindowLayout::ToggleMaximized() {
    if (m_view.IsFullScreen()) return;
    // The window has no caption of the window manager's, so it covers the screen's free area
    // itself (with or without a window manager) and goes back to the size it had.
    const QScreen* screen = m_window.screen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    if (m_rcBeforeMaximize.isValid()) {
        m_window.setGeometry(m_rcBeforeMaximize);
        m_rcBeforeMaximize = QRect();
    } else {
        m_rcBeforeMaximize = m_window.geometry();
        m_window.setGeometry(free);
    }
}

void WindowLayout::ToggleFullScreen() {
    if (!m_view.IsFullScreen()) {
        OnBnClickedButtonFullScreen();
    } else {
        OnBnClickedButtonPrevSize();
    }
}

// ---- the view state on screen ----

void WindowLayout::OpenViews(bool keepLayout) {
    const int cameras = CameraCount();
    // Placing the areas again would blank them for a frame while playing on.
    if (keepLayout && cameras == m_nShownCameras) return;
    m_nShownCameras = cameras;
    m_view.Open(cameras);
    UpdateView();
}

void WindowLayout::HideVideoAreas() {
    m_controls.front->setGeometry(m_rcMainArea.x(), m_rcMainArea.y(), 0, 0);
    m_controls.rear->setGeometry(m_rcSmallArea.x(), m_rcSmallArea.y(), 0, 0);
}

void WindowLayout::PlaceArea(QWidget* area, ViewPlace where) {
    const QRect target = where == ViewPlace::Main ? m_rcMainArea : m_rcSmallArea;
    area->setGeometry(target.x(), target.y(), 0, 0);
    area->setGeometry(target);
    area->show();
}

void WindowLayout::PlaceMapView(ViewPlace where) {
    if (!m_pMapView) return;
    if (where == ViewPlace::Hidden) {
        m_pMapView->setGeometry(m_rcSmallArea.x(), m_rcSmallArea.y(), 0, 0);
    } else {
        m_pMapView->setGeometry(where == ViewPlace::Main ? m_rcMainArea : m_rcSmallArea);
    }
}

void WindowLayout::SetViewState(int front, int rear, int map) {
    const ViewPlaces places{static_cast<ViewPlace>(front), static_cast<ViewPlace>(rear),
                            static_cast<ViewPlace>(map)};
    const int hidden = static_cast<int>(ViewPlace::Hidden);
    if (front == hidden && rear == hidden && map == hidden) {
        m_view.Close();
    } else if (const std::optional<ViewLayout> layout = ViewState::LayoutOf(places)) {
        m_view.Set(layout);
    }
    UpdateView();
}

void WindowLayout::UpdateViewButtons() {
    const bool twoCameras = CameraCount() > 1;
    // Nothing open (before the first recording, or after STOP): nothing to move; one camera:
    // only the map trades places.
    const bool open = m_view.IsOpen();
    m_controls.mapView->setEnabled(open);
    m_controls.changeView->setEnabled(open && twoCameras);
    m_controls.camSmall->setEnabled(open && twoCameras);
    m_controls.mapSmall->setEnabled(open && twoCameras);

    const ViewPlaces places = m_view.Places();
    // The check marks say what the small area shows; with the map in the main area, which
    // camera is small.
    const bool camSmall =
        places.front == ViewPlace::Small ||
        (twoCameras && places.rear == ViewPlace::Small && places.map == ViewPlace::Hidden);
    const bool mapSmall = places.map == ViewPlace::Small ||
                          (places.map == ViewPlace::Main && places.rear == ViewPlace::Small);
    m_controls.camSmall->SetCheck(camSmall ? 1 : 0);
    m_controls.mapSmall->SetCheck(mapSmall ? 1 : 0);
    m_controls.mapView->setText(
        QString::fromUtf8(places.map == ViewPlace::Main ? kMapSmallText : kMapLargeText));
}

void WindowLayout::PlaceViewsNormal() {
    const ViewPlaces places = m_view.Places();
    const bool twoCameras = CameraCount() > 1;
    if (places.front == ViewPlace::Hidden)
        m_controls.front->hide();
    else
        PlaceArea(m_controls.front, places.front);
    if (twoCameras && places.rear != ViewPlace::Hidden)
        PlaceArea(m_controls.rear, places.rear);
    else
        m_controls.rear->hide();
    PlaceMapView(places.map);
}

void WindowLayout::UpdateView() {
    UpdateViewButtons();
    if (!m_view.IsFullScreen()) {
        PlaceViewsNormal();
    } else {
        // STOP shrinks the areas to nothing; a recording opened in full screen needs the
        // video rectangle back.
        const QRect video =
            MainWindowControls::FullScreenVideoRect(m_window.width(), m_window.height());
        m_controls.front->setGeometry(video);
        m_controls.rear->setGeometry(video);
        m_controls.front->setVisible(m_view.Places().front == ViewPlace::Main);
        m_controls.rear->setVisible(m_view.Places().rear == ViewPlace::Main);
        PlaceMapView(ViewPlace::Hidden);
    }
    m_window.update();
}

QRect WindowLayout::NoteArea() const {
    if (!m_view.IsFullScreen()) return m_rcMainArea;
    return MainWindowControls::FullScreenVideoRect(m_window.width(), m_window.height())
        .intersected(m_window.rect());
}

// ---- view commands ----

void WindowLayout::RunViewCommand(ViewCommand command, int camerasNeeded) {
    const int cameras = CameraCount();
    if (cameras < camerasNeeded || !m_view.IsOpen()) return;
    m_view.Apply(command, cameras);
    UpdateView();
}

void WindowLayout::OnBnClickedButtonChangeView() {
    Trace("OnBnClickedButtonChangeView()\n");
    RunViewCommand(ViewCommand::ChangeView, 2);
}

void WindowLayout::OnBnClickedButtonMapSmall() {
    RunViewCommand(ViewCommand::MapSmall, 2);
}

void WindowLayout::OnBnClickedButtonSubCamera() {
    RunViewCommand(ViewCommand::SubCamera, 2);
}

void WindowLayout::OnBnClickedButtonMapLarge() {
    RunViewCommand(ViewCommand::MapLarge, 1);
}

void WindowLayout::OnBnClickedCheckMirror() {
    SetRearMirrored(CameraCount() > 1 && !m_view.IsRearMirrored());
}

void WindowLayout::SetRearMirrored(bool mirrored) {
    m_view.SetRearMirrored(mirrored);
    // The button shows the state; a click has flipped its check already.
    m_controls.mirror->SetCheck(mirrored ? 1 : 0);
    m_playback.SetMirror(1, mirrored);
}

// ---- the map view and the zoom window ----

bool WindowLayout::CreateMapView(const std::string& configPath) {
    // The browser starts when a view state first shows the map: while it exists, Qt composes
    // the whole window through OpenGL on every video repaint.
    m_pMapView = new CMapView(&m_window, CMapView::BrowserStart::WhenShown);
    // The browser in a window of its own: this window's video repaints then stay plain copies.
    // Wayland lets no client place its windows, so there the browser stays embedded.
    m_pMapView->SetOwnSurface(
        !QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
    m_controls.Register(IDC_MAPVIEW, m_pMapView);
    const QRect small = MainWindowControls::kSmallArea;
    m_pMapView->setGeometry(small);
    m_pMapView->setGeometry(small.x(), small.y(), 0, 0);
    m_pMapView->show();
    // The page is built into the program and comes up offline (only its tiles need the
    // network), so it is always requested; it loads once the map is first shown.
    const bool navigated = m_pMapView->Navigate(CMapView::ReadTileSource(configPath.c_str()));
    // The browser engine may have changed this thread's signal mask on its start.
    QuitSignals::BlockInThisThread();
    return navigated;
}

void WindowLayout::DestroyViews() {
    delete m_pZoomDlg;
    m_pZoomDlg = nullptr;
    if (m_pMapView) {
        m_controls.Forget(IDC_MAPVIEW);
        delete m_pMapView;
        m_pMapView = nullptr;
    }
}

bool WindowLayout::PictureAt(QPoint global, CZoomDlg::RecordingPicture* out) {
    // The camera whose picture is on top under the pointer; a note or a control over the
    // picture is magnified from the screen.
    int camera = -1;
    for (QWidget* under = QApplication::widgetAt(global); under && camera < 0;
         under = under->parentWidget()) {
        if (under == m_controls.front) camera = 0;
        if (under == m_controls.rear) camera = 1;
        if (under == &m_window) break;
    }
    const PlaybackState state = m_playback.State();
    if (camera < 0 || (state != PlaybackState::Playing && state != PlaybackState::Paused &&
                       state != PlaybackState::Ended))
        return false;
    // Asked for, never waited for: the picture follows one request later.
    PictureCache& cache = m_pictureCache[camera];
    int32_t publishedFrame = -1;
    std::shared_ptr<CPixImgBase> picture = m_playback.PublishedPicture(camera, &publishedFrame);
    // Asked again for a new frame, or now and then while paused (a colour or mirror change
    // shows without a new frame).
    if (!picture || publishedFrame != m_playback.FrameOnScreen() || !cache.age.isValid() ||
        cache.age.elapsed() > kPictureRecopyMs) {
        m_playback.RequestPicture(camera);
        cache.age.start();
    }
    if (!picture) return false;
    if (cache.source != picture.get()) {
        // The picture's own rows, kept alive by the image (no second copy of a 4K frame).
        const CPixImgBase& rows = *picture;
        cache.source = picture.get();
        cache.image = QImage(
            rows.Pixels(), rows.Width(), rows.Height(), rows.Stride(), QImage::Format_RGB32,
            [](void* held) { delete static_cast<std::shared_ptr<CPixImgBase>*>(held); },
            new std::shared_ptr<CPixImgBase>(std::move(picture)));
    }
    QWidget* area = camera == 0 ? static_cast<QWidget*>(m_controls.front) : m_controls.rear;
    out->image = cache.image;
    out->area = QRect(area->mapToGlobal(QPoint(0, 0)), area->size());
    return true;
}

void WindowLayout::OnBnClickedButtonZoom() {
    // One zoom window at most: a later press shows the same one again (restarting the
    // refresh that Escape or closing stopped).
    if (!m_pZoomDlg) {
        m_pZoomDlg = new CZoomDlg(&m_window);
        m_pZoomDlg->SetPictureSource([this](QPoint global, CZoomDlg::RecordingPicture* out) {
            return PictureAt(global, out);
        });
    }
    // Beside the viewer, not over its controls.
    const QScreen* screen =
        m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QRect place = CZoomDlg::PlaceBeside(m_window.frameGeometry(),
                                              QSize(kZoomClientWidth, kZoomClientHeight), free);
    m_pZoomDlg->resize(place.size());
    m_pZoomDlg->move(place.topLeft());
    m_pZoomDlg->Start();
    m_pZoomDlg->update();
}
