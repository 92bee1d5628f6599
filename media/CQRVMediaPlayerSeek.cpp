// Positioning: a seek (playing or paused) or a backward step decodes from the key frame before
// the target and shows the target on both cameras; a forward step shows the next queued frame.
// Runs on the worker thread.

#include <algorithm>

#include "media/CQRVMediaPlayer.h"
#include "support/VideoWindow.h"

namespace {
bool IsFrontVideo(const char id[4]) {
    return id[0] == '0' && id[1] == '0' && id[2] == 'd' && id[3] == 'c';
}
bool IsVideo(const char id[4]) {
    return id[2] == 'd' && id[3] == 'c';
}
// Chunks read per front frame between the key frame and the target, at most (sound, text,
// rear frames and the frame itself), with room for runs of other chunks.
constexpr int kChunksPerFrame = 16;
constexpr int kChunkSlack = 256;
}  // namespace

size_t CQRVMediaPlayer::QueuedFronts() const {
    return m_queuedFronts;
}

int32_t CQRVMediaPlayer::FindKeyFrameAtOrBefore(int32_t target) {
    const int32_t last = std::max(0, target - kMaxKeyFrameDistance);
    for (int32_t i = target; i >= last; --i) {
        if (m_parser->Seek(m_framePositions[static_cast<size_t>(i)], 0) != 0) continue;
        char id[4] = {0, 0, 0, 0};
        int32_t size = kChunkCapacityBytes;
        if (m_parser->ParseMedia(id, m_readBuffer.data(), &size) < 0) continue;
        if (IsFrontVideo(id) &&
            IsKeyFrame(m_readBuffer.data(), std::clamp(size, 0, kChunkCapacityBytes), m_codecs[0]))
            return i;
    }
    return -1;
}

int32_t CQRVMediaPlayer::ShowFrameAt(int32_t target) {
    if (!m_parser || !m_decoder || m_framePositions.empty() || m_totalFrames <= 0) return -1;
    const int32_t frames =
        std::min<int32_t>(m_totalFrames, static_cast<int32_t>(m_framePositions.size()));
    target = std::clamp(target, 0, frames - 1);
    StopReadingNext();
    const int32_t key = FindKeyFrameAtOrBefore(target);
    // Without a key frame in reach the picture comes from the first one after the target.
    const int32_t start = key >= 0 ? key : target;
    ResetForSeeking();
    ResetSound();
    m_pacer.Reset();
    if (m_parser->Seek(m_framePositions[static_cast<size_t>(start)], 0) != 0) return -1;
    m_nextReadIndex = start;

    bool rearDecoded = false;
    const int32_t shown = DecodeThrough(target, start, &rearDecoded);
    if (shown < 0) return -1;
    m_shownIndex = shown;
    // Set before the picture goes out, so whoever watches it reads the position it shows.
    m_frameCounter.store(shown);
    BeginPair();
    PresentDecoded(0, m_frontWindow);
    if (rearDecoded) {
        PresentDecoded(1, m_rearWindow);
        m_rearShown = true;
    }
    EndPair();
    Notify(PlayerEvent::Kind::FrameShown);
    return shown;
}

// Reads from the key frame at start and decodes both cameras up to the target's front frame;
// the front frame after it waits in the queue for Play. The index decoded for the target, or -1.
int32_t CQRVMediaPlayer::DecodeThrough(int32_t target, int32_t start, bool* rearDecoded) {
    int32_t shown = -1;
    // A decoder that takes packets ahead gets the target's picture out with the packet after
    // it, or by finishing when none follows.
    const bool ahead = m_decoder->TakesPacketAhead(0);
    bool aheadTaken = false;
    const int64_t budget = static_cast<int64_t>(target - start + 2) * kChunksPerFrame + kChunkSlack;
    for (int64_t n = 0; n < budget; ++n) {
        char id[4] = {0, 0, 0, 0};
        int32_t size = 0;
        if (ReadMedia(id, &size) < 0) {
            m_endOfData = true;
            break;
        }
        const uint8_t* data = m_readBuffer.data();
        if (IsVideo(id) && IsFrontVideo(id)) {
            const int32_t index = m_nextReadIndex++;
            if (m_waitFrontKey) {
                if (!IsKeyFrame(data, size, m_codecs[0])) continue;
                m_waitFrontKey = false;
            }
            if (shown >= 0) {
                if (ahead) {
                    m_decoder->TakeAhead(0, data, size, PacketKey(m_readSerial, index));
                    aheadTaken = true;
                }
                QueuePacket(0, index, data, size);
                break;
            }
            VideoPacketOrder order;
            order.key = PacketKey(m_readSerial, index);
            order.finish = false;
            m_decoder->DecodeOnly(0, data, size, order);
            if (index >= target) shown = index;
        } else if (IsVideo(id)) {
            if (m_waitFrontKey) continue;
            if (m_waitRearKey) {
                if (!IsKeyFrame(data, size, m_codecs[1])) continue;
                m_waitRearKey = false;
            }
            // The rear frames up to the next front frame belong to the target's moment.
            m_decoder->DecodeOnly(1, data, size);
            *rearDecoded = true;
        } else if (id[2] == 't' && id[3] == 'x') {
            DeliverText(size);
        }
    }
    if (ahead && !aheadTaken) m_decoder->Finish(0);
    return shown;
}

void CQRVMediaPlayer::PresentDecoded(int camera, VideoWindow* window) {
    // A window without a size converts nothing, but the frame counts as shown there, as
    // during playback.
    const VideoSize area = window ? window->Size() : VideoSize{};
    if (window && (area.width <= 0 || area.height <= 0))
        window->PresentUnseen();
    else
        m_decoder->Represent(camera, window);
}

bool CQRVMediaPlayer::FillUntilFronts(size_t fronts) {
    for (int n = 0; QueuedFronts() < fronts && !m_endOfData && n < kChunkSlack * kChunksPerFrame;
         ++n) {
        ReadChunk(true);
    }
    return QueuedFronts() >= fronts;
}

void CQRVMediaPlayer::ShowNextFrame() {
    if (!m_parser) return;
    // Sound read ahead belongs to frames that are now shown without it.
    ResetSound();
    m_pacer.Reset();
    FillUntilFronts(FrontsToDecode());
    if (QueuedFronts() < 1) return;
    BeginPair();
    while (!m_frameQueue.empty()) {
        if (m_frameQueue.front().camera == 0) {
            PresentHead(false);
            break;
        }
        PresentRear();
    }
    // The rear frames that follow belong to the same moment.
    FillUntilFronts(1);
    while (!m_frameQueue.empty() && m_frameQueue.front().camera != 0) PresentRear();
    EndPair();
    m_ended.store(false);
    m_state.store(kStatePlaying);
}
