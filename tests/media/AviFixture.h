#pragma once
// Byte-level AVI files for the container reader's tests: the dashcam's own layout and the
// damaged or unusual variants the reader must cope with. Every builder returns plain bytes,
// so a test can cut, patch or grow a file before writing it.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace avifix {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutFourCC(Bytes& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}
inline void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}
inline void Patch32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A chunk with the given stated size (normally the payload's), the payload and its pad byte.
inline Bytes ChunkSized(const char* id, uint32_t statedSize, const Bytes& payload) {
    Bytes b;
    PutFourCC(b, id);
    Put32(b, statedSize);
    Append(b, payload);
    if (payload.size() % 2 == 1) b.push_back(0);
    return b;
}
inline Bytes Chunk(const char* id, const Bytes& payload) {
    return ChunkSized(id, static_cast<uint32_t>(payload.size()), payload);
}
inline Bytes List(const char* type, const std::vector<Bytes>& items) {
    Bytes body;
    PutFourCC(body, type);
    for (const Bytes& item : items) Append(body, item);
    return Chunk("LIST", body);
}

inline Bytes MainHeader(uint32_t size = 56) {
    return Chunk("avih", Bytes(size, 0));
}

inline Bytes StreamHeader(const char* type, uint32_t dwRate, uint32_t size = 56) {
    Bytes h(size, 0);
    for (int i = 0; i < 4; ++i) h[i] = static_cast<uint8_t>(type[i]);
    if (size >= 28) {
        Bytes rate;
        Put32(rate, 1000);  // dwScale
        Put32(rate, dwRate);
        std::copy(rate.begin(), rate.end(), h.begin() + 20);
    }
    return Chunk("strh", h);
}

inline Bytes VideoStream(int32_t width, int32_t height, uint32_t dwRate,
                         const std::vector<Bytes>& extra = {}, uint32_t formatSize = 40) {
    Bytes f;
    Put32(f, 40);
    Put32(f, static_cast<uint32_t>(width));
    Put32(f, static_cast<uint32_t>(height));
    Put16(f, 1);
    Put16(f, 24);
    PutFourCC(f, "H264");
    f.resize(formatSize, 0);
    std::vector<Bytes> items = {StreamHeader("vids", dwRate), Chunk("strf", f)};
    items.insert(items.end(), extra.begin(), extra.end());
    return List("strl", items);
}

inline Bytes AudioStream(uint32_t rate, uint16_t bits, uint32_t formatSize = 16) {
    Bytes f;
    Put16(f, 1);  // PCM
    Put16(f, 1);  // mono
    Put32(f, rate);
    Put32(f, rate * bits / 8);
    Put16(f, static_cast<uint16_t>(bits / 8));
    Put16(f, bits);
    f.resize(formatSize, 0);
    return List("strl", {StreamHeader("auds", rate), Chunk("strf", f)});
}

inline Bytes TextStream() {
    return List("strl", {StreamHeader("txts", 1000), Chunk("strf", Bytes(8, 0))});
}

struct MediaChunk {
    std::string id;
    Bytes payload;
};

enum class IndexKind { Idx1, None };

struct Layout {
    std::vector<Bytes> headerItems;   // chunks and lists of the header list after "hdrl"
    std::vector<Bytes> betweenLists;  // chunks between the header list and the movie list
    std::vector<MediaChunk> movie;
    IndexKind index = IndexKind::Idx1;
    std::vector<Bytes> afterMovie;  // chunks between the movie list and idx1
};

struct Built {
    Bytes bytes;
    int64_t moviPos = 0;                  // position of the "movi" type
    uint32_t movieSize = 0;               // the movie list's stated size
    int64_t idx1Pos = -1;                 // position of the idx1 chunk header
    std::vector<int64_t> chunkPositions;  // header position of each movie chunk
};

inline Built Build(const Layout& layout) {
    Built out;
    Bytes b;
    PutFourCC(b, "RIFF");
    Put32(b, 0);  // patched below
    PutFourCC(b, "AVI ");
    Append(b, List("hdrl", layout.headerItems));
    for (const Bytes& c : layout.betweenLists) Append(b, c);

    const size_t movieListAt = b.size();
    PutFourCC(b, "LIST");
    Put32(b, 0);
    out.moviPos = static_cast<int64_t>(b.size());
    PutFourCC(b, "movi");
    for (const MediaChunk& c : layout.movie) {
        out.chunkPositions.push_back(static_cast<int64_t>(b.size()));
        Append(b, Chunk(c.id.c_str(), c.payload));
    }
    out.movieSize = static_cast<uint32_t>(b.size() - movieListAt - 8);
    Patch32(b, movieListAt + 4, out.movieSize);
    for (const Bytes& c : layout.afterMovie) Append(b, c);

    if (layout.index == IndexKind::Idx1) {
        Bytes entries;
        for (size_t i = 0; i < layout.movie.size(); ++i) {
            PutFourCC(entries, layout.movie[i].id.c_str());
            Put32(entries, 0x10);
            Put32(entries, static_cast<uint32_t>(out.chunkPositions[i] - out.moviPos));
            Put32(entries, static_cast<uint32_t>(layout.movie[i].payload.size()));
        }
        out.idx1Pos = static_cast<int64_t>(b.size());
        Append(b, Chunk("idx1", entries));
    }
    Patch32(b, 4, static_cast<uint32_t>(b.size() - 8));
    out.bytes = std::move(b);
    return out;
}

// An H.264 access unit: start code, NAL header (IDR slice or non-IDR slice), then filler that
// names the frame, padded to the requested length.
inline Bytes VideoPayload(int frame, bool key, size_t length) {
    Bytes p = {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x65 : 0x41)};
    Put32(p, static_cast<uint32_t>(frame));
    while (p.size() < length) p.push_back(static_cast<uint8_t>(frame + p.size()));
    p.resize(std::max(length, size_t{5}));
    return p;
}

