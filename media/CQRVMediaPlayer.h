#pragma once
// The playback engine: plays one recording at a time on its own worker thread.
//
// Design
// - Threads. The owner's thread (the UI thread in the viewer) calls the public operations.
//   The worker (m_worker, owned here) owns the reader, the frame queue and the playback
//   state: it reads chunks, queues video packets, pushes PCM into m_sync, decodes and presents
//   pictures into the two VideoWindows and calls the text and event callbacks (PlayerEvent: a
//   frame shown, a hand-over, the end, a refused open, stills taken), without m_lock held. It
//   is not the only thread that decodes: above 1080p the rear camera decodes on m_lane while
//   the worker decodes the front (see Codecs below), the worker waiting for the lane before
//   the pair is shown, and libavcodec's own slice or frame threads work inside a decode call.
//   m_sync owns the "MediaSync" thread that feeds the sound output; the
//   output runs its own device callback thread. The reader, decoder and output are not owned
//   (CPlaybackSession owns all four); they must outlive the threads.
// - Commands. Every request (Open, Close, Play, Pause, seeks, frame steps, rate, Capture,
//   stills, a published picture, a repaint of the current picture) is a command queued under
//   m_lock and signalled on m_wake. Open, Close, Capture, BuildIndex and WaitForWorker wait
//   for the worker's answer, and WaitUntilHeld for it to be idle (for the tool, the tests and
//   the format's job before an unmount, never on the window's thread); the others (PostOpen,
//   PostClose, RequestStills, RequestPicture among them) return at once and are answered,
//   where they need an answer, by an event or a published picture. The worker never waits
//   for a caller: it gives its answer and goes on. No callback runs inside a posted call:
//   its answer comes from the worker later (only while no worker runs, before Start or after
//   StopThreads, is a posted command run in place). A caller that must have its next command
//   run before the first picture gives it with the open (PostOpen's start and play state,
//   Open's start). The worker takes the whole queue under m_lock and runs the commands with
//   the lock released. Called from the worker itself (a text or present callback) a waiting
//   command runs in place.
// - The lock. m_lock guards only the command queue, the answers, the text callback and the
//   stop flag. The worker never holds it while it reads, decodes, presents, waits for the
//   sound or sleeps. What others read (state, position, duration, rate) are atomics.
// - Sleeping. A paused, idle or finished worker sleeps on m_wake until a command comes; it
//   has no periodic wake-up. A playing worker sleeps on m_wake until the next front frame is
//   due (FramePacer, a per-player clock) or a command comes.
// - Timing. The position is the time of the front frame on screen: ms = its index in the
//   recording * 1000 / rate (0 until the first picture). Each front frame is due at its media time
//   on the clock, at the playback rate; the clock follows the sound output's played position while
//   sound plays (at 1x), and the wall clock otherwise. Sound is muted at rates other than 1x. The
//   no-clock mode presents every frame at once, for analysis and benchmarks.
// - Codecs and decoding threads. The reader tells each camera's codec (H.264 or H.265) and
//   picture size; at every Open the player hands both to the decoder (SetCodec), which keeps
//   one libavcodec decoder per camera. Pictures above 1080p decode with two slice threads
//   that libavcodec owns and joins inside each decode call; smaller ones on the worker alone.
//   Slice threads give each packet's picture at once. A front above 1080p decodes on two
//   frame threads instead (an H.264 camera writes one slice a picture, and H.265 rows wait
//   on the row above, so slice threads leave a core idle): such a decoder gives a packet's picture once the packet after it has gone in, so
//   the player hands it each front packet's order (FrontOrder: the next front packet of the
//   same recording, which the queue holds, two fronts at least) and a seek takes the packet
//   after its target ahead (or finishes the decoder at the end); seeks and steps stay exact,
//   and the picture of a packet is out when its decode call returns. When the front
//   picture is above 1080p, the rear picture of each played moment decodes and converts on a
//   second thread (m_lane, see DecodeLane.h) while the worker decodes the front one; the
//   worker waits for it before the pair is shown, so a pair costs the longer of the two;
//   with the front's frame threads this is what keeps a 4K front with a 1080p rear within
//   two cores. A stream that declares reordering would hold pictures back further, so its
//   decoder goes on without frame threads (CFFMH264_Decoder::DecodePacket). Key frames
//   are recognised by the codec's own NAL types (IsVideoKeyFrame).
// - Lock order: m_lock, then CMediaSync's lock or the output's locks; in practice the worker
//   holds m_lock alone. The MediaSync thread never takes m_lock.
// - Shutdown order (StopThreads): stop flag under m_lock, wake the worker, join it, close the
//   output (which frees a feeder waiting for room), join the MediaSync thread, shut the
//   reader down. Only then may the reader, decoder and output be destroyed.
//
// Late frames. When the clock runs and a front frame comes out more than one frame period
// (at the playback rate) after it was due, and another front frame is queued behind it, the
// frame and its rear frames are decoded but neither converted nor presented, so the pictures
// catch up with the sound instead of trailing it; GetLateFrames counts them. Pictures are
// never dropped before decoding: the frames after them refer to them.
//
// End of a recording. When the last front frame has been presented and the sound read with
// it has played out, the state becomes kStateStopped and Ended() true; until then the state
// reads kStatePlaying (also while paused). A caller that hands over to the next recording
// waits for Ended(). Close, Open and a rejected file clear Ended().
//
// Seamless hand-over. QueueNext opens the recording that follows (a trip's next one) on the
// second reader and builds its index while the current one plays. When the current reader
// runs out of data the readers swap roles and the worker reads on from the next one into
// the same frame queue (its front frames counted from 0 again, from its first key frame). The
// clock carries across: the next recording's first frame is due one frame period after the
// current one's last. The sound output runs on; the next recording's sound is joined onto
// the current one's (where they overlap its start is dropped, a hole is filled with silence,
// up to kMaxSoundJoinUs). When the next recording's first frame is presented the current file
// is closed, the position, duration and camera count become the new recording's and
// GetHandOvers() counts one more; text chunks read from the next recording before that
// moment are held and delivered just after it. Open and Close drop a queued next; a seek or a
// paused step back stays in the recording on screen and keeps the next queued. A next whose sound
// format or frame rate differs from the current one is not queued, so it goes through the end
// report and a fresh Open as without QueueNext.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/CMediaSync.h"
#include "media/DecodeLane.h"
#include "media/FramePacer.h"
#include "media/MediaInfo.h"
#include "media/VAudio.h"
#include "media/VMediaDecoder.h"
#include "media/VMediaParser.h"
#include "support/CSingleThread.h"

