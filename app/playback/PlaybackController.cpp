#include "app/playback/PlaybackController.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "app/playback/SessionPlayerPort.h"
#include "support/Trace.h"
#include "telemetry/TelemetryLogic.h"

namespace {

using Kind = PlayerEvent::Kind;

std::vector<std::string> ToStd(const QStringList& paths) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(paths.size()));
    for (const QString& p : paths) out.push_back(p.toStdString());
    return out;
}

}  // namespace

PlaybackController::PlaybackController(QObject* parent)
    : PlaybackController(std::make_unique<SessionPlayerPort>(), parent) {}

PlaybackController::PlaybackController(std::unique_ptr<PlayerPort> player, QObject* parent)
    : QObject(parent),
      m_session(dynamic_cast<SessionPlayerPort*>(player.get())),
      m_player(std::move(player)) {}

PlaybackController::~PlaybackController() {
    Shutdown();
}

bool PlaybackController::Start(VideoWindow* front, VideoWindow* rear, bool withSound) {
    m_player->SetEventCallback(&PlaybackController::OnPlayerEvent, this);
    if (m_session) Player().SetTextCallback(&PlaybackController::OnTextChunkThunk, this);
    return m_player->Start(front, rear, withSound);
}

void PlaybackController::OnTextChunkThunk(void* user, const uint8_t* payload, int32_t length,
                                          int32_t positionMs) {
    auto* self = static_cast<PlaybackController*>(user);
    // The first chunk of a recording opened, or handed over to: the telemetry kept so far
    // belongs to the one before.
    CQRVMediaPlayer& player = self->Player();
    const uint64_t recording = (static_cast<uint64_t>(player.GetOpenSerial()) << 32) |
                               static_cast<uint32_t>(player.GetHandOvers());
    if (self->m_textRecording.exchange(recording) != recording) self->m_text.RemoveAll();
    OnTextChunk(self->m_text, payload, length, positionMs);
}

void PlaybackController::Shutdown() {
    m_probe.Cancel();
    m_player->SetEventCallback(nullptr, nullptr);
    m_player->Stop();
}

CPlaybackSession& PlaybackController::Session() {
    return m_session->Session();
}

void PlaybackController::SetVolume(uint32_t volumeWord) {
    Session().SetVolume(volumeWord);
}

void PlaybackController::SetBrightness(int level) {
    Player().SetBrightness(0, level);
    Player().SetBrightness(1, level);
}

void PlaybackController::SetMirror(int camera, bool on) {
    Player().SetMirror(camera, on);
}

int PlaybackController::CameraCount() {
    return Player().GetCameraCount();
}

int32_t PlaybackController::FrameOnScreen() {
    return Player().GetFrameCounter();
}

int32_t PlaybackController::RecordingPositionMs() {
    return Player().GetPositionMs();
}

void PlaybackController::RequestPicture(int camera) {
    Player().RequestPicture(camera);
}

std::shared_ptr<CPixImgBase> PlaybackController::PublishedPicture(int camera, int32_t* frame) {
    return Player().PublishedPicture(camera, frame);
}

uint32_t PlaybackController::RequestStills(bool rear) {
    return Player().RequestStills(Player().GetOpenSerial(), rear);
}

const std::vector<int64_t>& PlaybackController::TripStartsMs() const {
    static const std::vector<int64_t> kNone;
    return m_sequence.IsTimelineKnown() ? m_sequence.Timeline().StartsMs() : kNone;
}

const TripTimeline& PlaybackController::Timeline() const {
    static const TripTimeline kNone;
    return m_sequence.IsTimelineKnown() ? m_sequence.Timeline() : kNone;
}

const char* PlaybackController::StateName(PlaybackState state) {
    switch (state) {
        case PlaybackState::NoMedia:
            return "no media";
        case PlaybackState::Loading:
            return "loading";
        case PlaybackState::Playing:
            return "playing";
        case PlaybackState::Paused:
            return "paused";
        case PlaybackState::Ended:
            return "ended";
        case PlaybackState::Failed:
            return "failed";
    }
    return "";
}

bool PlaybackController::HasMedia() const {
    return m_state == PlaybackState::Playing || m_state == PlaybackState::Paused ||
           m_state == PlaybackState::Ended;
}

// ---- the worker's events ----

