#pragma once
// The front camera's frame table of a recording: where each front frame's chunk starts, and
// how many front and rear frames there are. Taken from the idx1 chunk after the movie list
// when the recording has a complete one; otherwise (a recording cut off by power loss has
// none, or only part of one) rebuilt by walking the chunk headers of the movie data.

#include <cstdint>
#include <vector>

#include "media/AviFile.h"

enum class AviIndexSource {
    None,     // no index was built (nothing opened, or the file was rejected)
    Idx1,     // read from the recording's idx1 chunk
    Rebuilt,  // rebuilt from the movie data's chunk headers
};

// "idx1", "rebuilt" or "none".
const char* AviIndexSourceName(AviIndexSource source);

struct AviFrameIndex {
    std::vector<int64_t> frontPositions;  // absolute file position of each front chunk header
    int32_t frontCount = 0;
    int32_t rearCount = 0;
    int32_t audioCount = 0;  // sound chunks
    AviIndexSource source = AviIndexSource::None;
};

// moviPos: file position of the movie list's "movi" type; movieSize: the list's size as the
// reader takes it (it counts the type; a size never written is the rest of the file).
// Leaves the file position anywhere.
AviFrameIndex LoadFrameIndex(AviFile& file, int64_t moviPos, int64_t movieSize);

// The two ways of building it, for the tests and the tool.
bool ReadIdx1Index(AviFile& file, int64_t moviPos, int64_t movieSize, AviFrameIndex* index);
AviFrameIndex RebuildFrameIndex(AviFile& file, int64_t moviPos, int64_t movieSize);
