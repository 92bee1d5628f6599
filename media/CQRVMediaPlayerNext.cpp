// The seamless hand-over to a queued next recording: opening it on the second reader,
// reading on from it when the current one ends, carrying the clock and the sound across, and
// making it current when its first frame is presented. Runs on the worker thread.

#include <algorithm>

#include "media/CQRVMediaPlayer.h"

namespace {
// Text chunks of the next recording held until it is on screen; the frame queue's bounds
// keep the read-ahead far below this, it only guards against a file of text alone.
constexpr size_t kMaxHeldText = 1024;
}  // namespace

bool CQRVMediaPlayer::DoQueueNext(const std::string& path) {
    if (!m_nextParser || !m_fileOpen || m_readingNext || path.empty()) return false;
    if (m_nextOpen) m_nextParser->CloseFile();
    m_nextOpen = false;
    m_nextQueued.store(false);
    MediaInfo info;
    if (m_nextParser->OpenFile(path.c_str(), &info) == 0) return false;
    // The same output, clock and decoders carry on only for the same sound format, frame rate
    // and codecs; anything else goes through the end and a fresh open.
    int32_t bits = 0, rate = 0;
    m_nextParser->GetAudioFormat(&bits, &rate);
    const int32_t declared = m_nextParser->GetNativeFrameRate(0);
    const int32_t frameRate = declared > 0 ? declared : kFallbackFrameRate;
    // The decoders stay set up for the codecs of the recording on screen.
    const bool sameCodecs = m_nextParser->GetVideoCodec(0) == m_codecs[0] &&
                            (m_nextParser->GetVideoCodec(1) == m_codecs[1] ||
                             m_nextParser->GetVideoCodec(1) == VideoCodec::Unknown);
    if (bits != m_outputBits || rate != m_outputRate || frameRate != Rate() || !sameCodecs) {
        m_nextParser->CloseFile();
        return false;
    }
    m_nextStartPos = m_nextParser->Tell();
    m_nextRateDeclared = declared > 0;
    m_nextRearFrameRate = m_nextParser->GetFrameRate(1);
    m_nextInfo = std::move(info);
    m_nextPath = path;
    m_nextOpen = true;
    m_nextQueued.store(true);
    // Queued late: the current reader already ran out, but frames of it are still to be shown,
    // so the next one reads on behind them as if it had been queued in time.
    if (m_endOfData && !m_ended.load() && BeginReadingNext()) m_endOfData = false;
    return true;
}

bool CQRVMediaPlayer::BeginReadingNext() {
    if (!m_nextOpen || m_readingNext) return false;
    // The recording on screen stays open on the other reader until its last frame is out, so
    // a seek meanwhile can still go back to it.
    std::swap(m_parser, m_nextParser);
    m_nextOpen = false;
    m_readingNext = true;
    m_indexedPath.clear();
    // The next recording's frame 0 is due one frame period after the last frame read.
    m_readBaseUs += FrameTimeUs(m_nextReadIndex);
    m_nextReadIndex = 0;
    ++m_readSerial;
    m_waitFrontKey = true;
    m_waitRearKey = true;
    m_nextSoundWanted = true;
    return true;
}

void CQRVMediaPlayer::CompleteHandOver() {
    m_nextParser->CloseFile();  // the recording that has just played out
    m_readingNext = false;
    m_nextQueued.store(false);
    m_shownSerial = m_readSerial;
    m_path = m_nextPath;
    m_rateDeclared = m_nextRateDeclared;
    m_rearFrameRate = m_nextRearFrameRate;
    m_totalFrames = m_nextInfo.frontFrameCount;
    m_framePositions = std::move(m_nextInfo.frontFramePositions);
    m_nextInfo = MediaInfo();
    // Counted before the position and length change, so that a reader who sees the same
    // count before and after reading them knows they belong to one recording.
    m_handOvers.fetch_add(1);
    m_duration.store(DurationMsFor(m_totalFrames, Rate()));
    m_cameraCount.store(CameraCountFor(m_path, m_rearFrameRate));
    m_frameCounter.store(0);
    m_shownIndex = -1;
    Notify(PlayerEvent::Kind::HandOver);
    // Its telemetry read so far, now that whoever watches sees the new recording.
    std::vector<std::vector<uint8_t>> held;
    held.swap(m_heldText);
    for (std::vector<uint8_t>& text : held) {
        std::copy(text.begin(), text.end(), m_readBuffer.begin());
        DeliverText(static_cast<int32_t>(text.size()));
    }
}