void PlaybackController::OnPlayerEvent(void* user, const PlayerEvent& event) {
    auto* self = static_cast<PlaybackController*>(user);
    const uint32_t serial = event.openSerial;
    switch (event.kind) {
        case Kind::FrameShown: {
            bool post = false;
            {
                std::lock_guard<std::mutex> lock(self->m_frameLock);
                self->m_latestFrame = event;
                self->m_latestFrame.reason = "";
                post = !self->m_framePending;
                self->m_framePending = true;
            }
            if (post)
                QMetaObject::invokeMethod(
                    self, [self] { self->OnFramePosted(); }, Qt::QueuedConnection);
            break;
        }
        case Kind::HandOver: {
            const int32_t handOvers = event.handOvers;
            QMetaObject::invokeMethod(
                self, [self, serial, handOvers] { self->OnHandOver(serial, handOvers); },
                Qt::QueuedConnection);
            break;
        }
        case Kind::Ended:
            QMetaObject::invokeMethod(
                self, [self, serial] { self->OnEnded(serial); }, Qt::QueuedConnection);
            break;
        case Kind::Opened:
            QMetaObject::invokeMethod(
                self, [self, event] { self->OnOpened(event); }, Qt::QueuedConnection);
            break;
        case Kind::Stills: {
            std::shared_ptr<const StillPictures> stills = event.stills;
            QMetaObject::invokeMethod(
                self, [self, stills] { emit self->stillsTaken(stills); }, Qt::QueuedConnection);
            break;
        }
        case Kind::Failed: {
            const QString reason = QString::fromUtf8(event.reason ? event.reason : "");
            QMetaObject::invokeMethod(
                self, [self, serial, reason] { self->OnFailed(serial, reason); },
                Qt::QueuedConnection);
            break;
        }
    }
}

void PlaybackController::OnFramePosted() {
    PlayerEvent frame;
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        frame = m_latestFrame;
        m_framePending = false;
    }
    if (frame.openSerial != m_openSerial || !HasMedia()) return;  // from what was open before
    // The frame may be the first of a recording whose hand-over is still queued behind it.
    if (frame.handOvers > m_sequence.HandOvers()) OnHandOver(frame.openSerial, frame.handOvers);
    // A seek asked for since: the position already reads its target.
    if (m_player->IsSeekPending()) return;
    SetPosition(RecordingStartMs() + frame.positionMs);
    if (m_state == PlaybackState::Playing) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const std::optional<bool> dropping =
            m_drops.Sample(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(),
                           m_player->PlayedFrames(), m_player->LateFrames());
        if (dropping.value_or(false)) emit droppingFrames();
    }
}

void PlaybackController::OnHandOver(uint32_t serial, int32_t handOvers) {
    // A frame may have brought the news first; short recordings may pass two at once, and
    // an open in between drops what was queued.
    if (serial != m_openSerial) return;
    FollowHandOver(m_sequence.FollowHandOvers(handOvers));
}

void PlaybackController::FollowHandOver(int steps) {
    if (steps <= 0) return;
    m_path = m_trip[static_cast<qsizetype>(m_sequence.Index())];
    emit recordingChanged(m_path, TripIndex());
    if (!m_sequence.IsTimelineKnown()) emit durationChanged(Duration());
    SetPosition(RecordingStartMs());
    QueueNextInTrip();
}

void PlaybackController::OnEnded(uint32_t serial) {
    if (serial != m_openSerial || !m_player->Ended()) return;
    if (const std::optional<size_t> next = m_sequence.NextAfterEnd()) {
        // The next recording could not be joined on (another sound format or frame rate):
        // it opens as the trip goes on.
        PlayTripAt(static_cast<int>(*next));
        return;
    }
    // Played out, the last picture stays and the position reads the whole length (or where
    // the pictures of a file cut while it played ended).
    const int32_t endsAtMs = m_player->PositionMs();
    SetPosition(RecordingStartMs() + endsAtMs);
    if (endsAtMs < m_player->DurationMs()) emit cutShort(m_path, endsAtMs);
    SetState(PlaybackState::Ended);
    emit ended(m_path);
}

void PlaybackController::OnOpened(const PlayerEvent& event) {
    // An open asked for since replaces this one.
    if (event.openSerial != m_openSerial || m_state != PlaybackState::Loading) return;
    m_sequence.NoteHandOvers(event.handOvers);
    m_lastError.clear();
    SetState(m_playWhenOpened ? PlaybackState::Playing : PlaybackState::Paused);
    emit opened(m_path, TripIndex());
    emit recordingChanged(m_path, TripIndex());
    emit durationChanged(Duration());
    const int64_t seek = std::exchange(m_seekWhenOpenedMs, -1);
    if (seek >= 0) {
        SeekTo(seek);
    } else {
        SetPosition(RecordingStartMs() + event.positionMs);
    }
}

void PlaybackController::OnFailed(uint32_t serial, const QString& reason) {
    // The open asked for last was refused, or what is open failed on the way.
    if (serial != m_openSerial || m_state == PlaybackState::Failed) return;
    m_lastError = reason;
    Fail(m_path);
}

// ---- opening ----

bool PlaybackController::PlayRecording(const QString& path, int64_t startMs) {
    if (!m_trip.isEmpty() && m_trip[TripIndex()] != path) LeaveTrip();
    return OpenAt(path, startMs, true);
}

