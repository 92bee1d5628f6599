#pragma once
// Where the main window puts things: the normal window's layout at its size and the full-screen
// one, which of front camera, rear camera and map takes the main and the small area (the view
// state and the commands that change it), the rear camera's mirror, the map view itself and
// the zoom window. The frame (background, dragging, resize edges) is its WindowFrame.
//
// The window owns one of these. It makes the skinned controls (MainWindowControls); they, the
// map view and the zoom window are the window's children, this object only places them. GUI
// thread only.

#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <functional>
#include <string>

#include "app/dialogs/CZoomDlg.h"
#include "app/view/MainWindowControls.h"
#include "app/view/ViewState.h"
#include "app/view/WindowFrame.h"

class CMapView;
class CPixImgBase;
class ControlsAutoHide;
class PlaybackController;
class QWidget;

class WindowLayout {
public:
    static constexpr int kScreenNormal = 1;
    static constexpr int kScreenFull = 2;
    static constexpr int kZoomClientWidth = 409;  // a 425 x 330 window less its frame and caption
    static constexpr int kZoomClientHeight = 291;
    // Window texts of the map button (1101), the same in both languages.
    static constexpr const char* kMapLargeText = "지도 크게보기";
    static constexpr const char* kMapSmallText = "지도 작게보기";

    // isPlayerActive: a recording plays or is paused (the time labels are kept then).
    WindowLayout(QWidget& window, PlaybackController& playback,
                 std::function<bool()> isPlayerActive);
    WindowLayout(const WindowLayout&) = delete;
    WindowLayout& operator=(const WindowLayout&) = delete;

    // ---- the two layouts ----
    int LayoutControls(int mode);
    void LoadBackground() { m_frame.LoadBackground(); }
    // The window's size changed (the window manager may grant full screen late).
    void Resized();
    void OnBnClickedButtonFullScreen();
    void OnBnClickedButtonPrevSize();
    void ToggleFullScreen();
    // The normal window over the screen's free area, or back to the size it had.
    void ToggleMaximized();

    // ---- the view state on screen ----
    // A recording was opened, or handed over to: the views laid out anew for its cameras,
    // unless keepLayout and its camera count is the one they were laid out for.
    void OpenViews(bool keepLayout);
    // Nothing open: every view hidden (the areas are placed by the caller).
    void CloseViews() { m_view.Close(); }
    // Puts the three views where given and applies them; places no layout has leave the
    // views as they are.
    void SetViewState(int front, int rear, int map);
    void UpdateView();
    void HideVideoAreas();
    void PlaceMapView(ViewPlace where);

    // ---- view commands, mirror, zoom ----
    void OnBnClickedButtonChangeView();
    void OnBnClickedButtonMapSmall();
    void OnBnClickedButtonSubCamera();
    void OnBnClickedButtonMapLarge();
    // Mirrors the rear camera's picture, or stops mirroring it (one camera: never mirrored).
    void OnBnClickedCheckMirror();
    void SetRearMirrored(bool mirrored);
    void OnBnClickedButtonZoom();

    // ---- the map view and the zoom window ----
    // Makes the map view (hidden) and asks for its page with the tile keys of the settings
    // file at configPath; true when the page was asked for.
    bool CreateMapView(const std::string& configPath);
    // Deletes the zoom window and the map view before the window's parts go.
    void DestroyViews();
    CMapView* MapView() const { return m_pMapView; }
    CZoomDlg* ZoomDialog() const { return m_pZoomDlg; }

    // Where a note over the pictures stands: the bottom of the main area, or of the full-screen
    // picture inside the window.
    QRect NoteArea() const;
    const ViewState& View() const { return m_view; }
    MainWindowControls& Controls() { return m_controls; }
    int ScreenMode() const { return m_view.IsFullScreen() ? kScreenFull : kScreenNormal; }
    QRect MainAreaRect() const { return m_rcMainArea; }
    QRect SmallAreaRect() const { return m_rcSmallArea; }
    const QPixmap& Background() const { return m_frame.Background(); }
    WindowFrame& Frame() { return m_frame; }

private:
    int CameraCount() const;
    void ResetTimeLabels();
    void PlaceNormalControls();
    void PlaceArea(QWidget* area, ViewPlace where);
    void PlaceViewsNormal();
    // The view commands' buttons: which take presses, which are checked, the map button's text.
    void UpdateViewButtons();
    // A view command: applied to the view state and shown, when a recording is open and has
    // the cameras the command needs.
    void RunViewCommand(ViewCommand command, int camerasNeeded);

    QWidget& m_window;
    MainWindowControls m_controls;
    PlaybackController& m_playback;
    std::function<bool()> m_isPlayerActive;
    ViewState m_view;
    WindowFrame m_frame;
    QRect m_rcWindow;          // the window's geometry at the last layout
    QRect m_rcBeforeMaximize;  // the geometry the maximise button goes back to
    QRect m_rcMainArea = MainWindowControls::kMainArea;  // the areas of the current normal layout
    QRect m_rcSmallArea = MainWindowControls::kSmallArea;
    int m_nShownCameras = 0;         // camera count of the recording the views were laid out for
    CMapView* m_pMapView = nullptr;  // the window's child; deleted by DestroyViews
    CZoomDlg* m_pZoomDlg = nullptr;  // created on the first press of the zoom button
    // The zoom window's source over a camera's picture: the full-size picture the player
    // publishes, asked for again when the frame moved on or now and then while paused.
    bool PictureAt(QPoint global, CZoomDlg::RecordingPicture* out);
    static constexpr int kPictureRecopyMs = 500;
    struct PictureCache {
        QImage image;
        const CPixImgBase* source = nullptr;  // the published picture the image shows
        QElapsedTimer age;                    // since the last request
    };
    PictureCache m_pictureCache[2];
    ControlsAutoHide* m_autoHide;  // the window's child: full screen's controls
};