class CPixImgBase;
class VideoWindow;

// The answer to RequestStills: the pictures of the moment on screen at their decoded size,
// unmirrored (as a saved still shows them), or why there are none.
struct StillPictures {
    uint32_t request = 0;  // as RequestStills returned it
    bool ok = false;
    std::string error;        // !ok: why (the recording was closed, nothing decoded yet)
    int32_t frame = 0;        // the front frame the pictures are of
    int32_t positionMs = 0;   // its time in the recording
    std::shared_ptr<const CPixImgBase> pictures[2];  // front, rear (null when not asked)
};

// Receives every telemetry chunk of the playing recording, on the player's worker thread
// without any player lock held (it may post commands, but Open, Close and Capture then run
// in place on the worker):
//   user        the value given with SetTextCallback
//   payload     the chunk's bytes, followed by a zero byte the player writes after them
//   length      payload bytes, not counting the zero byte
//   positionMs  the position: time of the front frame on screen (its index * 1000 / rate)
using TextChunkCallback = void (*)(void* user, const uint8_t* payload, int32_t length,
                                   int32_t positionMs);

// What the worker reports as it happens, so that an owner follows playback without polling.
// Delivered on the worker thread without any player lock held; the receiver must only note
// it and post it on (it must not call back into the player from there).
struct PlayerEvent {
    enum class Kind {
        FrameShown,  // a front picture went out; positionMs is its time
        HandOver,    // the queued next recording is on screen now
        Ended,       // the recording was played out (as Ended() turning true)
        Failed,      // an Open was refused; reason says why when the reader knew
        Opened,      // an Open was done: positionMs is where it starts, durationMs its length
        Stills       // a RequestStills answered: see stills
    };
    Kind kind = Kind::FrameShown;
    // The Open or Close the event belongs to: GetOpenSerial() read once that call returned.
    // An event with another serial is left over from what was open before.
    uint32_t openSerial = 0;
    int32_t handOvers = 0;    // GetHandOvers() counting this event's hand-over
    int32_t positionMs = 0;   // the position in the recording on screen
    int32_t durationMs = 0;   // Opened: the recording's length
    const char* reason = "";  // valid during the call only
    std::shared_ptr<const StillPictures> stills;  // Stills: the answer, shared with the receiver
};
using PlayerEventCallback = void (*)(void* user, const PlayerEvent& event);