bool PlaybackController::PlayTrip(const QStringList& paths, int index, int64_t startMs) {
    if (index < 0 || index >= paths.size()) return false;
    SetTrip(paths);
    return PlayTripAt(index, startMs);
}

void PlaybackController::SetTrip(const QStringList& paths) {
    if (paths == m_trip) return;
    if (paths.isEmpty()) {
        LeaveTrip();
        return;
    }
    m_trip = paths;
    m_sequence.SetTrip(ToStd(paths));
    ProbeTrip();
}

bool PlaybackController::PlayTripAt(int index, int64_t startMs) {
    if (index < 0 || index >= m_trip.size()) return false;
    m_sequence.OpenedAt(static_cast<size_t>(index), m_sequence.HandOvers());
    return OpenAt(m_trip[index], startMs, true);
}

void PlaybackController::LeaveTrip() {
    if (m_trip.isEmpty()) return;
    m_probe.Cancel();
    m_trip.clear();
    m_sequence.Clear();
    if (HasMedia()) {
        emit durationChanged(Duration());
        SetPosition(m_player->PositionMs());
    }
}

bool PlaybackController::OpenAt(const QString& path, int64_t startMs, bool play) {
    m_path = path;
    m_seekWhenOpenedMs = -1;
    m_playWhenOpened = play;
    if (!m_player->Started()) {
        m_lastError.clear();
        Fail(path);
        return false;
    }
    const int64_t start = std::clamp<int64_t>(startMs, 0, INT32_MAX);
    SetState(PlaybackState::Loading);
    m_openSerial = m_player->PostOpen(path.toStdString(), static_cast<int32_t>(start), play);
    // Runs after the open on the worker; a refused open leaves nothing to queue it behind.
    QueueNextInTrip();
    SetPosition(RecordingStartMs() + start);
    return true;
}

void PlaybackController::Fail(const QString& path) {
    if (m_lastError.isEmpty()) m_lastError = QStringLiteral("not a playable recording");
    Trace("cannot play %s: %s\n", qPrintable(path), qPrintable(m_lastError));
    SetState(PlaybackState::Failed);
    emit failed(path, m_lastError);
}

void PlaybackController::QueueNextInTrip() {
    if (const std::string* next = m_sequence.NextToQueue()) m_player->QueueNext(*next);
}

void PlaybackController::ProbeTrip() {
    const QStringList paths = m_trip;
    const std::vector<std::string> files = m_sequence.Paths();
    const PlayerPort* player = m_player.get();  // its probe may be called from any thread
    m_probe.Start([this, paths, files, player](JobContext& job) {
        std::vector<int64_t> lengths;
        for (const std::string& path : files) {
            if (job.IsCancelled()) return;
            // A recording that cannot be read takes no time on the timeline.
            lengths.push_back(std::max(player->ProbeLengthMs(path), 0));
        }
        TripTimeline timeline(std::move(lengths), TripTimeline::ClockStartsFromNames(files));
        job.Post([this, paths, timeline] {
            if (paths != m_trip) return;
            m_sequence.SetTimeline(timeline);
            emit durationChanged(Duration());
            if (HasMedia()) SetPosition(RecordingStartMs() + m_player->PositionMs());
        });
    });
}

// ---- transport ----

void PlaybackController::Play() {
    if (m_state == PlaybackState::Loading) {
        m_playWhenOpened = true;
        m_player->Play();
        return;
    }
    if (m_state != PlaybackState::Paused && m_state != PlaybackState::Ended) return;
    // A trip played out plays again from its start.
    if (m_state == PlaybackState::Ended && TripIndex() > 0) {
        PlayTripAt(0);
        return;
    }
    m_player->Play();
    SetState(PlaybackState::Playing);
}

void PlaybackController::Pause() {
    if (m_state == PlaybackState::Loading) {
        m_playWhenOpened = false;
        m_player->Pause();
        return;
    }
    if (m_state != PlaybackState::Playing) return;
    m_player->Pause();
    SetState(PlaybackState::Paused);
}

void PlaybackController::Stop() {
    // Posted like an open: a stop during a slow open returns at once, and whatever the worker
    // still reports of the recording closed carries the old serial and is dropped.
    m_openSerial = m_player->PostClose();
    LeaveTrip();
    m_seekWhenOpenedMs = -1;
    const bool hadMedia = !m_path.isEmpty();
    m_path.clear();
    SetPosition(0);
    SetState(PlaybackState::NoMedia);
    if (hadMedia) {
        emit recordingChanged(QString(), -1);
        emit durationChanged(0);
    }
}

void PlaybackController::WaitUntilClosed() {
    m_player->WaitForWorker();
}

