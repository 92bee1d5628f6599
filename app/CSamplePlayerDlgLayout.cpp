// The two layouts (normal window and full screen) and applying the view state to them.
#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSizeGrip>

#include "app/CSamplePlayerDlg.h"
#include "app/MainWindowActions.h"
#include "app/QtVideoArea.h"
#include "app/QtVideoClickFilter.h"
#include "app/RecordingListView.h"
#include "app/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "res/SkinBitmaps.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"

void CSamplePlayerDlg::CreateControls() {
    m_ui = std::make_unique<MainWindowControls>(this);
    m_pFrontArea = m_ui->front;
    m_pRearArea = m_ui->rear;
    m_sliderPos = m_ui->position;
    m_sliderVolume = m_ui->volume;
    m_sliderBright = m_ui->bright;
    m_pCurTime = m_ui->curTime;
    m_pTotalTime = m_ui->totalTime;
    m_pSpeed = m_ui->speed;
    m_pGraph = m_ui->graph;
    // A click on a picture pauses or resumes, a double click enters or leaves full screen.
    m_pVideoClicks = new QtVideoClickFilter(this);
    m_pVideoClicks->Watch(m_pFrontArea);
    m_pVideoClicks->Watch(m_pRearArea);
    connect(m_pVideoClicks, &QtVideoClickFilter::clicked, this, &CSamplePlayerDlg::OnVideoClicked);
    connect(m_pVideoClicks, &QtVideoClickFilter::doubleClicked, this,
            &CSamplePlayerDlg::OnVideoDoubleClicked);

    m_listFilename = new RecordingListView(this);
    m_ui->AdoptList(m_listFilename);
    ConnectList();
    setMouseTracking(true);  // the resize cursor over the right and bottom edges
    CreateActions();
}

void CSamplePlayerDlg::OnVideoClicked() {
    if (!IsPlayerActive()) return;
    if (m_playback.State() != PlaybackState::Playing) {
        OnBnClickedButtonPlay();
    } else {
        OnBnClickedButtonPause();
    }
}

void CSamplePlayerDlg::OnVideoDoubleClicked() {
    if (!m_view.IsFullScreen()) {
        OnBnClickedButtonFullScreen();
    } else {
        OnBnClickedButtonPrevSize();
    }
}

QWidget* CSamplePlayerDlg::GetDlgItem(int controlId) const {
    return m_ui ? m_ui->Item(controlId) : nullptr;
}

void CSamplePlayerDlg::ShowPlayButton(bool showPlay) {
    m_ui->ShowPlayButton(showPlay);
}

// PLAY stands wherever the controller is not playing; the buttons follow its state.
bool CSamplePlayerDlg::IsPlayShown() const {
    return m_playback.State() != PlaybackState::Playing;
}

// ---- layouts ----

void CSamplePlayerDlg::PlaceNormalControls() {
    const NormalAreas areas = m_ui->PlaceNormal();
    m_rcMainArea = areas.main;
    m_rcSmallArea = areas.small;
}

int CSamplePlayerDlg::LayoutControls(int mode) {
    const bool playVisible = IsPlayShown();
    if (mode == kScreenNormal) {
        m_rcWindow = QRect(geometry().topLeft(), QSize(1020, 730));
        PlaceNormalControls();
    } else {
        m_ui->PlaceFullScreen();
    }
    m_ui->ShowSet(mode == kScreenNormal);
    ShowPlayButton(playVisible);
    EnableViewButtons(false);  // UpdateView enables them as the open recording allows
    update();
    return 0;
}

void CSamplePlayerDlg::EnableViewButtons(bool enable) {
    m_ui->EnableViewButtons(enable);
}

void CSamplePlayerDlg::CenterDefaultSize() {
    resize(kNormalWidth, kNormalHeight);
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(kNormalWidth / 2, kNormalHeight / 2));
    }
}

void CSamplePlayerDlg::LoadBackground() {
    m_bmpBackground = LoadSkinBitmap(IDB_BACKGROUND);
    m_bmpComposed = QPixmap();
    // The background's size is the smallest and the first size; the user may enlarge it.
    setMinimumSize(kNormalWidth, kNormalHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (m_rcRestore.isValid()) {
        setGeometry(m_rcRestore);
        m_rcRestore = QRect();
    } else {
        CenterDefaultSize();
    }
}

void CSamplePlayerDlg::OnBnClickedButtonFullScreen() {
    m_rcWindow = geometry();
    m_rcRestore = geometry();
    m_view.SetFullScreen(true);
    m_bmpBackground = QPixmap();
    m_bmpComposed = QPixmap();
    // The map never shows in full screen: a camera takes the main area.
    if (m_view.Places().map == ViewPlace::Main) OnBnClickedButtonMapLarge();
    if (!IsPlayerActive()) {
        SetLabelText(m_pCurTime, "00:00:00");
        SetLabelText(m_pTotalTime, "00:00:00");
    }
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        // Without a window manager a full-screen request does nothing, so size the window too.
        setGeometry(screen->geometry());
    }
    showFullScreen();
    LayoutControls(kScreenFull);
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedButtonPrevSize() {
    showNormal();
    m_view.SetFullScreen(false);
    if (!IsPlayerActive()) {
        SetLabelText(m_pCurTime, "00:00:00");
        SetLabelText(m_pTotalTime, "00:00:00");
    }
    // Back to the size and place the window had before full screen.
    LoadBackground();
    LayoutControls(kScreenNormal);
    UpdateView();
}

void CSamplePlayerDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!m_pActions) return;  // still being built
    if (m_view.IsFullScreen()) {
        // The window manager may grant the full-screen size after the request returned.
        LayoutControls(kScreenFull);
    } else {
        m_bmpComposed = QPixmap();
        PlaceNormalControls();
    }
    UpdateView();
}

