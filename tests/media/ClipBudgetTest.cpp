// Planning a clip for a budget: how many parts, the rate and the picture, the portals' limits
// under explicit ones, and the budgets refused before any work.

#include <gtest/gtest.h>

#include "media/ClipBudget.h"

namespace {

FitSource Minutes(double minutes, int width = 1920, int height = 1080) {
    FitSource s;
    s.durationMs = static_cast<int64_t>(minutes * 60000);
    s.frameRate = 30;
    s.frames = s.durationMs * 30 / 1000;
    s.width = width, s.height = height;
    s.audioBytes = s.durationMs * 4;  // 32 kbit/s
    s.capBitsPerSecond = 8000000;
    return s;
}

}  // namespace

TEST(ClipBudgetTest, PortalsGiveTheirLimitsUnderExplicitOnes) {
    ClipBudget kr;
    ASSERT_TRUE(PortalBudget("kr", &kr));
    EXPECT_EQ(kr.maxFiles, 5);
    EXPECT_EQ(kr.maxBytes, 50000000);
    EXPECT_EQ(kr.maxPartMs, 0);
    ClipBudget uk;
    uk.maxPartMs = 60000;  // --max-seconds 60 wins over the portal's three minutes
    ASSERT_TRUE(PortalBudget("uk", &uk));
    EXPECT_EQ(uk.maxFiles, 2);
    EXPECT_EQ(uk.maxPartMs, 60000);
    EXPECT_FALSE(PortalBudget("fr", &uk));
}

TEST(ClipBudgetTest, PartsCoverTheStretchInOrderAndTheRateFitsTheBytes) {
    const struct {
        const char* name;
        double minutes;
        ClipBudget budget;
        size_t parts;
    } rows[] = {
        {"size only: one file", 4, {50000000, 5, 0}, 1},
        {"three-minute files", 5, {0, 2, 180000}, 2},
        {"an exact multiple", 6, {0, 0, 120000}, 3},
    };
    for (const auto& row : rows) {
        const FitSource s = Minutes(row.minutes);
        FitPlan plan;
        std::string error;
        ASSERT_TRUE(PlanFit(s, row.budget, &plan, &error)) << row.name << ": " << error;
        ASSERT_EQ(plan.parts.size(), row.parts) << row.name;
        int64_t next = 0;
        for (const FitPart& p : plan.parts) {
            EXPECT_EQ(p.firstFrame, next) << row.name;
            if (row.budget.maxPartMs > 0) {
                EXPECT_LE(p.toMs - p.fromMs, row.budget.maxPartMs) << row.name;
            }
            next += p.frames;
        }
        EXPECT_EQ(next, s.frames) << row.name;
        EXPECT_LE(plan.videoBitsPerSecond, s.capBitsPerSecond) << row.name;
        if (row.budget.maxBytes > 0) {
            EXPECT_LE(plan.videoBitsPerSecond * s.durationMs / 8000 + s.audioBytes,
                      row.budget.maxBytes)
                << row.name;
        }
    }
}

TEST(ClipBudgetTest, ThePictureShrinksOnlyBelowTheLeastBitsPerPixel) {
    FitPlan plan;
    std::string error;
    // 50 MB for four minutes of 1080p: about 1.6 Mbit/s, 0.026 bits per pixel.
    ASSERT_TRUE(PlanFit(Minutes(4), {50000000, 5, 0}, &plan, &error)) << error;
    EXPECT_LT(plan.width, 1920);
    EXPECT_NEAR(static_cast<double>(plan.width) / plan.height, 16.0 / 9, 0.02);
    EXPECT_GE(plan.bitsPerPixel, kLeastBitsPerPixel);
    EXPECT_NE(plan.lowered.find("1920x1080"), std::string::npos) << plan.lowered;
    // The same bytes for one minute leave the picture whole.
    ASSERT_TRUE(PlanFit(Minutes(1), {50000000, 5, 0}, &plan, &error)) << error;
    EXPECT_EQ(plan.width, 1920);
    EXPECT_TRUE(plan.lowered.empty()) << plan.lowered;
}

TEST(ClipBudgetTest, BudgetsThatCannotHoldTheStretchAreRefused) {
    const struct {
        const char* name;
        ClipBudget budget;
        const char* says;
    } rows[] = {
        {"more parts than files", {0, 2, 60000}, "more than the 2 allowed"},
        {"the sound alone fills it", {1000000, 0, 0}, "cannot hold one second"},
        {"parts under a second", {0, 0, 500}, "at least one second"},
    };
    for (const auto& row : rows) {
        size_t parts = 0;
        std::string error;
        EXPECT_FALSE(BudgetHoldsStretch(row.budget, 10 * 60000, 32000, &parts, &error)) << row.name;
        EXPECT_NE(error.find(row.says), std::string::npos) << row.name << ": " << error;
    }
    size_t parts = 0;
    std::string error;
    EXPECT_TRUE(BudgetHoldsStretch({50000000, 5, 0}, 10 * 60000, 32000, &parts, &error)) << error;
    EXPECT_EQ(parts, 1u);
}
