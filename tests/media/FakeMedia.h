#pragma once
// Scripted stand-ins for the container reader, the decoder and the sound output, so the
// player's step can be checked chunk by chunk. Front and rear packets carry their frame
// index after the NAL header.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "media/VAudio.h"
#include "media/VMediaDecoder.h"
#include "media/VMediaParser.h"
#include "support/Ticks.h"

template <class Cond>
bool WaitFor(Cond cond, int timeoutMs = 30000) {
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (cond()) return true;
        SleepMs(2);
    }
    return cond();
}

struct FakeChunk {
    char id[4];
    std::vector<uint8_t> bytes;
};

inline FakeChunk VideoChunk(int camera, int index, bool key) {
    FakeChunk c{{'0', camera == 0 ? '0' : '1', 'd', 'c'},
                {0, 0, 0, 1, key ? uint8_t(0x65) : uint8_t(0x41)}};
    for (int i = 0; i < 4; ++i) c.bytes.push_back(static_cast<uint8_t>(index >> (8 * i)));
    return c;
}
inline int FrameIndexOf(const uint8_t* data, int32_t size) {
    if (size < 9) return -1;
    int index = 0;
    for (int i = 0; i < 4; ++i) index |= data[5 + i] << (8 * i);
    return index;
}
inline FakeChunk AudioChunk(int index, int length = 3840) {
    FakeChunk c{{'0', '2', 'w', 'b'}, std::vector<uint8_t>(static_cast<size_t>(length))};
    for (int i = 0; i < length; ++i) c.bytes[i] = static_cast<uint8_t>(index * 13 + i);
    return c;
}
inline FakeChunk TextChunk(const std::string& text) {
    return {{'0', '3', 't', 'x'}, std::vector<uint8_t>(text.begin(), text.end())};
}

// A recording of `seconds` seconds at `rate` frames a second: per front frame an optional
// audio chunk every `audioEvery` frames, the front frame, the rear frame; a text chunk at the
// start of every second. Key frames every `gop` frames.
struct FakeRecordingPlan {
    int seconds = 3;
    int rate = 30;
    int gop = 30;
    bool rear = true;
    int audioEvery = 8;
    bool text = true;
    int leadingNonKeyFrames = 0;  // front P frames before the first key frame
    int rearFirstKey = 0;         // rear frames before this one are P frames
    int frontWidth = 0, frontHeight = 0;  // the front picture size the reader tells
};

class FakeParser : public VMediaParser {
public:
    FakeParser() = default;
    explicit FakeParser(const FakeRecordingPlan& plan, int declaredRate = -1) {
        m_rate = declaredRate < 0 ? plan.rate : declaredRate;
        m_hasRear = plan.rear;
        m_frontSize = VideoSizeRec{plan.frontWidth, plan.frontHeight};
        for (int i = 0; i < plan.leadingNonKeyFrames; ++i) Add(VideoChunk(0, 100000 + i, false));
        const int frames = plan.seconds * plan.rate;
        for (int f = 0; f < frames; ++f) {
            if (plan.text && f % plan.rate == 0)
                Add(TextChunk("$GPRMC,second," + std::to_string(f / plan.rate)));
            if (plan.audioEvery > 0 && f % plan.audioEvery == 0)
                Add(AudioChunk(f / plan.audioEvery));
            m_frontChunks.push_back(m_chunks.size());
            Add(VideoChunk(0, f, f % plan.gop == 0));
            if (plan.rear) Add(VideoChunk(1, f, f % plan.gop == 0 && f >= plan.rearFirstKey));
        }
    }
    void Add(FakeChunk chunk) { m_chunks.push_back(std::move(chunk)); }
    const std::vector<FakeChunk>& Chunks() const { return m_chunks; }

