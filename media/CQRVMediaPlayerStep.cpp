// The worker's side of the player: reading chunks, the frame queue, showing frames, seeking.
// Everything here runs on the worker thread with m_lock held.

#include <algorithm>
#include <climits>
#include <cstring>
#include <thread>

#include "media/CQRVMediaPlayer.h"
#include "media/FramePacer.h"
#include "support/Ticks.h"

namespace {
bool KindIs(const char id[4], const char* kind) {
    return id[2] == kind[0] && id[3] == kind[1];
}
// "00dc" is the front camera; any other stream number is the rear one.
int CameraOf(const char id[4]) {
    return id[0] == '0' && id[1] == '0' ? 0 : 1;
}
}  // namespace

int32_t CQRVMediaPlayer::Rate() const {
    const int32_t rate = m_frontFrameRate.load();
    return rate > 0 ? rate : kFallbackFrameRate;
}

bool CQRVMediaPlayer::RunOnce(void* self) {
    CQRVMediaPlayer* player = static_cast<CQRVMediaPlayer*>(self);
    if (player->m_run.load() != 1) {
        // Requests made while held are dropped, as a paused player ignores seeks. They are
        // dropped before the sleep, so one made just after Play or Open is kept.
        player->m_relativeSeek.store(0);
        player->m_absoluteSeek.store(0);
        player->m_heldPolls.fetch_add(1);
        SleepMs(kHoldPollMs);
        return true;
    }
    bool collecting = false;
    {
        CSyncLock lock(player->m_lock);
        // Close or Open may have run between the test above and the lock; their state wins.
        if (player->m_run.load() == 1) {
            if (player->Step()) {
                player->m_state.store(kStatePlaying);
            } else {
                player->m_state.store(kStateStopped);
                player->m_run.store(0);
            }
        }
        collecting = player->m_prebuffering;
    }
    // The pause between steps paces a playing worker. While the prebuffer is being collected
    // (each chunk ends a step) or without a clock there is nothing to pace, and sleeping per
    // chunk would only delay the first picture; the lock is still released between steps.
    if (collecting || player->m_noClock.load()) {
        std::this_thread::yield();
    } else {
        SleepMs(kStepPauseMs);
    }
    return true;
}

bool CQRVMediaPlayer::Step() {
    if (!m_parser) return false;
    while (m_run.load() == 1) {
        int32_t size = static_cast<int32_t>(m_readBuffer.size()) - 1;
        if (const int32_t relative = m_relativeSeek.exchange(0)) {
            const int64_t target = static_cast<int64_t>(m_frameCounter.load()) + relative;
            SeekToFrame(static_cast<int32_t>(std::clamp<int64_t>(target, 0, INT32_MAX)));
        }
        if (const int32_t absolute = m_absoluteSeek.exchange(0)) SeekToFrame(absolute);

        char id[4] = {0, 0, 0, 0};
        int64_t position = m_parser->ParseMedia(id, m_readBuffer.data(), &size);
        if (position == VMediaParser::kChunkTooLarge && size > 0 &&
            size <= VMediaParser::kMaxChunkBytes) {
            // A key frame beyond the usual capacity (the reader bounds it): grow and read it.
            m_readBuffer.resize(static_cast<size_t>(size) + 1);
            position = m_parser->ParseMedia(id, m_readBuffer.data(), &size);
        }
        // A failed read counts as the end of the data: show what is queued.
        bool show = position < 0;
        if (position > 0) {
            size = std::clamp(size, 0, static_cast<int32_t>(m_readBuffer.size()) - 1);
            if (!HandleChunk(id, size, &show)) return true;
            if (m_prebuffering) return true;
        }
        if (show && !ShowOldest()) return false;
    }
    return true;
}

bool CQRVMediaPlayer::HandleChunk(const char id[4], int32_t length, bool* show) {
    const uint8_t* data = m_readBuffer.data();
    if (KindIs(id, "dc")) {
        const bool key = IsKeyFrame(data, length);
        if (CameraOf(id) == 0) {
            if (m_waitFrontKey) {
                if (!key) return false;
                ClearFrameQueue();
                m_prebuffering = true;
                m_waitFrontKey = false;
            }
            QueuePacket(0, data, length);
            ++m_queuedFront;
            if (m_prebuffering) {
                const int32_t needed =
                    static_cast<int32_t>(static_cast<int64_t>(m_prebufferMs) * Rate() / 1000);
                if (m_queuedFront < needed) return false;
                m_prebuffering = false;
            }
            *show = true;
            return true;
        }
        if (m_waitFrontKey) return false;
        if (m_waitRearKey && !key) return false;
        m_waitRearKey = false;
        QueuePacket(1, data, length);
        *show = true;
        return true;
    }
    if (KindIs(id, "wb")) {
        if (m_waitFrontKey) return false;
        m_sync.PushPcm(data, length);
        return true;
    }
    if (KindIs(id, "tx")) {
        m_readBuffer[static_cast<size_t>(length)] = 0;
        if (m_textCallback) {
            const int32_t positionMs =
                static_cast<int32_t>(static_cast<int64_t>(m_frameCounter.load()) * 1000 / Rate());
            m_textCallback(m_textCallbackUser, data, length, positionMs);
        }
        return false;
    }
    return false;
}

void CQRVMediaPlayer::QueuePacket(int camera, const uint8_t* data, int32_t length) {
    QueuedPacket& packet = m_frameQueue.emplace_back();
    packet.camera = camera;
    if (!m_spareBuffers.empty()) {
        packet.bytes = std::move(m_spareBuffers.back());
        m_spareBuffers.pop_back();
    }
    packet.bytes.assign(data, data + length);
}

bool CQRVMediaPlayer::ShowOldest() {
    if (m_frameQueue.empty()) return false;
    QueuedPacket packet = std::move(m_frameQueue.front());
    m_frameQueue.pop_front();
    const int32_t length = static_cast<int32_t>(packet.bytes.size());
    if (packet.camera == 0) {
        if (!m_noClock.load()) {
            m_sync.WaitDrained();
            FramePacer::Instance().Pace(0, Rate());
        }
        m_frameCounter.fetch_add(1);
        if (m_decoder) m_decoder->DecodeFrame(0, m_frontWindow, packet.bytes.data(), length);
    } else if (m_decoder) {
        m_decoder->DecodeFrame(1, m_rearWindow, packet.bytes.data(), length);
    }
    m_spareBuffers.push_back(std::move(packet.bytes));
    return true;
}

void CQRVMediaPlayer::ClearFrameQueue() {
    for (QueuedPacket& packet : m_frameQueue) m_spareBuffers.push_back(std::move(packet.bytes));
    m_frameQueue.clear();
    m_queuedFront = 0;
}

void CQRVMediaPlayer::ResetForSeeking() {
    m_waitFrontKey = true;
    m_waitRearKey = true;
    ClearFrameQueue();
    m_prebuffering = true;
}

void CQRVMediaPlayer::SeekToFrame(int32_t target) {
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
    // The counter starts one second before the second sought.
    m_frameCounter.store(second * rate - rate);
    ResetForSeeking();
    // Sound queued before the jump belongs to the old position; left queued it would play
    // after the jump and hold the first new picture back until it had drained.
    m_sync.ClearPcm();
    if (m_output) m_output->Flush();
}