class CQRVMediaPlayer {
public:
    static constexpr int32_t kChunkCapacityBytes = 1048576;
    static constexpr int kPrebufferMs = 700;
    static constexpr int kDefaultOutputBits = 16;
    static constexpr int kDefaultOutputRate = 8000;
    // Frame rate assumed for a recording that declares none (below 1 frame a second).
    static constexpr int kFallbackFrameRate = 30;
    static constexpr uint8_t kNonIdrSliceHeader = 0x41;
    // The longest overlap or hole between one recording's sound and the next's that a
    // seamless hand-over closes in the sound itself.
    static constexpr int64_t kMaxSoundJoinUs = 500000;
    // Bounds of the frame queue: past them the queued frames are shown even if the 700 ms
    // are not complete (a file of one camera's frames only, or a run without front frames).
    static constexpr size_t kMaxQueuedPackets = 600;
    static constexpr size_t kMaxQueuedBytes = 64u << 20;
    // A paused seek or backward step looks this many frames back for a key frame.
    static constexpr int kMaxKeyFrameDistance = 600;
    // Playback rates in percent, slowest first.
    static constexpr int kRates[] = {25, 50, 100, 150, 200, 400};

    static constexpr int32_t kStatePlaying = 0;  // a recording is open and not played out
    static constexpr int32_t kStateStopped = 2;  // nothing open, closed, or played out

    CQRVMediaPlayer();
    virtual ~CQRVMediaPlayer();
    CQRVMediaPlayer(const CQRVMediaPlayer&) = delete;
    CQRVMediaPlayer& operator=(const CQRVMediaPlayer&) = delete;

    // Wiring, before Start. The output may be null (no sound; video runs on the clock).
    void SetParser(VMediaParser* parser) {
        m_parser = parser;
        m_hasParser = parser != nullptr;
    }
    void SetOutput(VAudio* output) { m_output = output; }
    void SetDecoder(VMediaDecoder* decoder) { m_decoder = decoder; }
    // A second reader for QueueNext (optional; without it QueueNext does nothing).
    void SetNextParser(VMediaParser* parser) { m_nextParser = parser; }
    // May be called at any time.
    void SetTextCallback(TextChunkCallback callback, void* user);
    // May be called at any time; null stops the events. See PlayerEvent.
    void SetEventCallback(PlayerEventCallback callback, void* user);
    // Names the Open or Close the worker has run last; read after Open or Close returns it
    // names that call's events (PlayerEvent::openSerial). PostOpen returns its own.
    uint32_t GetOpenSerial() const { return m_openSerial.load(); }
    // Presents every frame at once and never waits for the sound. For analysis and
    // benchmarks only.
    void SetNoClock(bool noClock) { m_noClock.store(noClock); }
    // Late frames are dropped (see Late frames above) unless this is turned off, for checks
    // that every frame reaches the window at the real clock.
    void SetDropLateFrames(bool drop) { m_dropLate.store(drop); }

    // Initialises reader and decoder, opens the output at 16 bits / 8000 Hz, starts the
    // MediaSync thread and the worker. Called once.
    bool Start(VideoWindow* frontWindow, VideoWindow* rearWindow);
    // Stops and joins both threads, shuts the reader down and closes the output.
    void StopThreads();

