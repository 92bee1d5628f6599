#pragma once
// The words of the evidence report, in English and Korean (from the string table), and the few
// figures it spells out the same way in both (no Qt).

#include <cstdint>
#include <string>

enum class ReportText {
    Title,
    Made,
    PageOf,
    Clip,
    ClipStart,
    ClipEnd,
    ClipLength,
    CameraClock,
    Utc,
    Moment,
    Offset,
    OffsetHow,
    NoOffset,
    Place,
    NoPlace,
    RouteNote,
    Speed,
    SpeedAtMoment,
    Highest,
    FixValid,
    FixInvalid,
    Graph,
    GraphSpeed,
    GForce,
    GraphTime,
    GraphMoment,
    Events,
    NoEvents,
    Stills,
    Files,
    FilesSelf,
    Parts,
    PartsRate,
    PartsLowered,
    Verified,
    VerifiedAll,
    VerifiedNot,
    Hashes,
    Redactions,
    RedactionsWhy,
    RedactionsRegion,
    RedactionsFiles,
    RedactionsUnedited,
    ShareCopy,
    ShareCopyUnedited,
    Count
};

// The text in Korean or in English; "%1", "%2" stand for the figures filled in.
const char* ReportWords(ReportText text, bool korean);

// The camera clock's zone from its offset from UTC in seconds: "UTC+09:00", "UTC-04:30", and
// the seconds too when the clock is not set to a whole minute ("UTC+09:00:37").
std::string UtcOffsetText(int64_t offsetSec);

// A length in seconds as "1 min 05 s" or "42 s" (tenths when under a minute and not whole).
std::string LengthText(int64_t ms);
