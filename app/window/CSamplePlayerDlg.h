#pragma once
// The viewer's main window: a caption-less skinned window that owns the player and its
// parts, the telemetry of the open recording, the recording list and the G-sensor graph.
//
// Threads: everything here runs on the GUI thread except OnTextChunkThunk, which the
// player's worker calls with the player lock held; it only appends to m_textData, which has
// its own lock. The player presents pictures straight into the two QtVideoArea children.
// What plays and how far it has got belongs to the playback controller (m_playback); the
// window follows its signals (…Display.cpp) and never polls the player.
//
// Shutdown: OnDestroy (run by the destructor, or earlier by the owner) stops the player's
// threads before any member or child widget goes away.
//
// The window is split by seam: set-up and settings (CSamplePlayerDlg.cpp), making the controls
// and the note over the pictures (…Layout.cpp), playback commands (…Playback.cpp), the card
// dialogs and drops (…Open.cpp), following the playback controller (…Display.cpp), the
// commands' table and the keys (…Keyboard.cpp), the window's side of the timeline
// (…Timeline.cpp), still capture (…Capture.cpp) and the device settings (…Settings.cpp).
// What is listed, the row that plays and trips are the RecordingNavigator's (the list itself
// is RecordingListView over RecordingListModel); events, marks, the route and clip export are
// the TimelinePanel's. The skinned controls are made and placed by MainWindowControls, the
// commands are MainWindowActions, the layouts, the views' places, the map view and the zoom
// window are WindowLayout's (its WindowFrame paints and drags the window), what plays is the
// PlaybackController's.

#include <QDialog>
#include <QRect>
#include <QString>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Engine parts; the player header pulls in the media interfaces.
#include "app/dialogs/CEvidenceDlg.h"
#include "app/dialogs/CExportDlg.h"
#include "app/dialogs/CRecoverDlg.h"
#include "app/dialogs/ClipExportCommand.h"
#include "app/list/RecordingNavigator.h"
#include "app/panels/TelemetryPanel.h"
#include "app/panels/TimelinePanel.h"
#include "app/playback/PlaybackController.h"
#include "app/playback/StillCapture.h"
#include "app/view/MainWindowControls.h"
#include "app/view/ViewState.h"
#include "app/view/WindowLayout.h"
#include "library/RecordingCatalogue.h"
#include "telemetry/CTextData.h"
#include "telemetry/TelemetryLogic.h"

class CBitmapButtonTrans;
class CBitmapSlider;
class CxSkinButton;
class CGraphStatic;
class CMapView;
class CSettingDlg;
class QFileSystemWatcher;
class MainWindowActions;
class VCardFormatter;
class QtVideoArea;
class QLabel;
class QtVideoClickFilter;
class QtNoteLabel;
class ArchiveAccess;
class ArchiveImportBar;
class ArchiveSettingsDlg;
class ArchiveView;
class CardInsertWatcher;
struct CardImportSummary;
enum class BookmarkResult;
class RecordingListView;
class RedactionTool;
class QKeyEvent;

class CSamplePlayerDlg : public QDialog, private StillCapture::Host {
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
    static constexpr int kSeekStepSec = 10;
    static constexpr int kVolumeKeyStep = 5;
    static constexpr int kVolumeMax = 99;
    static constexpr int kDefaultVolume = 50;
    static constexpr int kDefaultBrightness = 0;
    static constexpr int kMissingConfigValue = -200;
    // Settings key: 0 leaves the GPS position out of saved stills.
    static constexpr const char* kStillsPositionKey = "stills_position";
    // Settings key: the normal window's place and size, "x,y,width,height".
    static constexpr const char* kWindowKey = "window";
    // The settings file of earlier versions, read from the working folder.
    static constexpr const char* kLegacyConfigPath = "./config.cfg";

    explicit CSamplePlayerDlg(QWidget* parent = nullptr);
    ~CSamplePlayerDlg() override;

    // Set-up in its fixed order; run once by the constructor.
    bool OnInitDialog();
    // Stops the player's threads and timers; safe to run more than once.
    void OnDestroy();

    // ---- settings file ----
    // $XDG_CONFIG_HOME/tarvex/config.cfg (~/.config when the variable is unset or relative).
    static std::string ConfigPath();
    // Copies a settings file of earlier versions from the working folder to ConfigPath() when
    // there is none there yet; true when it did.
    static bool ImportLegacyConfig();
    void InitConfig();
    void SaveConfig();

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

