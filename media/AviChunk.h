#pragma once
// RIFF/AVI building blocks shared by the container reader, its index builder and the tool:
// four-character codes, little-endian fields, chunk padding and the classification of the
// media chunks the dashcam writes into the movie list.

#include <cstdint>
#include <cstring>

// True when the four bytes at id spell the given four-character code.
inline bool IsFourCC(const char* id, const char (&code)[5]) {
    return std::memcmp(id, code, 4) == 0;
}

inline uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// A chunk of odd size is followed by one pad byte. 64-bit so that sizes near 2^32 cannot wrap.
inline int64_t PaddedChunkSize(int64_t size) {
    return (size + 1) & ~int64_t{1};
}

// RIFF identifiers are four printable ASCII characters; anything else (for example the zeros
// a card leaves after a power loss) is not a chunk.
inline bool IsPrintableFourCC(const char* id) {
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(id[i]);
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

enum class AviChunkKind {
    FrontVideo = 0,  // "00dc"
    RearVideo = 1,   // "NNdc" with NN other than 00
    Audio = 2,       // "NNwb"
    Text = 3,        // "NNtx"
    Other = 5,       // index, JUNK, lists, anything else
};

// Media chunks are named by a two-digit stream number and a two-letter kind. The camera of a
// video chunk is its stream number: 0 the front camera, any other the rear one.
inline AviChunkKind ClassifyChunk(const char* id) {
    const bool digits = id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
    if (!digits) return AviChunkKind::Other;
    if (id[2] == 'd' && id[3] == 'c') {
        return (id[0] == '0' && id[1] == '0') ? AviChunkKind::FrontVideo : AviChunkKind::RearVideo;
    }
    if (id[2] == 'w' && id[3] == 'b') return AviChunkKind::Audio;
    if (id[2] == 't' && id[3] == 'x') return AviChunkKind::Text;
    return AviChunkKind::Other;
}

inline bool IsVideoChunk(AviChunkKind kind) {
    return kind == AviChunkKind::FrontVideo || kind == AviChunkKind::RearVideo;
}
