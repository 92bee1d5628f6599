#pragma once
// What the index builder learns about a recording: frame rates, frame counts and the file
// position of every front camera frame.

#include <cstdint>
#include <vector>

struct MediaInfo {
    int32_t frontFrameRate = 0;  // GetFrameRate(0) as reported (at most 30)
    int32_t rearFrameRate = 0;   // GetFrameRate(1), 0 without a rear stream
    int32_t frontFrameCount = 0;
    int32_t rearFrameCount = 0;
    int32_t audioChunkCount = 0;
    // Absolute file position of each front frame's chunk header, ready to seek to. 64-bit:
    // a long recording at a high bit rate passes 2 GiB (and the 32-bit form once kept a flag
    // in bit 31, which such a position needs).
    std::vector<int64_t> frontFramePositions;
    std::vector<std::vector<uint8_t>> byteArrays;  // emptied by the index builder; unused
};
