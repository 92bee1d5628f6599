#pragma once
// What the index builder learns about a recording: frame rates, frame counts and the file
// position of every front camera frame.

#include <cstdint>
#include <vector>

// Bit 31 of every stored front frame position is set; clear it before seeking.
constexpr uint32_t kFramePositionFlag = 0x80000000u;

struct MediaInfo {
    int32_t frontFrameRate = 0;  // GetFrameRate(0) as reported (at most 30)
    int32_t rearFrameRate = 0;   // GetFrameRate(1), 0 without a rear stream
    int32_t frontFrameCount = 0;
    int32_t rearFrameCount = 0;
    std::vector<uint32_t> frontFramePositions;  // absolute chunk header positions | bit 31
    std::vector<std::vector<uint8_t>> byteArrays;  // emptied by the index builder; unused
};
