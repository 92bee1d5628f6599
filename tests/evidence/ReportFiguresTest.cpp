// The figures the evidence report spells out: the camera clock's zone from its offset, and
// a clip's length.

#include <gtest/gtest.h>

#include "evidence/ReportTexts.h"

TEST(ReportFiguresTest, TheClocksZoneReadsAsAUtcOffset) {
    const struct {
        int64_t offsetSec;
        const char* reads;
    } cases[] = {
        {32400, "UTC+09:00"},    {0, "UTC+00:00"},      {-16200, "UTC-04:30"},
        {32437, "UTC+09:00:37"}, {-37, "UTC-00:00:37"}, {50400, "UTC+14:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(UtcOffsetText(c.offsetSec), c.reads) << c.offsetSec;
}

TEST(ReportFiguresTest, LengthsReadInSecondsThenMinutes) {
    const struct {
        int64_t ms;
        const char* reads;
    } cases[] = {
        {20000, "20 s"},       {2500, "2.5 s"},        {59900, "59.9 s"}, {59960, "1 min 00 s"},
        {60000, "1 min 00 s"}, {185000, "3 min 05 s"}, {0, "0 s"},
    };
    for (const auto& c : cases) EXPECT_EQ(LengthText(c.ms), c.reads) << c.ms;
}
