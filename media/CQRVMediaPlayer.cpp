#include "media/CQRVMediaPlayer.h"

#include <algorithm>
#include <climits>

#include "support/Ticks.h"

CQRVMediaPlayer::CQRVMediaPlayer() : m_readBuffer(static_cast<size_t>(kChunkCapacityBytes) + 1) {}

CQRVMediaPlayer::~CQRVMediaPlayer() {
    // The reader and the output may already be gone here, so only the threads are stopped.
    JoinThreads();
}

void CQRVMediaPlayer::JoinThreads() {
    m_run.store(0);
    m_sync.AbandonDrainWaits();
    m_worker.StopThread();
    m_sync.StopFeeding();
}

bool CQRVMediaPlayer::Start(VideoWindow* frontWindow, VideoWindow* rearWindow) {
    m_frontWindow = frontWindow;
    m_rearWindow = rearWindow;
    if (m_parser) m_parser->Initialize();
    if (m_decoder) m_decoder->Initialize();
    if (m_output) {
        CSyncLock lock(m_lock);
        m_output->Open(static_cast<uint16_t>(m_outputBits), m_outputRate);
    }
    m_sync.SetOutput(m_output);
    m_sync.StartFeeding();
    m_worker.BeginThread(&CQRVMediaPlayer::RunOnce, this);
    m_started = true;
    return true;
}

void CQRVMediaPlayer::StopThreads() {
    if (!m_started) return;
    m_run.store(0);
    // The step ends at its next loop, but not while it waits for a sound output that may
    // have stopped taking packets.
    m_sync.AbandonDrainWaits();
    m_worker.StopThread();
    m_sync.ResumeDrainWaits();
    // Closing the output frees a feeder waiting for a free buffer, so its join is quick.
    if (m_output) m_output->Close();
    m_sync.StopFeeding();
    if (m_parser) m_parser->Shutdown();
    m_started = false;
}

void CQRVMediaPlayer::SetTextCallback(TextChunkCallback callback, void* user) {
    CSyncLock lock(m_lock);
    m_textCallback = callback;
    m_textCallbackUser = user;
}

bool CQRVMediaPlayer::Open(const char* path) {
    m_run.store(0);
    // The sound queued for the old position is dropped below; the step need not wait for it.
    m_sync.AbandonDrainWaits();
    bool accepted = false;
    {
        CSyncLock lock(m_lock);  // waits for a running step to finish
        m_sync.ResumeDrainWaits();
        MediaInfo info;
        accepted = m_parser && path && m_parser->OpenFile(path, &info) != 0;
        if (accepted) {
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
            ResetForSeeking();
            m_sync.ClearPcm();
            if (m_output) m_output->Flush();
            m_relativeSeek.store(0);
            m_absoluteSeek.store(0);
            m_cameraCount.store(CameraCountFor(m_path, m_rearFrameRate));
            // Playing from here on, so a caller polling for the end does not mistake the
            // moment before the worker's first step for it.
            m_state.store(kStatePlaying);
        }
    }
    m_run.store(1);
    return accepted;
}

void CQRVMediaPlayer::Close() {
    m_run.store(0);
    // The lock is held by the worker for a whole step, and a step ends at its next loop once
    // run is 0: taking it here waits for the step instead of guessing how long it takes. A
    // step waiting for the sound to drain is let go, since a stalled output would never
    // drain it.
    m_sync.AbandonDrainWaits();
    CSyncLock lock(m_lock);
    m_sync.ResumeDrainWaits();
    m_state.store(kStateStopped);
    if (m_parser) m_parser->CloseFile();
    ResetForSeeking();
}

namespace {
// Requests are frame counts; absurd arguments are limited instead of overflowing.
int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN + 1, INT32_MAX));
}
}  // namespace

void CQRVMediaPlayer::SeekBackward(int seconds) {
    m_relativeSeek.store(ClampToInt32(-static_cast<int64_t>(seconds) * m_frontFrameRate.load()));
}

void CQRVMediaPlayer::SeekForward(int seconds) {
    m_relativeSeek.store(ClampToInt32(static_cast<int64_t>(seconds) * m_frontFrameRate.load()));
}

bool CQRVMediaPlayer::SeekToMs(int32_t ms) {
    m_absoluteSeek.store(ClampToInt32(static_cast<int64_t>(ms) * m_frontFrameRate.load() / 1000));
    return true;
}

int32_t CQRVMediaPlayer::GetPositionMs() const {
    int32_t rate = m_frontFrameRate.load();
    if (rate <= 0) rate = kFallbackFrameRate;
    return static_cast<int32_t>(static_cast<int64_t>(m_frameCounter.load()) * 1000 / rate);
}

bool CQRVMediaPlayer::Capture(int camera, const char* path) {
    if (m_state.load() == kStateStopped || !m_decoder) return false;
    CSyncLock lock(m_lock);
    return m_decoder->SaveCapture(camera, path);
}

void CQRVMediaPlayer::SetBrightness(int camera, int level) {
    if (m_decoder) m_decoder->SetBrightness(camera, level);
}

void CQRVMediaPlayer::SetMirror(int camera, bool on) {
    if (m_decoder) m_decoder->SetMirror(camera, on);
}

bool CQRVMediaPlayer::BuildIndex(const char* path, MediaInfo* info) {
    return m_parser && m_parser->BuildIndex(path, info);
}

int CQRVMediaPlayer::CameraCountFor(const std::string& path, int32_t rearFrameRate) {
    if (path.empty()) return rearFrameRate != 0 ? 2 : 1;
    if (path.size() < 5) return 1;
    const char flag = path[path.size() - 5];
    return flag == 'D' || flag == 'd' ? 2 : 1;
}

int32_t CQRVMediaPlayer::DurationMsFor(int32_t frameCount, int32_t frameRate) {
    if (frameRate <= 0) frameRate = kFallbackFrameRate;
    const double ms = static_cast<double>(frameCount) / frameRate * 1000.0;
    return ms >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

bool CQRVMediaPlayer::IsKeyFrame(const uint8_t* data, int32_t size) {
    if (!data) return false;
    // x264 may begin a packet with a 3-byte start code; the NAL header follows it directly.
    int header = 4;
    if (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) header = 3;
    if (size <= header) return false;
    return data[header] != kNonIdrSliceHeader;
}

bool CQRVMediaPlayer::ProbeFile(const char* path, VMediaParser& parser, int32_t* durationMs,
                                int* cameras) {
    MediaInfo info;
    const bool accepted = path && parser.OpenFile(path, &info) != 0;
    if (accepted) {
        if (durationMs)
            *durationMs = DurationMsFor(info.frontFrameCount, parser.GetNativeFrameRate(0));
        if (cameras) *cameras = CameraCountFor(path, parser.GetFrameRate(1));
    }
    parser.CloseFile();
    return accepted;
}
