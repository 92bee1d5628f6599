#include "tools/cardgen/AviWriter.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

constexpr size_t kFileBufferBytes = 1 << 20;
constexpr uint32_t kAviHasIndex = 0x10;
constexpr uint32_t kAviIsInterleaved = 0x100;
constexpr uint32_t kRiffLimit = 0xFFFFFFF0u;

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t>& out) : m_out(out) {}
    void FourCC(const char* cc) { m_out.insert(m_out.end(), cc, cc + 4); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void U16(uint16_t v) {
        m_out.push_back(static_cast<uint8_t>(v));
        m_out.push_back(static_cast<uint8_t>(v >> 8));
    }
    size_t Size() const { return m_out.size(); }
    // Writes a placeholder size and returns where it sits.
    size_t SizeSlot() {
        size_t at = m_out.size();
        U32(0);
        return at;
    }
    void PatchSize(size_t slot) {
        uint32_t v = static_cast<uint32_t>(m_out.size() - slot - 4);
        for (int i = 0; i < 4; ++i) m_out[slot + i] = static_cast<uint8_t>(v >> (8 * i));
    }

private:
    std::vector<uint8_t>& m_out;
};

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

AviWriter::~AviWriter() {
    Abandon();
}

bool AviWriter::Fail(const std::string& message, std::string* error) {
    if (error) *error = message;
    Abandon();
    return false;
}

void AviWriter::Abandon() {
    if (m_file) {
        fclose(m_file);
        m_file = nullptr;
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
    }
}

bool AviWriter::Open(const std::string& path, const AviLayout& layout, std::string* error) {
    Abandon();
    if (layout.video.empty() || layout.video.size() > 2)
        return Fail("a recording needs one or two video streams", error);
    m_path = path;
    // Unique per writer, so two writers aimed at the same name never share a temporary file.
    static std::atomic<unsigned> s_serial{0};
    m_tempPath = path + "." + std::to_string(getpid()) + "-" + std::to_string(s_serial++) + ".part";
    m_layout = layout;
    m_counts.assign(layout.video.size() + 2, StreamCount{});
    m_index.clear();
    m_writeFailed = false;
    m_file = fopen(m_tempPath.c_str(), "wb");
    if (!m_file) return Fail("cannot create " + path + ": " + strerror(errno), error);
    setvbuf(m_file, nullptr, _IOFBF, kFileBufferBytes);
    WriteHeader();
    if (fwrite(m_header.data(), 1, m_header.size(), m_file) != m_header.size())
        return Fail("cannot write " + m_tempPath, error);
    m_position = m_header.size();
    return true;
}

namespace {

// The fields of one stream header ("strh") that differ between streams.
struct StreamHeaderFields {
    const char* type;
    const char* handler;
    uint32_t scale;
    uint32_t rate;
    uint32_t length;
    uint32_t bufferSize;
    uint32_t sampleSize;
    int width;
    int height;
};

void PutStreamHeader(Bytes& b, const StreamHeaderFields& f) {
    b.FourCC("strh");
    b.U32(AviWriter::kStreamHeaderSize);
    b.FourCC(f.type);
    b.FourCC(f.handler);
    b.U32(0);  // dwFlags
    b.U16(0);  // wPriority
    b.U16(0);  // wLanguage
    b.U32(0);  // dwInitialFrames
    b.U32(f.scale);
    b.U32(f.rate);
    b.U32(0);  // dwStart
    b.U32(f.length);
    b.U32(f.bufferSize);
    b.U32(0xFFFFFFFFu);  // dwQuality: default
    b.U32(f.sampleSize);
    b.U16(0);
    b.U16(0);
    b.U16(static_cast<uint16_t>(f.width));
    b.U16(static_cast<uint16_t>(f.height));
}

void PutVideoStream(Bytes& b, const AviVideoStream& s, VideoCodec codec, uint32_t chunks,
                    uint32_t largest) {
    b.FourCC("LIST");
    size_t strl = b.SizeSlot();
    b.FourCC("strl");
    // The frame rate is dwRate / dwScale with dwScale 1000 (30 fps is 30000).
    const char* code = codec == VideoCodec::Hevc ? "HEVC" : "H264";
    PutStreamHeader(b, {"vids", code, 1000, static_cast<uint32_t>(s.frameRate) * 1000, chunks,
                        largest, 0, s.width, s.height});
    b.FourCC("strf");
    b.U32(AviWriter::kBitmapInfoSize);
    b.U32(AviWriter::kBitmapInfoSize);  // biSize
    b.U32(s.width);
    b.U32(s.height);
    b.U16(1);   // biPlanes
    b.U16(24);  // biBitCount
    b.FourCC(code);
    b.U32(static_cast<uint32_t>(s.width * s.height * 3));  // biSizeImage
    for (int i = 0; i < 4; ++i) b.U32(0);
    b.PatchSize(strl);
}

void PutAudioStream(Bytes& b, uint32_t rate, uint64_t bytes, uint32_t largest) {
    b.FourCC("LIST");
    size_t strl = b.SizeSlot();
    b.FourCC("strl");
    PutStreamHeader(b, {"auds", "\0\0\0\0", 1, rate, static_cast<uint32_t>(bytes / 2), largest, 2,
                        0, 0});
    b.FourCC("strf");
    b.U32(AviWriter::kWaveFormatSize);
    b.U16(1);  // WAVE_FORMAT_PCM
    b.U16(1);  // mono
    b.U32(rate);
    b.U32(rate * 2);  // nAvgBytesPerSec
    b.U16(2);         // nBlockAlign
    b.U16(16);        // wBitsPerSample
    b.PatchSize(strl);
}

void PutTextStream(Bytes& b, uint32_t chunks, uint32_t largest) {
    b.FourCC("LIST");
    size_t strl = b.SizeSlot();
    b.FourCC("strl");
    PutStreamHeader(b, {"txts", "\0\0\0\0", 1000, 1000 * 1000, chunks, largest, 0, 0, 0});
    b.FourCC("strf");
    b.U32(AviWriter::kTextFormatSize);
    b.U32(0);
    b.PatchSize(strl);
}

}  // namespace

