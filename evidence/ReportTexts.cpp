#include "evidence/ReportTexts.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "support/StringTable.h"

namespace {

constexpr TextId kWords[] = {
    texts::kReportTitle,
    texts::kReportMade,
    texts::kReportPageOf,
    texts::kReportClip,
    texts::kReportClipStart,
    texts::kReportClipEnd,
    texts::kReportClipLength,
    texts::kReportCameraClock,
    texts::kReportUtc,
    texts::kReportMoment,
    texts::kReportOffset,
    texts::kReportOffsetHow,
    texts::kReportNoOffset,
    texts::kReportPlace,
    texts::kReportNoPlace,
    texts::kReportRouteNote,
    texts::kReportSpeed,
    texts::kReportSpeedAtMoment,
    texts::kReportHighest,
    texts::kReportFixValid,
    texts::kReportFixInvalid,
    texts::kReportGraph,
    texts::kReportGraphSpeed,
    texts::kReportGForce,
    texts::kReportGraphTime,
    texts::kReportGraphMoment,
    texts::kReportEvents,
    texts::kReportNoEvents,
    texts::kReportStills,
    texts::kReportFiles,
    texts::kReportFilesSelf,
    texts::kReportParts,
    texts::kReportPartsRate,
    texts::kReportPartsLowered,
    texts::kReportVerified,
    texts::kReportVerifiedAll,
    texts::kReportVerifiedNot,
    texts::kReportHashes,
    texts::kReportRedactions,
    texts::kReportRedactionsWhy,
    texts::kReportRedactionsRegion,
    texts::kReportRedactionsFiles,
    texts::kReportRedactionsUnedited,
    texts::kReportShareCopy,
    texts::kReportShareCopyUnedited,
};
static_assert(std::size(kWords) == static_cast<size_t>(ReportText::Count));

}  // namespace

const char* ReportWords(ReportText text, bool korean) {
    return RawText(kWords[static_cast<int>(text)], korean).c_str();
}

std::string UtcOffsetText(int64_t offsetSec) {
    const int64_t size = std::llabs(offsetSec);
    char text[32];
    const int64_t hours = size / 3600, minutes = size / 60 % 60, seconds = size % 60;
    const char sign = offsetSec < 0 ? '-' : '+';
    if (seconds == 0)
        std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld", sign, static_cast<long long>(hours),
                      static_cast<long long>(minutes));
    else
        std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld:%02lld", sign,
                      static_cast<long long>(hours), static_cast<long long>(minutes),
                      static_cast<long long>(seconds));
    return text;
}

std::string LengthText(int64_t ms) {
    char text[48];
    const int64_t tenths = (ms + 50) / 100;
    if (tenths < 600)
        std::snprintf(text, sizeof text, tenths % 10 ? "%.1f s" : "%.0f s", tenths / 10.0);
    else
        std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(tenths / 600),
                      static_cast<long long>(tenths / 10 % 60));
    return text;
}
