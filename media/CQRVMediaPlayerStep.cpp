// The worker's loop: waiting for commands or for the next frame's time, reading chunks, the
// frame queue, presenting frames, the sound queue and the end of a recording. Everything
// here runs on the worker thread; m_lock is taken only around the command queue.

#include <algorithm>
#include <climits>
#include <cstring>

#include "media/CQRVMediaPlayer.h"
#include "support/Ticks.h"
#include "support/VideoWindow.h"

namespace {
bool KindIs(const char id[4], const char* kind) {
    return id[2] == kind[0] && id[3] == kind[1];
}
// "00dc" is the front camera; any other stream number is the rear one.
int CameraOf(const char id[4]) {
    return id[0] == '0' && id[1] == '0' ? 0 : 1;
}
int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
// A frame due within this much is presented now.
constexpr int64_t kEarlyToleranceUs = 1000;
// Chunks read per turn before the worker looks at its commands again.
constexpr int kChunksPerTurn = 256;
// The sound output's position is trusted this long after the device last took bytes.
constexpr int64_t kSoundFreshUs = 150000;
// Sound that makes no progress for this long is given up: at the end of a recording, and
// while the player waits for room in the sound queue.
constexpr int64_t kSoundStallUs = 1500000;
constexpr int64_t kEndWaitMinUs = 10000;
constexpr int64_t kEndWaitMaxUs = 250000;
constexpr size_t kMaxSpareBuffers = 64;
}  // namespace

int32_t CQRVMediaPlayer::Rate() const {
    const int32_t rate = m_frontFrameRate.load();
    return rate > 0 ? rate : kFallbackFrameRate;
}

int64_t CQRVMediaPlayer::FrameTimeUs(int32_t index) const {
    return static_cast<int64_t>(index) * 1000000 / Rate();
}

int64_t CQRVMediaPlayer::PacketPlayUs() const {
    return int64_t{kPcmPacketBytes} * 1000000 / SoundBytesPerSecond();
}

int64_t CQRVMediaPlayer::SoundBytesPerSecond() const {
    return static_cast<int64_t>(m_outputRate) * std::max(1, m_outputBits / 8);
}

bool CQRVMediaPlayer::RunOnce(void* self) {
    static_cast<CQRVMediaPlayer*>(self)->WorkOnce();
    return true;
}

bool CQRVMediaPlayer::WantsToAdvance() const {
    return m_fileOpen && m_playing && !m_ended.load();
}

void CQRVMediaPlayer::WorkOnce() {
    std::deque<Command> commands;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        auto ready = [this] { return !m_commands.empty() || m_stopping; };
        if (!ready()) {
            if (!WantsToAdvance()) {
                // Paused, idle or played out: nothing wakes us but a command.
                m_held = true;
                m_replied.notify_all();
                m_wake.wait(lock, ready);
                m_held = false;
                m_wakeups.fetch_add(1);
            } else if (m_waitUntilUs > 0) {
                const std::chrono::steady_clock::time_point deadline{
                    std::chrono::microseconds(m_waitUntilUs)};
                m_wake.wait_until(lock, deadline, ready);
                m_wakeups.fetch_add(1);
            }
        }
        if (m_stopping) return;
        commands.swap(m_commands);
        m_pendingCommands.store(0);
    }
    m_waitUntilUs = 0;
    for (Command& command : commands) Execute(command);
    if (WantsToAdvance()) Advance();
}

bool CQRVMediaPlayer::NeedMoreFrames() const {
    if (m_endOfData) return false;
    if (m_frameQueue.size() >= kMaxQueuedPackets || m_queuedBytes >= kMaxQueuedBytes) return false;
    const size_t prebuffer =
        static_cast<size_t>(static_cast<int64_t>(m_prebufferMs) * Rate() / 1000);
    const size_t fronts = std::max<size_t>(prebuffer, FrontsToDecode());
    // The rear packet after the last front one is read too, so the pair can use the lane
    // (a rear stream with a gap costs one front more, no further).
    if (m_rearOnLane && m_codecs[1] != VideoCodec::Unknown && !m_frameQueue.empty() &&
        m_frameQueue.back().camera == 0 && m_queuedFronts <= fronts)
        return true;
    return m_queuedFronts < fronts;
}