// The main AVI header ("avih") from the front camera's layout and the counts so far.
void AviWriter::WriteMainHeader() {
    Bytes b(m_header);
    const AviVideoStream& front = m_layout.video[0];
    const uint32_t streams = static_cast<uint32_t>(m_layout.video.size()) +
                             (m_layout.audio ? 1 : 0) + (m_layout.text ? 1 : 0);
    uint32_t largest = 0;
    uint64_t totalBytes = 0;
    for (const StreamCount& c : m_counts) {
        largest = std::max(largest, c.largest);
        totalBytes += c.bytes;
    }
    const uint32_t frontFrames = m_counts[0].chunks;
    const uint32_t durationMs =
        front.frameRate > 0 ? static_cast<uint32_t>(uint64_t(frontFrames) * 1000 / front.frameRate)
                            : 0;
    b.FourCC("avih");
    b.U32(kMainHeaderSize);
    b.U32(front.frameRate > 0 ? 1000000u / front.frameRate : 0);  // dwMicroSecPerFrame
    b.U32(durationMs > 0 ? static_cast<uint32_t>(totalBytes * 1000 / durationMs) : 0);
    b.U32(0);                                 // dwPaddingGranularity
    b.U32(kAviHasIndex | kAviIsInterleaved);  // dwFlags
    b.U32(frontFrames);                       // dwTotalFrames
    b.U32(0);                                 // dwInitialFrames
    b.U32(streams);
    b.U32(largest + 8);  // dwSuggestedBufferSize
    b.U32(front.width);
    b.U32(front.height);
    for (int i = 0; i < 4; ++i) b.U32(0);
}

// Builds the header from the layout and the counts so far; its length never depends on the
// counts, so Finish can write it again over the first version.
void AviWriter::WriteHeader() {
    m_header.clear();
    Bytes b(m_header);
    b.FourCC("RIFF");
    b.SizeSlot();  // RIFF size, patched in Finish
    b.FourCC("AVI ");
    b.FourCC("LIST");
    size_t hdrl = b.SizeSlot();
    b.FourCC("hdrl");
    WriteMainHeader();
    for (size_t v = 0; v < m_layout.video.size(); ++v)
        PutVideoStream(b, m_layout.video[v], m_layout.codec, m_counts[v].chunks, m_counts[v].largest);
    if (m_layout.audio) {
        const StreamCount& c = m_counts[m_layout.video.size()];
        PutAudioStream(b, static_cast<uint32_t>(m_layout.audioRate), c.bytes, c.largest);
    }
    if (m_layout.text) {
        const StreamCount& c = m_counts[m_layout.video.size() + 1];
        PutTextStream(b, c.chunks, c.largest);
    }
    b.PatchSize(hdrl);

    b.FourCC("LIST");
    b.U32(0);  // movie list size, patched in Finish
    m_moviFourccPos = b.Size();
    b.FourCC("movi");
}

