#pragma once
// Follows a recording chunk by chunk from its RIFF header, without trusting anything but what
// agrees: the header list names the streams, so every chunk of the movie data must carry the
// code of one of them ("00dc", "02wb", ...) and a size no larger than that stream's header
// allows; after the movie list come the chunks (idx1) up to the size the RIFF header states.
// The walk stops at the first chunk that does not fit, or where the bytes end: everything
// before it is the recording as far as it survives. Where bytes that read well stop fitting,
// the break lies somewhere after the last chunk header that fitted, so that last chunk is
// kept only when it lies within one break granule (one cluster).
//
// The bytes come through RecordingBytes, so the same walk reads a file, a FAT cluster chain
// or a run of clusters on a card. Only chunk headers are read (and the start of the first
// text chunk), so a walk costs one small read per chunk.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Bytes of one candidate recording, from its RIFF header on.
class RecordingBytes {
public:
    virtual ~RecordingBytes() = default;
    // Bytes read at offset; fewer than length where the recording's bytes end.
    virtual size_t ReadAt(uint64_t offset, void* buffer, size_t length) = 0;
    // Where the bytes may break without their reads failing: a cluster stream that runs on
    // into clusters written since breaks at a cluster boundary (0: they never break so).
    virtual uint64_t BreakGranule() const { return 0; }
};

enum class WalkStreamKind { Video, Audio, Text };

struct WalkStream {
    WalkStreamKind kind = WalkStreamKind::Video;
    char code[4] = {};        // the chunk code of its chunks, "00dc"
    uint64_t headerAt = 0;    // offset of its strh chunk
    uint32_t chunkLimit = 0;  // largest chunk the header allows
    uint32_t blockAlign = 0;  // audio: bytes per sample frame (0 unknown)
    bool hevc = false;        // video: H.265 rather than H.264
    uint32_t chunks = 0;
    uint64_t bytes = 0;
    uint32_t largest = 0;
};

struct WalkedChunk {
    char id[4] = {};
    uint64_t offset = 0;  // of its header
    uint32_t size = 0;    // payload
    int stream = -1;      // index into RecordingWalk::streams, -1 for JUNK
};

struct RecordingWalk {
    bool recognised = false;     // a RIFF AVI with a header list that names its streams
    uint64_t declaredBytes = 0;  // RIFF size + 8 (0 when the header says nothing usable)
    uint64_t mainHeaderAt = 0;   // offset of the avih chunk (0: none)
    uint64_t moviAt = 0;         // offset of the movie list's "movi" code
    uint64_t moviEnd = 0;        // end of the last whole chunk in the movie data
    uint64_t length = 0;         // bytes that belong to the recording as it survives
    bool whole = false;          // every byte the RIFF header states is there and fits
    std::vector<WalkStream> streams;
    uint32_t frontFrames = 0;
    uint32_t rearFrames = 0;
    std::string firstFix;  // the first GPS text chunk's payload (its start)
};

using WalkedChunkFn = std::function<void(const WalkedChunk&)>;

// Walks the bytes; onChunk (may be empty) sees each whole chunk of the movie data in order.
RecordingWalk WalkRecording(RecordingBytes& bytes, const WalkedChunkFn& onChunk = {});

// Largest chunk accepted from a stream whose header gives no limit.
constexpr uint32_t kUnlimitedChunkBytes = 16u << 20;