// ---- the view state on screen ----

void CSamplePlayerDlg::HideVideoAreas() {
    m_pFrontArea->setGeometry(m_rcMainArea.x(), m_rcMainArea.y(), 0, 0);
    m_pRearArea->setGeometry(m_rcSmallArea.x(), m_rcSmallArea.y(), 0, 0);
}

void CSamplePlayerDlg::PlaceArea(QWidget* area, ViewPlace where) {
    const QRect target = where == ViewPlace::Main ? m_rcMainArea : m_rcSmallArea;
    area->setGeometry(target.x(), target.y(), 0, 0);
    area->setGeometry(target);
    area->show();
}

void CSamplePlayerDlg::PlaceMapView(ViewPlace where) {
    if (!m_pMapView) return;
    if (where == ViewPlace::Hidden) {
        m_pMapView->setGeometry(m_rcSmallArea.x(), m_rcSmallArea.y(), 0, 0);
    } else {
        m_pMapView->setGeometry(where == ViewPlace::Main ? m_rcMainArea : m_rcSmallArea);
    }
}

void CSamplePlayerDlg::SetViewState(int front, int rear, int map) {
    const ViewPlaces places{static_cast<ViewPlace>(front), static_cast<ViewPlace>(rear),
                            static_cast<ViewPlace>(map)};
    if (front == kViewHidden && rear == kViewHidden && map == kViewHidden) {
        m_view.Close();
    } else if (const std::optional<ViewLayout> layout = ViewState::LayoutOf(places)) {
        m_view.Set(layout);
    }
    UpdateView();
}

void CSamplePlayerDlg::UpdateViewButtons() {
    const bool twoCameras = m_player.GetCameraCount() > 1;
    const bool open = HasOpenView();
    // Nothing open: nothing to move; one camera: only the map trades places.
    m_ui->mapView->setEnabled(open);
    m_ui->changeView->setEnabled(open && twoCameras);
    m_ui->camSmall->setEnabled(open && twoCameras);
    m_ui->mapSmall->setEnabled(open && twoCameras);

    const ViewPlaces places = m_view.Places();
    // The check marks say what the small area shows; with the map in the main area, which
    // camera is small.
    const bool camSmall =
        places.front == ViewPlace::Small ||
        (twoCameras && places.rear == ViewPlace::Small && places.map == ViewPlace::Hidden);
    const bool mapSmall = places.map == ViewPlace::Small ||
                          (places.map == ViewPlace::Main && places.rear == ViewPlace::Small);
    m_ui->camSmall->SetCheck(camSmall ? 1 : 0);
    m_ui->mapSmall->SetCheck(mapSmall ? 1 : 0);
    m_ui->mapView->setText(
        QString::fromUtf8(places.map == ViewPlace::Main ? kMapSmallText : kMapLargeText));
}

void CSamplePlayerDlg::PlaceViewsNormal() {
    const ViewPlaces places = m_view.Places();
    const bool twoCameras = m_player.GetCameraCount() > 1;
    if (places.front == ViewPlace::Hidden)
        m_pFrontArea->hide();
    else
        PlaceArea(m_pFrontArea, places.front);
    if (twoCameras && places.rear != ViewPlace::Hidden)
        PlaceArea(m_pRearArea, places.rear);
    else
        m_pRearArea->hide();
    PlaceMapView(places.map);
}

void CSamplePlayerDlg::UpdateView() {
    UpdateViewButtons();
    if (!m_view.IsFullScreen()) {
        PlaceViewsNormal();
    } else {
        // STOP shrinks the areas to nothing; a recording opened in full screen needs the
        // video rectangle back.
        const QRect video = FullScreenVideoRect(width(), height());
        m_pFrontArea->setGeometry(video);
        m_pRearArea->setGeometry(video);
        m_pFrontArea->setVisible(m_view.Places().front == ViewPlace::Main);
        m_pRearArea->setVisible(m_view.Places().rear == ViewPlace::Main);
        PlaceMapView(ViewPlace::Hidden);
    }
    update();
}