    // Opens a recording and prepares playback from its start; returns once the worker has
    // done so. False when the reader rejects the file (the player is then stopped). Leaves
    // the player running: the state reads kStatePlaying until the recording has been played
    // out (kStateStopped, Ended()).
    // startMs: where to start, as SeekToMs would land, before anything is shown (a seek
    // asked for after Open may come when the first frames are already out).
    // next: queued as QueueNext would, in the same step as the open, so that a short recording
    // cannot play out before its next is queued.
    bool Open(const char* path, int32_t startMs = 0, const char* next = nullptr);
    // Opens as Open does without waiting: returns at once with the serial the open's events
    // will carry. The worker reports the outcome as an Opened or a Failed event; playing or
    // paused as `play` says from the first picture on (paused, the picture at startMs is
    // shown, the very first one included). Commands given after it run after the open.
    uint32_t PostOpen(const char* path, int32_t startMs, bool play);
    // Returns once the file is closed and the queues are empty.
    void Close();
    // Closes as Close does without waiting: returns at once with the serial the close gives
    // the player's events from then on, so that a late report of what was open is told apart.
    uint32_t PostClose();
    // Opens path as the recording that plays right after the current one (see Seamless
    // hand-over above); returns at once. Replaces a next queued before that is not yet being
    // read. Ignored while nothing is open. Queued after the current recording's data ran out
    // it still takes over as long as a frame of the current one is left to show; once the
    // end is reported it is dropped (the caller opens it, as for a next that cannot queue).
    void QueueNext(const char* path);
    // True while a queued next recording is open and not yet on screen.
    bool HasQueuedNext() const { return m_nextQueued.load(); }
    // Seamless hand-overs made since the player was made: read it before and after to see
    // that the next recording took over.
    int32_t GetHandOvers() const { return m_handOvers.load(); }
    // Front frames dropped for lateness since the player was made (see Late frames above).
    int64_t GetLateFrames() const { return m_lateFrames.load(); }
    // Front frames that came due while playing, shown or dropped: the share GetLateFrames is of.
    int64_t GetPlayedFrames() const { return m_playedFrames.load(); }
    // Plays on from the picture shown; a recording played out plays again from its start.
    void Play();
    void Pause();
    // Seeks land on the front frame asked for: its picture is decoded from the key frame
    // before it and shown on both cameras at once, and the position reads that frame's time.
    // While playing, playback goes on from there; while paused, the player stays paused.
    // Relative seeks count from the frame on screen.
    void SeekBackward(int seconds);
    void SeekForward(int seconds);
    bool SeekToMs(int32_t ms);
    // One front frame forward (+1) or back (-1), pausing first if playing; the rear camera
    // shows its picture of that moment.
    void StepFrame(int direction);
    // Playback rate in percent, one of kRates (others are taken to the nearest). Sound plays
    // at 100 only.
    void SetRatePercent(int percent);
    // One step along kRates (+1 faster, -1 slower); returns the new rate.
    int StepRate(int direction);
    int GetRatePercent() const { return m_ratePercent.load(); }

    // Right after a seek is asked for, the position already reads its target.
    // A recording that ends this much before its length was cut short while it played.
    static constexpr int32_t kCutShortSlackMs = 1000;
    int32_t GetPositionMs() const;
    // A seek asked for has not been run by the worker yet: a frame reported now was shown
    // before it.
    bool IsSeekPending() const { return m_seeksAsked.load() != m_seeksDone.load(); }
    int32_t GetDuration() const { return m_duration.load(); }
    int32_t GetState() const { return m_state.load(); }
    // True once the recording was played out: its last front frame presented, its sound
    // played.
    bool Ended() const { return m_ended.load(); }
    bool IsRunning() const { return m_run.load() == 1; }
    // Index of the front frame on screen in the recording on screen (0 before the first).
    int32_t GetFrameCounter() const { return m_frameCounter.load(); }
    int32_t GetFrontFrameRate() const { return m_frontFrameRate.load(); }
    int GetCameraCount() const { return m_cameraCount.load(); }
    // Audio packets read but not yet handed to the output.
    int GetQueuedAudioPackets() const { return m_sync.QueuedPackets(); }
    // Times the worker has woken from a sleep; a paused worker does not wake.
    int64_t GetWorkerWakeups() const { return m_wakeups.load(); }
    // Returns once the worker has run every command given before (a pause included), so the
    // pictures shown stay as they are while paused.
    void WaitForWorker();
    // Sleeps until the worker has nothing to do (paused, played out, closed) and no command
    // waits, or timeoutMs (negative: no limit) has passed. True when it has nothing to do.
    bool WaitUntilHeld(int timeoutMs = -1);