void CQRVMediaPlayer::StopReadingNext() {
    if (!m_readingNext) return;
    std::swap(m_parser, m_nextParser);
    m_nextParser->Seek(m_nextStartPos, 0);
    m_readingNext = false;
    m_nextOpen = true;
    m_readSerial = m_shownSerial;
    m_heldText.clear();
    m_nextSoundWanted = false;
    m_nextSoundSkip = 0;
    m_nextSoundPending = false;
}

void CQRVMediaPlayer::DropNext() {
    StopReadingNext();
    if (m_nextOpen && m_nextParser) m_nextParser->CloseFile();
    m_nextOpen = false;
    m_nextQueued.store(false);
    m_nextInfo = MediaInfo();
}

bool CQRVMediaPlayer::HoldNextText(int32_t length) {
    if (!m_readingNext || m_heldText.size() >= kMaxHeldText) return false;
    m_heldText.emplace_back(m_readBuffer.begin(), m_readBuffer.begin() + length);
    return true;
}

bool CQRVMediaPlayer::JoinNextSound(const uint8_t*& data, int32_t& length) {
    if (m_nextSoundWanted) {
        m_nextSoundWanted = false;
        // Without sound playing yet the next recording's first chunk anchors the sound as
        // after any reset.
        if (m_soundAnchored) MeetNextSound();
    }
    if (m_nextSoundSkip > 0) {
        const int32_t skip = static_cast<int32_t>(std::min<int64_t>(m_nextSoundSkip, length));
        data += skip;
        length -= skip;
        m_nextSoundSkip -= skip;
    }
    return length > 0;
}

void CQRVMediaPlayer::MeetNextSound() {
    // Where the sound queued so far ends on the clock, and where the next recording's sound
    // starts: a chunk read before its first frame starts with it, a later one between the
    // frame before it and the next (as the recorder writes them).
    const int64_t bytesPerSecond = SoundBytesPerSecond();
    const int64_t sampleBytes = std::max(1, m_outputBits / 8);
    const int64_t queuedEndUs = m_soundAnchorUs + m_pushedSoundBytes * 1000000 / bytesPerSecond;
    const int64_t startUs =
        m_readBaseUs + std::max<int64_t>(0, FrameTimeUs(m_nextReadIndex) - FrameTimeUs(1) / 2);
    const int64_t differenceUs = startUs - queuedEndUs;
    const int64_t bytes = differenceUs * bytesPerSecond / 1000000 / sampleBytes * sampleBytes;
    // A recording's sound rarely ends exactly with its pictures. Within reason the join is
    // made in the sound itself, so the clock runs straight on: the part of the next sound
    // that overlaps the current one's tail is dropped, a hole is filled with silence.
    if (differenceUs <= 0 && -differenceUs <= kMaxSoundJoinUs) {
        m_nextSoundSkip = -bytes;
        return;
    }
    if (differenceUs > 0 && differenceUs <= kMaxSoundJoinUs && PushSilence(bytes)) return;
    // Otherwise the clock follows the next sound from the moment the output reaches it.
    m_nextSoundPending = true;
    m_nextSoundBytes = m_soundResetBytes + m_pushedSoundBytes;
    m_nextSoundUs = startUs;
}

bool CQRVMediaPlayer::PushSilence(int64_t bytes) {
    std::vector<uint8_t> silence(static_cast<size_t>(kPcmPacketBytes),
                                 m_outputBits == 8 ? uint8_t{0x80} : uint8_t{0});
    while (bytes > 0) {
        const int32_t length = static_cast<int32_t>(std::min<int64_t>(bytes, kPcmPacketBytes));
        if (!m_sync.PushPcm(silence.data(), length)) return false;
        m_pushedSoundBytes += length;
        bytes -= length;
    }
    return true;
}

void CQRVMediaPlayer::ApplyNextSoundStart(int64_t playedBytes) {
    if (!m_nextSoundPending || playedBytes < m_nextSoundBytes) return;
    // From here on the output plays the next recording: its bytes are timed from its own
    // start, so a recording whose sound runs a little shorter or longer than its pictures
    // does not shift the next one.
    m_nextSoundPending = false;
    m_soundAnchorUs =
        m_nextSoundUs - (m_nextSoundBytes - m_soundResetBytes) * 1000000 / SoundBytesPerSecond();
}