void CQRVMediaPlayer::Advance() {
    for (int turn = 0; turn < kChunksPerTurn; ++turn) {
        if (m_pendingCommands.load() > 0) return;
        if (!m_pendingPcm.empty() && !RetryPendingPcm()) return;
        if (NeedMoreFrames()) {
            if (ReadChunk(false) == Read::Wait) return;
            continue;
        }
        if (m_frameQueue.empty()) {
            FinishPlayback();
            return;
        }
        if (m_frameQueue.front().camera != 0) {
            PresentRear();
            continue;
        }
        bool late = false;
        if (!m_pacer.Running()) m_runFrames = 0;
        const bool starting = m_runFrames++ < kWarmUpFrames;
        const int64_t mediaUs = m_frameQueue.front().mediaUs;
        if (!m_noClock.load()) {
            const int64_t now = NowUs();
            const bool soundLeads = SyncClockToSound(now);
            const int64_t due = m_pacer.DueAt(m_frameQueue.front().mediaUs, now, !soundLeads);
            if (due > now + kEarlyToleranceUs) {
                m_waitUntilUs = due;
                return;
            }
            // A picture more than a frame period behind is decoded (the frames after it refer
            // to it) but not converted, so the picture catches up with the sound; the last one
            // queued is always shown.
            late = !starting && m_dropLate.load() && now - due > WallFramePeriodUs() &&
                   m_queuedFronts > 1;
        }
        PresentPair(late);
        // The first pictures of a run cost a key frame and the set-up of the conversions
        // (tens of milliseconds at 4K): they are all shown, and the clock goes on from each
        // of them, so the frames after them are not late from the start.
        if (starting && !m_noClock.load()) m_pacer.SyncTo(mediaUs, NowUs());
        return;
    }
}

void CQRVMediaPlayer::PresentPair(bool late) {
    m_playedFrames.fetch_add(1);
    // Above 1080p the rear picture of the moment decodes on the lane meanwhile.
    const bool lane =
        m_rearOnLane && m_decoder && m_frameQueue.size() > 1 && m_frameQueue[1].camera != 0;
    QueuedPacket rear;
    if (lane) {
        rear = std::move(m_frameQueue[1]);
        m_frameQueue.erase(m_frameQueue.begin() + 1);
        m_lane.Post(m_decoder, 1, m_rearWindow, !late, rear.bytes.data(),
                    static_cast<int32_t>(rear.bytes.size()));
    }
    if (late) {
        m_lateFrames.fetch_add(1);
        PresentHead(true, true);
        if (lane) FinishLane(rear);
        while (!m_frameQueue.empty() && m_frameQueue.front().camera != 0) PresentRear(true);
        return;
    }
    // The rear frame of this moment follows its front frame in the file; both are shown
    // before either window repaints, so they reach the screen together.
    BeginPair();
    PresentHead(true);
    if (lane) FinishLane(rear);
    while (!m_frameQueue.empty() && m_frameQueue.front().camera != 0) PresentRear();
    EndPair();
}

void CQRVMediaPlayer::FinishLane(QueuedPacket& rear) {
    m_lane.Wait();
    m_rearShown = true;
    ReleasePacket(rear);
}

int64_t CQRVMediaPlayer::WallFramePeriodUs() const {
    return FrameTimeUs(1) * FramePacer::kNormalRatePercent / std::max(1, m_pacer.RatePercent());
}

void CQRVMediaPlayer::BeginPair() {
    if (m_frontWindow) m_frontWindow->BeginPair();
    if (m_rearWindow) m_rearWindow->BeginPair();
}