    bool Initialize() override { return true; }
    void Shutdown() override {}
    int32_t OpenFile(const char* path, MediaInfo* info) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openedPath = path;
        if (m_reject) return 0;
        m_cursor = 0;
        m_open = true;
        if (info) FillIndex(info);
        return 1000;
    }
    void FillIndex(MediaInfo* info) {
        ++m_indexBuilds;
        m_indexed = true;
        info->frontFrameRate = std::min(m_rate, 30);
        info->frontFrameCount = static_cast<int32_t>(m_frontChunks.size());
        info->frontFramePositions.clear();
        for (size_t c : m_frontChunks) info->frontFramePositions.push_back(Position(c));
    }
    void CloseFile() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_busy && m_busy->load()) m_closedDuringStep = true;
        m_open = false;
    }
    int32_t ReadPacket(uint8_t*, int32_t*) override { return 5; }
    int64_t ParseMedia(char id[4], uint8_t* buffer, int32_t* size) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open || m_cursor >= m_chunks.size()) return -1;
        const FakeChunk& c = m_chunks[m_cursor];
        std::memcpy(id, c.id, 4);
        if (static_cast<int32_t>(c.bytes.size()) > *size) {
            *size = static_cast<int32_t>(c.bytes.size());
            return kChunkTooLarge;
        }
        if (!c.bytes.empty()) std::memcpy(buffer, c.bytes.data(), c.bytes.size());
        *size = static_cast<int32_t>(c.bytes.size());
        return Position(m_cursor++);
    }
    int64_t SkipChunk(char id[4], uint32_t* size) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_open || m_cursor >= m_chunks.size()) return -1;
        std::memcpy(id, m_chunks[m_cursor].id, 4);
        *size = static_cast<uint32_t>(m_chunks[m_cursor].bytes.size());
        return Position(m_cursor++);
    }
    bool BuildIndex(const char*, MediaInfo* info) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        MediaInfo scratch;
        FillIndex(info ? info : &scratch);
        return !m_reject;
    }
    // Copies the index without building it again.
    bool GetMediaInfo(MediaInfo* info) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_indexed || !info) return false;
        const int builds = m_indexBuilds;
        FillIndex(info);
        m_indexBuilds = builds;
        return true;
    }
    int IndexBuilds() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_indexBuilds;
    }
    VideoSizeRec GetVideoSize(VideoSizeRec* out, int camera) override {
        const VideoSizeRec size = camera == 0 ? m_frontSize : VideoSizeRec{};
        if (out) *out = size;
        return size;
    }
    int32_t GetFrameRate(int stream) override {
        if (stream == 1) return m_hasRear ? std::min(m_rate, 30) : 0;
        return std::min(m_rate, 30);
    }
    int32_t GetNativeFrameRate(int stream) override {
        return stream == 1 && !m_hasRear ? 0 : m_rate;
    }
    void GetAudioFormat(int32_t* bits, int32_t* rate) override {
        *bits = 16;
        *rate = m_audioRate;
    }
    void SetAudioRate(int32_t rate) { m_audioRate = rate; }
    size_t Read(void*, size_t) override { return 0; }
    int Seek(int64_t offset, int origin) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (origin != 0 || offset < kBase) return -1;
        m_cursor = static_cast<size_t>((offset - kBase) / kStride);
        ++m_rawSeeks;
        return 0;
    }
    int64_t Tell() override { return Position(m_cursor); }
    int32_t SeekToSecond(int32_t second) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t entry = static_cast<size_t>(second) * m_rate;
        m_seconds.push_back(second);
        if (entry >= m_frontChunks.size()) return -1;
        m_cursor = m_frontChunks[entry];
        return 0;
    }

    // Test side.
    size_t Cursor() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_cursor;
    }
    std::vector<int> SecondsSought() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seconds;
    }
    int RawSeeks() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_rawSeeks;
    }
    std::string OpenedPath() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_openedPath;
    }
    bool ClosedDuringStep() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_closedDuringStep;
    }
    void WatchBusy(const std::atomic<bool>* busy) { m_busy = busy; }
    void SetReject(bool reject) { m_reject = reject; }
    size_t FrontChunkAt(int frame) const { return m_frontChunks[static_cast<size_t>(frame)]; }

private:
    static constexpr int64_t kBase = 1000;
    static constexpr int64_t kStride = 16;
    static int64_t Position(size_t chunk) { return kBase + static_cast<int64_t>(chunk) * kStride; }

    std::mutex m_mutex;
    std::vector<FakeChunk> m_chunks;
    std::vector<size_t> m_frontChunks;
    size_t m_cursor = 0;
    bool m_open = false;
    bool m_reject = false;
    bool m_hasRear = true;
    VideoSizeRec m_frontSize;
    int m_rate = 30;
    int32_t m_audioRate = 8000;  // 16-bit mono
    std::vector<int> m_seconds;
    int m_rawSeeks = 0;
    std::string m_openedPath;
    const std::atomic<bool>* m_busy = nullptr;
    bool m_closedDuringStep = false;
    int m_indexBuilds = 0;
    bool m_indexed = false;
};

