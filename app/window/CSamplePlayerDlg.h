#pragma once
// The viewer's main window: a caption-less skinned window that makes the controls and the
// window's parts and follows the playback controller (m_playback), which alone owns what
// plays and how far it has got.
//
// The parts: WindowLayout makes the skinned controls (MainWindowControls) and places them and
// the views, MainWindowActions holds the commands and keys, RecordingNavigator what is listed
// and the row that plays, PlaybackView what plays on screen (with its TelemetryPanel: the
// times, speed, graph and map; and StillCapture: the stills), TimelinePanel events, marks,
// clip export and trips, RedactionTool the regions to blur,
// and ArchiveCommands, RecoveryCommands and DeviceSettingsCommand the archive, the recovery
// and the device settings. ViewerSettings keeps the settings file; WindowDialogs says and
// asks what the window says and asks (tests answer there).
//
// GUI thread only; the player presents pictures straight into the two QtVideoArea children.
// Shutdown: OnDestroy (run by the destructor, or earlier by the owner) stops the player's
// threads before any member or child widget goes away. The files: set-up and the way out
// (CSamplePlayerDlg.cpp), making the controls (…Layout.cpp), keys (…Keyboard.cpp), the list's
// navigator and drops (…Open.cpp), the timeline panel's hooks (…Timeline.cpp), the redaction
// tool's (…Redaction.cpp). What plays is shown by PlaybackView.

#include <QDialog>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/DeviceSettingsCommand.h"
#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingNavigator.h"
#include "app/panels/TelemetryPanel.h"
#include "app/panels/TimelinePanel.h"
#include "app/playback/PlaybackController.h"
#include "app/playback/StillCapture.h"
#include "app/view/MainWindowControls.h"
#include "app/view/ViewState.h"
#include "app/view/ViewerSettings.h"
#include "app/view/WindowLayout.h"
#include "app/window/PlaybackView.h"

class ArchiveCommands;
class CBitmapSlider;
class CGraphStatic;
class CMapView;
class MainWindowActions;
class QKeyEvent;
class QLabel;
class QtVideoArea;
class RecordingListView;
class RecoveryCommands;
class RedactionTool;

class CSamplePlayerDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNormalWidth = MainWindowControls::kNormalWidth;
    static constexpr int kNormalHeight = MainWindowControls::kNormalHeight;
    static constexpr int kScreenNormal = WindowLayout::kScreenNormal;
    static constexpr int kScreenFull = WindowLayout::kScreenFull;
    static constexpr int kViewHidden = 0;
    static constexpr int kViewMain = 1;
    static constexpr int kViewSmall = 2;
    static constexpr QRect kMainArea = MainWindowControls::kMainArea;
    static constexpr QRect kSmallArea = MainWindowControls::kSmallArea;
    static constexpr QRect kGraphArea = MainWindowControls::kGraphArea;

    // dialogs: what answers the window's questions (tests answer in place); null: the
    // desktop's own dialogs. It must outlive the window.
    explicit CSamplePlayerDlg(QWidget* parent = nullptr, WindowDialogs* dialogs = nullptr);
    ~CSamplePlayerDlg() override;

    // Set-up in its fixed order; run once by the constructor.
    bool OnInitDialog();
    // Stops the player's threads and timers; safe to run more than once.
    void OnDestroy();

    // ---- settings file ----
    static std::string ConfigPath() { return ViewerSettings::Path(); }
    ViewerSettings& Settings() const { return *m_settings; }
    // Keeps what the user left (the sliders, the speed unit, the window's place, the card).
    void SaveConfig();
    WindowDialogs& Dialogs() const { return *m_dialogs; }

    // ---- layout and view state ----
    WindowLayout& Layout() const { return *m_layout; }
    void OnBnClickedButtonFullScreen() { m_layout->OnBnClickedButtonFullScreen(); }
    void OnBnClickedButtonPrevSize() { m_layout->OnBnClickedButtonPrevSize(); }
    static QRect FullScreenVideoRect(int w, int h) {
        return MainWindowControls::FullScreenVideoRect(w, h);
    }
    using NormalAreas = MainWindowControls::NormalAreas;
    static NormalAreas NormalLayout(QSize client) {
        return MainWindowControls::NormalLayout(client);
    }

    // ---- playback: what is on screen of it (PlaybackView), the list's rows ----
    PlaybackView& Shown() const { return *m_view; }
    bool OpenRecording(const std::string& path, int tripIndex = -1) {
        return m_view->Open(path, tripIndex);
    }
    void OnBnClickedButtonPlay() { m_view->Play(); }
    void OnBnClickedButtonPause() { m_view->Pause(); }
    void OnBnClickedButtonStop() { m_view->Stop(); }
    void OnBnClickedButtonPre() { m_navigator->PlayOlder(); }
    void OnBnClickedButtonNext() { m_navigator->PlayNewer(); }
    void OnBnClickedButtonBackward() { m_view->Backward(); }
    void OnBnClickedButtonForward() { m_view->Forward(); }
    void OnBnClickedButtonMute() { m_view->Mute(); }
    // OPEN always asks which card (or folder), also while one is listed.
    void OnBnClickedButtonOpen() { m_navigator->AskForCard(); }
    void OnBnClickedButtonClose();
    void OnBnClickedButtonMinimize();

    // ---- view commands, mirror, capture, zoom ----
    void OnBnClickedButtonChangeView() { m_layout->OnBnClickedButtonChangeView(); }
    void OnBnClickedButtonMapSmall() { m_layout->OnBnClickedButtonMapSmall(); }
    void OnBnClickedButtonSubCamera() { m_layout->OnBnClickedButtonSubCamera(); }
    void OnBnClickedButtonMapLarge() { m_layout->OnBnClickedButtonMapLarge(); }
    void OnBnClickedCheckMirror() { m_layout->OnBnClickedCheckMirror(); }
    void OnBnClickedButtonCapture() { Capture().OnCapture(); }
    void OnBnClickedButtonZoom() { m_layout->OnBnClickedButtonZoom(); }
    StillCapture& Capture() const { return m_view->Capture(); }

    // ---- device settings ----
    void OnBnClickedButtonSetting();

    // ---- the card's deleted recordings, repaired copies; the archive on the PC ----
    RecoveryCommands& Recovery() const { return *m_recovery; }
    ArchiveCommands& Archive() const { return *m_archive; }

    // The time labels, the picture's clock, speed, graph, map marker and rate.
    TelemetryPanel& Telemetry() const { return m_view->Telemetry(); }

    // ---- commands and keys ----
    // Every key press in the window, whichever control has the focus: traced, offered to the
    // list, then to the commands' actions; always consumed.
    bool PreTranslateMessage(QKeyEvent* event);
    MainWindowActions& Actions() const { return *m_pActions; }
    MainWindowControls& Controls() const { return m_layout->Controls(); }

    // ---- recording list: what is listed, the row that plays, trips ----
    RecordingNavigator& Navigator() const { return *m_navigator; }

    // ---- timeline: events, in/out marks, the route, clip export, trips (…Timeline.cpp) ----
    // Events, marks, the route and clip export of what plays; made with the controls.
    TimelinePanel& Timeline() const { return *m_pTimeline; }
    void SeekToRecordingMs(int64_t ms) { m_view->SeekToRecordingMs(ms); }
    void SeekOnTimeline(int64_t timelineMs) { m_view->SeekOnTimeline(timelineMs); }
    void WhenOpened(std::function<void()> then) { m_view->WhenOpened(std::move(then)); }
    const std::vector<std::string>& TripPaths() const { return m_view->TripPaths(); }
    size_t TripIndex() const { return m_view->TripIndex(); }

    // ---- the regions to blur of the recording on screen (…Redaction.cpp) ----
    RedactionTool& Redaction() const { return *m_pRedaction; }

    // ---- state, for the window's own parts and its tests ----
    // The control of a numeric id, as the slider notices and the tests name them.
    QWidget* GetDlgItem(int controlId) const {
        return m_layout ? Controls().Item(controlId) : nullptr;
    }
    PlaybackController& Playback() { return m_playback; }
    QtVideoArea* FrontArea() const { return Controls().front; }
    QtVideoArea* RearArea() const { return Controls().rear; }
    RecordingListView* List() const;
    CGraphStatic* Graph() const { return Controls().graph; }
    CBitmapSlider* PositionSlider() const { return Controls().position; }
    CBitmapSlider* VolumeSlider() const { return Controls().volume; }
    CBitmapSlider* BrightSlider() const { return Controls().bright; }
    int ScreenMode() const { return m_layout->ScreenMode(); }
    int CurIndex() const { return m_navigator->CurIndex(); }
    bool IsPlayerActive() const { return m_view->IsPlayerActive(); }
    bool CanSeek() const { return m_view->CanSeek(); }
    // The recording shown was played out and holds its last picture (the newest one).
    bool IsHeldAtEnd() const { return m_playback.State() == PlaybackState::Ended; }
    std::string OpenRecordingPath() const { return m_view->OpenRecordingPath(); }
    // The window follows an open recording (its position, the end, hand-overs).
    bool IsFollowingPlayback() const { return m_playback.HasMedia(); }
    const std::string& DrivePath() const { return m_navigator->Cards().DrivePath(); }
    int FrontView() const { return static_cast<int>(View().Places().front); }
    int RearView() const { return static_cast<int>(View().Places().rear); }
    int MapView() const { return static_cast<int>(View().Places().map); }
    const ViewState& View() const { return m_layout->View(); }
    CMapView* MapViewWidget() const { return m_layout->MapView(); }

    // ---- the open recording; the way out ----
    const std::string& CurrentPath() const { return m_view->CurrentPath(); }
    // The quiet way out (a quit signal, the session ending): settings saved, player stopped,
    // window closed, without the question.
    void QuitNow();
    // The quit was confirmed: the window is going.
    bool IsClosing() const { return m_stage != Stage::Open; }

