// The worker's side of the commands: what Open, Close, Play, Pause, seeks, steps, rate,
// Capture, stills and a repaint do to the playback state. Everything here runs on the worker
// thread (or on the owner's thread while no worker runs), without m_lock.

#include <algorithm>

#include "media/CQRVMediaPlayer.h"

#include "media/CFFMH264_Decoder.h"
#include "support/Ticks.h"

namespace {
int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

void CQRVMediaPlayer::Execute(Command& command) {
    if (ExecuteTransport(command)) {
        Answer(command, true);
        return;
    }
    bool result = true;
    switch (command.kind) {
        case CommandKind::Open:
            result = DoOpen(command.text, command.serial);
            if (result) FinishOpen(command);
            if (result && !command.next.empty()) DoQueueNext(command.next);
            break;
        case CommandKind::Close:
            DoClose(command.serial);
            break;
        case CommandKind::Capture:
            result = DoCapture(static_cast<int>(command.value), command.text);
            break;
        case CommandKind::BuildIndex: {
            MediaInfo scratch;
            result =
                m_parser->BuildIndex(command.text.c_str(), command.info ? command.info : &scratch);
            m_indexedPath = result ? command.text : std::string();
            break;
        }
        case CommandKind::QueueNext:
            result = DoQueueNext(command.text);
            break;
        case CommandKind::Publish:
            DoPublish(static_cast<int>(command.value));
            break;
        case CommandKind::Stills:
            DoStills(command);
            break;
        default:  // Sync, and the transport commands taken above
            break;
    }
    Answer(command, result);
}

bool CQRVMediaPlayer::ExecuteTransport(const Command& command) {
    switch (command.kind) {
        case CommandKind::Play:
            DoPlay();
            return true;
        case CommandKind::Pause:
            DoPause();
            return true;
        case CommandKind::SeekRelative:
            DoSeek(std::max<int64_t>(0, m_frameCounter.load() + command.value));
            m_seeksDone.fetch_add(1);
            return true;
        case CommandKind::SeekAbsolute:
            DoSeek(command.value);
            m_seeksDone.fetch_add(1);
            return true;
        case CommandKind::Step:
            DoStep(static_cast<int>(command.value));
            return true;
        case CommandKind::Rate:
            DoRate(static_cast<int>(command.value));
            return true;
        case CommandKind::Represent:
            DoRepresent();
            return true;
        default:
            return false;
    }
}

void CQRVMediaPlayer::Answer(Command& command, bool result) {
    if (!command.reply) return;
    if (!command.fromOtherThread) {
        command.reply->result = result;
        command.reply->done = true;
        return;
    }
    // The reply lives on the caller's stack: it is not touched once it is given. The worker
    // goes on at once; it never waits for its caller.
    std::lock_guard<std::mutex> lock(m_lock);
    command.reply->result = result;
    command.reply->done = true;
    m_replied.notify_all();
}

void CQRVMediaPlayer::FinishOpen(const Command& command) {
    const int32_t start = static_cast<int32_t>(command.value * Rate() / 1000);
    if (command.paused) {
        // Paused from the first picture on: the start's picture is shown, and nothing else.
        DoPause();
        m_run.store(0);
        SeekExact(start);
    } else if (start > 0) {
        SeekExact(start);
    }
    PlayerEvent opened;
    opened.kind = PlayerEvent::Kind::Opened;
    opened.durationMs = m_duration.load();
    Notify(opened);
}

bool CQRVMediaPlayer::DoOpen(const std::string& path, uint32_t serial) {
    m_openSerial.store(serial);
    ForgetPublished();
    DropNext();
    if (m_fileOpen && m_parser) m_parser->CloseFile();
    m_fileOpen = false;
    m_ended.store(false);
    ResetForSeeking();
    MediaInfo info;
    bool accepted = false;
    if (m_parser && !path.empty()) {
        // The index is built once per open: taken from a BuildIndex of this file just before,
        // or built by the reader in the same pass as the header.
        const bool indexed = path == m_indexedPath;
        m_indexedPath.clear();
        accepted = indexed && m_parser->OpenFile(path.c_str(), nullptr) != 0 &&
                   m_parser->GetMediaInfo(&info);
        if (!accepted) accepted = m_parser->OpenFile(path.c_str(), &info) != 0;
    }
    std::string openError;
    if (!accepted && m_parser) openError = m_parser->GetOpenError();
    if (accepted && !AdoptCodecs(&openError)) {
        m_parser->CloseFile();
        accepted = false;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_openError = openError;
    }
    if (!accepted) {
        RefuseOpen(openError);
        return false;
    }
    AdoptRecording(path, info);
    return true;
}

void CQRVMediaPlayer::RefuseOpen(const std::string& openError) {
    // Nothing to play: stopped, as after the end of a recording that yields nothing.
    m_state.store(kStateStopped);
    m_run.store(0);
    m_playing = false;
    m_sync.FlushAll();
    Notify(PlayerEvent::Kind::Failed, openError.c_str());
}

void CQRVMediaPlayer::AdoptRecording(const std::string& path, MediaInfo& info) {
    m_fileOpen = true;
    m_path = path;
    int32_t bits = 0, rate = 0;
    m_parser->GetAudioFormat(&bits, &rate);
    if (bits != m_outputBits || rate != m_outputRate) {
        m_outputBits = bits;
        m_outputRate = rate;
        if (m_output) {
            m_output->Close();
            m_output->Open(static_cast<uint16_t>(bits), rate);
        }
    }
    // Played and sought at the rate the index was written at, also above 30.
    const int32_t declared = m_parser->GetNativeFrameRate(0);
    m_rateDeclared = declared > 0;
    m_frontFrameRate.store(m_rateDeclared ? declared : kFallbackFrameRate);
    m_rearFrameRate = m_parser->GetFrameRate(1);
    m_frameCounter.store(0);
    m_totalFrames = info.frontFrameCount;
    m_duration.store(DurationMsFor(info.frontFrameCount, m_frontFrameRate.load()));
    m_framePositions = std::move(info.frontFramePositions);
    m_nextReadIndex = 0;
    m_shownIndex = -1;
    m_rearShown = false;
    m_pacer.Reset();
    ResetSound();
    m_cameraCount.store(CameraCountFor(m_path, m_rearFrameRate));
    // Playing from here on, so a caller polling for the end does not mistake the moment
    // before the first picture for it.
    m_state.store(kStatePlaying);
    m_playing = true;
}

bool CQRVMediaPlayer::AdoptCodecs(std::string* error) {
    for (int camera = 0; camera < 2; ++camera) {
        const VideoCodec codec = m_parser->GetVideoCodec(camera);
        m_codecs[camera] = codec;
        // A recording without a rear stream reports no codec for it: nothing to decode.
        if (camera == 1 && codec == VideoCodec::Unknown) continue;
        VideoSizeRec size;
        m_parser->GetVideoSize(&size, camera);
        if (camera == 0)
            m_rearOnLane = static_cast<int64_t>(size.width) * size.height >
                           CFFMH264_Decoder::kFullHdPixels;
        if (m_decoder && !m_decoder->SetCodec(camera, codec, size.width, size.height)) {
            *error = std::string("the viewer has no ") + VideoCodecName(codec) + " decoder";
            return false;
        }
    }
    return true;
}

std::string CQRVMediaPlayer::GetOpenError() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_openError;
}