    // ---- playback ----
    // tripIndex: the path is that recording of the trip set on the controller.
    bool OpenRecording(const std::string& path, int tripIndex = -1);
    void OnBnClickedButtonPlay();
    void OnBnClickedButtonPause();
    void OnBnClickedButtonStop();
    void OnBnClickedButtonPre();
    void OnBnClickedButtonNext();
    void OnBnClickedButtonBackward();
    void OnBnClickedButtonForward();
    void OnBnClickedButtonMute();
    void OnBnClickedButtonOpen();
    void OnBnClickedButtonClose();
    void OnBnClickedButtonMinimize();
    int OnSliderMoved(int controlId, int position);

    // ---- view commands, mirror, capture, zoom ----
    void OnBnClickedButtonChangeView() { m_layout->OnBnClickedButtonChangeView(); }
    void OnBnClickedButtonMapSmall() { m_layout->OnBnClickedButtonMapSmall(); }
    void OnBnClickedButtonSubCamera() { m_layout->OnBnClickedButtonSubCamera(); }
    void OnBnClickedButtonMapLarge() { m_layout->OnBnClickedButtonMapLarge(); }
    void OnBnClickedCheckMirror() { m_layout->OnBnClickedCheckMirror(); }
    void OnBnClickedButtonCapture() { m_capture->OnCapture(); }
    void OnBnClickedButtonZoom() { m_layout->OnBnClickedButtonZoom(); }
    StillCapture& Capture() const { return *m_capture; }
    // A short note over the pictures that goes away by itself; null until the first one.
    QtNoteLabel* Note() const { return m_pNote; }

    // ---- device settings ----
    void OnBnClickedButtonSetting();
    // What is on screen: the recording (or trip) and its position, play or pause, the views
    // and the list's category and mode; restored after a dialog that had to close it.
    struct PlaybackMoment {
        std::string path;  // empty: nothing open
        std::vector<std::string> tripPaths;
        size_t tripIndex = 0;
        int row = -1;
        int64_t positionMs = 0;
        bool playing = false;
        bool tripsView = false;
        CatalogueView view = CatalogueView::Driving;
        int front = kViewHidden, rear = kViewHidden, map = kViewHidden;
    };
    PlaybackMoment CurrentMoment() const;
    void RestoreMoment(const PlaybackMoment& moment);
    void OpenDeviceSettings(const std::string& drive, const PlaybackMoment& moment);
    // The card whose settings are edited: the one listed, or the one the user picks now.
    bool ChooseSettingsDrive();

    // ---- the card's deleted recordings, repaired copies (…Recover.cpp) ----
    // Recovers the deleted recordings of the card in the reader at drive into a folder the
    // user picks; the dialog (child of parent) can list that folder in the window.
    void RecoverFromCard(const std::string& drive, QWidget* parent);

    // ---- the archive on the PC (…Archive.cpp) ----
    // Imports the card's recordings missing from the archive, a busy bar over parent meanwhile.
    void ImportBeforeFormat(const std::string& drive, QWidget* parent);
    // A volume was mounted: when it is a dashcam card with recordings the archive lacks, the
    // window offers to import them (or imports them, or does nothing: the archive_import key
    // of the settings, ask, always or never).
    void OnVolumeMounted(const QString& mountPoint);
    ArchiveImportBar* ImportBar() const { return m_pImportBar; }
    static constexpr const char* kArchiveImportKey = "archive_import";
    // B: bookmarks the moment on screen in the archive, with a note the user gives.
    void OnBookmark();
    // The Archive view (H): the archive's days, trips and bookmarks, its search and routes;
    // made when first asked for. Null until then.
    void OpenArchiveView();
    ArchiveView* ArchiveViewWindow() const { return m_pArchiveView; }
    // Plays an archived recording from offsetMs, listed in its own folder as a dropped file is.
    void PlayArchived(const QString& path, qint64 offsetMs);
    // Writes a copy of a recording cut short that other players open, into a folder the
    // user picks, in the background; a message says where it went or why it did not.
    void RepairForOtherPlayers(const QString& path);

    // ---- following playback (…Display.cpp) ----
    // The time labels, the picture's clock, speed, graph, map marker and rate.
    TelemetryPanel& Telemetry() const { return *m_telemetry; }