void CQRVMediaPlayer::EndPair() {
    if (m_frontWindow) m_frontWindow->EndPair();
    if (m_rearWindow) m_rearWindow->EndPair();
}

int64_t CQRVMediaPlayer::ReadMedia(char id[4], int32_t* size) {
    int32_t capacity = static_cast<int32_t>(m_readBuffer.size()) - 1;
    *size = capacity;
    int64_t position = m_parser->ParseMedia(id, m_readBuffer.data(), size);
    if (position == VMediaParser::kChunkTooLarge && *size > capacity &&
        *size <= VMediaParser::kMaxChunkBytes) {
        // A key frame beyond the usual capacity (the reader bounds it): grow and read it. The
        // buffer keeps its size, as the next key frame will be as large.
        m_readBuffer.resize(static_cast<size_t>(*size) + 1);
        capacity = *size;
        position = m_parser->ParseMedia(id, m_readBuffer.data(), size);
    }
    *size = position < 0 ? 0 : std::clamp(*size, 0, capacity);
    return position;
}

CQRVMediaPlayer::Read CQRVMediaPlayer::ReadChunk(bool paused) {
    char id[4] = {0, 0, 0, 0};
    int32_t size = 0;
    if (ReadMedia(id, &size) < 0) {
        // A queued next recording reads on into the same queue.
        if (BeginReadingNext()) return Read::Chunk;
        // The end of the data, a cut file or a chunk that cannot be read: play what is queued.
        m_endOfData = true;
        return Read::End;
    }
    if (KindIs(id, "dc")) {
        HandleVideo(CameraOf(id), size, paused);
    } else if (KindIs(id, "wb")) {
        // Sound before the first key frame is dropped, except a next recording's sound from
        // before its first frame: that is its start and follows the current one's end.
        const bool soundDue = !m_waitFrontKey || (m_readingNext && m_nextReadIndex == 0);
        if (!paused && soundDue && !PushAudio(m_readBuffer.data(), size)) return Read::Wait;
    } else if (KindIs(id, "tx")) {
        if (!HoldNextText(size)) DeliverText(size);
    }
    return Read::Chunk;
}

void CQRVMediaPlayer::HandleVideo(int camera, int32_t length, bool paused) {
    (void)paused;
    const uint8_t* data = m_readBuffer.data();
    if (camera == 0) {
        const int32_t index = m_nextReadIndex++;
        if (m_waitFrontKey) {
            if (!IsKeyFrame(data, length, m_codecs[0])) return;
            // After a jump whatever was queued is stale; a next recording follows the tail of
            // the current one.
            if (!m_readingNext) ClearFrameQueue();
            m_waitFrontKey = false;
        }
        QueuePacket(0, index, data, length);
        return;
    }
    if (m_waitFrontKey) return;
    if (m_waitRearKey) {
        if (!IsKeyFrame(data, length, m_codecs[1])) return;
        m_waitRearKey = false;
    }
    QueuePacket(1, -1, data, length);
}

bool CQRVMediaPlayer::PushAudio(const uint8_t* data, int32_t length) {
    if (m_pacer.RatePercent() != FramePacer::kNormalRatePercent) return true;  // muted
    if ((m_nextSoundWanted || m_nextSoundSkip > 0) && !JoinNextSound(data, length)) return true;
    if (!m_sync.PushPcm(data, length)) {
        // Nothing waits without a clock, nor for an output that has stalled.
        if (m_noClock.load() || m_sync.PoppedPackets() == m_stalledPopped) return true;
        // The queue is full: wait for the output to take a packet.
        m_pendingPcm.assign(data, data + std::clamp(length, 0, kPcmPacketBytes));
        m_pcmWaitPopped = m_sync.PoppedPackets();
        m_pcmWaitSinceUs = NowUs();
        m_waitUntilUs = m_pcmWaitSinceUs + PacketPlayUs();
        return false;
    }
    m_pushedSoundBytes += std::clamp(length, 0, kPcmPacketBytes);
    if (!m_soundAnchored) {
        // The recorder writes a sound chunk just before the first frame its start has
        // reached, so it starts between the previous front frame and the next one.
        m_soundAnchored = true;
        m_soundAnchorUs = m_readBaseUs + FrameTimeUs(m_nextReadIndex) - FrameTimeUs(1) / 2;
    }
    return true;
}

