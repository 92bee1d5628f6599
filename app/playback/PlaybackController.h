#pragma once
// What plays, and how far it has got: the one owner of the playback session and of what
// plays next (one recording, or a trip played recording after recording as one timeline).
// The window's PlaybackView, its timeline and telemetry panels and the desktop's media
// controls observe it through its signals and read its position and trip from it; none of
// them keeps a copy of the play state or asks the player for it on a timer.
//
// The player: a PlayerPort. The viewer's controller makes its own over the real engine
// (SessionPlayerPort); a test hands it one that answers at once. The trip's hand-overs (which
// recording comes next, when it is queued, where the timeline stands after one) are worked out
// by a TripSequencer, the same one the tool's play drives, over the trip's TripTimeline.
//
// Threads: every operation and every signal is on the thread that owns this object (the GUI
// thread), which never waits for the player's worker: not for a file to open or an index to
// be built, nor for a picture. An open, a close and a still are asked of the player and return
// at once (state Loading for an open); the player reports them done or refused, with frames,
// hand-overs and the end, through its event callback, possibly on a thread of its own;
// OnPlayerEvent only notes them and posts them here as queued calls, so no signal comes from
// inside the player's call. The one call that waits is WaitUntilClosed, for a thread other
// than the GUI thread (the card format's job, before the volume is unmounted). Frame events
// are coalesced: at most one is outstanding, carrying the newest frame, so a busy GUI thread
// is never flooded. While paused the player reports nothing and nothing is posted.
// Trip lengths are probed by a background job and posted back the same way.
// The text (telemetry) chunks the worker reads go into TextData() from its text callback,
// under that store's own lock; the store is emptied when an open or a hand-over brings the
// next recording's first chunk.
//
// Position: on the timeline of what plays. For a trip it is the time since the trip's start
// (each recording starts where the one before it ends), once the lengths of its recordings
// are known; until then the recording on screen counts from 0.
//
// Loading: what is asked meanwhile waits for the open. Play and Pause set how it starts, a
// seek is made once it is open (another trip recording is opened at once instead), and the
// position reads the time asked for. An open asked for while another loads replaces it: the
// first one's report is dropped by its serial.
//
// Shutdown: Shutdown (or the destructor) drops the event callback, then stops the player (the
// engine joins its threads); posted events still queued for a destroyed controller are
// dropped by Qt.

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "app/jobs/BackgroundJob.h"
#include "app/playback/FrameDropMeter.h"
#include "app/playback/PlayerPort.h"
#include "library/TripSequencer.h"
#include "media/CPlaybackSession.h"
#include "telemetry/CTextData.h"

class SessionPlayerPort;
class VideoWindow;

enum class PlaybackState { NoMedia, Loading, Playing, Paused, Ended, Failed };

class PlaybackController : public QObject {
    Q_OBJECT
public:
    // Over the real engine, made here.
    explicit PlaybackController(QObject* parent = nullptr);
    // Over another player (a test's).
    explicit PlaybackController(std::unique_ptr<PlayerPort> player, QObject* parent = nullptr);
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
    // Each trip recording's start on the timeline, then its end; empty until probed or
    // outside a trip.
    const std::vector<int64_t>& TripStartsMs() const;
    // The trip's timeline; empty until probed or outside a trip.
    const TripTimeline& Timeline() const;
    const QString& Path() const { return m_path; }
    const QStringList& TripPaths() const { return m_trip; }
    // The recording on screen in the trip; -1 outside a trip.
    int TripIndex() const { return m_trip.isEmpty() ? -1 : static_cast<int>(m_sequence.Index()); }
    int Rate() const { return m_player->RatePercent(); }
    QString LastError() const { return m_lastError; }

    // What the window asks of the engine beside play (sound, mirror, the pictures on screen
    // for the zoom and the stills). None of them waits; see CQRVMediaPlayer. Only over the
    // real engine: a controller made over another player has none of these.
    void SetVolume(uint32_t volumeWord);
    void SetMirror(int camera, bool on);
    // Both cameras' brightness (the slider's level).
    void SetBrightness(int level);
    int CameraCount();
    // The picture on screen: its frame and its position in its recording.
    int32_t FrameOnScreen();
    int32_t RecordingPositionMs();
    void RequestPicture(int camera);
    std::shared_ptr<CPixImgBase> PublishedPicture(int camera, int32_t* frame);
    // Both cameras' pictures on screen (the rear when asked and there), answered by
    // stillsTaken with the number returned.
    uint32_t RequestStills(bool rear);

    // The engine itself, for tests; product code goes through the calls above.
    // The text (telemetry) chunks of what plays, as the player's worker reads them (its own
    // lock guards them); emptied when a recording is opened or handed over to. Filled on the
    // real engine only.
    CTextData& TextData() { return m_text; }
    CPlaybackSession& Session();
    CQRVMediaPlayer& Player() { return Session().Player(); }

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
    static void OnTextChunkThunk(void* user, const uint8_t* payload, int32_t length,
                                 int32_t positionMs);
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
    void FollowHandOver(int steps);

    // Written by the worker's text callback; the open serial and hand-over count the text
    // belongs to.
    CTextData m_text;
    std::atomic<uint64_t> m_textRecording{0};
    // Written by the worker's event callback, taken by OnFramePosted.
    std::mutex m_frameLock;
    PlayerEvent m_latestFrame;    // guarded by m_frameLock
    bool m_framePending = false;  // guarded by m_frameLock

    // Owner's thread only.
    PlaybackState m_state = PlaybackState::NoMedia;
    QString m_path;
    QStringList m_trip;        // as given; m_sequence holds the same paths
    TripSequencer m_sequence;  // the recording on screen, the hand-overs, the timeline
    int64_t m_positionMs = 0;
    int64_t m_durationMs = 0;         // last announced
    uint32_t m_openSerial = 0;        // the player's serial of what is open, or is being opened
    bool m_playWhenOpened = true;     // Loading: playing or paused once open
    int64_t m_seekWhenOpenedMs = -1;  // Loading: a seek asked for meanwhile (timeline ms)
    QString m_lastError;
    FrameDropMeter m_drops;  // spans of playing only
    BackgroundJob m_probe;
    SessionPlayerPort* m_session = nullptr;  // m_player over the real engine; else null
    std::unique_ptr<PlayerPort> m_player;    // last: stopped before the rest goes
};
