#pragma once
// What plays, and how far it has got: the one owner of the playback session and of what
// plays next (one recording, or a trip played recording after recording as one timeline).
// The window, the desktop's media controls and the tool observe it through its signals;
// none of them keeps a copy of the play state or asks the player for it on a timer.
//
// Threads: every operation and every signal is on the thread that owns this object (the GUI
// thread), which never waits for the player's worker: not for a file to open or an index to
// be built, nor for a picture. An open, a close and a still are asked of the worker and return
// at once (state Loading for an open); the worker reports them done or refused, with frames,
// hand-overs and the end, through its event callback; OnPlayerEvent only notes them and posts
// them here as queued calls, so no signal comes from inside the worker's call. The one call
// that waits is WaitUntilClosed, for a thread other than the GUI thread (the card format's
// job, before the volume is unmounted). Frame
// events are coalesced: at most one is outstanding, carrying the newest frame, so a busy GUI
// thread is never flooded. While paused the worker reports nothing and nothing is posted.
// Trip lengths are probed by a background job and posted back the same way.
//
// Position: on the timeline of what plays. For a trip it is the time since the trip's start
// (each recording starts where the one before it ends), once the lengths of its recordings
// are known; until then the recording on screen counts from the trip's start of it as far as
// known (0 for the first one).
//
// Loading: what is asked meanwhile waits for the open. Play and Pause set how it starts, a
// seek is made once it is open (another trip recording is opened at once instead), and the
// position reads the time asked for. An open asked for while another loads replaces it: the
// first one's report is dropped by its serial.
//
// Shutdown: Shutdown (or the destructor) drops the event callback, then stops and joins the
// player's threads; posted events still queued for a destroyed controller are dropped by Qt.

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "app/BackgroundJob.h"
#include "app/FrameDropMeter.h"
#include "media/CPlaybackSession.h"

class VideoWindow;

enum class PlaybackState { NoMedia, Loading, Playing, Paused, Ended, Failed };

class PlaybackController : public QObject {
    Q_OBJECT
public:
    explicit PlaybackController(QObject* parent = nullptr);
    ~PlaybackController() override;

    // Starts the session's threads with the two picture areas; false when the player
    // cannot start (the controller then stays in NoMedia and every open fails).
    bool Start(VideoWindow* front, VideoWindow* rear, bool withSound = true);
    void Shutdown();

    // ---- commands ----
    // Asks for path to be opened and played from startMs; a path that is the current trip's
    // recording on screen keeps the trip, any other leaves it. The state is Loading until
    // `opened` (or `failed`, with the reader's reason) comes. False (state Failed, `failed`
    // emitted before it returns) only when the player is not running.
    bool PlayRecording(const QString& path, int64_t startMs = 0);
    // Plays paths as one trip from its recording `index`; false as PlayRecording.
    bool PlayTrip(const QStringList& paths, int index, int64_t startMs = 0);
    // Sets the trip without opening anything (its lengths are probed when it is new).
    void SetTrip(const QStringList& paths);
    // Plays the current trip's recording `index` (the trip as set by PlayTrip or SetTrip).
    bool PlayTripAt(int index, int64_t startMs = 0);
    // Forgets the trip; what is open plays on as a single recording.
    void LeaveTrip();
    void Play();
    void Pause();
    // Closes what is open without waiting for the worker (it may be busy opening); the state
    // becomes NoMedia at once and the trip is forgotten.
    void Stop();
    // Returns once the worker has closed the file (before its volume is unmounted). Waits for
    // the worker: called off the GUI thread (a background job), any thread may.
    void WaitUntilClosed();
    // Seeks to a time on the timeline of what plays; in a trip, a time in another recording
    // opens that one there. Playing or paused stays as it was; a recording held at its end is
    // paused on the picture sought. False when nothing is open or the open fails.
    bool SeekTo(int64_t timelineMs);
    bool SeekBy(int64_t deltaMs);
    // One front frame forward (+1) or back (-1); pauses.
    void StepFrame(int direction);
    // Playback rate in percent (the player's nearest); StepRate returns the new one.
    void SetRate(int percent);
    int StepRate(int direction);

