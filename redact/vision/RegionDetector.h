#pragma once
// Suggests regions: OpenCV's frontal face and number plate cascades run over every second
// picture of a span; overlapping finds in one picture are merged (at most a few kept, plates no
// wider than a third of the picture), and what they find in nearby pictures at about the same
// place is joined into one region, boxes filled in between. A region seen fewer than three
// times is dropped as the cascade's noise. Suggestions only: a cascade misses plates at an
// angle, faces in profile and anything small, so the result is never a promise that nothing
// else needs blurring.

#include <cstdint>
#include <string>
#include <vector>

#include "redact/MaskFile.h"

class RecordingFrames;

struct DetectRequest {
    std::vector<int> cameras{0, 1};
    int64_t firstFrame = 0;
    int64_t lastFrame = 0;
    std::vector<MaskKind> kinds{MaskKind::Plate, MaskKind::Face};
};

// Appends the regions found to set (numbered after its own), boxes marked detected.
bool DetectRegions(RecordingFrames& frames, const DetectRequest& request, MaskSet* set,
                   std::string* error);