void CQRVMediaPlayer::DoClose(uint32_t serial) {
    m_openSerial.store(serial);
    ForgetPublished();
    DropNext();
    if (m_fileOpen && m_parser) m_parser->CloseFile();
    m_fileOpen = false;
    m_playing = false;
    m_state.store(kStateStopped);
    m_ended.store(false);
    ResetForSeeking();
    m_sync.FlushAll();
    m_pendingPcm.clear();
    m_soundAnchored = false;
    m_soundGate = false;
    m_pacer.Reset();
    if (m_output) m_output->SetPaused(false);
}

void CQRVMediaPlayer::DoPlay() {
    if (!m_fileOpen) {
        // Nothing to play; the state already says so.
        m_run.store(0);
        m_playing = false;
        return;
    }
    m_playing = true;
    if (m_ended.load()) {
        // Played out: play it again from its first picture.
        if (!SeekExact(0)) {
            m_playing = false;
            m_run.store(0);
            return;
        }
        m_ended.store(false);
        m_state.store(kStatePlaying);
    }
    // The clock starts again at the next frame; the sound resumes where it stood.
    m_pacer.Reset();
    if (m_output && !m_soundGate) m_output->SetPaused(false);
}

void CQRVMediaPlayer::DoPause() {
    m_playing = false;
    m_waitUntilUs = 0;
    m_pacer.Reset();
    if (m_output) m_output->SetPaused(true);
}

void CQRVMediaPlayer::DoSeek(int64_t targetFrame) {
    if (!m_fileOpen) return;
    const int32_t target = static_cast<int32_t>(std::clamp<int64_t>(targetFrame, 0, INT32_MAX));
    if (!SeekExact(target)) return;
    m_ended.store(false);
    m_state.store(kStatePlaying);
}