    // Saves the camera's current picture (camera 0 front, 1 rear). False when nothing is
    // playing (state 2) or nothing was decoded yet. Waits for the worker (for the tool).
    bool Capture(int camera, const char* path);
    // Asks the worker for the pictures on screen, of the front camera and, with rear, the rear
    // one too, without waiting: returns a request number at once, and the answer comes as a
    // Stills event carrying it (after every command given before, a pause included). openSerial
    // names the recording the caller sees (GetOpenSerial or PostOpen's serial): when another
    // was opened or it was closed meanwhile, the answer is a failure. Every request is
    // answered, also one still queued when the threads stop (from StopThreads).
    uint32_t RequestStills(uint32_t openSerial, bool rear);
    // The picture on screen at full size for a magnifier, without ever waiting for the worker:
    // RequestPicture asks the worker to publish the camera's current picture (once; a request
    // still open is not repeated), PublishedPicture gives the last one published (null before
    // any) and the frame counter it was taken at. Any thread.
    void RequestPicture(int camera);
    std::shared_ptr<CPixImgBase> PublishedPicture(int camera, int32_t* frame) const;
    // The colour and mirror settings take effect on the next picture; while paused the
    // current picture is shown again with them.
    void SetBrightness(int camera, int level);
    void SetContrast(int camera, int level);
    void SetMirror(int camera, bool on);
    // Builds the recording's index (on the worker, which owns the reader). An Open of the
    // same path right after takes this index instead of building it again.
    bool BuildIndex(const char* path, MediaInfo* info);

    // The player's own arithmetic, for callers that describe a file without playing it.
    // Camera count: 2 when the character before the four-character extension is 'D' or 'd'
    // (a rear-camera recording's name), 1 otherwise; with no path, 2 when a rear stream exists.
    static int CameraCountFor(const std::string& path, int32_t rearFrameRate);
    // Duration in ms of frameCount front frames at frameRate (0: the fallback rate).
    static int32_t DurationMsFor(int32_t frameCount, int32_t frameRate);
    // A packet is a key frame when it holds a random access slice or a parameter set, or when
    // it holds no slice at all; a packet whose first slice is an ordinary one is not (see
    // IsVideoKeyFrame).
    static bool IsKeyFrame(const uint8_t* data, int32_t size, VideoCodec codec = VideoCodec::H264);
    // Why the last Open failed, when the reader said (a codec the viewer cannot play);
    // empty otherwise.
    std::string GetOpenError() const;
    // Opens path with parser as Open does and reports its duration and camera count; the
    // parser's file is closed again. False when the reader rejects the file.
    static bool ProbeFile(const char* path, VMediaParser& parser, int32_t* durationMs,
                          int* cameras);

private:
    enum class CommandKind {
        Open,
        Close,
        Play,
        Pause,
        SeekRelative,
        SeekAbsolute,
        Step,
        Rate,
        Capture,
        Represent,
        Sync,
        BuildIndex,
        QueueNext,
        Publish,
        Stills
    };
    struct Reply {
        bool done = false;
        bool result = false;
    };
    struct Command {
        explicit Command(CommandKind k, int64_t v = 0, std::string t = {})
            : kind(k), value(v), text(std::move(t)) {}
        CommandKind kind;
        int64_t value = 0;
        std::string text;
        Reply* reply = nullptr;  // the caller waits for it when set
        bool fromOtherThread = false;
        MediaInfo* info = nullptr;  // BuildIndex: the caller's record
        uint32_t serial = 0;        // Open and Close: given when queued (see m_serialsGiven)
        bool paused = false;        // Open: stay paused on the first picture
        std::string next;           // Open: queued as QueueNext right after the open
        uint32_t request = 0;       // Stills: the request number; serial: the open it is for
    };
    struct QueuedPacket {
        int camera = 0;
        int32_t index = 0;    // front: the frame's place in the recording
        int64_t mediaUs = 0;  // front: when it is due on the player's clock
        uint32_t serial = 0;  // which recording it belongs to (m_readSerial when read)
        std::vector<uint8_t> bytes;
    };

    // Commands (CQRVMediaPlayerCommands.cpp).
    void Post(Command command);
    bool Call(Command command);  // posts and waits for the answer
    uint32_t PostSerial(Command command);  // an Open or Close posted: returns its serial
    void Execute(Command& command);
    // The commands that change what is shown or how it plays; false when not one of them.
    bool ExecuteTransport(const Command& command);
    // Gives a waiting caller its answer.
    void Answer(Command& command, bool result);
    bool DoOpen(const std::string& path, uint32_t serial);
    // Reads what the recording just opened declares (sound format, frame rates, length,
    // cameras) into the playback state.
    void AdoptRecording(const std::string& path, MediaInfo& info);
    // The open was refused: stopped, with the reason reported.
    void RefuseOpen(const std::string& openError);
    // The rest of an Open once the file is accepted: the start picture, the play state, the
    // Opened event.
    void FinishOpen(const Command& command);
    void DoClose(uint32_t serial);
    // Gives an Open or Close command its serial (with m_lock held); the serial, or 0.
    uint32_t GiveSerial(Command& command);
    void DoPlay();
    void DoPause();
    void DoSeek(int64_t targetFrame);
    void DoStep(int direction);
    void DoRate(int percent);
    bool DoCapture(int camera, const std::string& path);
    void DoPublish(int camera);
    // Answers a still request (worker; or the owner's thread when the threads have stopped).
    void DoStills(const Command& command);
    void AnswerStills(uint32_t request, const char* error);
    void ForgetPublished();
    void DoRepresent();
    bool DoQueueNext(const std::string& path);
    // Takes each camera's codec from the reader and sets the decoder up for it; false (with
    // the reason) when a codec cannot be decoded.
    bool AdoptCodecs(std::string* error);