    // ---- state ----
    PlaybackState State() const { return m_state; }
    // A recording is open: playing, paused or held at its end.
    bool HasMedia() const;
    // Read from the player when asked (right after a seek it reads the target); the last
    // position announced while the player is a hand-over ahead of this controller.
    int64_t Position() const;
    // The length of what plays: a trip's whole length once its recordings are probed.
    int64_t Duration() const;
    // Where the recording on screen starts on the timeline (0 outside a trip).
    int64_t RecordingStartMs() const;
    // Each trip recording's start on the timeline; empty until probed or outside a trip.
    const std::vector<int64_t>& TripStartsMs() const { return m_tripStartsMs; }
    const QString& Path() const { return m_path; }
    const QStringList& TripPaths() const { return m_trip; }
    // The recording on screen in the trip; -1 outside a trip.
    int TripIndex() const { return m_trip.isEmpty() ? -1 : m_tripIndex; }
    int Rate() const { return m_session.Player().GetRatePercent(); }
    QString LastError() const { return m_lastError; }

    CPlaybackSession& Session() { return m_session; }
    CQRVMediaPlayer& Player() { return m_session.Player(); }

    static const char* StateName(PlaybackState state);

signals:
    void stateChanged(PlaybackState state);
    void positionChanged(qint64 ms);
    // An open asked for is done: the state is already Playing or Paused. recordingChanged
    // and durationChanged follow it.
    void opened(const QString& path, int tripIndex);
    // A recording was opened, or the player went on into the trip's next one (tripIndex -1
    // outside a trip). Emitted with an empty path when nothing is open any more.
    void recordingChanged(const QString& path, int tripIndex);
    // The length of what plays changed (an open, a hand-over, a trip's lengths probed).
    void durationChanged(qint64 ms);
    void rateChanged(int percent);
    // A seek was asked for; the position reads its target from now on.
    void seeked(qint64 ms);
    // What plays was played out (a trip: its last recording).
    void ended(const QString& path);
    // The file was cut while it played: its pictures ended at endsAtMs (in the recording),
    // well before the length its index gave at the open. Comes just before ended.
    void cutShort(const QString& path, qint64 endsAtMs);
    void failed(const QString& path, const QString& reason);
    // Playing has let more than 1 % of its pictures go unshown for lateness over the last
    // 5 s (see FrameDropMeter): the machine cannot keep up. At most once per 5 s.
    void droppingFrames();
    // The player's answer to a RequestStills (see CQRVMediaPlayer), whoever asked.
    void stillsTaken(std::shared_ptr<const StillPictures> stills);

private:
    static void OnPlayerEvent(void* user, const PlayerEvent& event);
    void OnFramePosted();
    void OnHandOver(uint32_t serial, int32_t handOvers);
    void OnEnded(uint32_t serial);
    void OnFailed(uint32_t serial, const QString& reason);
    void OnOpened(const PlayerEvent& event);
    bool SeekWhileLoading(int64_t timelineMs);
    // In a trip whose lengths are known, a time in another recording opens that one there:
    // 1 asked, 0 refused; -1 when the time is in the recording on screen.
    int SeekIntoOtherRecording(int64_t target, bool play);

    bool OpenAt(const QString& path, int64_t startMs, bool play);
    void Fail(const QString& path);
    void SetState(PlaybackState state);
    void SetPosition(int64_t ms);
    void QueueNextInTrip();
    void ProbeTrip();
    int TripRecordingAt(int64_t timelineMs) const;

    // Written by the worker's event callback, taken by OnFramePosted.
    std::mutex m_frameLock;
    PlayerEvent m_latestFrame;    // guarded by m_frameLock
    bool m_framePending = false;  // guarded by m_frameLock

    // Owner's thread only.
    PlaybackState m_state = PlaybackState::NoMedia;
    QString m_path;
    QStringList m_trip;
    int m_tripIndex = 0;
    std::vector<int64_t> m_tripStartsMs;  // one per trip recording, plus the trip's end
    int64_t m_positionMs = 0;
    int64_t m_durationMs = 0;         // last announced
    uint32_t m_openSerial = 0;        // the player's serial of what is open, or is being opened
    bool m_playWhenOpened = true;     // Loading: playing or paused once open
    int64_t m_seekWhenOpenedMs = -1;  // Loading: a seek asked for meanwhile (timeline ms)
    int32_t m_handOvers = 0;          // the player's hand-overs this controller has followed
    QString m_lastError;
    FrameDropMeter m_drops;           // spans of playing only
    BackgroundJob m_probe;
    CPlaybackSession m_session;  // last: its threads are joined before the rest goes
};
