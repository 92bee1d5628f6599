#pragma once
// Following a drawn box and finding suggestions, as the bodies of the redaction tool's
// background jobs: the recording is opened and decoded on the job's thread, progress is
// posted as it goes, and a cancel ends the decoding at the next picture.
//
// Threads: called on a job's thread only; nothing here touches the window.

#include <string>
#include <vector>

#include "redact/MaskFile.h"
#include "redact/vision/RegionDetector.h"
#include "redact/vision/RegionTracker.h"

class JobContext;

// The tracker and the detector see pictures no larger than this on their longer side.
constexpr int kRegionWorkingSidePixels = 960;

// Follows q.drawn from q.atFrame through q.firstFrame ... q.lastFrame of the recording.
// False with *error when it could not (cancelled: *error is RecordingFrames::kStoppedError).
bool RunRegionTracking(const std::string& path, const TrackRequest& q, const JobContext& job,
                       MaskRegion* region, std::string* error);

// The detector's regions over q's span, numbered from 1, boxes marked detected.
bool RunRegionDetection(const std::string& path, const DetectRequest& q, const JobContext& job,
                        std::vector<MaskRegion>* found, std::string* error);
