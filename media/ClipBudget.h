#pragma once
// Sizing a composed clip for where it goes: a portal that takes a few files, a total size or
// a length per file. The plan says how many parts the stretch is cut into (equal lengths, in
// order, together the whole stretch), the one video bit rate they are all encoded at and the
// picture size.
//
// The bit rate is what the bytes left after the sound (copied as it is) and the container
// allow, capped at the recordings' own: a clip is never made larger than what it came from.
// The picture keeps the front's full size while that leaves at least kLeastBitsPerPixel;
// below that it is made smaller (the same shape) until it does, and the plan says so. A
// budget whose bytes cannot hold one second of the picture is refused before anything is
// encoded. No FFmpeg: a plan is plain arithmetic.

#include <cstdint>
#include <string>
#include <vector>

struct ClipBudget {
    int64_t maxBytes = 0;   // all parts together; 0: any size
    int maxFiles = 0;       // 0: any number
    int64_t maxPartMs = 0;  // each part; 0: any length
    bool Any() const { return maxBytes > 0 || maxFiles > 0 || maxPartMs > 0; }
};

// Fills in the limits of a named portal ("kr", "uk"); false for a name it does not know.
// Limits already set in *budget (explicit options) are kept.
bool PortalBudget(const std::string& portal, ClipBudget* budget);

// What the working copy holds.
struct FitSource {
    int64_t durationMs = 0;
    int frameRate = 30;
    int64_t frames = 0;
    int width = 0, height = 0;
    int64_t audioBytes = 0;        // the sound's packets, all of them
    int64_t capBitsPerSecond = 0;  // the recordings' own rate; 0: no cap
};

struct FitPart {
    int64_t firstFrame = 0;  // of the working copy
    int64_t frames = 0;
    int64_t fromMs = 0, toMs = 0;  // from the working copy's start
};

struct FitPlan {
    std::vector<FitPart> parts;
    int64_t videoBitsPerSecond = 0;
    int width = 0, height = 0;
    double bitsPerPixel = 0;
    std::string lowered;  // what was lowered and why, in a sentence; empty: nothing
};

constexpr double kLeastBitsPerPixel = 0.05;

// False, with the reason in *error, when the budget cannot be met.
bool PlanFit(const FitSource& source, const ClipBudget& budget, FitPlan* plan, std::string* error);

// The check made before any work: false, with the reason, when the budget cannot hold a
// stretch of durationMs even at the smallest picture (with the sound at soundBitsPerSecond,
// 0 without sound). *parts gets the number of parts it would be cut into.
bool BudgetHoldsStretch(const ClipBudget& budget, int64_t durationMs, int soundBitsPerSecond,
                        size_t* parts, std::string* error);
