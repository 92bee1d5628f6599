#pragma once
// Calendar dates in the proleptic Gregorian calendar counted as days since 1970-01-01, as
// recordings' names, GPS fixes and GPX times need them (no time zone involved).

#include <cstdint>

constexpr int64_t kSecondsPerDay = 86400;

struct CivilDate {
    int64_t year = 1970;
    int64_t month = 1;  // 1-12
    int64_t day = 1;    // 1-31
};

// Days since 1970-01-01 of a date (month 1-12); negative before 1970.
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The date of a day counted since 1970-01-01.
constexpr CivilDate CivilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilDate date;
    date.day = doy - (153 * mp + 2) / 5 + 1;
    date.month = mp < 10 ? mp + 3 : mp - 9;
    date.year = yoe + era * 400 + (date.month <= 2);
    return date;
}