bool AviWriter::WriteChunk(const char id[4], const uint8_t* data, size_t size, uint32_t flags,
                           StreamCount& count) {
    if (!m_file || m_writeFailed) return false;
    const size_t padded = size + (size & 1);
    if (m_position + 8 + padded + m_index.size() + 16 + 8 > kRiffLimit) {
        m_writeFailed = true;
        return false;
    }
    uint8_t header[8];
    std::memcpy(header, id, 4);
    PutU32(header + 4, static_cast<uint32_t>(size));
    static const uint8_t kPad = 0;
    bool ok = fwrite(header, 1, 8, m_file) == 8 &&
              (size == 0 || fwrite(data, 1, size, m_file) == size) &&
              (padded == size || fwrite(&kPad, 1, 1, m_file) == 1);
    if (!ok) {
        m_writeFailed = true;
        return false;
    }
    uint8_t entry[16];
    std::memcpy(entry, id, 4);
    PutU32(entry + 4, flags);
    PutU32(entry + 8, static_cast<uint32_t>(m_position - m_moviFourccPos));
    PutU32(entry + 12, static_cast<uint32_t>(size));
    m_index.insert(m_index.end(), entry, entry + 16);
    m_position += 8 + padded;
    count.chunks++;
    count.bytes += size;
    count.largest = std::max(count.largest, static_cast<uint32_t>(size));
    return true;
}

bool AviWriter::WriteVideo(int stream, const uint8_t* data, size_t size, bool keyFrame) {
    if (stream < 0 || stream >= static_cast<int>(m_layout.video.size())) return false;
    char id[5];
    snprintf(id, sizeof id, "%02ddc", stream);
    return WriteChunk(id, data, size, keyFrame ? kKeyFrameFlag : 0, m_counts[stream]);
}

bool AviWriter::WriteAudio(const uint8_t* data, size_t size) {
    if (!m_layout.audio) return false;
    const int number = static_cast<int>(m_layout.video.size());
    char id[5];
    snprintf(id, sizeof id, "%02dwb", number);
    return WriteChunk(id, data, size, kKeyFrameFlag, m_counts[number]);
}

bool AviWriter::WriteText(const uint8_t* data, size_t size) {
    if (!m_layout.text) return false;
    const int number = static_cast<int>(m_layout.video.size()) + (m_layout.audio ? 1 : 0);
    char id[5];
    snprintf(id, sizeof id, "%02dtx", number);
    return WriteChunk(id, data, size, kKeyFrameFlag, m_counts[m_layout.video.size() + 1]);
}

bool AviWriter::Finish(bool writeIndex, std::string* error) {
    if (!m_file) return Fail("no recording is open", error);
    if (m_writeFailed)
        return Fail("cannot write " + m_tempPath + " (disk full or too large)", error);
    const uint64_t moviEnd = m_position;
    bool ok = true;
    if (writeIndex) {
        uint8_t header[8];
        std::memcpy(header, "idx1", 4);
        PutU32(header + 4, static_cast<uint32_t>(m_index.size()));
        ok = fwrite(header, 1, 8, m_file) == 8 &&
             (m_index.empty() ||
              fwrite(m_index.data(), 1, m_index.size(), m_file) == m_index.size());
        m_position += 8 + m_index.size();
    }
    WriteHeader();
    PutU32(m_header.data() + 4, static_cast<uint32_t>(m_position - 8));
    PutU32(m_header.data() + m_moviFourccPos - 4, static_cast<uint32_t>(moviEnd - m_moviFourccPos));
    ok = ok && fseek(m_file, 0, SEEK_SET) == 0 &&
         fwrite(m_header.data(), 1, m_header.size(), m_file) == m_header.size();
    ok = ok && fflush(m_file) == 0;
    if (!ok) return Fail("cannot write " + m_tempPath, error);
    if (fclose(m_file) != 0) {
        m_file = nullptr;
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
        if (error) *error = "cannot write " + m_tempPath;
        return false;
    }
    m_file = nullptr;
    std::error_code ec;
    std::filesystem::rename(m_tempPath, m_path, ec);
    if (ec) {
        std::filesystem::remove(m_tempPath, ec);
        if (error) *error = "cannot rename " + m_tempPath + " to " + m_path;
        return false;
    }
    return true;
}
