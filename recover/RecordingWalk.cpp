#include "recover/RecordingWalk.h"

#include <cstdio>
#include <cstring>

#include "media/AviChunk.h"

namespace {

// A header list larger than this is not one a camera writes (theirs take a few hundred
// bytes). Kept small, as every sector of a card that starts with "RIFF" may cost one read of
// it.
constexpr uint32_t kMaxHeaderListBytes = 16 << 10;
// How far chunks (JUNK) may push the movie list back from the start, and how many.
constexpr uint64_t kMaxMovieListStart = 16 << 20;
constexpr int kMaxChunksBeforeMovie = 64;
constexpr size_t kMaxStreams = 100;
constexpr size_t kFirstFixBytes = 256;
constexpr size_t kStreamHeaderBytes = 48;

struct ChunkHead {
    char id[4] = {};
    uint32_t size = 0;
};

bool ReadHead(RecordingBytes& bytes, uint64_t at, ChunkHead* head) {
    uint8_t b[8];
    if (bytes.ReadAt(at, b, 8) != 8) return false;
    std::memcpy(head->id, b, 4);
    head->size = ReadLe32(b + 4);
    return true;
}

// True when every byte of the chunk at `at` can be read (the last one is asked for, which is
// what makes a cluster stream follow its clusters that far).
bool ChunkIsThere(RecordingBytes& bytes, uint64_t at, uint32_t size) {
    const uint64_t end = at + 8 + static_cast<uint64_t>(PaddedChunkSize(size));
    uint8_t last;
    return bytes.ReadAt(end - 1, &last, 1) == 1;
}

bool IsHevc(const char* handler) {
    return IsFourCC(handler, "HEVC") || IsFourCC(handler, "H265") || IsFourCC(handler, "hvc1") ||
           IsFourCC(handler, "hev1");
}

// One stream list's strh and strf, at `at` within the header list held in `list` (which
// starts at file offset `base`).
bool ParseStreamList(const std::vector<uint8_t>& list, size_t at, size_t end, uint64_t base,
                     RecordingWalk* walk) {
    WalkStream stream;
    bool haveHeader = false;
    while (at + 8 <= end) {
        const uint8_t* c = list.data() + at;
        const uint32_t size = ReadLe32(c + 4);
        if (size > end - at - 8) return false;
        const uint8_t* body = c + 8;
        if (IsFourCC(reinterpret_cast<const char*>(c), "strh")) {
            if (size < kStreamHeaderBytes) return false;
            const char* type = reinterpret_cast<const char*>(body);
            stream.kind = IsFourCC(type, "vids")   ? WalkStreamKind::Video
                          : IsFourCC(type, "auds") ? WalkStreamKind::Audio
                                                   : WalkStreamKind::Text;
            stream.hevc = IsHevc(reinterpret_cast<const char*>(body + 4));
            stream.chunkLimit = ReadLe32(body + 36);
            if (stream.chunkLimit == 0) stream.chunkLimit = kUnlimitedChunkBytes;
            if (stream.kind == WalkStreamKind::Audio) stream.blockAlign = ReadLe32(body + 44);
            stream.headerAt = base + at;
            haveHeader = true;
        } else if (IsFourCC(reinterpret_cast<const char*>(c), "strf") && haveHeader) {
            if (stream.kind == WalkStreamKind::Audio && size >= 14)
                stream.blockAlign = ReadLe16(body + 12);
            if (stream.kind == WalkStreamKind::Video && size >= 20 &&
                IsHevc(reinterpret_cast<const char*>(body + 16)))
                stream.hevc = true;
        }
        at += 8 + static_cast<size_t>(PaddedChunkSize(size));
    }
    if (!haveHeader || walk->streams.size() >= kMaxStreams) return false;
    const char* kinds[] = {"dc", "wb", "tx"};
    char code[5];
    snprintf(code, sizeof code, "%02zu%s", walk->streams.size(),
             kinds[static_cast<int>(stream.kind)]);
    std::memcpy(stream.code, code, 4);
    walk->streams.push_back(stream);
    return true;
}

// The header list's avih and stream lists.
bool ParseHeaderList(RecordingBytes& bytes, uint64_t at, uint32_t size, RecordingWalk* walk) {
    if (size < 4 || size > kMaxHeaderListBytes) return false;
    std::vector<uint8_t> list(size);
    if (bytes.ReadAt(at + 8, list.data(), size) != size) return false;
    const uint64_t base = at + 8;
    size_t pos = 4;  // past "hdrl"
    while (pos + 8 <= size) {
        const uint8_t* c = list.data() + pos;
        const uint32_t chunkSize = ReadLe32(c + 4);
        if (chunkSize > size - pos - 8) break;
        if (IsFourCC(reinterpret_cast<const char*>(c), "avih")) {
            walk->mainHeaderAt = base + pos;
        } else if (IsFourCC(reinterpret_cast<const char*>(c), "LIST") && chunkSize >= 4 &&
                   IsFourCC(reinterpret_cast<const char*>(c + 8), "strl")) {
            if (!ParseStreamList(list, pos + 12, pos + 8 + chunkSize, base, walk)) return false;
        }
        pos += 8 + static_cast<size_t>(PaddedChunkSize(chunkSize));
    }
    for (const WalkStream& s : walk->streams) {
        if (s.kind == WalkStreamKind::Video) return walk->mainHeaderAt != 0;
    }
    return false;
}

// Finds the header list and the movie list; false when this is no recording we understand.
bool WalkHeader(RecordingBytes& bytes, RecordingWalk* walk) {
    uint8_t riff[12];
    if (bytes.ReadAt(0, riff, 12) != 12 || !IsFourCC(reinterpret_cast<char*>(riff), "RIFF") ||
        !IsFourCC(reinterpret_cast<char*>(riff + 8), "AVI "))
        return false;
    const uint64_t declared = uint64_t{ReadLe32(riff + 4)} + 8;
    bool haveHeader = false;
    int chunks = 0;
    for (uint64_t at = 12; at < kMaxMovieListStart && chunks++ < kMaxChunksBeforeMovie;) {
        ChunkHead head;
        char type[4];
        if (!ReadHead(bytes, at, &head) || !IsPrintableFourCC(head.id) ||
            bytes.ReadAt(at + 8, type, 4) != 4)
            return false;
        if (IsFourCC(head.id, "LIST") && IsFourCC(type, "hdrl") && !haveHeader) {
            if (!ParseHeaderList(bytes, at, head.size, walk)) return false;
            haveHeader = true;
        } else if (IsFourCC(head.id, "LIST") && IsFourCC(type, "movi")) {
            if (!haveHeader) return false;
            walk->moviAt = at + 8;
            // A size that was never written (0) or runs past the RIFF says nothing.
            if (declared > walk->moviAt + 4 && head.size >= 4 &&
                walk->moviAt + head.size <= declared)
                walk->declaredBytes = declared;
            walk->moviEnd =
                head.size >= 4 && walk->declaredBytes != 0 ? walk->moviAt + head.size : 0;
            return true;
        }
        at += 8 + static_cast<uint64_t>(PaddedChunkSize(head.size));
    }
    return false;
}

int StreamOf(const RecordingWalk& walk, const char* id) {
    for (size_t i = 0; i < walk.streams.size(); ++i) {
        if (std::memcmp(walk.streams[i].code, id, 4) == 0) return static_cast<int>(i);
    }
    return -1;
}

// Counts a chunk that is known to be whole and hands it on.
void Accept(RecordingBytes& bytes, RecordingWalk* walk, const WalkedChunk& chunk,
            const WalkedChunkFn& onChunk) {
    if (chunk.stream >= 0) {
        WalkStream& s = walk->streams[chunk.stream];
        s.chunks++;
        s.bytes += chunk.size;
        if (chunk.size > s.largest) s.largest = chunk.size;
        const AviChunkKind kind = ClassifyChunk(chunk.id);
        if (kind == AviChunkKind::FrontVideo) walk->frontFrames++;
        if (kind == AviChunkKind::RearVideo) walk->rearFrames++;
        if (s.kind == WalkStreamKind::Text && walk->firstFix.empty() && chunk.size > 1) {
            std::string payload(std::min<size_t>(chunk.size, kFirstFixBytes), '\0');
            bytes.ReadAt(chunk.offset + 8, payload.data(), payload.size());
            if (payload[0] == 'G') walk->firstFix = payload;
        }
    }
    if (onChunk) onChunk(chunk);
}

// Whether the chunk header at `at` fits the recording; fills *chunk when it does.
enum class HeadFit { Fits, Ends, Misfits };

HeadFit FitHead(RecordingBytes& bytes, const RecordingWalk& walk, uint64_t at, uint64_t declaredEnd,
                WalkedChunk* chunk, bool* index) {
    ChunkHead head;
    if (!ReadHead(bytes, at, &head)) return HeadFit::Ends;
    const int stream = StreamOf(walk, head.id);
    *index = IsFourCC(head.id, "idx1");
    if (stream < 0 && !IsFourCC(head.id, "JUNK")) return HeadFit::Misfits;
    if (stream >= 0) {
        const WalkStream& s = walk.streams[stream];
        if (head.size > s.chunkLimit) return HeadFit::Misfits;
        if (s.kind == WalkStreamKind::Audio && s.blockAlign > 1 && head.size % s.blockAlign != 0)
            return HeadFit::Misfits;
    }
    const uint64_t end = at + 8 + static_cast<uint64_t>(PaddedChunkSize(head.size));
    if (declaredEnd != 0 && end > declaredEnd) return HeadFit::Misfits;
    if (!ChunkIsThere(bytes, at, head.size)) return HeadFit::Ends;
    std::memcpy(chunk->id, head.id, 4);
    chunk->offset = at;
    chunk->size = head.size;
    chunk->stream = stream;
    return HeadFit::Fits;
}

// The movie data's chunks; returns where they end and whether the movie list is complete.
// A chunk is held back until what follows it shows where it ends.
uint64_t WalkMovie(RecordingBytes& bytes, RecordingWalk* walk, const WalkedChunkFn& onChunk,
                   bool* complete) {
    const uint64_t declaredEnd = walk->moviEnd;  // 0: not known
    const uint64_t granule = bytes.BreakGranule();
    uint64_t at = walk->moviAt + 4;
    bool held = false;
    WalkedChunk last;
    *complete = false;
    for (;;) {
        WalkedChunk chunk;
        bool index = false;
        const bool atEnd = declaredEnd != 0 && at == declaredEnd;
        const HeadFit fit =
            atEnd ? HeadFit::Ends : FitHead(bytes, *walk, at, declaredEnd, &chunk, &index);
        // Without a size in the header the movie data ends where the index starts.
        const bool clean = atEnd || (fit == HeadFit::Misfits && index && declaredEnd == 0);
        if (fit == HeadFit::Misfits && !clean && held && granule != 0 &&
            last.offset / granule != (at - 1) / granule) {
            return last.offset;  // the break may lie inside it
        }
        if (held) Accept(bytes, walk, last, onChunk);
        if (fit != HeadFit::Fits) {
            *complete = clean;
            return at;
        }
        last = chunk;
        held = true;
        at += 8 + static_cast<uint64_t>(PaddedChunkSize(chunk.size));
    }
}

}  // namespace

RecordingWalk WalkRecording(RecordingBytes& bytes, const WalkedChunkFn& onChunk) {
    RecordingWalk walk;
    if (!WalkHeader(bytes, &walk)) {
        walk.streams.clear();
        return walk;
    }
    walk.recognised = true;
    bool complete = false;
    walk.moviEnd = WalkMovie(bytes, &walk, onChunk, &complete);
    walk.length = walk.moviEnd;
    if (!complete || walk.declaredBytes == 0) return walk;
    // After the movie list: the index and whatever else the RIFF header counts.
    uint64_t at = walk.moviEnd;
    while (at < walk.declaredBytes) {
        ChunkHead head;
        if (!ReadHead(bytes, at, &head) || !IsPrintableFourCC(head.id)) break;
        const uint64_t end = at + 8 + static_cast<uint64_t>(PaddedChunkSize(head.size));
        if (end > walk.declaredBytes || (IsFourCC(head.id, "idx1") && head.size % 16 != 0) ||
            !ChunkIsThere(bytes, at, head.size))
            break;
        at = end;
    }
    walk.length = at;
    walk.whole = at == walk.declaredBytes;
    return walk;
}
