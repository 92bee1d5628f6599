#pragma once
// Encodes the parts a ClipBudget plan asks for from a composed working copy: each part with
// libx264 in two passes at the plan's bit rate and picture size, its sound copied packet by
// packet, its creation_time that of its own first picture. When the parts come out larger
// together than the budget (a second pass lands within a few percent of its target), the
// second passes run again at a rate lowered by what was over, so the budget is never
// exceeded.
//
// The pictures keep the caption the working copy carries (the camera clock's date and time,
// speed, position), so every part shows when it was recorded.
//
// Threads: one caller at a time; progress is called on the caller's thread and stops the
// work when it returns false.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/ClipBudget.h"

class PendingFile;

class ClipFitter {
public:
    using Progress = std::function<bool(double fraction)>;

    // What the working copy holds (its duration, frames, picture and sound bytes).
    static bool Probe(const std::string& path, FitSource* source, std::string* error);

    // Writes plan's parts to outPaths (one per part; written as given, the caller moves them
    // into place). maxBytes: the budget the parts share, 0 none. *sizes gets each part's size.
    bool Write(const std::string& workingCopy, const FitPlan& plan, int64_t maxBytes,
               const std::vector<std::string>& outPaths, std::vector<int64_t>* sizes,
               std::string* error);

    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    // The bit rate of the last second passes (lowered from the plan's when it overshot).
    int64_t BitsPerSecond() const { return m_rate; }

private:
    bool EncodePart(const std::string& in, const FitPlan& plan, size_t index, int pass,
                    const std::string& stats, const std::string& out, std::string* error);

    Progress m_progress;
    int64_t m_rate = 0;
    int64_t m_framesDone = 0, m_framesAll = 0;
};

struct FittedPart {
    std::string path;
    FitPart part;
    int64_t bytes = 0;
};

struct FitResult {
    FitPlan plan;
    int64_t bitsPerSecond = 0;  // as encoded (at most the plan's)
    std::vector<FittedPart> parts;
};

// The files of count parts of a clip named base: base itself for one part, else
// "clip_1of3.mp4", "clip_2of3.mp4", ... beside it.
std::vector<std::string> FitPartPaths(const std::string& base, size_t count);

// Plans the working copy's parts for budget (capped at capBitsPerSecond, the recordings' own
// rate) and writes them under FitPartPaths(base): each under a temporary name, all moved into
// place, with the files alongside (written already, a clip's GPS track), only when every one
// is whole. False with the cause in *error, nothing left behind.
bool FitWorkingCopy(const std::string& workingCopy, const ClipBudget& budget,
                    int64_t capBitsPerSecond, const std::string& base,
                    const ClipFitter::Progress& progress, FitResult* result, std::string* error,
                    const std::vector<PendingFile*>& alongside = {});