    // ---- commands and keys ----
    // Every key press in the window, whichever control has the focus: traced, offered to the
    // list, then to the commands' actions; always consumed.
    bool PreTranslateMessage(QKeyEvent* event);
    MainWindowActions& Actions() const { return *m_pActions; }
    MainWindowControls& Controls() const { return *m_ui; }
    void OnVolumeUp();
    void OnVolumeDown();
    // One frame forward or back, paused first; the playback rate a step up or down.
    void OnStepFrame(int direction);
    void OnStepRate(int step);

    // ---- recording list: what is listed, the row that plays, trips ----
    RecordingNavigator& Navigator() const { return *m_navigator; }

    // ---- timeline: events, in/out marks, the route, clip export, trips (…Timeline.cpp) ----
    // Events, marks, the route and clip export of what plays; made with the controls.
    TimelinePanel& Timeline() const { return *m_pTimeline; }
    // Seeks to a time of the open recording (whole seconds, as every seek).
    void SeekToRecordingMs(int64_t ms);
    // Seeks on the timeline of what plays; a time in another recording of the trip opens it.
    void SeekOnTimeline(int64_t timelineMs);
    const std::vector<std::string>& TripPaths() const;
    // The trip's recording on screen (0 outside a trip).
    size_t TripIndex() const;

    // ---- the regions to blur of the recording on screen (…Redaction.cpp) ----
    RedactionTool& Redaction() const { return *m_pRedaction; }

    // ---- state, for the window's own parts and its tests ----
    // The control of a numeric id, as the slider notices and the tests name them.
    QWidget* GetDlgItem(int controlId) const { return m_ui ? m_ui->Item(controlId) : nullptr; }
    CQRVMediaPlayer& Player() { return m_player; }
    PlaybackController& Playback() { return m_playback; }
    CWaveBox& WaveBox() { return m_playback.Session().Output(); }
    CTextData& TextData() { return m_textData; }
    QtVideoArea* FrontArea() const { return m_pFrontArea; }
    QtVideoArea* RearArea() const { return m_pRearArea; }
    RecordingListView* List() const { return m_listFilename; }
    CGraphStatic* Graph() const { return m_pGraph; }
    CBitmapSlider* PositionSlider() const { return m_sliderPos; }
    CBitmapSlider* VolumeSlider() const { return m_sliderVolume; }
    CBitmapSlider* BrightSlider() const { return m_sliderBright; }
    int ScreenMode() const { return m_layout->ScreenMode(); }
    int CurIndex() const { return m_navigator->CurIndex(); }
    bool IsPlayerActive() const;
    // A recording is open, playing, paused or held at its end.
    bool CanSeek() const;
    // The recording shown was played out and holds its last picture (the newest one).
    bool IsHeldAtEnd() const { return m_playback.State() == PlaybackState::Ended; }
    // The file of the open recording's row; empty when nothing is open.
    std::string OpenRecordingPath() const;
    // The window follows an open recording (its position, the end, hand-overs).
    bool IsFollowingPlayback() const { return m_playback.HasMedia(); }
    const std::string& DrivePath() const { return m_navigator->Cards().DrivePath(); }
    int FrontView() const { return static_cast<int>(View().Places().front); }
    int RearView() const { return static_cast<int>(View().Places().rear); }
    int MapView() const { return static_cast<int>(View().Places().map); }
    const ViewState& View() const { return m_layout->View(); }
    CMapView* MapViewWidget() const { return m_layout->MapView(); }
    bool IsMapNavigated() const { return m_bMapNavigated; }

