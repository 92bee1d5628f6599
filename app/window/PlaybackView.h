#pragma once
// What the window shows of what plays: the recording on screen and its opening, the position
// slider and the moment its telemetry panel shows, following the playback controller's
// signals on every picture, seek, hand-over, end and failure; the stills of the pictures on
// screen; the transport commands, the sound (volume and mute, kept in the viewer's settings)
// and seeks on the timeline of what plays. The controller owns what plays; this only keeps
// what is on screen of it (the recording a hand-over has reached, its trip's place).
//
// GUI thread only.

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/panels/TelemetryPanel.h"
#include "app/playback/PlaybackController.h"
#include "app/playback/StillCapture.h"

class CSamplePlayerDlg;
class QFileSystemWatcher;
class WindowDialogs;

class PlaybackView : public QObject, private StillCapture::Host {
    Q_OBJECT
public:
    PlaybackView(CSamplePlayerDlg& window, PlaybackController& playback, WindowDialogs& dialogs);
    ~PlaybackView() override;

    // Makes the telemetry panel and the stills once the window's controls are there.
    // fixOnScreen: the valid fix of the picture on screen from the walk of what plays (see
    // TelemetryPanel::Host).
    void CreatePanels(std::function<int(CGPSData*)> fixOnScreen);
    // Follows the controller's signals; run once the window's parts are made.
    void Connect();
    // The time labels, the picture's clock, speed, graph, map marker and rate.
    TelemetryPanel& Telemetry() const { return *m_telemetry; }
    StillCapture& Capture() const { return *m_capture; }

    // ---- opening ----
    // tripIndex: the path is that recording of the trip set on the controller.
    bool Open(const std::string& path, int tripIndex = -1);
    // The recording on screen; empty when none.
    const std::string& CurrentPath() const override { return m_strCurrentPath; }
    // The file of the open recording; empty when nothing plays or is paused.
    std::string OpenRecordingPath() const;
    // Runs then once the open asked for last is done (a moment put back after a dialog);
    // dropped when it fails or another open is asked for.
    void WhenOpened(std::function<void()> then) { m_whenOpened = std::move(then); }
    // Playing or paused.
    bool IsPlayerActive() const;
    // A recording is open, playing, paused or held at its end.
    bool CanSeek() const;

    // ---- transport ----
    void Play();
    void Pause();
    void Stop();
    // The way out: the controller stopped, nothing else shown any more.
    void StopQuietly();
    // Ten seconds back or on; closer to an end than that, to that end.
    void Backward();
    void Forward();
    // Turns the sound off or back on at the volume kept.
    void Mute();
    // The sound at the volume slider's value (0: muted), kept in the viewer's settings.
    void ApplyVolume(int value);

    // ---- the timeline of what plays ----
    // Seeks to a time of the open recording (whole seconds, as every seek).
    void SeekToRecordingMs(int64_t ms);
    // Seeks on the timeline of what plays; a time in another recording of the trip opens it.
    void SeekOnTimeline(int64_t timelineMs);
    const std::vector<std::string>& TripPaths() const;
    // The trip's recording on screen (0 outside a trip).
    size_t TripIndex() const;
    // Shows the moment now, also in the same second as last shown (the graph was drawn anew,
    // the unit changed).
    void ShowMomentAgain();

signals:
    // The recording on screen was shown to its end, or handed over from.
    void recordingEnded(const QString& path);

private:
    const std::string& DrivePath() const override;
    // The player's volume and the mute button as the settings have them.
    void ApplySound();
    void OnPlaybackPosition(int64_t timelineMs);
    void OnPlaybackState(PlaybackState state);
    // The controller went on into another recording by itself (a trip's hand-over): the
    // window follows it (slider, times, title, views, timeline marks) as an open shows it.
    void OnPlaybackRecording(const QString& path);
    void OnPlaybackLength(int64_t ms);
    void OnPlaybackEnded();
    void OnPlaybackFailed(const QString& path);
    bool TryOpen(const std::string& path, int tripIndex);
    // An open that will not show: nothing of the recording asked for stays.
    void ForgetOpened();
    // An open asked for is done (the window's own, or another trip recording a seek opened).
    void ShowOpened(const std::string& path);
    // Shows a recording that was just opened, or handed over to (keepLayout: the views stay
    // as the user left them while the camera count is the same).
    void ShowRecording(const std::string& path, bool keepLayout = false);
    // A recording that cannot be played (any more): marked, and the next one tried.
    void LeaveUnplayable(const std::string& path);
    // False when the open recording (or its card) went away; the window has moved on.
    bool CheckRecordingStillThere();
    // Follows path's file (none when empty) so that its going is noticed when it happens.
    void WatchRecording(const std::string& path);
    // Nothing newer follows what plays: the top row, at the end of its trip if it is one.
    bool IsNewestPlaying() const;
    // Runs a seek of the controller's and shows where it landed (another recording opened, or
    // a failure to open it, as an open would).
    void SeekOnTimeline(const std::function<bool()>& seek);

    CSamplePlayerDlg& m_window;
    PlaybackController& m_playback;
    WindowDialogs& m_dialogs;
    std::unique_ptr<TelemetryPanel> m_telemetry;
    std::unique_ptr<StillCapture> m_capture;
    std::string m_strCurrentPath;  // the recording on screen; empty when none
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
    // Asking the controller to open or seek: a refusal the controller gives before it
    // returns is handled where it was asked, not by the slots.
    bool m_bOpening = false;
    std::function<void()> m_whenOpened;
    int64_t m_nShownSecond = -1;  // the second of the timeline last shown
};