struct ShownFrame {
    int camera;
    int index;
    int32_t counter;  // the player's frame counter while the frame was decoded
    size_t cursor;    // the reader's position (chunk index) at that moment
};

class FakeDecoder : public VMediaDecoder {
public:
    FakeDecoder() = default;
    bool Initialize() override { return true; }
    void Shutdown() override {}
    bool DecodeFrame(int camera, VideoWindow*, const uint8_t* data, int32_t size,
                     const VideoPacketOrder& = {}) override {
        busy = true;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_shown.push_back({camera, FrameIndexOf(data, size), m_counter ? m_counter() : 0,
                               m_parser ? m_parser->Cursor() : 0});
            m_lastDecoded[camera == 0 ? 0 : 1] = m_shown.back().index;
            m_changed.notify_all();
            if (m_onFrame) m_onFrame(m_shown.back());
            m_changed.wait(lock, [&] { return !m_hold; });
        }
        busy = false;
        return true;
    }
    bool DecodeOnly(int camera, const uint8_t* data, int32_t size,
                    const VideoPacketOrder& = {}) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastDecoded[camera == 0 ? 0 : 1] = FrameIndexOf(data, size);
        return true;
    }
    // Shows the camera's last decoded frame again, as the real decoder does.
    bool Represent(int camera, VideoWindow*) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int c = camera == 0 ? 0 : 1;
        if (m_lastDecoded[c] < 0) return false;
        m_shown.push_back(
            {c, m_lastDecoded[c], m_counter ? m_counter() : 0, m_parser ? m_parser->Cursor() : 0});
        ++m_represented;
        m_changed.notify_all();
        return true;
    }
    int Represented() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_represented;
    }
    void SetContrast(int, int) override {}
    void SetBrightness(int, int) override {}
    void SetMirror(int, bool) override {}
    bool SaveCapture(int, const char*) override { return true; }

    void Observe(FakeParser* parser, std::function<int32_t()> counter) {
        m_parser = parser;
        m_counter = std::move(counter);
    }
    // Runs on the worker inside DecodeFrame, with this decoder's lock held.
    void OnFrame(std::function<void(const ShownFrame&)> onFrame) { m_onFrame = std::move(onFrame); }
    void Hold(bool hold) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hold = hold;
        m_changed.notify_all();
    }
    std::vector<ShownFrame> Shown() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_shown;
    }
    std::vector<int> Front() {
        std::vector<int> out;
        for (const ShownFrame& f : Shown())
            if (f.camera == 0) out.push_back(f.index);
        return out;
    }
    std::vector<int> Rear() {
        std::vector<int> out;
        for (const ShownFrame& f : Shown())
            if (f.camera == 1) out.push_back(f.index);
        return out;
    }
    std::atomic<bool> busy{false};

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ShownFrame> m_shown;
    FakeParser* m_parser = nullptr;
    std::function<int32_t()> m_counter;
    std::function<void(const ShownFrame&)> m_onFrame;
    bool m_hold = false;
    int m_lastDecoded[2] = {-1, -1};
    int m_represented = 0;
};

// Records the packets written, accepting each at once.
class FakeAudio : public VAudio {
public:
    bool Open(uint16_t bits, int32_t rate) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_opens.push_back({bits, rate});
        return true;
    }
    // Frees a held writer, as closing a sound card does.
    int32_t Close() override {
        Hold(false);
        return 1;
    }
    void Write(const uint8_t* data, int32_t length) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_packets.emplace_back(data, data + length);
        // A held output takes the packet, then keeps the writer like a full sound card.
        m_changed.wait(lock, [&] { return !m_held; });
    }
    void Hold(bool held) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = held;
        m_changed.notify_all();
    }
    std::vector<std::vector<uint8_t>> Packets() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    std::vector<std::pair<int, int>> m_opens;
    std::vector<std::vector<uint8_t>> m_packets;
};