    // ---- the open recording; the way out ----
    // The recording open now; empty when none.
    const std::string& CurrentPath() const { return m_strCurrentPath; }
    QString NoteText() const;
    // The quiet way out (a quit signal, the session ending): settings saved, player stopped,
    // window closed, without the question.
    void QuitNow();

signals:
    // The player has shown the recording's last frame; the window moves on right after.
    void RecordingEnded(const QString& path);
    // The volume slider or the mute button changed the sound's volume.
    void VolumeChanged();

protected:
    using DriveChoice = ::DriveChoice;
    // The drive question.
    virtual DriveChoice RunDriveDialog(std::string* drive);
    // The card folder chooser: the chosen folder, or empty when cancelled.
    virtual QString RunFolderDialog(const QString& startFolder);
    // A short non-modal note over the bottom of the main area; a persistent note stays until
    // the next one, the others go away by themselves.
    virtual void ShowNote(const QString& text, bool persistent = false);
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Modal questions and choices; tests answer them without a nested event loop.
    virtual bool AskQuit(const QString& text, const QString& caption);
    virtual void ShowMessage(const QString& text);
    // The capture's save dialog, starting at the proposed full path: the chosen full path, or
    // empty when cancelled.
    virtual QString RunCaptureDialog(const QString& proposedPath);
    // The bookmark's note for the moment at (a clock text); false when cancelled.
    virtual bool AskBookmarkNote(const QString& at, QString* note);
    // Runs the settings dialog modally and returns its result.
    virtual int RunSettingsDialog(CSettingDlg& dialog);
    // Runs the archive's settings modally; true when they were accepted.
    virtual bool RunArchiveSettingsDialog(ArchiveSettingsDlg& dialog);
    // The card formatter the settings dialog uses; null: the desktop's.
    virtual VCardFormatter* CardFormatter() { return nullptr; }
    virtual std::tm LocalTime() const;
    // The clip's tier and options, asked before its file; false when cancelled.
    virtual bool RunExportOptionsDialog(CExportDlg::Choice* choice);
    // The clip's file (a save dialog): the chosen path, or empty when cancelled.
    virtual QString RunExportPathDialog(const QString& proposedPath);
    // Runs the started export dialog modally.
    virtual void RunExportDialog(CExportDlg& dialog);
    // The evidence package's folder (a save dialog; the folder is made by the package):
    // the chosen path, or empty when cancelled.
    virtual QString RunEvidenceFolderDialog(const QString& proposedPath);
    // Runs the started evidence package dialog modally.
    virtual void RunEvidenceDialog(CEvidenceDlg& dialog) { dialog.exec(); }
    // How the card at drive is read for a recovery (the desktop's disk service, read-only);
    // empty when drive is no removable card.
    virtual CRecoverDlg::SourceOpener RecoverySource(const std::string& drive);
    // A folder for recovered recordings or a repaired copy: the chosen one, or empty.
    virtual QString RunOutputFolderDialog(const QString& caption);
    // Runs the started recovery dialog modally.
    virtual void RunRecoverDialog(CRecoverDlg& dialog) { dialog.exec(); }
    // The evidence package's stretch around the picture on screen; false when cancelled.
    virtual bool RunEvidenceStretchDialog(ClipExportCommand::Stretch* stretch);

    bool event(QEvent* event) override;
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
    void CreateTelemetryAndCapture();
    void CreateControls();
    void CreateActions();
    // Makes the list's navigator, which follows what the user asks of the list.
    void CreateNavigator();
    // The list menu's recovery and repair commands (…Recover.cpp).
    void ConnectRecoveryCommands();

    void ShowPlayButton(bool showPlay) { m_ui->ShowPlayButton(showPlay); }
    // PLAY stands wherever the controller is not playing; the buttons follow its state.
    bool IsPlayShown() const { return m_playback.State() != PlaybackState::Playing; }
    void SetLabelText(QLabel* label, const std::string& text) {
        m_ui->SetLabelText(label, QString::fromStdString(text));
    }
    void ApplyVolume(int value);
    void ApplyBrightness(int value);

    // Opening, failures and the card coming and going.
    bool TryOpen(const std::string& path, int tripIndex = -1);
    // An open that will not show: nothing of the recording asked for stays.
    void ForgetOpened();
    // False when the open recording (or its card) went away; the window has moved on.
    bool CheckRecordingStillThere();
    // Follows path's file (none when empty) so that its going is noticed when it happens.
    void WatchRecording(const std::string& path);
    // Nothing newer follows what plays: the top row, at the end of its trip if it is one.
    bool IsNewestPlaying() const;
    void CloseDown();
    // Timeline (…Timeline.cpp).
    void CreateTimeline();
    // Runs a seek of the controller's and shows where it landed (another recording opened, or
    // a failure to open it, as an open would).
    void SeekOnTimeline(const std::function<bool()>& seek);
    // The controller's signals (…Display.cpp).
    void ConnectPlayback();
    void OnPlaybackPosition(int64_t timelineMs);
    void OnPlaybackState(PlaybackState state);
    // The controller went on into another recording by itself (a trip's hand-over): the
    // window follows it (slider, times, title, views, timeline marks) as an open shows it.
    void OnPlaybackRecording(const QString& path);
    // An open asked for is done (the window's own, or another trip recording a seek opened).
    void ShowOpened(const std::string& path);
    void OnPlaybackEnded();
    void OnPlaybackFailed(const QString& path);
    // A recording that cannot be played (any more): marked, and the next one tried.
    void LeaveUnplayable(const std::string& path);
    void OnPlaybackLength(int64_t ms);
    // Shows a recording that was just opened, or handed over to (keepLayout: the views stay
    // as the user left them while the camera count is the same).
    void ShowRecording(const std::string& path, bool keepLayout = false);

