#include "media/ClipBudget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The portals' published limits. Korea's national complaint portal takes five files of
// 50 MB together; a UK police force's dashcam portal takes two files of three minutes each.
constexpr int kKoreaPortalFiles = 5;
constexpr int64_t kKoreaPortalBytes = 50LL * 1000 * 1000;
constexpr int kUkPortalFiles = 2;
constexpr int64_t kUkPortalPartMs = 3 * 60 * 1000;

// What the MP4 container adds to a part: its header and a table entry per sample; the x264
// two-pass rate lands within a few percent of the target, so the target keeps a margin.
constexpr int64_t kContainerBytesPerPart = 16 * 1024;
constexpr int64_t kContainerBytesPerFrame = 40;
constexpr double kRateMargin = 0.95;
// The composer's smallest picture side.
constexpr int kSmallestSide = 64;

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

std::string Seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

int Even(double side) {
    return std::max(2, static_cast<int>(side) / 2 * 2);
}

// The parts: equal shares of the frames, the last taking what is left.
void CutParts(const FitSource& s, int count, FitPlan* plan) {
    const int64_t per = (s.frames + count - 1) / count;
    for (int64_t first = 0; first < s.frames; first += per) {
        FitPart part;
        part.firstFrame = first;
        part.frames = std::min(per, s.frames - first);
        part.fromMs = first * 1000 / s.frameRate;
        part.toMs = (first + part.frames) * 1000 / s.frameRate;
        plan->parts.push_back(part);
    }
}

// Makes the picture smaller, keeping its shape, until it gets kLeastBitsPerPixel.
void FitPicture(const FitSource& s, FitPlan* plan) {
    const double pixelsPerSecond = static_cast<double>(s.width) * s.height * s.frameRate;
    plan->width = s.width, plan->height = s.height;
    plan->bitsPerPixel = plan->videoBitsPerSecond / pixelsPerSecond;
    if (plan->bitsPerPixel >= kLeastBitsPerPixel) return;
    double scale = std::sqrt(plan->bitsPerPixel / kLeastBitsPerPixel);
    scale = std::max(scale, static_cast<double>(kSmallestSide) / std::min(s.width, s.height));
    plan->width = Even(s.width * scale);
    plan->height = Even(s.height * scale);
    plan->bitsPerPixel =
        plan->videoBitsPerSecond / (static_cast<double>(plan->width) * plan->height * s.frameRate);
    char text[256];
    std::snprintf(
        text, sizeof text,
        "the picture was made smaller, %dx%d to %dx%d, so that %lld kbit/s give %.3f "
        "bits per pixel%s",
        s.width, s.height, plan->width, plan->height,
        static_cast<long long>(plan->videoBitsPerSecond / 1000), plan->bitsPerPixel,
        plan->bitsPerPixel < kLeastBitsPerPixel ? " (the smallest picture it takes)" : "");
    plan->lowered = text;
}

}  // namespace

bool PortalBudget(const std::string& portal, ClipBudget* budget) {
    if (portal == "kr") {
        if (budget->maxFiles == 0) budget->maxFiles = kKoreaPortalFiles;
        if (budget->maxBytes == 0) budget->maxBytes = kKoreaPortalBytes;
        return true;
    }
    if (portal == "uk") {
        if (budget->maxFiles == 0) budget->maxFiles = kUkPortalFiles;
        if (budget->maxPartMs == 0) budget->maxPartMs = kUkPortalPartMs;
        return true;
    }
    return false;
}

bool PlanFit(const FitSource& s, const ClipBudget& budget, FitPlan* plan, std::string* error) {
    *plan = FitPlan();
    if (s.frames <= 0 || s.frameRate <= 0 || s.width <= 0 || s.height <= 0)
        return Fail(error, "the composed clip holds no pictures");
    if (budget.maxPartMs > 0 && budget.maxPartMs < 1000)
        return Fail(error, "a part must hold at least one second of picture");
    int count = 1;
    if (budget.maxPartMs > 0)
        count = static_cast<int>((s.durationMs + budget.maxPartMs - 1) / budget.maxPartMs);
    count = static_cast<int>(std::clamp<int64_t>(count, 1, s.frames));
    if (budget.maxFiles > 0 && count > budget.maxFiles)
        return Fail(error, "the stretch of " + Seconds(s.durationMs) + " needs " +
                               std::to_string(count) + " files of at most " +
                               Seconds(budget.maxPartMs) + ", more than the " +
                               std::to_string(budget.maxFiles) + " allowed");
    CutParts(s, count, plan);
    const double seconds = std::max<int64_t>(1, s.durationMs) / 1000.0;
    int64_t rate = s.capBitsPerSecond > 0 ? s.capBitsPerSecond : INT64_MAX;
    if (budget.maxBytes > 0) {
        const int64_t left = budget.maxBytes - s.audioBytes -
                             kContainerBytesPerPart * static_cast<int64_t>(plan->parts.size()) -
                             kContainerBytesPerFrame * s.frames;
        const double oneSecond = kLeastBitsPerPixel * s.width * s.height * s.frameRate / 8;
        if (left < oneSecond)
            return Fail(error, std::to_string(budget.maxBytes) +
                                   " bytes cannot hold one second of the picture beside the "
                                   "sound of the " +
                                   Seconds(s.durationMs) + " stretch");
        rate = std::min<int64_t>(rate, static_cast<int64_t>(left * 8 / seconds * kRateMargin));
    }
    if (rate == INT64_MAX) return Fail(error, "no bit rate to aim at: the recordings' is unknown");
    plan->videoBitsPerSecond = rate;
    FitPicture(s, plan);
    return true;
}

bool BudgetHoldsStretch(const ClipBudget& budget, int64_t durationMs, int soundBitsPerSecond,
                        size_t* parts, std::string* error) {
    constexpr int kUsualFrameRate = 30;
    FitSource least;
    least.durationMs = durationMs;
    least.frameRate = kUsualFrameRate;
    least.frames = std::max<int64_t>(1, durationMs * kUsualFrameRate / 1000);
    least.width = kSmallestSide * 16 / 9 / 2 * 2, least.height = kSmallestSide;
    least.audioBytes = durationMs * soundBitsPerSecond / 8 / 1000;
    least.capBitsPerSecond = 1;  // any rate will do here
    FitPlan plan;
    if (!PlanFit(least, budget, &plan, error)) return false;
    *parts = plan.parts.size();
    return true;
}
