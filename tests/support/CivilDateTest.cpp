// Day counts since 1970 and back, across leap days, century years and dates before 1970.
#include <gtest/gtest.h>

#include "support/CivilDate.h"

namespace {

TEST(CivilDateTest, KnownDatesCountTheirDaysAndComeBack) {
    const struct {
        int64_t year, month, day, days;
    } cases[] = {
        {1970, 1, 1, 0},      {1969, 12, 31, -1},    {2000, 2, 29, 11016},
        {2000, 3, 1, 11017},  {1900, 3, 1, -25508},  {2024, 2, 29, 19782},
        {2026, 3, 14, 20526}, {2099, 12, 31, 47481}, {1600, 1, 1, -135140},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DaysFromCivil(c.year, c.month, c.day), c.days) << c.year << "-" << c.month;
        const CivilDate back = CivilFromDays(c.days);
        EXPECT_EQ(back.year, c.year) << c.days;
        EXPECT_EQ(back.month, c.month) << c.days;
        EXPECT_EQ(back.day, c.day) << c.days;
    }
}

TEST(CivilDateTest, EveryDayOfFourCenturiesRoundTripsInOrder) {
    CivilDate previous = CivilFromDays(DaysFromCivil(1800, 1, 1) - 1);
    for (int64_t days = DaysFromCivil(1800, 1, 1); days < DaysFromCivil(2200, 1, 1); ++days) {
        const CivilDate date = CivilFromDays(days);
        ASSERT_EQ(DaysFromCivil(date.year, date.month, date.day), days);
        const bool nextDay = date.year == previous.year && date.month == previous.month &&
                             date.day == previous.day + 1;
        const bool nextMonth =
            date.day == 1 &&
            ((date.year == previous.year && date.month == previous.month + 1) ||
             (date.year == previous.year + 1 && date.month == 1 && previous.month == 12));
        ASSERT_TRUE(nextDay || nextMonth) << days;
        previous = date;
    }
}

}  // namespace