    // Seamless hand-over (CQRVMediaPlayerNext.cpp).
    // The current reader has ended: reads on from the queued next one. False when none.
    bool BeginReadingNext();
    // The first frame of the next recording is about to be presented: it becomes current.
    void CompleteHandOver();
    // Back to reading the recording on screen (a seek while the next was being read ahead).
    void StopReadingNext();
    // Closes the queued next recording, reading ahead or not.
    void DropNext();
    // Holds a text chunk of the next recording until it is on screen; false when not held.
    bool HoldNextText(int32_t length);
    // Joins the next recording's sound onto the sound queued before it (its first chunk
    // trimmed, or silence put in front); false when nothing of this chunk is left to queue.
    bool JoinNextSound(const uint8_t*& data, int32_t& length);
    void MeetNextSound();
    bool PushSilence(int64_t bytes);
    // A join too far off for that: the clock follows the next sound once the output has
    // played up to it.
    void ApplyNextSoundStart(int64_t playedBytes);

    // The worker's loop (CQRVMediaPlayerStep.cpp).
    static bool RunOnce(void* self);
    void WorkOnce();
    bool WantsToAdvance() const;
    void Advance();
    enum class Read { Chunk, End, Wait };
    // Reads the next chunk into m_readBuffer; size receives its payload size (0 on failure).
    // Returns the chunk's position, negative at the end of the data.
    int64_t ReadMedia(char id[4], int32_t* size);
    Read ReadChunk(bool paused);
    void HandleVideo(int camera, int32_t length, bool paused);
    bool PushAudio(const uint8_t* data, int32_t length);
    void DeliverText(int32_t length);
    // Hands an event to the event callback, if any (worker only).
    void Notify(PlayerEvent::Kind kind, const char* reason = "");
    // The same with the event's own fields (kind, durationMs) filled in by the caller.
    void Notify(PlayerEvent event);
    bool NeedMoreFrames() const;
    // late: decoded only, not converted nor presented (see Late frames above).
    void PresentHead(bool paced, bool late = false);
    // A front packet's place in the reading, for a decoder that takes packets ahead: its key
    // and the next front packet of the same recording still queued (none at a recording's
    // end, where the decoder finishes by itself).
    VideoPacketOrder FrontOrder(const QueuedPacket& packet) const;
    static int64_t PacketKey(uint32_t serial, int32_t index) {
        return static_cast<int64_t>(serial) << 32 | static_cast<uint32_t>(index);
    }
    // The front packets needed before one is decoded: two where the decoder takes the
    // packet after it ahead.
    size_t FrontsToDecode() const;
    void PresentRear(bool late = false);
    // The front frame at the head and the rear frames queued right after it, in one repaint.
    void PresentPair(bool late = false);
    // A frame period on the wall clock at the playback rate.
    int64_t WallFramePeriodUs() const;
    void BeginPair();  // both windows: the pictures until EndPair are one moment
    void EndPair();
    void ReleasePacket(QueuedPacket& packet);
    // Waits for the rear packet posted to the lane and lets it go.
    void FinishLane(QueuedPacket& rear);
    bool RetryPendingPcm();
    void OpenSoundGate();
    int64_t SoundBytesPerSecond() const;
    int64_t PacketPlayUs() const;  // how long a full sound packet plays
    void FinishPlayback();
    void QueuePacket(int camera, int32_t index, const uint8_t* data, int32_t length);
    // Owner side of a seek: notes its target frame and posts the command.
    void PostSeek(CommandKind kind, int32_t frames);
    // Reads on from the start of target's second (the fallback when the target cannot be
    // shown exactly).
    void SeekToFrame(int32_t target);
    // Shows the target frame, then plays on from it when playing; false when nothing moved.
    bool SeekExact(int32_t target);
    void ResetForSeeking();
    void ClearFrameQueue();
    void ResetSound();
    bool SyncClockToSound(int64_t nowUs);
    int64_t FrameTimeUs(int32_t index) const;
    int32_t Rate() const;  // front frame rate, never 0

