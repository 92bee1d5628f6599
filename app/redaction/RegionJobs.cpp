#include "app/redaction/RegionJobs.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/jobs/BackgroundJob.h"
#include "redact/vision/RecordingFrames.h"

namespace {

constexpr int kProgressSteps = 100;

// Counts the pictures decoded against the number expected, posting each new percent, and
// stops the walk once the job is cancelled.
RecordingFrames::Watch ProgressWatch(const JobContext& job, int64_t expected) {
    auto seen = std::make_shared<int64_t>(0);
    auto shown = std::make_shared<int>(-1);
    return [job, expected, seen, shown](int64_t) {
        if (job.IsCancelled()) return false;
        const double fraction =
            std::min(1.0, double(++*seen) / double(std::max<int64_t>(1, expected)));
        const int step = static_cast<int>(fraction * kProgressSteps);
        if (step != *shown) {
            *shown = step;
            job.Progress(fraction);
        }
        return true;
    };
}

}  // namespace

bool RunRegionTracking(const std::string& path, const TrackRequest& q, const JobContext& job,
                       MaskRegion* region, std::string* error) {
    RecordingFrames frames;
    if (!frames.Open(path, error)) return false;
    frames.SetWorkingSide(kRegionWorkingSidePixels);
    // Forward from the drawn picture to the end, then backward from it to the start.
    frames.SetWatch(
        ProgressWatch(job, (q.lastFrame - q.atFrame + 1) + (q.atFrame - q.firstFrame + 1)));
    return TrackRegion(frames, q, region, error);
}

bool RunRegionDetection(const std::string& path, const DetectRequest& q, const JobContext& job,
                        std::vector<MaskRegion>* found, std::string* error) {
    RecordingFrames frames;
    if (!frames.Open(path, error)) return false;
    frames.SetWorkingSide(kRegionWorkingSidePixels);
    frames.SetWatch(ProgressWatch(
        job, (q.lastFrame - q.firstFrame + 1) * static_cast<int64_t>(q.cameras.size())));
    MaskSet set;
    set.cameras = frames.Cameras();
    set.durationMs = frames.DurationMs();
    if (!DetectRegions(frames, q, &set, error)) return false;
    *found = std::move(set.regions);
    return true;
}