bool CQRVMediaPlayer::SeekExact(int32_t target) {
    if (m_totalFrames <= 0) return false;
    // The target's picture goes out now; playing, the frames after it follow on the clock,
    // which starts at the target so that the next frame keeps its period.
    const int32_t shown = ShowFrameAt(target);
    if (shown >= 0) {
        if (m_playing && !m_noClock.load()) m_pacer.DueAt(FrameTimeUs(shown), NowUs(), false);
        return true;
    }
    // Nothing decodable around the target (a damaged stretch): playing, read on from its
    // second's first key frame, as far as the data goes.
    if (!m_playing) return false;
    SeekToFrame(target);
    return true;
}

void CQRVMediaPlayer::DoStep(int direction) {
    if (!m_fileOpen) return;
    if (m_playing) DoPause();
    m_run.store(0);
    if (direction > 0) {
        ShowNextFrame();
        return;
    }
    if (m_shownIndex <= 0) return;
    const int32_t before = m_shownIndex;
    const int32_t shown = ShowFrameAt(before - 1);
    if (shown < 0) return;
    m_ended.store(false);
    m_state.store(kStatePlaying);
}

void CQRVMediaPlayer::DoRate(int percent) {
    const int before = m_pacer.RatePercent();
    m_pacer.SetRate(percent, NowUs());
    if (percent == before) return;
    if (percent != FramePacer::kNormalRatePercent) {
        // Muted: sound at another speed would not match the picture.
        m_sync.FlushAll();
        m_pendingPcm.clear();
        m_soundAnchored = false;
        m_soundGate = false;
        if (m_output) m_output->SetPaused(!m_playing);
    } else {
        ResetSound();
    }
}

bool CQRVMediaPlayer::DoCapture(int camera, const std::string& path) {
    if (m_state.load() == kStateStopped || !m_decoder) return false;
    return m_decoder->SaveCapture(camera, path.c_str());
}

void CQRVMediaPlayer::ForgetPublished() {
    std::lock_guard<std::mutex> lock(m_publishLock);
    m_published[0] = m_published[1] = Published();
}

void CQRVMediaPlayer::DoPublish(int camera) {
    // Cleared first: a request made while this one is taken is served by the next command.
    m_pictureAsked[camera].store(false);
    if (!m_fileOpen || !m_decoder) return;
    const int32_t frame = m_frameCounter.load();
    std::shared_ptr<CPixImgBase> picture = m_decoder->CopyPicture(camera);
    if (!picture) return;
    std::lock_guard<std::mutex> lock(m_publishLock);
    m_published[camera] = {std::move(picture), frame};
}

void CQRVMediaPlayer::DoStills(const Command& command) {
    // Another recording opened, or this one closed, since the request was made: the pictures
    // on screen now are not the ones asked for.
    if (!m_fileOpen || m_openSerial.load() != command.serial) {
        AnswerStills(command.request, "the recording was closed before its stills were taken");
        return;
    }
    auto answer = std::make_shared<StillPictures>();
    answer->request = command.request;
    answer->frame = m_frameCounter.load();
    answer->positionMs = static_cast<int32_t>(int64_t{answer->frame} * 1000 / Rate());
    const int cameras = command.value > 1 ? 2 : 1;
    for (int camera = 0; camera < cameras; ++camera) {
        answer->pictures[camera] = m_decoder ? m_decoder->CopyStill(camera) : nullptr;
        if (!answer->pictures[camera]) {
            AnswerStills(command.request,
                         camera == 0 ? "no front picture to save" : "no rear picture to save");
            return;
        }
    }
    answer->ok = true;
    PlayerEvent event;
    event.kind = PlayerEvent::Kind::Stills;
    event.stills = std::move(answer);
    Notify(std::move(event));
}

void CQRVMediaPlayer::AnswerStills(uint32_t request, const char* error) {
    auto answer = std::make_shared<StillPictures>();
    answer->request = request;
    answer->error = error;
    PlayerEvent event;
    event.kind = PlayerEvent::Kind::Stills;
    event.reason = answer->error.c_str();
    event.stills = std::move(answer);
    Notify(std::move(event));
}

void CQRVMediaPlayer::DoRepresent() {
    // While playing the next frame carries the change anyway.
    if (m_playing || !m_fileOpen || !m_decoder || m_shownIndex < 0) return;
    BeginPair();
    m_decoder->Represent(0, m_frontWindow);
    if (m_rearShown) m_decoder->Represent(1, m_rearWindow);
    EndPair();
}