bool CQRVMediaPlayer::RetryPendingPcm() {
    const int32_t length = static_cast<int32_t>(m_pendingPcm.size());
    if (m_sync.PushPcm(m_pendingPcm.data(), length)) {
        m_pushedSoundBytes += length;
        m_pendingPcm.clear();
        return true;
    }
    const int64_t popped = m_sync.PoppedPackets();
    const int64_t now = NowUs();
    if (popped != m_pcmWaitPopped) {
        m_pcmWaitPopped = popped;
        m_pcmWaitSinceUs = now;
    } else if (now - m_pcmWaitSinceUs >= kSoundStallUs) {
        // The output took nothing for as long as the end of a recording waits for it: it
        // has stalled, and the picture does not wait for it until it takes packets again.
        // A slow device that takes a packet in more than its playing time is still alive.
        m_pendingPcm.clear();
        m_stalledPopped = popped;
        return true;
    }
    m_waitUntilUs = now + PacketPlayUs();
    return false;
}

void CQRVMediaPlayer::DeliverText(int32_t length) {
    m_readBuffer[static_cast<size_t>(length)] = 0;
    TextChunkCallback callback;
    void* user;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        callback = m_textCallback;
        user = m_textCallbackUser;
    }
    if (!callback) return;
    const int32_t positionMs =
        static_cast<int32_t>(static_cast<int64_t>(m_frameCounter.load()) * 1000 / Rate());
    callback(user, m_readBuffer.data(), length, positionMs);
}

void CQRVMediaPlayer::Notify(PlayerEvent::Kind kind, const char* reason) {
    PlayerEvent event;
    event.kind = kind;
    event.reason = reason;
    Notify(event);
}

void CQRVMediaPlayer::Notify(PlayerEvent event) {
    PlayerEventCallback callback;
    void* user;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        callback = m_eventCallback;
        user = m_eventCallbackUser;
    }
    if (!callback) return;
    event.openSerial = m_openSerial.load();
    event.handOvers = m_handOvers.load();
    event.positionMs =
        static_cast<int32_t>(static_cast<int64_t>(m_frameCounter.load()) * 1000 / Rate());
    callback(user, event);
}

void CQRVMediaPlayer::QueuePacket(int camera, int32_t index, const uint8_t* data, int32_t length) {
    QueuedPacket& packet = m_frameQueue.emplace_back();
    packet.camera = camera;
    packet.index = index;
    packet.mediaUs = camera == 0 ? m_readBaseUs + FrameTimeUs(index) : 0;
    packet.serial = m_readSerial;
    if (!m_spareBuffers.empty()) {
        packet.bytes = std::move(m_spareBuffers.back());
        m_spareBuffers.pop_back();
    }
    packet.bytes.assign(data, data + length);
    m_queuedBytes += packet.bytes.size();
    if (camera == 0) ++m_queuedFronts;
}

void CQRVMediaPlayer::ReleasePacket(QueuedPacket& packet) {
    m_queuedBytes -= std::min(m_queuedBytes, packet.bytes.size());
    if (packet.camera == 0 && m_queuedFronts > 0) --m_queuedFronts;
    if (m_spareBuffers.size() < kMaxSpareBuffers) m_spareBuffers.push_back(std::move(packet.bytes));
}

