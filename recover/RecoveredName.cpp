#include "recover/RecoveredName.h"

#include <sys/stat.h>

#include "support/CivilDate.h"
#include "telemetry/CGPSData.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr size_t kMaxNameBytes = 200;
constexpr int kCenturyYears = 2000;

}  // namespace

std::string SafeCardName(const std::string& name) {
    std::string safe = name.substr(0, kMaxNameBytes);
    for (char& c : safe) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
    }
    if (safe == "." || safe == "..") return "";
    return safe;
}

std::string RecoveredName(const RecordingWalk& walk, uint64_t sector) {
    int videoStreams = 0;
    for (const WalkStream& s : walk.streams) videoStreams += s.kind == WalkStreamKind::Video;
    const char* flag = videoStreams >= 2 ? "D" : "N";
    CGPSData fix;
    // The fix's hour is already the camera's (UTC + 9), its date the UTC one: counting it
    // from the date's midnight gives the camera's calendar time.
    if (walk.firstFix.compare(0, 7, "G$GPRMC") == 0 &&
        fix.ParseSentence(walk.firstFix.data(), walk.firstFix.size()) && fix.month >= 1 &&
        fix.month <= 12 && fix.day >= 1 && fix.day <= 31 && fix.hour >= 0 && fix.hour < 48 &&
        fix.minute >= 0 && fix.minute < 60 && fix.second >= 0 && fix.second < 61) {
        const int64_t seconds =
            DaysFromCivil(kCenturyYears + fix.year, fix.month, fix.day) * kSecondsPerDay +
            fix.hour * 3600 + fix.minute * 60 + fix.second;
        return "RECOVERED_" + FormatClockStem(seconds) + "_" + flag + ".AVI";
    }
    return "RECOVERED_S" + std::to_string(sector) + "_" + flag + ".AVI";
}

std::string FreeOutputPath(const std::string& folder, const std::string& name,
                           std::set<std::string>& taken) {
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? "" : name.substr(stem.size());
    for (int n = 1;; ++n) {
        const std::string candidate =
            folder + "/" + (n == 1 ? name : stem + "_" + std::to_string(n) + ext);
        struct stat st {};
        if (taken.count(candidate) == 0 && lstat(candidate.c_str(), &st) != 0) {
            taken.insert(candidate);
            return candidate;
        }
    }
}