// The dashcam's header list: main header, front and rear video, PCM sound, telemetry.
inline std::vector<Bytes> DashcamHeader(uint32_t dwRate = 30000, uint32_t audioRate = 8000) {
    return {MainHeader(), VideoStream(1280, 720, dwRate), VideoStream(640, 360, dwRate),
            AudioStream(audioRate, 16), TextStream()};
}

// seconds x fps front frames, each followed by a rear frame; one audio and one text chunk a
// second. Key frame every second. Payload lengths vary and include odd ones.
inline std::vector<MediaChunk> DashcamMovie(int seconds, int fps) {
    std::vector<MediaChunk> chunks;
    for (int s = 0; s < seconds; ++s) {
        chunks.push_back({"03tx", Bytes(37, static_cast<uint8_t>('A' + s % 26))});
        for (int f = 0; f < fps; ++f) {
            const int frame = s * fps + f;
            const bool key = f == 0;
            chunks.push_back({"00dc", VideoPayload(frame, key, 40 + frame % 7)});
            chunks.push_back({"01dc", VideoPayload(frame, key, 21 + frame % 4)});
            if (f % 10 == 0) chunks.push_back({"02wb", Bytes(160, static_cast<uint8_t>(f))});
        }
    }
    return chunks;
}

inline Layout DashcamLayout(int seconds = 3, int fps = 30) {
    Layout l;
    l.headerItems = DashcamHeader(static_cast<uint32_t>(fps) * 1000);
    l.movie = DashcamMovie(seconds, fps);
    return l;
}

inline std::string TestPath(const std::string& name) {
    return std::string(TARVEX_TEST_DATA_DIR) + "/avi_" + name;
}

inline std::string WriteBytes(const std::string& name, const Bytes& bytes) {
    const std::string path = TestPath(name);
    FILE* f = fopen(path.c_str(), "wb");
    if (f != nullptr) {
        // An empty file is one of the cases; fwrite must not see a null buffer.
        if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    return path;
}

// A file of the given size holding each piece at its offset and holes (read as zeros, taking
// no disk space) everywhere else: recordings of gigabytes without writing them.
inline std::string WriteSparse(const std::string& name,
                               const std::vector<std::pair<int64_t, Bytes>>& pieces, int64_t size) {
    const std::string path = TestPath(name);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return path;
    bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    for (const auto& [offset, bytes] : pieces) {
        ok = ok && pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                       static_cast<ssize_t>(bytes.size());
    }
    close(fd);
    if (!ok) std::remove(path.c_str());
    return path;
}

}  // namespace avifix