    // Exact positioning (CQRVMediaPlayerSeek.cpp).
    // Shows the frame at target (decoded from the key frame before it); the index shown, or -1.
    int32_t ShowFrameAt(int32_t target);
    int32_t DecodeThrough(int32_t target, int32_t start, bool* rearDecoded);
    // Shows the camera's newly decoded picture in its window.
    void PresentDecoded(int camera, VideoWindow* window);
    int32_t FindKeyFrameAtOrBefore(int32_t target);
    void ShowNextFrame();
    bool FillUntilFronts(size_t fronts);
    size_t QueuedFronts() const;

    void JoinThreads();

    CSingleThread m_worker;  // owner's thread starts and stops it
    // The reader of the recording being read, and the second one for a queued next. Set
    // before Start; from then on the worker swaps them at each hand-over and is the only one
    // to touch them (StopThreads after the join).
    VMediaParser* m_parser = nullptr;
    VMediaParser* m_nextParser = nullptr;
    bool m_hasParser = false;              // set before Start, read-only after
    VAudio* m_output = nullptr;            // set before Start, read-only after
    VMediaDecoder* m_decoder = nullptr;    // set before Start, read-only after
    CMediaSync m_sync;                     // has its own lock
    VideoWindow* m_frontWindow = nullptr;  // set by Start, read-only after
    VideoWindow* m_rearWindow = nullptr;   // set by Start, read-only after

    // Shared with the owner's thread.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;     // with m_lock: commands for the worker, stop
    std::condition_variable m_replied;  // with m_lock: answers for waiting callers
    std::deque<Command> m_commands;     // guarded by m_lock
    bool m_stopping = false;            // guarded by m_lock
    bool m_held = false;                // guarded by m_lock; the worker sleeps for commands
    TextChunkCallback m_textCallback = nullptr;     // guarded by m_lock
    void* m_textCallbackUser = nullptr;             // guarded by m_lock
    PlayerEventCallback m_eventCallback = nullptr;  // guarded by m_lock
    void* m_eventCallbackUser = nullptr;            // guarded by m_lock
    std::atomic<uint32_t> m_openSerial{0};          // written by the worker
    // Serials handed to Open and Close commands as they are queued, so a caller that does
    // not wait knows which events are its own.
    uint32_t m_serialsGiven = 0;                  // guarded by m_lock
    uint32_t m_stillsAsked = 0;                   // guarded by m_lock: the last request number
    std::atomic<int> m_pendingCommands{0};        // written under m_lock, read by the worker
    std::atomic<int32_t> m_run{0};                // wish of the owner; any thread
    std::atomic<int32_t> m_state{kStateStopped};  // written by the worker
    std::atomic<bool> m_ended{false};             // written by the worker
    std::atomic<int32_t> m_frontFrameRate{0};     // written by the worker
    std::atomic<int32_t> m_duration{0};           // written by the worker
    // The frame the last seek asked for, read as the position until the worker has run every
    // seek asked for (m_seeksAsked counted by the owner, m_seeksDone by the worker).
    std::atomic<int32_t> m_seekTarget{0};
    std::atomic<int64_t> m_seeksAsked{0};
    std::atomic<int64_t> m_seeksDone{0};
    std::atomic<int32_t> m_frameCounter{0};  // written by the worker
    // Pictures published for a magnifier (RequestPicture): taken by the worker, read anywhere.
    struct Published {
        std::shared_ptr<CPixImgBase> picture;
        int32_t frame = -1;
    };
    mutable std::mutex m_publishLock;  // guards m_published only, never held over work
    Published m_published[2];
    std::atomic<bool> m_pictureAsked[2] = {false, false};
    std::atomic<int> m_cameraCount{1};       // written by the worker
    std::atomic<int> m_ratePercent{100};     // written by the owner's calls
    std::atomic<bool> m_noClock{false};      // any thread
    std::atomic<bool> m_dropLate{true};      // any thread
    std::atomic<int64_t> m_wakeups{0};       // written by the worker
    std::atomic<bool> m_nextQueued{false};   // written by the worker
    std::atomic<int32_t> m_handOvers{0};     // written by the worker
    std::atomic<int64_t> m_lateFrames{0};    // written by the worker
    std::atomic<int64_t> m_playedFrames{0};  // written by the worker
    bool m_started = false;                  // guarded by m_lock
    std::string m_openError;                 // guarded by m_lock