void CQRVMediaPlayer::PresentHead(bool paced, bool late) {
    QueuedPacket packet = std::move(m_frameQueue.front());
    m_frameQueue.pop_front();
    const int64_t now = NowUs();
    if (paced && !m_noClock.load()) {
        // The statistics line: how long the loop took since the previous frame.
        const int64_t difMs =
            m_lastPresentUs == 0 ? FramePacer::kMaxDifMs : (now - m_lastPresentUs) / 1000;
        m_pacer.Update(0, static_cast<int>(std::min<int64_t>(difMs, INT_MAX)), Rate());
    }
    if (packet.serial != m_shownSerial) CompleteHandOver();
    m_frameCounter.store(std::max(packet.index, 0));
    m_shownIndex = packet.index;
    // After the hand-over, which may open the decoder for another thread plan.
    const VideoPacketOrder order = FrontOrder(packet);
    if (m_decoder && late) {
        m_decoder->DecodeOnly(0, packet.bytes.data(), static_cast<int32_t>(packet.bytes.size()),
                              order);
    } else if (m_decoder) {
        m_decoder->DecodeFrame(0, m_frontWindow, packet.bytes.data(),
                               static_cast<int32_t>(packet.bytes.size()), order);
    }
    m_lastPresentUs = NowUs();
    if (m_soundGate && m_soundAnchored && packet.mediaUs + FrameTimeUs(1) / 2 >= m_soundAnchorUs) {
        OpenSoundGate();
    }
    ReleasePacket(packet);
    Notify(PlayerEvent::Kind::FrameShown);
}

VideoPacketOrder CQRVMediaPlayer::FrontOrder(const QueuedPacket& packet) const {
    VideoPacketOrder order;
    order.key = PacketKey(packet.serial, packet.index);
    if (!m_decoder || !m_decoder->TakesPacketAhead(0)) return order;
    for (const QueuedPacket& queued : m_frameQueue) {
        if (queued.camera != 0) continue;
        if (queued.serial != packet.serial) break;
        // A thumbnail in a video chunk is no picture; the one after it is.
        const std::vector<uint8_t>& b = queued.bytes;
        if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) continue;
        order.next = b.data();
        order.nextSize = static_cast<int32_t>(b.size());
        order.nextKey = PacketKey(queued.serial, queued.index);
        break;
    }
    return order;
}

size_t CQRVMediaPlayer::FrontsToDecode() const {
    return m_decoder && m_decoder->TakesPacketAhead(0) ? 2 : 1;
}

void CQRVMediaPlayer::PresentRear(bool late) {
    QueuedPacket packet = std::move(m_frameQueue.front());
    m_frameQueue.pop_front();
    if (m_decoder && late) {
        m_decoder->DecodeOnly(1, packet.bytes.data(), static_cast<int32_t>(packet.bytes.size()));
    } else if (m_decoder) {
        m_decoder->DecodeFrame(1, m_rearWindow, packet.bytes.data(),
                               static_cast<int32_t>(packet.bytes.size()));
    }
    m_rearShown = true;
    ReleasePacket(packet);
}

void CQRVMediaPlayer::OpenSoundGate() {
    m_soundGate = false;
    if (m_output && m_playing) m_output->SetPaused(false);
}