signals:
    // The player has shown the recording's last frame; the window moves on right after.
    void RecordingEnded(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override { m_layout->Frame().Paint(); }
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        if (m_pActions) m_layout->Resized();  // not while the window is still being built
    }
    void mousePressEvent(QMouseEvent* event) override { m_layout->Frame().MousePress(event); }
    void mouseMoveEvent(QMouseEvent* event) override { m_layout->Frame().MouseMove(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { m_layout->Frame().MouseRelease(event); }

private:
    void InitControls();
    void CreatePanels();
    void CreateControls();
    void CreateActions();
    // Makes the list's navigator, which follows what the user asks of the list.
    void CreateNavigator();

    void CloseDown();
    void CreateTimeline();

    // What answers the window's questions: the desktop's, or the caller's (not owned).
    std::shared_ptr<WindowDialogs> m_dialogs;
    ViewerSettings* m_settings = nullptr;  // child
    // The playback session and what plays next; its threads are joined before it goes.
    PlaybackController m_playback;
    // Open; closing once the quit is confirmed; destroyed once OnDestroy stopped the player.
    enum class Stage { Open, Closing, Destroyed } m_stage = Stage::Open;

    // What is on screen of what plays, its telemetry panel and stills; goes after the
    // parts below, which may still ask it while they go.
    std::unique_ptr<PlaybackView> m_view;
    std::unique_ptr<RecordingNavigator> m_navigator;  // made with the list (CreateNavigator)

    // Makes the skinned controls (Qt owns them) and places them, the views and the frame.
    std::unique_ptr<WindowLayout> m_layout;
    MainWindowActions* m_pActions = nullptr;  // child

    // Timeline (GUI thread only); declared last, so it goes first, before the controller.
    std::unique_ptr<TimelinePanel> m_pTimeline;
    RedactionTool* m_pRedaction = nullptr;  // child; made with the timeline
    void CreateRedaction();
    std::unique_ptr<RecoveryCommands> m_recovery;
    std::unique_ptr<ArchiveCommands> m_archive;
};
