#pragma once
// Follows a box drawn on one picture forward and backward through a span of the recording
// (OpenCV's CSRT tracker, or KCF, which is faster and less sure). Where the tracker loses its
// object the region ends there: a box is never guessed.

#include <cstdint>
#include <string>

#include "redact/MaskFile.h"

class RecordingFrames;

enum class TrackerKind { Csrt, Kcf };

struct TrackRequest {
    int camera = 0;
    int64_t atFrame = 0;  // the picture the box was drawn on
    MaskBox drawn;        // in the camera picture's pixels
    int64_t firstFrame = 0;
    int64_t lastFrame = 0;
    MaskKind kind = MaskKind::Other;
    TrackerKind tracker = TrackerKind::Csrt;
};

// Fills region (camera, kind, boxes) with the drawn box (source hand) and the tracked ones.
bool TrackRegion(RecordingFrames& frames, const TrackRequest& request, MaskRegion* region,
                 std::string* error);