void CQRVMediaPlayer::FinishPlayback() {
    if (m_soundGate) OpenSoundGate();
    const int64_t now = NowUs();
    const bool soundLeft = m_output && (!m_pendingPcm.empty() || m_sync.QueuedPackets() > 0 ||
                                        m_sync.Feeding() || !m_output->Idle());
    if (soundLeft && !m_noClock.load()) {
        if (!m_pendingPcm.empty() &&
            m_sync.PushPcm(m_pendingPcm.data(), static_cast<int32_t>(m_pendingPcm.size()))) {
            m_pushedSoundBytes += static_cast<int64_t>(m_pendingPcm.size());
            m_pendingPcm.clear();
        }
        const int64_t popped = m_sync.PoppedPackets();
        if (m_endWaitSinceUs == 0 || popped != m_endWaitPopped) {
            m_endWaitSinceUs = now;
            m_endWaitPopped = popped;
        }
        if (now - m_endWaitSinceUs < kSoundStallUs) {
            // Sleep about as long as the queued sound lasts, in steps short enough to see
            // the device finish.
            const int64_t queuedUs = (m_sync.QueuedPackets() + 1) * int64_t{kPcmPacketBytes} *
                                     1000000 / SoundBytesPerSecond();
            m_waitUntilUs = now + std::clamp(queuedUs, kEndWaitMinUs, kEndWaitMaxUs);
            return;
        }
    }
    m_pendingPcm.clear();
    m_endWaitSinceUs = 0;
    m_playing = false;
    m_run.store(0);
    m_state.store(kStateStopped);
    m_ended.store(true);
    Notify(PlayerEvent::Kind::Ended);
}

bool CQRVMediaPlayer::SyncClockToSound(int64_t nowUs) {
    if (!m_output || !m_soundAnchored || m_soundGate ||
        m_pacer.RatePercent() != FramePacer::kNormalRatePercent)
        return false;
    int64_t bytes = 0, atUs = 0;
    if (!m_output->PlayedPosition(&bytes, &atUs)) return false;
    ApplyNextSoundStart(bytes);
    if (bytes <= m_soundResetBytes || nowUs - atUs > kSoundFreshUs) return false;
    const int64_t mediaUs =
        m_soundAnchorUs + (bytes - m_soundResetBytes) * 1000000 / SoundBytesPerSecond();
    m_pacer.SyncTo(mediaUs, atUs);
    return true;
}

void CQRVMediaPlayer::ResetSound() {
    m_sync.FlushAll();
    m_pendingPcm.clear();
    m_soundAnchored = false;
    m_soundResetBytes = 0;
    m_pushedSoundBytes = 0;
    m_nextSoundWanted = false;
    m_nextSoundSkip = 0;
    m_nextSoundPending = false;
    if (m_output) m_output->PlayedPosition(&m_soundResetBytes, nullptr);
    // Held until the picture reaches the sound's first byte, so both start together.
    m_soundGate =
        m_output && !m_noClock.load() && m_pacer.RatePercent() == FramePacer::kNormalRatePercent;
    if (m_soundGate) m_output->SetPaused(true);
}

void CQRVMediaPlayer::ClearFrameQueue() {
    for (QueuedPacket& packet : m_frameQueue) {
        if (m_spareBuffers.size() < kMaxSpareBuffers)
            m_spareBuffers.push_back(std::move(packet.bytes));
    }
    m_frameQueue.clear();
    m_queuedBytes = 0;
    m_queuedFronts = 0;
}

void CQRVMediaPlayer::ResetForSeeking() {
    m_waitFrontKey = true;
    m_waitRearKey = true;
    m_endOfData = false;
    m_readBaseUs = 0;
    ClearFrameQueue();
}

void CQRVMediaPlayer::SeekToFrame(int32_t target) {
    // A seek stays in the recording on screen.
    StopReadingNext();
    if (m_totalFrames <= 0) return;
    const int32_t rate = Rate();
    const int32_t frame = std::clamp(target, 0, m_totalFrames - 1);
    const int32_t second = frame / rate;
    if (m_rateDeclared) {
        m_parser->SeekToSecond(second);
    } else {
        // The reader seeks by its declared rate, which is 0 here; go to the frame ourselves.
        const size_t index = static_cast<size_t>(second) * rate;
        if (index < m_framePositions.size()) {
            m_parser->Seek(m_framePositions[index], 0);
        }
    }
    // Until the first frame read from there is shown, the position is the second sought.
    m_frameCounter.store(second * rate);
    m_nextReadIndex = second * rate;
    ResetForSeeking();
    m_pacer.Reset();
    // Sound queued before the jump belongs to the old position.
    ResetSound();
}