    // Worker thread only (or the owner's thread before Start / after StopThreads).
    std::deque<QueuedPacket> m_frameQueue;
    static constexpr int kWarmUpFrames = 3;  // shown however late at the start of a run
    int m_runFrames = 0;                     // front frames played since the clock started
    bool m_rearOnLane = false;  // the front picture is above 1080p: rear pictures use m_lane
    DecodeLane m_lane;          // worker only; joined by Shutdown
    std::vector<std::vector<uint8_t>> m_spareBuffers;  // reused packet storage
    size_t m_queuedBytes = 0;
    size_t m_queuedFronts = 0;
    bool m_fileOpen = false;
    bool m_playing = false;    // the worker's view of m_run
    bool m_endOfData = false;  // the reader has nothing more
    bool m_waitFrontKey = true;
    bool m_waitRearKey = true;
    int32_t m_rearFrameRate = 0;
    // Each camera's codec in the recording read, from its reader; a queued next recording
    // must have the same.
    VideoCodec m_codecs[2] = {VideoCodec::H264, VideoCodec::H264};
    int32_t m_totalFrames = 0;
    int32_t m_nextReadIndex = 0;  // index of the next front frame the reader gives
    int32_t m_shownIndex = -1;    // index of the front frame on screen
    bool m_rearShown = false;
    int32_t m_outputBits = kDefaultOutputBits;
    int32_t m_outputRate = kDefaultOutputRate;
    int32_t m_prebufferMs = kPrebufferMs;
    std::vector<uint8_t> m_readBuffer;  // one byte beyond the capacity
    std::vector<uint8_t> m_pendingPcm;  // a packet waiting for room in the queue
    int64_t m_pcmWaitPopped = -1;       // popped count when the output last took a packet
    int64_t m_pcmWaitSinceUs = 0;       // when the output last took a packet (or the wait began)
    int64_t m_stalledPopped = -1;       // popped count when the output was found stalled
    std::string m_path;
    std::string m_indexedPath;  // the last BuildIndex's file, until the next Open
    // Front frame positions from the index, for positioning by frame (and for recordings
    // that declare no frame rate, which the reader cannot seek by second).
    std::vector<int64_t> m_framePositions;
    bool m_rateDeclared = true;
    FramePacer m_pacer;
    int64_t m_waitUntilUs = 0;  // a playing worker sleeps until then (0: no wait)
    int64_t m_lastPresentUs = 0;
    // Sound: which media time the first byte after the last reset stands for.
    bool m_soundAnchored = false;
    int64_t m_soundAnchorUs = 0;
    int64_t m_soundResetBytes = 0;
    bool m_soundGate = false;  // the output is held until the picture reaches the sound
    int64_t m_endWaitSinceUs = 0;
    int64_t m_endWaitPopped = 0;
    int64_t m_pushedSoundBytes = 0;  // bytes queued for the output since the last reset

    // The next recording (worker only). While m_readingNext the readers are already swapped:
    // m_parser reads the next file and m_nextParser still holds the one on screen.
    bool m_nextOpen = false;  // open on m_nextParser, not yet read
    bool m_readingNext = false;
    std::string m_nextPath;
    MediaInfo m_nextInfo;
    int64_t m_nextStartPos = 0;  // the next file's first media chunk
    bool m_nextRateDeclared = true;
    int32_t m_nextRearFrameRate = 0;
    uint32_t m_readSerial = 0;   // recording of the chunks read
    uint32_t m_shownSerial = 0;  // recording of the frame on screen
    int64_t m_readBaseUs = 0;    // media time of frame 0 of the recording read
    std::vector<std::vector<uint8_t>> m_heldText;
    bool m_nextSoundWanted = false;  // the next recording's first sound chunk is still to come
    int64_t m_nextSoundSkip = 0;     // bytes of the next sound still to drop
    bool m_nextSoundPending = false;
    int64_t m_nextSoundBytes = 0;  // output position (as PlayedPosition) where it starts
    int64_t m_nextSoundUs = 0;     // and the media time that stands for
};