    static void OnTextChunkThunk(void* user, const uint8_t* payload, int32_t length,
                                 int32_t positionMs);

    // Members the player's threads use are declared before the player, so they outlive it
    // even if the threads were not stopped first.
    CTextData m_textData;
    // The player's open serial and hand-over count the text in m_textData belongs to (the
    // worker's text callback empties m_textData when either changes).
    std::atomic<uint64_t> m_nTextRecording{0};
    // The playback session and what plays next; its threads are joined before it goes.
    PlaybackController m_playback;
    CQRVMediaPlayer& m_player = m_playback.Player();
    bool m_bDestroyed = false;

    QtVideoArea* m_pFrontArea = nullptr;
    QtVideoArea* m_pRearArea = nullptr;
    CBitmapSlider* m_sliderPos = nullptr;
    CBitmapSlider* m_sliderVolume = nullptr;
    CBitmapSlider* m_sliderBright = nullptr;
    QLabel* m_pCurTime = nullptr;
    QLabel* m_pTotalTime = nullptr;
    QLabel* m_pSpeed = nullptr;
    RecordingListView* m_listFilename = nullptr;  // the list and its model (rows, marks)
    CGraphStatic* m_pGraph = nullptr;
    bool m_bMapNavigated = false;  // the map's page was requested
    std::unique_ptr<TelemetryPanel> m_telemetry;
    std::unique_ptr<StillCapture> m_capture;

    // Video clicks, capture note (GUI thread only).
    QtVideoClickFilter* m_pVideoClicks = nullptr;
    QtNoteLabel* m_pNote = nullptr;

    // Opening, faults and the way out (GUI thread only).
    std::string m_strCurrentPath;  // the open recording; empty when none
    // The controller's trip as std::strings and the shown recording's place in it, worked out
    // again only when one of them changes: a trip may hold thousands of recordings, and the
    // timeline asks on every picture.
    struct TripView {
        QStringList trip;
        std::vector<std::string> paths;
        std::string shown;
        qsizetype index = -1;
        bool indexKnown = false;
    };
    mutable TripView m_tripView;
    // Tells when the open recording (or its card) goes, also while paused; child.
    QFileSystemWatcher* m_pRecordingWatcher = nullptr;
    std::unique_ptr<RecordingNavigator> m_navigator;  // made with the list (CreateNavigator)
    bool m_bQuitConfirmed = false;
    // The window is asking the controller to open or seek: a refusal the controller gives
    // before it returns is handled where the window asked, not by the slots.
    bool m_bOpening = false;
    // Runs once when the open asked for last is done (a moment put back after a dialog);
    // dropped when it fails or another open is asked for.
    std::function<void()> m_whenOpened;
    int64_t m_nShownSecond = -1;  // the second of the timeline last shown
    // The settings file exists but could not be read at start: it is never written.
    bool m_bConfigUnreadable = false;

    std::unique_ptr<MainWindowControls> m_ui;  // knows the skinned controls; Qt owns them
    std::unique_ptr<WindowLayout> m_layout;    // places them, the views and the frame
    MainWindowActions* m_pActions = nullptr;   // child

    // Timeline (GUI thread only); declared last, so it goes first, before the controller.
    std::unique_ptr<TimelinePanel> m_pTimeline;
    BackgroundJob m_repairJob;            // the repaired copy being written; GUI thread only
    BackgroundJob m_archiveJob;           // an import before a format; GUI thread only
    ArchiveAccess* m_pArchive = nullptr;  // child
    CardInsertWatcher* m_pCardWatcher = nullptr;  // child
    ArchiveImportBar* m_pImportBar = nullptr;     // child
    ArchiveView* m_pArchiveView = nullptr;        // child window, made when first opened
    void SetUpArchive();
    void OnArchiveSettings();
    RedactionTool* m_pRedaction = nullptr;  // child; made with the timeline
    void CreateRedaction();
    void StartArchiveImport(const QString& card);
    void OnArchiveImportFinished(const CardImportSummary& summary);
    void OnBookmarked(qint64 offsetMs, BookmarkResult result, const QString& error);
};