int PlaybackController::SeekIntoOtherRecording(int64_t target, bool play) {
    const std::optional<TripTimeline::Place> place = m_sequence.PlaceOf(target);
    if (!place || place->index == m_sequence.Index()) return -1;
    m_sequence.OpenedAt(place->index, m_sequence.HandOvers());
    if (!OpenAt(m_trip[static_cast<qsizetype>(place->index)], place->offsetMs, play)) return 0;
    m_drops.Reset();
    emit seeked(m_positionMs);
    return 1;
}

bool PlaybackController::SeekWhileLoading(int64_t timelineMs) {
    const int64_t target = std::max<int64_t>(timelineMs, 0);
    if (const int other = SeekIntoOtherRecording(target, m_playWhenOpened); other >= 0)
        return other == 1;
    m_seekWhenOpenedMs = target;
    SetPosition(target);
    m_drops.Reset();
    emit seeked(target);
    return true;
}

bool PlaybackController::SeekTo(int64_t timelineMs) {
    if (m_state == PlaybackState::Loading) return SeekWhileLoading(timelineMs);
    if (!HasMedia()) return false;
    const int64_t target = std::clamp<int64_t>(timelineMs, 0, std::max<int64_t>(Duration(), 0));
    const bool playing = m_state == PlaybackState::Playing;
    if (const int other = SeekIntoOtherRecording(target, playing); other >= 0) return other == 1;
    const int64_t within = std::max<int64_t>(target - RecordingStartMs(), 0);
    m_player->SeekToMs(static_cast<int32_t>(std::min<int64_t>(within, INT32_MAX)));
    // A recording held at its end shows the picture sought and waits there.
    if (m_state == PlaybackState::Ended) SetState(PlaybackState::Paused);
    SetPosition(RecordingStartMs() + m_player->PositionMs());
    m_drops.Reset();
    emit seeked(m_positionMs);
    return true;
}

bool PlaybackController::SeekBy(int64_t deltaMs) {
    if (m_state == PlaybackState::Loading) return SeekWhileLoading(m_positionMs + deltaMs);
    if (!HasMedia()) return false;
    const int64_t target = std::max<int64_t>(Position() + deltaMs, 0);
    const int64_t within = target - RecordingStartMs();
    if (deltaMs % kMsPerSecond != 0 || within < 0 || within >= m_player->DurationMs())
        return SeekTo(target);
    // Whole seconds within the recording on screen: counted in frames from the frame shown,
    // so no rounding of milliseconds moves the landing frame.
    m_player->SeekSeconds(static_cast<int>(deltaMs / kMsPerSecond));
    if (m_state == PlaybackState::Ended) SetState(PlaybackState::Paused);
    SetPosition(Position());
    m_drops.Reset();
    emit seeked(m_positionMs);
    return true;
}

void PlaybackController::StepFrame(int direction) {
    if (!HasMedia()) return;
    // Back from a recording's first picture: the last picture of the one before it in the trip.
    if (direction < 0 && m_state != PlaybackState::Loading && TripIndex() > 0 &&
        m_player->PositionMs() <= 0) {
        Pause();
        SeekTo(RecordingStartMs() - 1);
        return;
    }
    m_player->StepFrame(direction);
    SetState(PlaybackState::Paused);
}

void PlaybackController::SetRate(int percent) {
    const int before = Rate();
    m_player->SetRatePercent(percent);
    if (Rate() != before) emit rateChanged(Rate());
}

int PlaybackController::StepRate(int direction) {
    const int before = Rate();
    const int now = m_player->StepRate(direction);
    if (now != before) emit rateChanged(now);
    return now;
}

// ---- state ----

int64_t PlaybackController::Position() const {
    if (!HasMedia()) return m_positionMs;
    const int32_t handOvers = m_player->HandOvers();
    const int64_t ms = m_player->PositionMs();
    // A recording handed over to and not yet followed would read from its own start.
    if (handOvers != m_sequence.HandOvers() || m_player->HandOvers() != handOvers)
        return m_positionMs;
    return RecordingStartMs() + ms;
}

int64_t PlaybackController::Duration() const {
    if (m_sequence.IsTimelineKnown()) return m_sequence.Timeline().LengthMs();
    if (m_path.isEmpty()) return 0;
    // Until the open is done the player still knows the recording before.
    if (!HasMedia()) return RecordingStartMs();
    return RecordingStartMs() + m_player->DurationMs();
}

int64_t PlaybackController::RecordingStartMs() const {
    return m_sequence.RecordingStartMs();
}

void PlaybackController::SetState(PlaybackState state) {
    if (state == m_state) return;
    m_state = state;
    m_drops.Reset();
    emit stateChanged(state);
}

void PlaybackController::SetPosition(int64_t ms) {
    if (ms == m_positionMs) return;
    m_positionMs = ms;
    emit positionChanged(ms);
}
